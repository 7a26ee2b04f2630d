#include "adapters.h"
#include "settingsdialog.h"
#include "testmain.h"

#include <QComboBox>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QSerialPortInfo>
#include <QTest>

namespace {

QComboBox *devices(QDialog *dialog)
{
    return dialog->findChild<QComboBox *>("deviceCombo");
}

QString details(QDialog *dialog)
{
    return dialog->findChild<QLabel *>("deviceInfoLabel")->text();
}

} // namespace

class tst_SettingsDialog : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { adapters.clear(); }

    void describesTheChosenPort();
    void baudRates_data();
    void baudRates();

private:
    testsupport::Adapters adapters;
};

// One device busy with every identifier, one with none: the details shown follow the choice,
// from the first device listed on, and the choice is stored.
void tst_SettingsDialog::describesTheChosenPort()
{
    QVERIFY(
        adapters.plug("ttyACM3", {0x2341, 0x0043, "A10K5Q2X", "Arduino (www.arduino.cc)", "Uno"})
            ->setBusy(true));
    adapters.plug("ttyUSB9", {0, 0, "", "", ""});
    const QHash<QString, QString> expected = {
        {"ttyACM3", "Description: Uno\nManufacturer: Arduino (www.arduino.cc)\n"
                    "Serial number: A10K5Q2X\nLocation: /dev/ttyACM3\n"
                    "Vendor Identifier: 0x2341\nProduct Identifier: 0x43\nStatus: busy\n"},
        {"ttyUSB9", "Description: N/A\nManufacturer: N/A\nSerial number: N/A\n"
                    "Location: /dev/ttyUSB9\nVendor Identifier: 0xN/A\n"
                    "Product Identifier: 0xN/A\nStatus: available\n"}};
    const QIcon icon(":/images/tools.png");
    settingsdialog dialog(nullptr, 115200, &icon, true);
    QVERIFY(!dialog.windowIcon().isNull());
    QComboBox *list = devices(&dialog);
    QCOMPARE(list->count(), 2);
    QCOMPARE(details(&dialog), expected.value(list->currentText()));
    list->setCurrentIndex(1 - list->currentIndex());
    QCOMPARE(details(&dialog), expected.value(list->currentText()));

    TerminalSettings settings;
    QVERIFY(dialog.storeChoices(&settings));
    QCOMPARE(settings.portName, "/dev/" + list->currentText());
}

void tst_SettingsDialog::baudRates_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<bool>("append");
    QTest::addColumn<int>("shown");

    QTest::newRow("standard, appended twice") << 115200 << true << 115200;
    QTest::newRow("odd, appended") << 250000 << true << 250000;
    QTest::newRow("standard") << 9600 << false << 9600;
    QTest::newRow("odd") << 250000 << false << QSerialPortInfo::standardBaudRates().first();
}

// The rate shown is the one stored, and so is the first entry once chosen.
void tst_SettingsDialog::baudRates()
{
    QFETCH(int, rate);
    QFETCH(bool, append);
    QFETCH(int, shown);

    adapters.plug("ttyUSB0");
    settingsdialog dialog(nullptr, rate, nullptr, append);
    const QList<qint32> standard = QSerialPortInfo::standardBaudRates();
    QComboBox *baud = dialog.findChild<QComboBox *>("baudCombo");
    QCOMPARE(baud->count(), standard.size() + int(append));
    QCOMPARE(baud->currentText(), QString::number(shown));
    TerminalSettings settings;
    QVERIFY(dialog.storeChoices(&settings));
    QCOMPARE(settings.baudRate, shown);
    baud->setCurrentIndex(0);
    QVERIFY(dialog.storeChoices(&settings));
    QCOMPARE(settings.baudRate, standard.first());
}

KORVIX_TEST_MAIN(tst_SettingsDialog)
#include "tst_settingsdialog.moc"
