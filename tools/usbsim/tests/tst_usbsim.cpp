#include "usbsimtest.h"

#include <usbsim/adapter.h>
#include <usbsim/pattern.h>

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace usbsim;
using namespace usbsimtest;

Q_DECLARE_METATYPE(usbsim::UsbIdentity)

namespace {

QByteArray everyByteValue()
{
    QByteArray bytes;
    for (int value = 0; value < 256; ++value)
        bytes.append(char(value));
    return bytes;
}

} // namespace

// Adapters as QSerialPortInfo and QSerialPort see them, made by the library in this process
// and by `usbsim adapter` in another.
class UsbsimTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listsThePluggedIdentity_data();
    void listsThePluggedIdentity();
    void unplugHangsUpAndReplugKeepsTheIdentity();
    void busyRefusesOpen();
    void bytesPassBothWaysUnchanged_data();
    void bytesPassBothWaysUnchanged();
    void adapterCommandTalksAndUnplugsOnTerminate_data();
    void adapterCommandTalksAndUnplugsOnTerminate();

private:
    QTemporaryDir scratch;
};

void UsbsimTest::initTestCase()
{
    QVERIFY(usbsim::insideSandbox());
    // The host's own ports (its ttyS0) must stay outside.
    QCOMPARE(portNames(), QStringList());
    QVERIFY(!QFileInfo::exists(QStringLiteral("/dev/ttyS0")));
    QVERIFY(scratch.isValid());
}

void UsbsimTest::listsThePluggedIdentity_data()
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

// Each identity twice, as two identical cables: one from the library, a busy one from
// `usbsim adapter` with the identity as options.
void UsbsimTest::listsThePluggedIdentity()
{
    QFETCH(QString, name);
    QFETCH(UsbIdentity, identity);
    Adapter adapter(identity);
    QVERIFY2(adapter.plug(name), qPrintable(adapter.errorString()));
    AdapterProcess twin;
    QVERIFY(
        twin.start({"ttyUSB9", "--busy", "--vid", QString::number(identity.vendorId, 16), "--pid",
                    QString::number(identity.productId, 16), "--serial", identity.serialNumber,
                    "--manufacturer", identity.manufacturer, "--product", identity.product}));
    QCOMPARE(portNames(), QStringList({name, "ttyUSB9"}));
    QCOMPARE(identityOf(name), identityOf(identity));
    QCOMPARE(identityOf(QStringLiteral("ttyUSB9")), identityOf(identity));
    QCOMPARE(QSerialPortInfo(name).systemLocation(), "/dev/" + name);
    QVERIFY(!QSerialPortInfo(name).isBusy());
    QVERIFY(QSerialPortInfo(QStringLiteral("ttyUSB9")).isBusy());
}

void UsbsimTest::unplugHangsUpAndReplugKeepsTheIdentity()
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

void UsbsimTest::busyRefusesOpen()
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

void UsbsimTest::bytesPassBothWaysUnchanged_data()
{
    QTest::addColumn<QByteArray>("toTerminal");
    QTest::addColumn<QByteArray>("toDevice");
    // Random, so that dropped, repeated or reordered blocks cannot match by chance; far more
    // than a pseudo-terminal buffers, so the writers are held back along the way.
    const auto random = [](int size, quint32 seed) {
        QByteArray bytes(size, Qt::Uninitialized);
        QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
        return bytes;
    };
    QTest::newRow("every byte value") << everyByteValue() << everyByteValue();
    QTest::newRow("10 MB and 1 MB") << random(10 * 1024 * 1024, 7) << random(1024 * 1024, 11);
}

void UsbsimTest::bytesPassBothWaysUnchanged()
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

void UsbsimTest::adapterCommandTalksAndUnplugsOnTerminate_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("toDevice");
    QTest::addColumn<QByteArray>("expected"); // somewhere in what the terminal reads
    QFile file(scratch.filePath(QStringLiteral("bytes")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(everyByteValue()) == 256);
    // More than a pseudo-terminal buffers, so the adapter waits for the terminal to read.
    QTest::newRow("generate") << QStringList{"--generate", "300000"} << QByteArray()
                              << pattern(0, 300000);
    QTest::newRow("send file") << QStringList{"--send-file", file.fileName()} << QByteArray()
                               << everyByteValue();
    QTest::newRow("echo") << QStringList{"--personality", "echo"} << QByteArray("ping\r\n")
                          << QByteArray("ping\r\n");
    // Its banner and readings may come before or after the answer.
    QTest::newRow("demo") << QStringList{"--personality", "demo"} << QByteArray("AT\r\n")
                          << QByteArray("OK\r\n");
}

void UsbsimTest::adapterCommandTalksAndUnplugsOnTerminate()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, toDevice);
    QFETCH(QByteArray, expected);
    AdapterProcess adapter;
    QVERIFY(adapter.start(QStringList("ttyUSB0") + options));
    QCOMPARE(identityOf(QStringLiteral("ttyUSB0")), identityOf(UsbIdentity()));
    Terminal terminal;
    QVERIFY(terminal.open(QStringLiteral("ttyUSB0")));
    terminal.port.write(toDevice);
    QTRY_VERIFY_WITH_TIMEOUT(terminal.data.contains(expected), 60000);

    adapter.process.terminate();
    QTRY_VERIFY(terminal.hungUp);
    QTRY_COMPARE(adapter.process.state(), QProcess::NotRunning);
    QCOMPARE(adapter.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(adapter.process.exitCode(), 0);
    QCOMPARE(portNames(), QStringList());
}

QTEST_GUILESS_MAIN(UsbsimTest)
#include "tst_usbsim.moc"
