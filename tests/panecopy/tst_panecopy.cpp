#include "console.h"
#include "harness.h"
#include "mainwindow.h"
#include "testmain.h"

#include <usbsim/adapter.h>

#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// As a user types it into the file dialog's name field and presses Enter.
void typeFileName(QDialog *dialog, const QString &path)
{
    auto *name = dialog->findChild<QLineEdit *>("fileNameEdit");
    QVERIFY(qobject_cast<QFileDialog *>(dialog) && name);
    name->setText(path);
    QTest::keyClick(name, Qt::Key_Return);
}

// Presses the left button at the first position and lets it go at the second.
void drag(Console *console, int from, int to)
{
    const auto at = [&](int position) {
        QTextCursor cursor(console->document());
        cursor.setPosition(position);
        return console->cursorRect(cursor).center();
    };
    QTest::mousePress(console->viewport(), Qt::LeftButton, Qt::NoModifier, at(from));
    QMouseEvent move(QEvent::MouseMove, at(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(console->viewport(), &move);
    QTest::mouseRelease(console->viewport(), Qt::LeftButton, Qt::NoModifier, at(to));
}

} // namespace

class tst_PaneCopy : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { adapter.reset(); }

    void copyAndSave_data();
    void copyAndSave();
    void selectWithTheMouse_data();
    void selectWithTheMouse();

private:
    std::unique_ptr<usbsim::Adapter> adapter;
    QTemporaryDir scratch;
};

void tst_PaneCopy::init()
{
    QSettings("velmorand", "korvix").clear();
    adapter = std::make_unique<usbsim::Adapter>();
    QVERIFY2(adapter->plug("ttyUSB0"), qPrintable(adapter->errorString()));
}

void tst_PaneCopy::copyAndSave_data()
{
    QTest::addColumn<QString>("fileName"); // in the scratch folder; empty: the clipboard
    QTest::addColumn<QString>("message");  // the message box's, when the file cannot be written
    QTest::addColumn<bool>("stamped");
    QTest::newRow("copy") << QString() << QString() << false;
    QTest::newRow("copy, stamped") << QString() << QString() << true;
    QTest::newRow("save, stamped") << "pane.txt" << QString() << true;
    QTest::newRow("save into a missing folder") << "missing/pane.txt"
                                                << "The pane could not be saved to %1:\n"
                                                << false;
}

// Whatever the pane shows, received lines and an echoed function key, as the pane's plain text.
void tst_PaneCopy::copyAndSave()
{
    QFETCH(QString, fileName);
    QFETCH(QString, message);
    QFETCH(bool, stamped);
    QSettings("velmorand", "korvix").setValue("localecho", true);
    QSettings("velmorand", "korvix").setValue("keyF3", "Grüße");
    auto window = harness::connectedWindow();
    Console *console = harness::console(window.get());
    if (stamped)
        harness::trigger(window.get(), "Time of day");
    adapter->send("first line\r\nsecond\rthird\n");
    QTRY_VERIFY(console->toPlainText().contains("third"));
    QTest::keyClick(console, Qt::Key_F3);
    QTRY_COMPARE(adapter->received(), QByteArray("Grüße\n"));
    const QString pane = console->toPlainText();
    QVERIFY(pane.contains("Grüße") && pane.contains('\n'));
    QVERIFY(!pane.contains(QChar::LineSeparator) && !pane.contains(QChar::ParagraphSeparator));
    QCOMPARE(pane.contains(QRegularExpression("\\d\\d:\\d\\d:\\d\\d")), stamped);

    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText("before");
    if (fileName.isEmpty()) {
        harness::trigger(window.get(), "Copy the pane");
        QCOMPARE(clipboard->text(), pane);
        return;
    }
    const QString path = scratch.filePath(fileName);
    testsupport::ModalDialogScript script(
        {[&](QDialog *dialog) { typeFileName(dialog, path); }, testsupport::accept});
    harness::trigger(window.get(), "Save the pane as text…");
    if (message.isEmpty()) {
        QCOMPARE(script.answered(), 1);
        QCOMPARE(fileContents(path), pane.toUtf8());
    } else {
        QCOMPARE(script.answered(), 2);
        QVERIFY2(script.seen().last().contains(message.arg(path)),
                 qPrintable(script.seen().last()));
    }
    QCOMPARE(clipboard->text(), QString("before"));
}

void tst_PaneCopy::selectWithTheMouse_data()
{
    QTest::addColumn<bool>("selecting");
    QTest::addColumn<bool>("echo");
    QTest::addColumn<QByteArray>("sent"); // by Ctrl+Shift+C, then x
    QTest::addColumn<QString>("copied");
    QTest::newRow("off") << false << false << QByteArray("\x03x") << "before";
    QTest::newRow("on") << true << false << QByteArray("x") << "first";
    QTest::newRow("on, with echo") << true << true << QByteArray("x") << "first";
}

// Off, a drag selects nothing and every key goes to the device, as if there were no such mode.
// On, Ctrl+Shift+C copies what the mouse selected, typed echo goes to the end of the pane, and
// the view stays where the user scrolled to.
void tst_PaneCopy::selectWithTheMouse()
{
    QFETCH(bool, selecting);
    QFETCH(bool, echo);
    QFETCH(QByteArray, sent);
    QFETCH(QString, copied);
    QSettings("velmorand", "korvix").setValue("localecho", echo);
    auto window = harness::connectedWindow();
    Console *console = harness::console(window.get());
    adapter->send("first line\r\n");
    QTRY_VERIFY(console->toPlainText().contains("first line"));
    if (selecting)
        harness::trigger(window.get(), "Select with the mouse");
    QGuiApplication::clipboard()->setText("before");

    drag(console, 0, 5);
    QCOMPARE(console->textCursor().hasSelection(), selecting);
    QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, "\x03");
    QApplication::sendEvent(console, &copy);
    QTest::keyClick(console, Qt::Key_X);
    QTRY_VERIFY(adapter->received().endsWith('x'));
    QCOMPARE(adapter->received(), sent);
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    if (echo)
        QVERIFY(console->toPlainText().endsWith('x'));

    QScrollBar *bar = console->verticalScrollBar();
    adapter->send(QByteArray("line\r\n").repeated(60));
    QTRY_VERIFY(bar->maximum() > 0);
    bar->setValue(0);
    adapter->send("last\r\n");
    QTRY_VERIFY(console->toPlainText().contains("last"));
    QCOMPARE(bar->value(), selecting ? 0 : bar->maximum());
}

KORVIX_TEST_MAIN(tst_PaneCopy)
#include "tst_panecopy.moc"
