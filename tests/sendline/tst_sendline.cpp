#include "console.h"
#include "harness.h"
#include "linetap.h"
#include "mainwindow.h"
#include "testmain.h"

#include <usbsim/adapter.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

class tst_SendLine : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void whatALineSends_data();
    void whatALineSends();
    void historySurvivesARestartAndThePaneKeepsTheKeyboard();

private:
    QLineEdit *shownLine();

    std::unique_ptr<usbsim::Adapter> adapter;
    std::unique_ptr<MainWindow> window;
};

void tst_SendLine::init()
{
    QSettings("velmorand", "korvix").clear();
    adapter = std::make_unique<usbsim::Adapter>();
    QVERIFY2(adapter->plug("ttyUSB0"), qPrintable(adapter->errorString()));
    window = harness::connectedWindow();
}

void tst_SendLine::cleanup()
{
    window.reset();
    adapter.reset();
}

QLineEdit *tst_SendLine::shownLine()
{
    harness::triggerExtra(window.get(), "Send line");
    return window->findChild<QLineEdit *>("sendLineText");
}

void tst_SendLine::whatALineSends_data()
{
    QTest::addColumn<bool>("hex");
    QTest::addColumn<int>("ending"); // as the list offers them: None, CR, LF, CR LF
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<int>("faultAt"); // -1: none; else the character marked, nothing sent

    QTest::newRow("text, no ending") << false << 0 << "AT" << QByteArray("AT") << -1;
    QTest::newRow("CR") << false << 1 << "AT" << QByteArray("AT\r") << -1;
    QTest::newRow("LF") << false << 2 << "AT" << QByteArray("AT\n") << -1;
    QTest::newRow("CR LF") << false << 3 << "AT" << QByteArray("AT\r\n") << -1;
    QTest::newRow("an empty line sends its ending") << false << 3 << "" << QByteArray("\r\n") << -1;
    QTest::newRow("every escape") << false << 0 << "a\\rb\\nc\\td\\\\e"
                                  << QByteArray("a\rb\nc\td\\e") << -1;
    QTest::newRow("\\x is hexadecimal, either case")
        << false << 0 << "\\x41\\x0d\\xfF\\x00" << QByteArray("A\r\xff\0", 4) << -1;
    QTest::newRow("text goes out in UTF-8")
        << false << 0 << "\u00e9" << QByteArray("\xc3\xa9") << -1;
    QTest::newRow("unknown escape") << false << 0 << "ab\\q" << QByteArray() << 2;
    QTest::newRow("\\x with one digit") << false << 0 << "x\\x4" << QByteArray() << 1;
    QTest::newRow("\\x with a letter past f") << false << 0 << "\\x4g1" << QByteArray() << 0;
    QTest::newRow("a backslash at the end") << false << 2 << "ab\\" << QByteArray() << 2;

    QTest::newRow("hex, spaced pairs") << true << 0 << "41 42 0d" << QByteArray("AB\r") << -1;
    QTest::newRow("hex, one run") << true << 0 << "41420D" << QByteArray("AB\r") << -1;
    QTest::newRow("hex, 0x before each") << true << 0 << "0x41 0X42" << QByteArray("AB") << -1;
    QTest::newRow("hex, mixed forms") << true << 2 << " 0x4142\t0d " << QByteArray("AB\r\n") << -1;
    QTest::newRow("hex, not a digit") << true << 0 << "41 4g" << QByteArray() << 4;
    QTest::newRow("hex, a lone digit") << true << 0 << "41 420" << QByteArray() << 5;
    QTest::newRow("hex, 0x alone") << true << 0 << "41 0x" << QByteArray() << 3;
    QTest::newRow("hex, text in it") << true << 3 << "AT" << QByteArray() << 1;
}

// What reaches the device, and for a fault, what the field marks and that nothing leaves.
void tst_SendLine::whatALineSends()
{
    QFETCH(bool, hex);
    QFETCH(int, ending);
    QFETCH(QString, line);
    QFETCH(QByteArray, sent);
    QFETCH(int, faultAt);
    QLineEdit *edit = shownLine();
    window->findChild<QComboBox *>("sendLineMode")->setCurrentIndex(hex ? 1 : 0);
    window->findChild<QComboBox *>("sendLineEnding")->setCurrentIndex(ending);
    QSignalSpy written(window->findChild<LineTap *>(), SIGNAL(sent(QByteArray, qint64)));
    edit->setText(line);
    QTest::keyClick(edit, Qt::Key_Return);
    if (faultAt >= 0) {
        QCOMPARE(written.count(), 0);
        QCOMPARE(edit->selectionStart(), faultAt);
        QCOMPARE(edit->text(), line);
        return;
    }
    QCOMPARE(written.count(), 1);
    QTRY_COMPARE(adapter->received(), sent);
    QCOMPARE(edit->text(), QString());
}

void tst_SendLine::historySurvivesARestartAndThePaneKeepsTheKeyboard()
{
    QWidget *pane = harness::console(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTRY_VERIFY(pane->hasFocus());
    QLineEdit *edit = shownLine();
    QVERIFY(edit->isVisible());
    QVERIFY(pane->hasFocus());
    for (const char *line : {"first", "second", "first"}) {
        edit->setText(line);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    QTRY_COMPARE(adapter->received(), QByteArray("first\nsecond\nfirst\n"));

    window.reset();
    window = harness::connectedWindow();
    edit = shownLine();
    edit->setText("draft");
    const QList<QPair<Qt::Key, QString>> walk{{Qt::Key_Up, "first"},
                                              {Qt::Key_Up, "second"},
                                              {Qt::Key_Up, "second"},
                                              {Qt::Key_Down, "first"},
                                              {Qt::Key_Down, "draft"}};
    for (const auto &step : walk) {
        QTest::keyClick(edit, step.first);
        QCOMPARE(edit->text(), step.second);
    }
}

KORVIX_TEST_MAIN(tst_SendLine)
#include "tst_sendline.moc"
