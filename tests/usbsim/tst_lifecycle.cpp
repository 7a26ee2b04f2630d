#include "portsupport.h"

#include <isolatedhome.h>
#include <usbsim/adapter.h>
#include <usbsim/personality.h>

#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

#include <time.h>

using usbsim::Adapter;
using usbsimtest::portInfo;
using usbsimtest::portNames;
using usbsimtest::Terminal;

KORVIX_ISOLATE_HOME

class LifecycleTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void unplugHangsUpAnOpenPort();
    void replugAfterUnplugCarriesBytesAgain();
    void busyIsReportedAndOpenFails();
    void busyFailsWhileATerminalHoldsThePort();
    void tellsWhenATerminalOpensAndCloses();
    void anIdleAdapterDoesNotSpin();
    void echoPersonalitySendsBack();
    void demoPersonalityAnswers_data();
    void demoPersonalityAnswers();
    void demoPersonalityReports();

private:
    Adapter *adapter = nullptr;
    Terminal *terminal = nullptr;
};

void LifecycleTest::init()
{
    adapter =
        new Adapter(usbsim::UsbIdentity{0x0403, 0x6001, QStringLiteral("LIFE1"),
                                        QStringLiteral("FTDI"), QStringLiteral("FT232R USB UART")},
                    this);
    terminal = new Terminal(this);
    QVERIFY2(adapter->plug(QStringLiteral("ttyUSB0")), qPrintable(adapter->errorString()));
}

void LifecycleTest::cleanup()
{
    delete terminal;
    delete adapter;
}

void LifecycleTest::unplugHangsUpAnOpenPort()
{
    QVERIFY(terminal->open(QStringLiteral("ttyUSB0")));
    adapter->unplug();
    QCOMPARE(portNames(), QStringList());
    QVERIFY(!QFileInfo::exists(QStringLiteral("/dev/ttyUSB0")));
    QTRY_VERIFY(terminal->sawHangUp());
    QVERIFY(terminal->pollsHangUp());
    terminal->port().close(); // ends Qt's endless ReadError storm
    QVERIFY(!terminal->open(QStringLiteral("ttyUSB0")));
}

void LifecycleTest::replugAfterUnplugCarriesBytesAgain()
{
    QVERIFY(terminal->open(QStringLiteral("ttyUSB0")));
    adapter->unplug();
    QTRY_VERIFY(terminal->sawHangUp());
    terminal->port().close();
    QVERIFY(adapter->replug());
    QVERIFY(terminal->open(QStringLiteral("ttyUSB0")));
    adapter->send("after");
    terminal->port().write("back");
    QTRY_COMPARE(terminal->data, QByteArray("after"));
    QTRY_COMPARE(adapter->received(), QByteArray("back"));
}

void LifecycleTest::busyIsReportedAndOpenFails()
{
    QVERIFY2(adapter->setBusy(true), qPrintable(adapter->errorString()));
    QVERIFY(portInfo(QStringLiteral("ttyUSB0")).isBusy());
    QVERIFY(!terminal->open(QStringLiteral("ttyUSB0")));
    QCOMPARE(terminal->port().error(), QSerialPort::PermissionError);
    QVERIFY(adapter->setBusy(false));
    QVERIFY(!portInfo(QStringLiteral("ttyUSB0")).isBusy());
    QVERIFY2(terminal->open(QStringLiteral("ttyUSB0")), qPrintable(terminal->port().errorString()));
}

void LifecycleTest::busyFailsWhileATerminalHoldsThePort()
{
    QVERIFY(terminal->open(QStringLiteral("ttyUSB0")));
    QVERIFY(portInfo(QStringLiteral("ttyUSB0")).isBusy());
    QVERIFY(!adapter->setBusy(true));
    QVERIFY2(adapter->errorString().contains(QLatin1String("locked")),
             qPrintable(adapter->errorString()));
}

void LifecycleTest::tellsWhenATerminalOpensAndCloses()
{
    QSignalSpy changes(adapter, &Adapter::terminalOpenChanged);
    QVERIFY(terminal->open(QStringLiteral("ttyUSB0")));
    QTRY_VERIFY(adapter->isOpenByTerminal());
    terminal->port().close();
    QTRY_VERIFY(!adapter->isOpenByTerminal());
    QCOMPARE(changes.count(), 2);
}

