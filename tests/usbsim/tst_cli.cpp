#include "portsupport.h"

#include <isolatedhome.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace usbsimtest;

KORVIX_ISOLATE_HOME

namespace {

struct Result
{
    int status = -1; // also when it crashed or hung
    QByteArray out;
    QString err;
};

Result usbsimRun(const QStringList &arguments)
{
    QProcess process;
    process.start(qEnvironmentVariable("USBSIM_BINARY"), arguments);
    Result result;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
        result.status = process.exitCode();
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
    void help();
    void rejectsBadCommandLines_data();
    void rejectsBadCommandLines();
    void plugSendCaptureUnplug();
    void personalitiesAnswer();

private:
    QTemporaryDir scratch;
};

void CliTest::initTestCase()
{
    QVERIFY(usbsim::insideSandbox());
    QVERIFY(scratch.isValid());
}

void CliTest::help()
{
    const Result all = usbsimRun({"--help"});
    QCOMPARE(all.status, 0);
    QVERIFY2(all.out.contains("usbsim plug NAME"), all.out.constData());
    const Result plug = usbsimRun({"plug", "--help"});
    QCOMPARE(plug.status, 0);
    QVERIFY2(plug.out.startsWith("Usage: usbsim plug"), plug.out.constData());
}

void CliTest::rejectsBadCommandLines_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown command")
        << QStringList{"frobnicate"} << 2 << "unknown command 'frobnicate'";
    QTest::newRow("unknown option")
        << QStringList{"plug", "ttyUSB0", "--bogus"} << 2 << "Unknown option 'bogus'";
    QTest::newRow("bad name") << QStringList{"plug", "usb/0"} << 2 << "invalid port name 'usb/0'";
    QTest::newRow("bad hex") << QStringList{"send", "x", "--hex", "41 4g"} << 2
                             << "'g' is not a hex digit";
    QTest::newRow("unknown adapter")
        << QStringList{"unplug", "nosuch"} << 1 << "no adapter with id 'nosuch'";
}

void CliTest::rejectsBadCommandLines()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    const Result result = usbsimRun(arguments);
    QCOMPARE(result.status, status);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QCOMPARE(result.err.count(QLatin1Char('\n')), 1);
    QCOMPARE(portNames(), QStringList());
}

void CliTest::plugSendCaptureUnplug()
{
    const QString capture = scratch.filePath(QStringLiteral("capture.bin"));
    const Result plugged = usbsimRun({"plug", "ttyACM2", "--id", "uno", "--vid", "2341", "--pid",
                                      "0x43", "--serial", "S-1", "--manufacturer", "Arduino",
                                      "--product", "Uno R3", "--capture", capture});
    QVERIFY2(plugged.status == 0, qPrintable(plugged.err));
    QCOMPARE(identityOf(QStringLiteral("ttyACM2")),
             identityOf(usbsim::UsbIdentity{0x2341, 0x0043, "S-1", "Arduino", "Uno R3"}));

    Terminal terminal;
    QVERIFY(terminal.open(QStringLiteral("ttyACM2")));
    QCOMPARE(usbsimRun({"send", "uno", "--hex", "00 ff:0x41,0d0a", "--wait"}).status, 0);
    QCOMPARE(usbsimRun({"send", "uno", "--string", "AT\\r\\n\\x00\\\\"}).status, 0);
    QTRY_COMPARE(terminal.data, QByteArray("\x00\xff\x41\r\nAT\r\n\x00\\", 11));

    QByteArray fromTerminal;
    for (int value = 255; value >= 0; --value)
        fromTerminal.append(char(value));
    terminal.port.write(fromTerminal);
    // Qt writes from the event loop, which stands still while a command runs.
    QTRY_COMPARE(terminal.port.bytesToWrite(), qint64(0));
    QCOMPARE(usbsimRun({"wait", "uno", "--received", "256", "--timeout", "60"}).status, 0);
    QFile captured(capture);
    QVERIFY(captured.open(QIODevice::ReadOnly));
    QCOMPARE(captured.readAll(), fromTerminal);

    QCOMPARE(usbsimRun({"unplug", "uno"}).status, 0);
    QCOMPARE(portNames(), QStringList());
    QTRY_VERIFY(terminal.hungUp);
}

void CliTest::personalitiesAnswer()
{
    QCOMPARE(usbsimRun({"plug", "ttyUSB0", "--personality", "echo"}).status, 0);
    QCOMPARE(usbsimRun({"plug", "ttyUSB1", "--personality", "demo"}).status, 0);
    Terminal echo, demo;
    QVERIFY(echo.open(QStringLiteral("ttyUSB0")));
    QVERIFY(demo.open(QStringLiteral("ttyUSB1")));
    echo.port.write("ping\r\n");
    QTRY_COMPARE(echo.data, QByteArray("ping\r\n"));
    QTRY_VERIFY2(demo.data.startsWith("usbsim demo sensor ready") && demo.data.endsWith("\r\n"),
                 demo.data.constData());
    demo.data.clear();
    // Readings may come in between; they contain neither answer.
    demo.port.write("AT\r\nAT+FLY\r\n");
    QTRY_VERIFY2(demo.data.contains("OK\r\n") && demo.data.contains("ERROR\r\n"),
                 demo.data.constData());
}

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
