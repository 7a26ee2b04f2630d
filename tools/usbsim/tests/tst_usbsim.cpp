#include "usbsimtest.h"

#include <usbsim/pattern.h>

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <poll.h>

using namespace usbsim;

Q_DECLARE_METATYPE(usbsim::UsbIdentity)

// Adapters as QSerialPortInfo and QSerialPort see them, made by the library in this process
// and by `usbsim adapter` in another.
class UsbsimTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listsTheIdentityAndKeepsItOnReplug_data();
    void listsTheIdentityAndKeepsItOnReplug();
    void listsABuiltInUartWithoutIdentity();
    void bytesPassBothWaysUnchanged_data();
    void bytesPassBothWaysUnchanged();
    void adapterCommandTalksAndHangsUpOnTerminate_data();
    void adapterCommandTalksAndHangsUpOnTerminate();
    void replayWaitsForTheRecordedWriteAndReportsAnother_data();
    void replayWaitsForTheRecordedWriteAndReportsAnother();
};

void UsbsimTest::initTestCase()
{
    QVERIFY(usbsim::insideSandbox());
    // The host's own ports (its ttyS0) must stay outside.
    QCOMPARE(portNames(), QStringList());
    QVERIFY(!QFileInfo::exists(QStringLiteral("/dev/ttyS0")));
}

void UsbsimTest::listsTheIdentityAndKeepsItOnReplug_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<UsbIdentity>("identity");
    QTest::newRow("no serial") << "ttyUSB1"
                               << UsbIdentity{0x0403, 0x6015, "", "FTDI", "FT231X USB UART"};
    QTest::newRow("acm") << "ttyACM0"
                         << UsbIdentity{0x2341, 0x0043, "95635333930351917172",
                                        "Arduino (www.arduino.cc)", "Arduino Uno"};
    QTest::newRow("extreme ids") << "ttyACM127" << UsbIdentity{0xffff, 0x0001, "x", "", ""};
}

// Each identity twice, as two identical cables: one from the library, which then moves to
// another port name, and a busy one from `usbsim adapter` with the identity as options.
void UsbsimTest::listsTheIdentityAndKeepsItOnReplug()
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
    QVERIFY(QSerialPortInfo(QStringLiteral("ttyUSB9")).isBusy());
    // Only the lock tells the twins apart.
    Terminal terminal, refused;
    QVERIFY2(terminal.open(name), qPrintable(terminal.port.errorString()));
    QVERIFY(!refused.open(QStringLiteral("ttyUSB9")));
    QCOMPARE(refused.port.error(), QSerialPort::PermissionError);

    terminal.port.close();
    QVERIFY2(adapter.replug(QStringLiteral("ttyUSB4")), qPrintable(adapter.errorString()));
    QCOMPARE(portNames(), QStringList({"ttyUSB4", "ttyUSB9"}));
    QCOMPARE(identityOf(QStringLiteral("ttyUSB4")), identityOf(identity));
}

// A PC's own UART, as Qt lists it on a real machine: beside the adapters, with nothing that says
// what it is, and it opens.
void UsbsimTest::listsABuiltInUartWithoutIdentity()
{
    Adapter uart, adapter;
    QVERIFY(uart.plug(QStringLiteral("ttyS0")) && adapter.plug(QStringLiteral("ttyUSB0")));
    QCOMPARE(portNames(), QStringList({"ttyS0", "ttyUSB0"}));
    QCOMPARE(identityOf(QStringLiteral("ttyS0")), QStringList({"", "", "", "", ""}));
    Terminal terminal;
    QVERIFY(terminal.open(QStringLiteral("ttyS0")));
    QTRY_VERIFY(uart.isOpenByTerminal());
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
    QByteArray everyValue;
    for (int value = 0; value < 256; ++value)
        everyValue.append(char(value));
    QTest::newRow("every byte value") << everyValue << everyValue;
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

void UsbsimTest::adapterCommandTalksAndHangsUpOnTerminate_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("toDevice");
    QTest::addColumn<QByteArray>("expected"); // somewhere in what the terminal reads
    // More than a pseudo-terminal buffers, so the adapter waits for the terminal to read.
    QTest::newRow("generate") << QStringList{"--generate", "300000"} << QByteArray()
                              << pattern(0, 300000);
    QTest::newRow("echo") << QStringList{"--personality", "echo"} << QByteArray("ping\r\n")
                          << QByteArray("ping\r\n");
    // Its banner and readings may come before or after the answer.
    QTest::newRow("demo") << QStringList{"--personality", "demo"} << QByteArray("AT\r\n")
                          << QByteArray("OK\r\n");
}