void LifecycleTest::anIdleAdapterDoesNotSpin()
{
    // With no terminal on the slave, a pseudo-terminal master polls POLLHUP; an adapter that
    // let that reach its notifier would run the event loop flat out.
    QVERIFY(terminal->open(QStringLiteral("ttyUSB0")));
    terminal->port().close();
    QTRY_VERIFY(!adapter->isOpenByTerminal());
    struct timespec before, after;
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &before);
    QTest::qWait(500);
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &after);
    const double cpuMs =
        (after.tv_sec - before.tv_sec) * 1e3 + (after.tv_nsec - before.tv_nsec) / 1e6;
    QVERIFY2(cpuMs < 250, qPrintable(QStringLiteral("%1 ms of CPU in 500 ms idle").arg(cpuMs)));
}

void LifecycleTest::echoPersonalitySendsBack()
{
    new usbsim::EchoPersonality(adapter);
    QVERIFY(terminal->open(QStringLiteral("ttyUSB0")));
    const QByteArray bytes("\x00\xffhello\r\n", 9);
    terminal->port().write(bytes);
    QTRY_COMPARE(terminal->data, bytes);
}

void LifecycleTest::demoPersonalityAnswers_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("answer"); // a pattern for the whole answer

    QTest::newRow("AT, CR LF") << QByteArray("AT\r\n") << "OK\r\n";
    QTest::newRow("at, LF") << QByteArray("at\n") << "OK\r\n";
    QTest::newRow("ATI") << QByteArray("ATI\r\n")
                         << "usbsim demo sensor FTDI FT232R USB UART serial LIFE1\r\nOK\r\n";
    QTest::newRow("AT+READ?") << QByteArray("AT+READ?\r")
                              << "T=-?\\d+\\.\\dC U=\\d\\.\\d\\dV I=\\d+mA n=\\d+\r\nOK\r\n";
    QTest::newRow("unknown") << QByteArray("AT+FLY\r\n") << "ERROR\r\n";
    QTest::newRow("two at once") << QByteArray("AT\r\nAT+NO\n") << "OK\r\nERROR\r\n";
}

void LifecycleTest::demoPersonalityAnswers()
{
    QFETCH(QByteArray, command);
    QFETCH(QString, answer);
    new usbsim::DemoPersonality(adapter);
    QVERIFY(terminal->open(QStringLiteral("ttyUSB0")));
    QTRY_VERIFY(terminal->data.endsWith("\r\n")); // the banner
    terminal->data.clear();
    terminal->port().write(command);
    const QRegularExpression expected(QStringLiteral("^") + answer);
    QTRY_VERIFY2(terminal->data.endsWith("OK\r\n") || terminal->data.endsWith("ERROR\r\n"),
                 terminal->data.constData());
    // Readings may arrive in between; answers are whole lines, so take them out first.
    const QString text =
        QString::fromLatin1(terminal->data)
            .remove(QRegularExpression(QStringLiteral("T=[^\r]* n=\\d+\r\n(?!OK)")));
    QVERIFY2(expected.match(text).hasMatch(), qPrintable(text));
}

void LifecycleTest::demoPersonalityReports()
{
    new usbsim::DemoPersonality(adapter);
    QVERIFY(terminal->open(QStringLiteral("ttyUSB0")));
    const QRegularExpression line(
        QStringLiteral("^T=-?\\d+\\.\\dC U=\\d\\.\\d\\dV I=\\d+mA n=1\r\n"));
    QTRY_VERIFY(terminal->data.count('\n') >= 2);
    const QList<QByteArray> lines = terminal->data.split('\n');
    QVERIFY2(lines.at(0).startsWith("usbsim demo sensor ready"), lines.at(0).constData());
    QVERIFY2(line.match(QString::fromLatin1(lines.at(1) + '\n')).hasMatch(),
             lines.at(1).constData());
    terminal->port().close();
    QTRY_VERIFY(!adapter->isOpenByTerminal());
    QTest::qWait(1500); // a reading would be due meanwhile
    terminal->data.clear();
    QVERIFY(terminal->open(QStringLiteral("ttyUSB0")));
    QTRY_VERIFY(terminal->data.contains('\n'));
    QVERIFY2(terminal->data.startsWith("usbsim demo sensor ready"), terminal->data.constData());
}

QTEST_GUILESS_MAIN(LifecycleTest)
#include "tst_lifecycle.moc"
