#include "portsupport.h"

#include <isolatedhome.h>
#include <usbsim/adapter.h>

#include <QFileInfo>
#include <QtTest>

using usbsim::Adapter;
using usbsim::UsbIdentity;
using usbsimtest::portInfo;
using usbsimtest::portNames;

KORVIX_ISOLATE_HOME

class EnumerationTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listsThePluggedIdentity_data();
    void listsThePluggedIdentity();
    void listsExactlyThePluggedAdapters();
    void twoAdaptersWithTheSameSerialNumber();
    void replugUnderAnotherNameKeepsTheIdentity();
    void refusesAPortNameInUse();
    void refusesBadPortNames_data();
    void refusesBadPortNames();
};

void EnumerationTest::initTestCase()
{
    QVERIFY(usbsim::insideSandbox());
    // Nothing of the host: its own ttyS0 and whatever else it has stay outside.
    QCOMPARE(portNames(), QStringList());
    QVERIFY(!QFileInfo::exists(QStringLiteral("/dev/ttyS0")));
}

void EnumerationTest::listsThePluggedIdentity_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("vendorId");
    QTest::addColumn<int>("productId");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("manufacturer");
    QTest::addColumn<QString>("product");

    QTest::newRow("ftdi") << "ttyUSB0" << 0x0403 << 0x6001 << "A10KZP4Q"
                          << "FTDI"
                          << "FT232R USB UART";
    QTest::newRow("no serial") << "ttyUSB1" << 0x0403 << 0x6015 << ""
                               << "FTDI"
                               << "FT231X USB UART";
    QTest::newRow("acm") << "ttyACM0" << 0x2341 << 0x0043 << "95635333930351917172"
                         << "Arduino (www.arduino.cc)"
                         << "Arduino Uno";
    QTest::newRow("cp210x") << "ttyUSB12" << 0x10c4 << 0xea60 << "0001"
                            << "Silicon Labs"
                            << "CP2102 USB to UART Bridge Controller";
    QTest::newRow("extreme ids") << "ttyACM127" << 0xffff << 0x0001 << "x"
                                 << ""
                                 << "";
    QTest::newRow("zero ids") << "ttyXRUSB3" << 0x0000 << 0x0000 << ""
                              << "Vendor"
                              << "Product";
}

void EnumerationTest::listsThePluggedIdentity()
{
    QFETCH(QString, name);
    QFETCH(int, vendorId);
    QFETCH(int, productId);
    QFETCH(QString, serial);
    QFETCH(QString, manufacturer);
    QFETCH(QString, product);

    Adapter adapter(
        UsbIdentity{quint16(vendorId), quint16(productId), serial, manufacturer, product});
    QVERIFY2(adapter.plug(name), qPrintable(adapter.errorString()));
    QCOMPARE(portNames(), QStringList(name));
    const QSerialPortInfo info = portInfo(name);
    QCOMPARE(info.systemLocation(), QStringLiteral("/dev/") + name);
    QCOMPARE(adapter.systemLocation(), info.systemLocation());
    QVERIFY(info.hasVendorIdentifier());
    QVERIFY(info.hasProductIdentifier());
    QCOMPARE(int(info.vendorIdentifier()), vendorId);
    QCOMPARE(int(info.productIdentifier()), productId);
    QCOMPARE(info.serialNumber(), serial);
    QCOMPARE(info.manufacturer(), manufacturer);
    QCOMPARE(info.description(), product);
    QVERIFY(!info.isBusy());

    QSerialPort port(name);
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    port.close();
    adapter.unplug();
    QCOMPARE(portNames(), QStringList());
}

void EnumerationTest::listsExactlyThePluggedAdapters()
{
    Adapter first, second, third;
    QVERIFY(first.plug(QStringLiteral("ttyUSB0")));
    QVERIFY(second.plug(QStringLiteral("ttyUSB1")));
    QVERIFY(third.plug(QStringLiteral("ttyACM0")));
    QCOMPARE(portNames(), QStringList({"ttyACM0", "ttyUSB0", "ttyUSB1"}));
    second.unplug();
    QCOMPARE(portNames(), QStringList({"ttyACM0", "ttyUSB0"}));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/dev/ttyUSB1")));
}

void EnumerationTest::twoAdaptersWithTheSameSerialNumber()
{
    const UsbIdentity twin{0x0403, 0x6001, QStringLiteral("SAME0001"), QStringLiteral("FTDI"),
                           QStringLiteral("FT232R USB UART")};
    Adapter left(twin), right(twin);
    QVERIFY(left.plug(QStringLiteral("ttyUSB2")));
    QVERIFY2(right.plug(QStringLiteral("ttyUSB3")), qPrintable(right.errorString()));
    QCOMPARE(portNames(), QStringList({"ttyUSB2", "ttyUSB3"}));
    QCOMPARE(portInfo(QStringLiteral("ttyUSB2")).serialNumber(), twin.serialNumber);
    QCOMPARE(portInfo(QStringLiteral("ttyUSB3")).serialNumber(), twin.serialNumber);
}

void EnumerationTest::replugUnderAnotherNameKeepsTheIdentity()
{
    const UsbIdentity identity{0x1a86, 0x7523, QStringLiteral("CH1"), QStringLiteral("QinHeng"),
                               QStringLiteral("USB Serial")};
    Adapter adapter(identity);
    QVERIFY(adapter.plug(QStringLiteral("ttyUSB0")));
    QVERIFY2(adapter.replug(QStringLiteral("ttyUSB4")), qPrintable(adapter.errorString()));
    QCOMPARE(portNames(), QStringList("ttyUSB4"));
    const QSerialPortInfo info = portInfo(QStringLiteral("ttyUSB4"));
    QCOMPARE(info.vendorIdentifier(), identity.vendorId);
    QCOMPARE(info.productIdentifier(), identity.productId);
    QCOMPARE(info.serialNumber(), identity.serialNumber);
    QCOMPARE(info.manufacturer(), identity.manufacturer);
    QCOMPARE(info.description(), identity.product);
    QVERIFY(adapter.replug());
    QCOMPARE(portNames(), QStringList("ttyUSB4"));
}

void EnumerationTest::refusesAPortNameInUse()
{
    Adapter first, second;
    QVERIFY(first.plug(QStringLiteral("ttyUSB0")));
    QVERIFY(!second.plug(QStringLiteral("ttyUSB0")));
    QVERIFY2(second.errorString().contains(QLatin1String("already plugged")),
             qPrintable(second.errorString()));
    QVERIFY(!second.isPlugged());
    QCOMPARE(portNames(), QStringList("ttyUSB0"));
    first.unplug();
    QVERIFY(second.plug(QStringLiteral("ttyUSB0")));
}

void EnumerationTest::refusesBadPortNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << "";
    QTest::newRow("no number") << "ttyUSB";
    QTest::newRow("no tty") << "USB0";
    QTest::newRow("path") << "../ttyUSB0";
    QTest::newRow("slash") << "ttyUSB0/x";
    QTest::newRow("space") << "tty USB0";
    QTest::newRow("only digits") << "tty0";
}

void EnumerationTest::refusesBadPortNames()
{
    QFETCH(QString, name);
    Adapter adapter;
    QVERIFY(!adapter.plug(name));
    QVERIFY2(adapter.errorString().contains(QLatin1String("invalid port name")),
             qPrintable(adapter.errorString()));
    QCOMPARE(portNames(), QStringList());
}

QTEST_GUILESS_MAIN(EnumerationTest)
#include "tst_enumeration.moc"