void UsbsimTest::adapterCommandTalksAndHangsUpOnTerminate()
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

    QVERIFY(!terminal.hungUp); // so that only the unplug can set it
    adapter.process.terminate();
    QTRY_VERIFY(terminal.hungUp);
    struct pollfd handle = {terminal.port.handle(), POLLIN, 0};
    QVERIFY(::poll(&handle, 1, 0) == 1 && (handle.revents & POLLHUP));
    QTRY_COMPARE(adapter.process.state(), QProcess::NotRunning);
    QCOMPARE(adapter.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(adapter.process.exitCode(), 0);
    QCOMPARE(portNames(), QStringList());
    QVERIFY(!QFileInfo::exists(QStringLiteral("/dev/ttyUSB0")));
}

void UsbsimTest::replayWaitsForTheRecordedWriteAndReportsAnother_data()
{
    QTest::addColumn<int>("fuzz");
    QTest::addColumn<QByteArray>("toDevice");
    QTest::addColumn<QString>("report"); // empty: the replay goes on
    QTest::newRow("as recorded") << 0 << QByteArray("ATI\n") << "";
    QTest::newRow("one byte in four, fuzz 25") << 25 << QByteArray("ATX\n") << "";
    QTest::newRow("one byte in four, fuzz 24")
        << 24 << QByteArray("ATX\n")
        << "the terminal was to write \"ATI^J\" (4 bytes) but wrote \"ATX^J\" (4 bytes)";
    QTest::newRow("too few") << 0 << QByteArray("AT")
                             << "the terminal was to write \"ATI^J\" (4 bytes) within 1000 ms "
                                "but wrote \"AT\" (2 bytes)";
}

// The device of a recording waits for what the terminal wrote in it, and says so when another
// terminal writes something else, or nothing.
void UsbsimTest::replayWaitsForTheRecordedWriteAndReportsAnother()
{
    QFETCH(int, fuzz);
    QFETCH(QByteArray, toDevice);
    QFETCH(QString, report);
    QTemporaryDir scratch;
    const QString script = scratch.filePath("session.script");
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("r 0 hello^M^J\nf " + QByteArray::number(fuzz) + " -\nw 0 ATI^J\nr 0 OK^M^J\n");
    file.close();
    AdapterProcess adapter;
    QVERIFY(adapter.start({"ttyUSB0", "--replay", script, "--timeout", "1"},
                          QProcess::SeparateChannels));
    Terminal terminal;
    QVERIFY(terminal.open(QStringLiteral("ttyUSB0")));
    QTRY_COMPARE(terminal.data, QByteArray("hello\r\n"));
    terminal.port.write(toDevice);
    if (report.isEmpty()) {
        QTRY_COMPARE(terminal.data, QByteArray("hello\r\nOK\r\n"));
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(adapter.process.state(), QProcess::NotRunning, 10000);
    QCOMPARE(adapter.process.exitCode(), 3);
    QCOMPARE(QString(adapter.process.readAllStandardError()),
             "usbsim: replay of " + script + " stopped at line 3: " + report + "\n");
    QTRY_VERIFY(terminal.hungUp);
}

QTEST_GUILESS_MAIN(UsbsimTest)
#include "tst_usbsim.moc"
