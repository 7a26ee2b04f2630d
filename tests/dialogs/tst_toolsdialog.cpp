#include "console.h"
#include "harness.h"
#include "mainwindow.h"
#include "messagelog.h"
#include "testmain.h"
#include "toolsdialog.h"

#include <usbsim/adapter.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>

namespace {

// The edits in the order of their rows, F1 first.
QLineEdit *edit(QDialog *dialog, int row)
{
    return dialog->findChildren<QLineEdit *>().at(row);
}

} // namespace

class tst_ToolsDialog : public QObject
{
    Q_OBJECT

private slots:
    void init() { QSettings("velmorand", "korvix").clear(); }

    void showsAndAppliesEveryRow();
    void endings_data();
    void endings();
};

void tst_ToolsDialog::showsAndAppliesEveryRow()
{
    ToolsSettings tools{true, {"F1", "F2", "AT", "F4", "F5", "F6", "F7", "F8", "F9", "last"}};
    toolsdialog dialog(nullptr, &tools);
    QStringList labels;
    for (const QLabel *label : dialog.findChildren<QLabel *>())
        labels << label->text();
    QCOMPARE(labels, (QStringList{"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10"}));
    for (int row = 0; row < 10; ++row)
        QCOMPARE(edit(&dialog, row)->text(), tools.functionKeys.at(row));
    QVERIFY(dialog.findChild<QCheckBox *>()->isChecked());

    edit(&dialog, 0)->setText("");
    edit(&dialog, 9)->setText("\xc3\xa9");
    dialog.findChild<QCheckBox *>()->setChecked(false);
    dialog.apply(&tools);
    QCOMPARE(tools.isCRLF, false);
    QCOMPARE(tools.functionKeys, (QStringList{"", "F2", "AT", "F4", "F5", "F6", "F7", "F8", "F9",
                                              QString::fromUtf8("\xc3\xa9")}));
}

void tst_ToolsDialog::endings_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("crlf");
    QTest::addColumn<QByteArray>("wire"); // what F3 sends afterwards
    QTest::newRow("Ok, LF") << "ok" << false << QByteArray("ATZ\n");
    QTest::newRow("Ok, CR LF") << "ok" << true << QByteArray("ATZ\r\n");
    QTest::newRow("Abort") << "abort" << true << QByteArray("F3\n");
    QTest::newRow("Escape") << "escape" << true << QByteArray("F3\n");
    QTest::newRow("window closed") << "close" << true << QByteArray("F3\n");
}

// F3 is edited and the line ending chosen: Ok takes effect at the next key press and is stored
// on exit, any other ending keeps the record.
void tst_ToolsDialog::endings()
{
    QFETCH(QString, how);
    QFETCH(bool, crlf);
    QFETCH(QByteArray, wire);
    const bool accepted = how == "ok";
    usbsim::Adapter adapter;
    QVERIFY(adapter.plug("ttyUSB0"));
    testsupport::MessageLog log;
    {
        const CommandLineOptions options;
        auto window = harness::startWithDialog(&options);
        QTRY_VERIFY(harness::looksConnected(window.get()));
        testsupport::ModalDialogScript script({[&](QDialog *dialog) {
            edit(dialog, 2)->setText("ATZ");
            dialog->findChild<QCheckBox *>()->setChecked(crlf);
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
        QCOMPARE(log.messages().last(),
                 QString("toolsCRLF = %1").arg(accepted && crlf ? "true" : "false"));
        QTest::keyClick(harness::console(window.get()), Qt::Key_F3);
        QTRY_COMPARE(adapter.received(), wire);
    }
    QSettings store("velmorand", "korvix");
    QCOMPARE(store.value("keyF3").toString(), QString(wire.trimmed()));
    QCOMPARE(store.value("isCRLF").toBool(), wire.endsWith("\r\n"));
}

KORVIX_TEST_MAIN(tst_ToolsDialog)
#include "tst_toolsdialog.moc"
