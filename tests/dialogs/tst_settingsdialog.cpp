#include "adapters.h"
#include "isolatedhome.h"
#include "messagelog.h"
#include "settingsdialog.h"
#include "testmain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QSerialPortInfo>
#include <QTest>

KORVIX_ISOLATE_HOME

namespace {

QComboBox *comboWith(QDialog *dialog, const QString &item)
{
    for (QComboBox *combo : dialog->findChildren<QComboBox *>()) {
        if (combo->findText(item) >= 0)
            return combo;
    }
    return nullptr;
}

QComboBox *deviceCombo(QDialog *dialog)
{
    return dialog->findChildren<QComboBox *>().first();
}

QLabel *infoLabel(QDialog *dialog)
{
    for (QLabel *label : dialog->findChildren<QLabel *>()) {
        if (label->buddy() == nullptr && label->parentWidget()->findChild<QCheckBox *>())
            return label;
    }
    return nullptr;
}

QList<qint32> rates()
{
    return QSerialPortInfo::standardBaudRates();
}

} // namespace

class tst_SettingsDialog : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { adapters.clear(); }

    void describesEachPort_data();
    void describesEachPort();
    void firstPortShownAndSelectionFollows();
    void baudRateEntries_data();
    void baudRateEntries();
    void noPortGivesTheNoticeAndStoresNothing();

private:
    testsupport::Adapters adapters;
};

void tst_SettingsDialog::describesEachPort_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("vendor");
    QTest::addColumn<int>("product");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("manufacturer");
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("FTDI") << "ttyUSB0" << 0x0403 << 0x6001 << "A10K5Q2X"
                          << "FTDI"
                          << "FT232R USB UART" << false
                          << QStringList{"ttyUSB0",  "FT232R USB UART", "FTDI",
                                         "A10K5Q2X", "/dev/ttyUSB0",    "403",
                                         "6001",     "available"};
    QTest::newRow("ACM, no serial, busy")
        << "ttyACM3" << 0x2341 << 0x0043 << ""
        << "Arduino (www.arduino.cc)"
        << "Uno" << true
        << QStringList{"ttyACM3", "Uno", "Arduino (www.arduino.cc)", "N/A", "/dev/ttyACM3", "2341",
                       "43",      "busy"};
    QTest::newRow("no identifiers at all")
        << "ttyUSB9" << 0 << 0 << ""
        << ""
        << "" << false
        << QStringList{"ttyUSB9", "N/A", "N/A", "N/A", "/dev/ttyUSB9", "N/A", "N/A", "available"};
}

void tst_SettingsDialog::describesEachPort()
{
    QFETCH(QString, name);
    QFETCH(int, vendor);
    QFETCH(int, product);
    QFETCH(QString, serial);
    QFETCH(QString, manufacturer);
    QFETCH(QString, description);
    QFETCH(bool, busy);
    QFETCH(QStringList, expected);

    usbsim::UsbIdentity identity{quint16(vendor), quint16(product), serial, manufacturer,
                                 description};
    usbsim::Adapter *adapter = adapters.plug(name, identity);
    if (busy)
        QVERIFY(adapter->setBusy(true));

    settingsdialog dialog(nullptr, 115200, nullptr, true);
    QComboBox *devices = deviceCombo(&dialog);
    QCOMPARE(devices->count(), 1);
    QCOMPARE(devices->itemText(0), name);
    QCOMPARE(devices->itemData(0).toStringList(), expected);
    const QString details = infoLabel(&dialog)->text();
    QVERIFY(details.contains("Vendor Identifier: 0x" + expected.at(5) + "\n"));
    QVERIFY(details.endsWith("Status: " + expected.at(7) + "\n"));
}

void tst_SettingsDialog::firstPortShownAndSelectionFollows()
{
    adapters.plug("ttyUSB0", {0x0403, 0x6001, "FIRST", "FTDI", "one"});
    adapters.plug("ttyUSB1", {0x0403, 0x6015, "SECOND", "FTDI", "two"});
    const QIcon icon(":/images/tools.png");
    settingsdialog dialog(nullptr, 115200, &icon, true);
    QVERIFY(!dialog.windowIcon().isNull());
    QCOMPARE(dialog.windowTitle(), QString());
    QVERIFY(infoLabel(&dialog)->text().startsWith("Description: one\n"));
    deviceCombo(&dialog)->setCurrentIndex(1);
    QVERIFY(infoLabel(&dialog)->text().startsWith("Description: two\n"));

    TerminalSettings settings;
    QVERIFY(dialog.storeChoices(&settings));
    QCOMPARE(settings.portName, QString("/dev/ttyUSB1"));
}

void tst_SettingsDialog::baudRateEntries_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<bool>("append");
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("preselected");
    QTest::addColumn<int>("stored");

    const int standard = rates().size();
    QTest::newRow("115200 appended twice") << 115200 << true << standard + 1 << standard << 115200;
    QTest::newRow("odd rate appended") << 250000 << true << standard + 1 << standard << 250000;
    QTest::newRow("standard, not appended")
        << 9600 << false << standard << int(rates().lastIndexOf(9600)) << 9600;
    QTest::newRow("odd rate, not appended") << 250000 << false << standard << 0 << rates().first();
}

void tst_SettingsDialog::baudRateEntries()
{
    QFETCH(int, rate);
    QFETCH(bool, append);
    QFETCH(int, entries);
    QFETCH(int, preselected);
    QFETCH(int, stored);

    adapters.plug("ttyUSB0");
    settingsdialog dialog(nullptr, rate, nullptr, append);
    QComboBox *baud = comboWith(&dialog, QString::number(rates().first()));
    QCOMPARE(baud->count(), entries);
    QCOMPARE(baud->currentIndex(), preselected);
    QCOMPARE(baud->currentText(), QString::number(stored));
    TerminalSettings settings;
    QVERIFY(dialog.storeChoices(&settings));
    QCOMPARE(settings.baudRate, stored);
    if (append && rates().contains(rate)) {
        baud->setCurrentIndex(rates().indexOf(rate));
        QVERIFY(dialog.storeChoices(&settings));
        QCOMPARE(settings.baudRate, rate);
    }
}

void tst_SettingsDialog::noPortGivesTheNoticeAndStoresNothing()
{
    testsupport::MessageLog log;
    settingsdialog dialog(nullptr, 115200, nullptr, true);
    QVERIFY(log.contains("no device present"));
    QCOMPARE(deviceCombo(&dialog)->count(), 0);
    QVERIFY(infoLabel(&dialog)->text().endsWith("No Device present.\nProgram will be closed."));
    QVERIFY(infoLabel(&dialog)->text().startsWith("<img src=:/images/application-exit>"));

    TerminalSettings settings;
    settings.portName = "kept";
    settings.baudRate = 1234;
    QVERIFY(!dialog.storeChoices(&settings));
    QCOMPARE(settings.portName, QString("kept"));
    QCOMPARE(settings.baudRate, 1234);
}

KORVIX_TEST_MAIN(tst_SettingsDialog)
#include "tst_settingsdialog.moc"
