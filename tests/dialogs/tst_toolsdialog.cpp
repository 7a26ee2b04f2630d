#include "console.h"
#include "harness.h"
#include "mainwindow.h"
#include "messagelog.h"
#include "testmain.h"

#include <usbsim/adapter.h>

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>

class tst_ToolsDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void endings_data();
    void endings();
};

// Values the dialog must show as they are, so that an untouched row or box keeps them.
void tst_ToolsDialog::init()
{
    QSettings store("velmorand", "korvix");
    store.clear();
    store.setValue("isCRLF", true);
    store.setValue("keyF10", "\xc3\xa9");
}

void tst_ToolsDialog::endings_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("lf");         // the box "send CRLF instead of LF" is unchecked
    QTest::addColumn<QByteArray>("wire"); // what F3 sends afterwards
    QTest::newRow("Ok, CR LF as it was") << "ok" << false << QByteArray("ATZ\r\n");
    QTest::newRow("Ok, LF") << "ok" << true << QByteArray("ATZ\n");
    QTest::newRow("Abort") << "abort" << true << QByteArray("F3\r\n");
    QTest::newRow("Escape") << "escape" << true << QByteArray("F3\r\n");
    QTest::newRow("window closed") << "close" << true << QByteArray("F3\r\n");
}

// F3 is edited and the line ending maybe chosen: Ok takes effect at the next key press and is
// stored on exit with the rows left untouched, any other ending keeps the record.
void tst_ToolsDialog::endings()
{
    QFETCH(QString, how);
    QFETCH(bool, lf);
    QFETCH(QByteArray, wire);
    const bool accepted = how == "ok";
    const bool crlf = wire.endsWith("\r\n");
    usbsim::Adapter adapter;
    QVERIFY(adapter.plug("ttyUSB0"));
    testsupport::MessageLog log;
    {
        auto window = harness::startWithDialog();
        QTRY_VERIFY(harness::looksConnected(window.get()));
        testsupport::ModalDialogScript script({[&](QDialog *dialog) {
            dialog->findChild<QLineEdit *>("keyF3")->setText("ATZ");
            if (lf)
                dialog->findChild<QCheckBox *>("crlfCheckBox")->setChecked(false);
            if (how == "escape")
                QTest::keyClick(dialog, Qt::Key_Escape);
            else if (how == "close")
                dialog->close();
            else
                dialog->findChild<QDialogButtonBox *>()
                    ->button(accepted ? QDialogButtonBox::Ok : QDialogButtonBox::Abort)
                    ->click();
        }});
        harness::trigger(window.get(), "&Tools");
        QCOMPARE(script.answered(), 1);
        QCOMPARE(log.contains("write new settings"), accepted);
        QCOMPARE(log.messages().last(), QString("toolsCRLF = %1").arg(crlf ? "true" : "false"));
        QTest::keyClick(harness::console(window.get()), Qt::Key_F3);
        QTRY_COMPARE(adapter.received(), wire);
    }
    QSettings store("velmorand", "korvix");
    QCOMPARE(store.value("keyF3").toString(), QString(wire.trimmed()));
    QCOMPARE(store.value("keyF10").toString(), QString::fromUtf8("\xc3\xa9"));
    QCOMPARE(store.value("isCRLF").toBool(), crlf);
}

KORVIX_TEST_MAIN(tst_ToolsDialog)
#include "tst_toolsdialog.moc"
