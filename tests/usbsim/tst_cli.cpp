#include "portsupport.h"

#include <isolatedhome.h>
#include <usbsim/adapter.h>
#include <usbsim/pattern.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using usbsimtest::portInfo;
using usbsimtest::portNames;
using usbsimtest::Terminal;

KORVIX_ISOLATE_HOME

namespace {

struct Result
{
    int status = -1;
    QByteArray out;
    QString err;
};

Result usbsimRun(const QStringList &arguments)
{
    QProcess process;
    process.start(qEnvironmentVariable("USBSIM_BINARY"), arguments);
    Result result;
    if (!process.waitForFinished(60000))
        return result;
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

} // namespace

class CliTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void helpDescribesEachCommand_data();
    void helpDescribesEachCommand();
    void rejectsBadArguments_data();
    void rejectsBadArguments();
    void reportsAnUnknownAdapter();
    void plugsWithTheGivenIdentity();
    void sendsAndCaptures();
    void generatedStreamMatchesThePatternCommand();
    void unplugReplugAndRemove();
    void busyFromTheCommandLine();
    void refusesASecondAdapterWithTheSameId();
    void personalitiesFromTheCommandLine();

private:
    QTemporaryDir scratch;
};

void CliTest::initTestCase()
{
    QVERIFY(usbsim::insideSandbox());
    QCOMPARE(qgetenv("USBSIM_SANDBOX"), QByteArray("1"));
    QVERIFY(QFile::exists(qEnvironmentVariable("USBSIM_BINARY")));
    QVERIFY(scratch.isValid());
}

void CliTest::cleanup()
{
    const QStringList ids =
        QDir(QStringLiteral("/run/usbsim/adapters")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &id : ids)
        usbsimRun({"remove", id});
}

void CliTest::helpDescribesEachCommand_data()
{
    QTest::addColumn<QString>("command");
    for (const char *command : {"sandbox", "plug", "unplug", "replug", "send", "capture", "wait",
                                "busy", "list", "ports", "remove", "pattern"})
        QTest::newRow(command) << command;
}

void CliTest::helpDescribesEachCommand()
{
    QFETCH(QString, command);
    const Result result = usbsimRun({command, "--help"});
    QCOMPARE(result.status, 0);
    QVERIFY2(result.out.startsWith("Usage: usbsim " + command.toLatin1()), result.out.constData());
    QVERIFY(usbsimRun({"--help"}).out.contains("usbsim " + command.toLatin1()));
}

void CliTest::rejectsBadArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("no command") << QStringList() << "Usage: usbsim COMMAND";
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << "unknown command 'frobnicate'";
    QTest::newRow("unknown option")
        << QStringList{"plug", "ttyUSB0", "--bogus"} << "Unknown option 'bogus'";
    QTest::newRow("missing name") << QStringList{"plug"} << "missing arguments";
    QTest::newRow("bad name") << QStringList{"plug", "usb/0"} << "invalid port name 'usb/0'";
    QTest::newRow("bad vid") << QStringList{"plug", "ttyUSB0", "--vid", "xyz"}
                             << "invalid vendor id 'xyz'";
    QTest::newRow("long pid") << QStringList{"plug", "ttyUSB0", "--pid", "12345"}
                              << "invalid product id '12345'";
    QTest::newRow("bad id") << QStringList{"plug", "ttyUSB0", "--id", "a b"}
                            << "invalid adapter id 'a b'";
    QTest::newRow("serial twice") << QStringList{"plug", "ttyUSB0", "--serial", "A", "--no-serial"}
                                  << "exclude each other";
    QTest::newRow("control char") << QStringList{"plug", "ttyUSB0", "--product", "a\tb"}
                                  << "control characters";
    QTest::newRow("personality") << QStringList{"plug", "ttyUSB0", "--personality", "robot"}
                                 << "unknown personality 'robot'";
    QTest::newRow("bad hex digit")
        << QStringList{"send", "x", "--hex", "41 4g"} << "'g' is not a hex digit";
    QTest::newRow("odd hex") << QStringList{"send", "x", "--hex", "414"} << "pairs of hex digits";
    QTest::newRow("no payload") << QStringList{"send", "x"} << "exactly one of";
    QTest::newRow("two payloads") << QStringList{"send", "x", "--hex", "41", "--string", "A"}
                                  << "exactly one of";
    QTest::newRow("bad escape") << QStringList{"send", "x", "--string", "\\q"}
                                << "unknown escape '\\q'";
    QTest::newRow("bad length") << QStringList{"send", "x", "--generate", "ten"}
                                << "invalid length 'ten'";
    QTest::newRow("bad rate") << QStringList{"send", "x", "--hex", "41", "--rate", "-5"}
                              << "invalid rate '-5'";
    QTest::newRow("bad seed") << QStringList{"pattern", "10", "--seed", "s"} << "invalid seed 's'";
    QTest::newRow("wait without count") << QStringList{"wait", "x"} << "--received N is required";
    QTest::newRow("bad timeout") << QStringList{"wait", "x", "--received", "1", "--timeout", "soon"}
                                 << "invalid timeout 'soon'";
    QTest::newRow("busy maybe") << QStringList{"busy", "x", "maybe"} << "expected on or off";
    QTest::newRow("bad unplug id") << QStringList{"unplug", "../x"} << "invalid adapter id '../x'";
    QTest::newRow("bad replug name")
        << QStringList{"replug", "x", "--name", "COM1"} << "invalid port name 'COM1'";
    QTest::newRow("sandbox option")
        << QStringList{"sandbox", "--fast"} << "unknown option '--fast'";
}

