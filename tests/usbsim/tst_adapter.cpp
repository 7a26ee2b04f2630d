#include "portsupport.h"

#include <isolatedhome.h>
#include <usbsim/adapter.h>

#include <QFileInfo>
#include <QRandomGenerator>
#include <QtTest>

using namespace usbsim;
using namespace usbsimtest;

Q_DECLARE_METATYPE(usbsim::UsbIdentity)

KORVIX_ISOLATE_HOME

// The library side of an adapter, as QSerialPortInfo and QSerialPort see it.
class AdapterTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listsThePluggedIdentity_data();
    void listsThePluggedIdentity();
    void listsEveryAdapterEvenWithTheSameSerialNumber();
    void unplugHangsUpAndReplugKeepsTheIdentity();
    void busyRefusesOpen();
    void bytesPassBothWaysUnchanged_data();
    void bytesPassBothWaysUnchanged();
};

void AdapterTest::initTestCase()
{
    QVERIFY(usbsim::insideSandbox());
    // The host's own ports (its ttyS0) must stay outside.
    QCOMPARE(portNames(), QStringList());
    QVERIFY(!QFileInfo::exists(QStringLiteral("/dev/ttyS0")));
}

void AdapterTest::listsThePluggedIdentity_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<UsbIdentity>("identity");
    QTest::newRow("ftdi") << "ttyUSB0"
                          << UsbIdentity{0x0403, 0x6001, "A10KZP4Q", "FTDI", "FT232R USB UART"};
    QTest::newRow("no serial") << "ttyUSB1"
                               << UsbIdentity{0x0403, 0x6015, "", "FTDI", "FT231X USB UART"};
    QTest::newRow("acm") << "ttyACM0"
                         << UsbIdentity{0x2341, 0x0043, "95635333930351917172",
                                        "Arduino (www.arduino.cc)", "Arduino Uno"};
    QTest::newRow("extreme ids") << "ttyACM127" << UsbIdentity{0xffff, 0x0001, "x", "", ""};
}

void AdapterTest::listsThePluggedIdentity()
{
    QFETCH(QString, name);
    QFETCH(UsbIdentity, identity);
    Adapter adapter(identity);
    QVERIFY2(adapter.plug(name), qPrintable(adapter.errorString()));
    QCOMPARE(portNames(), QStringList(name));
    QCOMPARE(identityOf(name), identityOf(identity));
    QCOMPARE(QSerialPortInfo(name).systemLocation(), "/dev/" + name);
}

void AdapterTest::listsEveryAdapterEvenWithTheSameSerialNumber()
{
    const UsbIdentity twin{0x0403, 0x6001, "SAME0001", "FTDI", "FT232R USB UART"};
    Adapter left(twin), right(twin), other;
    QVERIFY(left.plug(QStringLiteral("ttyUSB2")));
    QVERIFY2(right.plug(QStringLiteral("ttyUSB3")), qPrintable(right.errorString()));
    QVERIFY(other.plug(QStringLiteral("ttyACM1")));
    QCOMPARE(portNames(), QStringList({"ttyACM1", "ttyUSB2", "ttyUSB3"}));
    QCOMPARE(identityOf(QStringLiteral("ttyUSB2")), identityOf(twin));
    QCOMPARE(identityOf(QStringLiteral("ttyUSB3")), identityOf(twin));
}

void AdapterTest::unplugHangsUpAndReplugKeepsTheIdentity()
{
    const UsbIdentity identity{0x1a86, 0x7523, "CH1", "QinHeng", "USB Serial"};
    Adapter adapter(identity);
    QVERIFY(adapter.plug(QStringLiteral("ttyUSB0")));
    Terminal terminal;
    QVERIFY(terminal.open(QStringLiteral("ttyUSB0")));
    QTest::qWait(0);
    QVERIFY(!terminal.hungUp); // so that only the unplug can set it
    adapter.unplug();
    QCOMPARE(portNames(), QStringList());
    QVERIFY(!QFileInfo::exists(QStringLiteral("/dev/ttyUSB0")));
    QTRY_VERIFY(terminal.hungUp);
    QVERIFY(terminal.pollsHangUp());
    terminal.port.close(); // ends Qt's endless error storm

    QVERIFY2(adapter.replug(QStringLiteral("ttyUSB4")), qPrintable(adapter.errorString()));
    QCOMPARE(portNames(), QStringList("ttyUSB4"));
    QCOMPARE(identityOf(QStringLiteral("ttyUSB4")), identityOf(identity));
}

void AdapterTest::busyRefusesOpen()
{
    Adapter adapter;
    QVERIFY(adapter.plug(QStringLiteral("ttyUSB0")));
    QVERIFY2(adapter.setBusy(true), qPrintable(adapter.errorString()));
    QVERIFY(QSerialPortInfo(QStringLiteral("ttyUSB0")).isBusy());
    Terminal terminal;
    QVERIFY(!terminal.open(QStringLiteral("ttyUSB0")));
    QCOMPARE(terminal.port.error(), QSerialPort::PermissionError);
    // Only the lock stood in the way.
    QVERIFY(adapter.setBusy(false));
    QVERIFY2(terminal.open(QStringLiteral("ttyUSB0")), qPrintable(terminal.port.errorString()));
}

void AdapterTest::bytesPassBothWaysUnchanged_data()
{
    QTest::addColumn<QByteArray>("toTerminal");
    QTest::addColumn<QByteArray>("toDevice");
    QByteArray everyValue;
    for (int value = 0; value < 256; ++value)
        everyValue.append(char(value));
    // Random, so that dropped, repeated or reordered blocks cannot match by chance; far more
    // than a pseudo-terminal buffers, so the writers are held back along the way.
    const auto random = [](int size, quint32 seed) {
        QByteArray bytes(size, Qt::Uninitialized);
        QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
        return bytes;
    };
    QTest::newRow("every byte value") << everyValue << everyValue;
    QTest::newRow("10 MB and 1 MB") << random(10 * 1024 * 1024, 7) << random(1024 * 1024, 11);
}

void AdapterTest::bytesPassBothWaysUnchanged()
{
    QFETCH(QByteArray, toTerminal);
    QFETCH(QByteArray, toDevice);
    const int timeoutMs = 120 * 1000; // ASan builds are slow; the bench measures speed
    Adapter adapter;
    QVERIFY(adapter.plug(QStringLiteral("ttyUSB0")));
    Terminal terminal;
    QVERIFY(terminal.open(QStringLiteral("ttyUSB0")));
    adapter.send(toTerminal);
    QCOMPARE(terminal.port.write(toDevice), qint64(toDevice.size()));
    QTRY_COMPARE_WITH_TIMEOUT(terminal.data.size(), toTerminal.size(), timeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(adapter.received().size(), toDevice.size(), timeoutMs);
    QVERIFY(terminal.data == toTerminal);
    QVERIFY(adapter.received() == toDevice);
}

QTEST_GUILESS_MAIN(AdapterTest)
#include "tst_adapter.moc"
