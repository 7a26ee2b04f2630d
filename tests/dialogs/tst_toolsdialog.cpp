#include "console.h"
#include "harness.h"
#include "isolatedhome.h"
#include "mainwindow.h"
#include "messagelog.h"
#include "testmain.h"
#include "toolsdialog.h"

#include <usbsim/adapter.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>

KORVIX_ISOLATE_HOME

namespace {

QStringList rowLabels(QDialog *dialog)
{
    QStringList labels;
    auto *form = dialog->findChild<QFormLayout *>();
    for (int row = 0; row < form->rowCount(); ++row)
        labels
            << qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget())->text();
    return labels;
}

QLineEdit *edit(QDialog *dialog, int row)
{
    auto *form = dialog->findChild<QFormLayout *>();
    return qobject_cast<QLineEdit *>(form->itemAt(row, QFormLayout::FieldRole)->widget());
}

} // namespace

class tst_ToolsDialog : public QObject
{
    Q_OBJECT

private slots:
    void init() { QSettings("velmorand", "korvix").clear(); }

    void showsAndAppliesEveryRow();
    void okTakesEffectAtTheNextKeyPress_data();
    void okTakesEffectAtTheNextKeyPress();
    void otherEndingsKeepTheRecord_data();
    void otherEndingsKeepTheRecord();
};

void tst_ToolsDialog::showsAndAppliesEveryRow()
{
    ToolsSettings tools{true, {"F1", "F2", "AT", "F4", "F5", "F6", "F7", "F8", "F9", "last"}};
    toolsdialog dialog(nullptr, &tools);
    QCOMPARE(rowLabels(&dialog),
             (QStringList{"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10"}));
    for (int row = 0; row < 10; ++row)
        QCOMPARE(edit(&dialog, row)->text(), tools.functionKeys.at(row));
    QVERIFY(dialog.findChild<QCheckBox *>()->isChecked());

    edit(&dialog, 0)->setText("");
    edit(&dialog, 2)->setText("\xc3\xa9");
    dialog.findChild<QCheckBox *>()->setChecked(false);
    ToolsSettings target = tools;
    dialog.apply(&target);
    QCOMPARE(target.isCRLF, false);
    QCOMPARE(target.functionKeys, (QStringList{"", "F2", QString::fromUtf8("\xc3\xa9"), "F4", "F5",
                                               "F6", "F7", "F8", "F9", "last"}));
    // The dialog never touches the record it was built from.
    QCOMPARE(tools.functionKeys.at(2), QString("AT"));
}

void tst_ToolsDialog::okTakesEffectAtTheNextKeyPress_data()
{
    QTest::addColumn<bool>("crlf");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("LF") << false << QByteArray("ATZ\n");
    QTest::newRow("CR LF") << true << QByteArray("ATZ\r\n");
}

void tst_ToolsDialog::okTakesEffectAtTheNextKeyPress()
{
    QFETCH(bool, crlf);
    QFETCH(QByteArray, wire);
    usbsim::Adapter adapter;
    QVERIFY(adapter.plug("ttyUSB0"));
    testsupport::MessageLog log;
    {
        const CommandLineOptions options;
        auto window = harness::startWithDialog(&options);
        QTRY_VERIFY(harness::looksConnected(window.get()));
        {
            testsupport::ModalDialogScript script({[&](QDialog *dialog) {
                edit(dialog, 2)->setText("ATZ");
                dialog->findChild<QCheckBox *>()->setChecked(crlf);
                dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
            }});
            harness::trigger(window.get(), "&Tools");
            QCOMPARE(script.answered(), 1);
        }
        QVERIFY(log.indexOf("write new settings") >= 0);
        QCOMPARE(log.messages().last(), QString("toolsCRLF = %1").arg(crlf ? "true" : "false"));
        QTest::keyClick(harness::console(window.get()), Qt::Key_F3);
        QTRY_COMPARE(adapter.received(), wire);

        // The second run shows what was accepted the first time.
        testsupport::ModalDialogScript again({[&](QDialog *dialog) {
            QCOMPARE(edit(dialog, 2)->text(), QString("ATZ"));
            QCOMPARE(dialog->findChild<QCheckBox *>()->isChecked(), crlf);
            dialog->reject();
        }});
        harness::trigger(window.get(), "&Tools");
        QCOMPARE(again.answered(), 1);
    }
    QSettings store("velmorand", "korvix");
    QCOMPARE(store.value("keyF3").toString(), QString("ATZ"));
    QCOMPARE(store.value("isCRLF").toBool(), crlf);
}

void tst_ToolsDialog::otherEndingsKeepTheRecord_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Abort") << "abort";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("window closed") << "close";
}

void tst_ToolsDialog::otherEndingsKeepTheRecord()
{
    QFETCH(QString, how);
    CommandLineOptions options;
    options.serialNumber = "no-such-device";
    testsupport::MessageLog log;
    {
        MainWindow window(nullptr, &options);
        testsupport::ModalDialogScript script({[&](QDialog *dialog) {
            edit(dialog, 2)->setText("changed");
            dialog->findChild<QCheckBox *>()->setChecked(true);
            if (how == "abort")
                dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Abort)->click();
            else if (how == "escape")
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                dialog->close();
        }});
        harness::trigger(&window, "&Tools");
        QCOMPARE(script.answered(), 1);
        QVERIFY(!log.contains("write new settings"));
        QCOMPARE(log.messages().last(), QString("toolsCRLF = false"));
    }
    QSettings store("velmorand", "korvix");
    QCOMPARE(store.value("keyF3").toString(), QString("F3"));
    QCOMPARE(store.value("isCRLF").toBool(), false);
}

KORVIX_TEST_MAIN(tst_ToolsDialog)
#include "tst_toolsdialog.moc"
