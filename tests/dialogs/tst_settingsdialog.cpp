#include "isolatedhome.h"
#include "messagelog.h"
#include "settingsdialog.h"

#include <usbsim/adapter.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QTest>

#include <memory>
#include <vector>

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
    void initTestCase() { QVERIFY2(usbsim::insideSandbox(), "run inside usbsim sandbox"); }
    void cleanup() { adapters.clear(); }

    void describesEachPort_data();
    void describesEachPort();
    void firstPortShownAndSelectionFollows();
    void preselectionsIgnoreTheRecord();
    void storesEveryChoice_data();
    void storesEveryChoice();
    void baudRateEntries_data();
    void baudRateEntries();
    void noPortGivesTheNoticeAndStoresNothing();

private:
    usbsim::Adapter *plug(const QString &name, const usbsim::UsbIdentity &identity);
    std::vector<std::unique_ptr<usbsim::Adapter>> adapters;
};

usbsim::Adapter *tst_SettingsDialog::plug(const QString &name, const usbsim::UsbIdentity &identity)
{
    adapters.push_back(std::make_unique<usbsim::Adapter>(identity));
    if (!adapters.back()->plug(name))
        qFatal("cannot plug %s: %s", qPrintable(name), qPrintable(adapters.back()->errorString()));
    return adapters.back().get();
}

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
    usbsim::Adapter *adapter = plug(name, identity);
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
    plug("ttyUSB0", {0x0403, 0x6001, "FIRST", "FTDI", "one"});
    plug("ttyUSB1", {0x0403, 0x6015, "SECOND", "FTDI", "two"});
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

void tst_SettingsDialog::preselectionsIgnoreTheRecord()
{
    plug("ttyUSB0", {});
    settingsdialog dialog(nullptr, 115200, nullptr, true);
    TerminalSettings settings;
    settings.dataBits = QSerialPort::Data5;
    settings.stopBits = QSerialPort::TwoStop;
    settings.parity = QSerialPort::MarkParity;
    settings.flowControl = QSerialPort::SoftwareControl;
    settings.localEchoEnabled = false;
    settings.portName = "old";
    QVERIFY(dialog.storeChoices(&settings));
    QCOMPARE(settings.dataBits, QSerialPort::Data8);
    QCOMPARE(settings.stopBits, QSerialPort::OneStop);
    QCOMPARE(settings.parity, QSerialPort::NoParity);
    QCOMPARE(settings.flowControl, QSerialPort::NoFlowControl);
    QCOMPARE(settings.localEchoEnabled, true);
    QCOMPARE(settings.baudRate, 115200);
    QCOMPARE(settings.portName, QString("/dev/ttyUSB0"));
}

void tst_SettingsDialog::storesEveryChoice_data()
{
    QTest::addColumn<QString>("comboItem");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("value");

    const std::pair<int, QSerialPort::DataBits> dataBits[] = {{0, QSerialPort::Data5},
                                                              {1, QSerialPort::Data6},
                                                              {2, QSerialPort::Data7},
                                                              {3, QSerialPort::Data8}};
    for (const auto &[index, value] : dataBits)
        QTest::addRow("databits %d", index) << "6" << index << "dataBits" << int(value);
    QTest::newRow("stopbits 1") << "2" << 0 << "stopBits" << int(QSerialPort::OneStop);
    QTest::newRow("stopbits 2") << "2" << 1 << "stopBits" << int(QSerialPort::TwoStop);
    const std::pair<int, QSerialPort::Parity> parities[] = {{0, QSerialPort::NoParity},
                                                            {1, QSerialPort::EvenParity},
                                                            {2, QSerialPort::OddParity},
                                                            {3, QSerialPort::MarkParity},
                                                            {4, QSerialPort::SpaceParity}};
    for (const auto &[index, value] : parities)
        QTest::addRow("parity %d", index) << "mark" << index << "parity" << int(value);
    const std::pair<int, QSerialPort::FlowControl> flows[] = {{0, QSerialPort::NoFlowControl},
                                                              {1, QSerialPort::HardwareControl},
                                                              {2, QSerialPort::SoftwareControl}};
    for (const auto &[index, value] : flows)
        QTest::addRow("flow %d", index) << "RTS/CTS" << index << "flowControl" << int(value);
    for (int index : {0, 5, int(rates().size()) - 1})
        QTest::addRow("baud %d", index)
            << QString::number(rates().first()) << index << "baudRate" << rates().at(index);
}

void tst_SettingsDialog::storesEveryChoice()
{
    QFETCH(QString, comboItem);
    QFETCH(int, index);
    QFETCH(QString, field);
    QFETCH(int, value);

    plug("ttyUSB0", {});
    settingsdialog dialog(nullptr, 9600, nullptr, true);
    QComboBox *combo = comboWith(&dialog, comboItem);
    QVERIFY(combo);
    combo->setCurrentIndex(index);
    TerminalSettings settings;
    testsupport::MessageLog log;
    QVERIFY(dialog.storeChoices(&settings));
    const QMap<QString, int> stored = {{"dataBits", settings.dataBits},
                                       {"stopBits", settings.stopBits},
                                       {"parity", settings.parity},
                                       {"flowControl", settings.flowControl},
                                       {"baudRate", settings.baudRate}};
    QCOMPARE(stored.value(field), value);
    QCOMPARE(log.messages(),
             (QStringList{QString("baud %1").arg(settings.baudRate), "name /dev/ttyUSB0"}));
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

    plug("ttyUSB0", {});
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

    // Ok is the only button.
    const QList<QAbstractButton *> buttons = dialog.findChild<QDialogButtonBox *>()->buttons();
    QCOMPARE(buttons.size(), 1);
    QCOMPARE(dialog.findChild<QDialogButtonBox *>()->standardButton(buttons.first()),
             QDialogButtonBox::Ok);
}

QTEST_MAIN(tst_SettingsDialog)
#include "tst_settingsdialog.moc"
