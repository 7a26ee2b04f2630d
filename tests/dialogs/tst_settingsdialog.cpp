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

void tst_SettingsDialog::storesEveryChoice_data()
{
    QTest::addColumn<QString>("comboItem");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("preselected");
    QTest::addColumn<QList<int>>("values"); // what each entry stores, by index

    QTest::newRow("data bits") << "6"
                               << "dataBits" << 3
                               << QList<int>{QSerialPort::Data5, QSerialPort::Data6,
                                             QSerialPort::Data7, QSerialPort::Data8};
    QTest::newRow("stop bits") << "2"
                               << "stopBits" << 0
                               << QList<int>{QSerialPort::OneStop, QSerialPort::TwoStop};
    QTest::newRow("parity, mark before space")
        << "mark"
        << "parity" << 0
        << QList<int>{QSerialPort::NoParity, QSerialPort::EvenParity, QSerialPort::OddParity,
                      QSerialPort::MarkParity, QSerialPort::SpaceParity};
    QTest::newRow("flow control") << "RTS/CTS"
                                  << "flowControl" << 0
                                  << QList<int>{QSerialPort::NoFlowControl,
                                                QSerialPort::HardwareControl,
                                                QSerialPort::SoftwareControl};
    QList<int> baudValues;
    for (qint32 rate : rates())
        baudValues << rate;
    QTest::newRow("baud rate") << QString::number(rates().first()) << "baudRate"
                               << int(rates().size()) << baudValues + QList<int>{9600};
}

void tst_SettingsDialog::storesEveryChoice()
{
    QFETCH(QString, comboItem);
    QFETCH(QString, field);
    QFETCH(int, preselected);
    QFETCH(QList<int>, values);

    plug("ttyUSB0", {});
    settingsdialog dialog(nullptr, 9600, nullptr, true);
    QComboBox *combo = comboWith(&dialog, comboItem);
    QCOMPARE(combo->currentIndex(), preselected);
    QCOMPARE(combo->count(), values.size());
    for (int index = 0; index < values.size(); ++index) {
        combo->setCurrentIndex(index);
        // Whatever the record held before, the dialog's choices replace it.
        TerminalSettings settings{"old",
                                  1,
                                  QSerialPort::TwoStop,
                                  QSerialPort::Data5,
                                  QSerialPort::SoftwareControl,
                                  QSerialPort::MarkParity,
                                  false,
                                  {}};
        testsupport::MessageLog log;
        QVERIFY(dialog.storeChoices(&settings));
        const QMap<QString, int> stored = {{"dataBits", settings.dataBits},
                                           {"stopBits", settings.stopBits},
                                           {"parity", settings.parity},
                                           {"flowControl", settings.flowControl},
                                           {"baudRate", settings.baudRate}};
        QCOMPARE(stored.value(field), values.at(index));
        QCOMPARE(settings.localEchoEnabled, true);
        QCOMPARE(log.messages(),
                 (QStringList{QString("baud %1").arg(settings.baudRate), "name /dev/ttyUSB0"}));
    }
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