void CliTest::rejectsBadArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const Result result = usbsimRun(arguments);
    QCOMPARE(result.status, 2);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QCOMPARE(result.err.count(QLatin1Char('\n')) > 1, arguments.isEmpty()); // one clear line
    QCOMPARE(portNames(), QStringList());
}

void CliTest::reportsAnUnknownAdapter()
{
    const Result result = usbsimRun({"unplug", "nosuch"});
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(QLatin1String("no adapter with id 'nosuch'")),
             qPrintable(result.err));
}

void CliTest::plugsWithTheGivenIdentity()
{
    Result result =
        usbsimRun({"plug", "ttyACM2", "--id", "uno", "--vid", "2341", "--pid", "0x43", "--serial",
                   "S-1", "--manufacturer", "Arduino", "--product", "Uno R3"});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    const QSerialPortInfo info = portInfo(QStringLiteral("ttyACM2"));
    QCOMPARE(info.vendorIdentifier(), quint16(0x2341));
    QCOMPARE(info.productIdentifier(), quint16(0x0043));
    QCOMPARE(info.serialNumber(), QStringLiteral("S-1"));
    QCOMPARE(info.manufacturer(), QStringLiteral("Arduino"));
    QCOMPARE(info.description(), QStringLiteral("Uno R3"));
    result = usbsimRun({"list"});
    QVERIFY2(result.out.startsWith("uno\tttyACM2\tplugged\t2341:0043\tS-1\t"),
             result.out.constData());
    QVERIFY(usbsimRun({"plug", "ttyUSB1", "--no-serial"}).status == 0);
    QCOMPARE(portInfo(QStringLiteral("ttyUSB1")).serialNumber(), QString());
    QCOMPARE(portNames(), QStringList({"ttyACM2", "ttyUSB1"}));
}

void CliTest::sendsAndCaptures()
{
    const QString capture = scratch.filePath(QStringLiteral("capture.bin"));
    QCOMPARE(usbsimRun({"plug", "ttyUSB0", "--capture", capture}).status, 0);
    Terminal terminal;
    QVERIFY(terminal.open(QStringLiteral("ttyUSB0")));
    QCOMPARE(usbsimRun({"send", "ttyUSB0", "--hex", "00 ff:0x41,0d0a", "--wait"}).status, 0);
    QCOMPARE(usbsimRun({"send", "ttyUSB0", "--string", "AT\\r\\n\\x00\\\\"}).status, 0);
    QTRY_COMPARE(terminal.data, QByteArray("\x00\xff\x41\r\nAT\r\n\x00\\", 11));

    QByteArray fromTerminal;
    for (int value = 255; value >= 0; --value)
        fromTerminal.append(char(value));
    terminal.port().write(fromTerminal);
    QTRY_VERIFY(terminal.port().bytesToWrite() == 0);
    QCOMPARE(usbsimRun({"wait", "ttyUSB0", "--received", "256", "--timeout", "60"}).status, 0);
    QFile captured(capture);
    QVERIFY(captured.open(QIODevice::ReadOnly));
    QCOMPARE(captured.readAll(), fromTerminal);

    const Result timedOut = usbsimRun({"wait", "ttyUSB0", "--received", "257", "--timeout", "0.2"});
    QCOMPARE(timedOut.status, 1);
    QVERIFY2(timedOut.err.contains(QLatin1String("timed out after receiving 256 of 257 bytes")),
             qPrintable(timedOut.err));
}

void CliTest::generatedStreamMatchesThePatternCommand()
{
    QCOMPARE(usbsimRun({"plug", "ttyUSB0"}).status, 0);
    Terminal terminal;
    QVERIFY(terminal.open(QStringLiteral("ttyUSB0")));
    // No --wait: the stream is larger than the pseudo-terminal buffers, so it goes out only
    // while this test's event loop reads.
    QCOMPARE(usbsimRun({"send", "ttyUSB0", "--generate", "300K", "--seed", "9"}).status, 0);
    QTRY_COMPARE_WITH_TIMEOUT(terminal.data.size(), 300 * 1024, 60000);
    const Result pattern = usbsimRun({"pattern", "300K", "--seed", "9"});
    QCOMPARE(pattern.status, 0);
    QVERIFY(pattern.out == usbsim::pattern(0, 300 * 1024, 9));
    QVERIFY(terminal.data == pattern.out);
}

void CliTest::unplugReplugAndRemove()
{
    QCOMPARE(usbsimRun({"plug", "ttyUSB0", "--id", "dev", "--serial", "R1"}).status, 0);
    Terminal terminal;
    QVERIFY(terminal.open(QStringLiteral("ttyUSB0")));
    QCOMPARE(usbsimRun({"unplug", "dev"}).status, 0);
    QTRY_VERIFY(terminal.sawHangUp());
    QVERIFY(terminal.pollsHangUp());
    terminal.port().close();
    QCOMPARE(portNames(), QStringList());
    QVERIFY(usbsimRun({"list"}).out.startsWith("dev\tttyUSB0\tunplugged\t"));
    const Result refused = usbsimRun({"send", "dev", "--hex", "41"});
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.err.contains(QLatin1String("unplugged")), qPrintable(refused.err));

    QCOMPARE(usbsimRun({"replug", "dev", "--name", "ttyUSB6"}).status, 0);
    QCOMPARE(portNames(), QStringList("ttyUSB6"));
    QCOMPARE(portInfo(QStringLiteral("ttyUSB6")).serialNumber(), QStringLiteral("R1"));
    QCOMPARE(usbsimRun({"remove", "dev"}).status, 0);
    QCOMPARE(portNames(), QStringList());
    QCOMPARE(usbsimRun({"list"}).out, QByteArray());
}

void CliTest::busyFromTheCommandLine()
{
    QCOMPARE(usbsimRun({"plug", "ttyUSB0"}).status, 0);
    QCOMPARE(usbsimRun({"busy", "ttyUSB0", "on"}).status, 0);
    QVERIFY(portInfo(QStringLiteral("ttyUSB0")).isBusy());
    Terminal terminal;
    QVERIFY(!terminal.open(QStringLiteral("ttyUSB0")));
    QCOMPARE(usbsimRun({"busy", "ttyUSB0", "off"}).status, 0);
    QVERIFY(terminal.open(QStringLiteral("ttyUSB0")));
}

void CliTest::refusesASecondAdapterWithTheSameId()
{
    QCOMPARE(usbsimRun({"plug", "ttyUSB0", "--id", "one"}).status, 0);
    Result result = usbsimRun({"plug", "ttyUSB1", "--id", "one"});
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(QLatin1String("id 'one' already exists")), qPrintable(result.err));
    result = usbsimRun({"plug", "ttyUSB0", "--id", "two"});
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(QLatin1String("ttyUSB0 is already plugged")),
             qPrintable(result.err));
    QCOMPARE(portNames(), QStringList("ttyUSB0"));
}

void CliTest::personalitiesFromTheCommandLine()
{
    QCOMPARE(usbsimRun({"plug", "ttyUSB0", "--personality", "echo"}).status, 0);
    QCOMPARE(usbsimRun({"plug", "ttyUSB1", "--personality", "demo"}).status, 0);
    Terminal echo, demo;
    QVERIFY(echo.open(QStringLiteral("ttyUSB0")));
    QVERIFY(demo.open(QStringLiteral("ttyUSB1")));
    echo.port().write("ping\r\n");
    QTRY_COMPARE(echo.data, QByteArray("ping\r\n"));
    QTRY_VERIFY(demo.data.startsWith("usbsim demo sensor ready") && demo.data.endsWith("\r\n"));
    demo.data.clear();
    demo.port().write("AT\r\n");
    QTRY_VERIFY2(demo.data.endsWith("OK\r\n"), demo.data.constData());
}

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
