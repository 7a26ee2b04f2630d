#include "korvixrun.h"
#include "testmain.h"

#include <usbsim/adapter.h>
#include <usbsim/pattern.h>

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTest>

#include <csignal>

// The real korvix binary, as a user starts, types to and ends it: three runs for what the
// in-process tests cannot see (the command line, the X server's keys, the window manager's
// close, a signal, the log on disk).
class tst_RealProgram : public BlackboxTestCase
{
    Q_OBJECT

private slots:
    void connectThroughTheDialogTypeAndClose();
    void reconnectToTheSameDeviceUnderANewName();
    void forceLogKeepsExactlyWhatTheDeviceSent();
};

void tst_RealProgram::connectThroughTheDialogTypeAndClose()
{
    usbsim::Adapter adapter;
    QVERIFY(adapter.plug("ttyUSB0"));
    KorvixRun korvix(*x);
    QVERIFY(korvix.start({}));
    const unsigned long dialog = korvix.waitForNewWindow();
    QVERIFY(dialog);
    QVERIFY(korvix.pressKey(dialog, "Return"));

    const unsigned long window = korvix.waitForNewWindow({dialog});
    QVERIFY(window);
    QVERIFY(korvix.waitForTitle(window, "korvix /dev/ttyUSB0 115200"));
    QTRY_VERIFY(adapter.isOpenByTerminal());
    QVERIFY(korvix.typeText(window, "AT+READ?"));
    QVERIFY(korvix.pressKey(window, "Return"));
    QTRY_COMPARE(adapter.received(), QByteArray("AT+READ?\n"));

    QVERIFY(korvix.closeNormally(window));
    const QStringList traces = korvix.traces();
    QVERIFY(traces.contains("close serial port"));
    QVERIFY(traces.indexOf("deconstructor") > traces.indexOf("close serial port"));
    QSettings stored(korvix.settingsFile(), QSettings::IniFormat);
    QCOMPARE(stored.value("keyF1").toString(), QString("F1"));
    QVERIFY(stored.contains("localecho"));
}

// Found by vendor and product id first, then by the serial number of the device found: after
// an unplug the same device under another name is taken, another of the same type is not.
void tst_RealProgram::reconnectToTheSameDeviceUnderANewName()
{
    KorvixRun korvix(*x);
    QVERIFY(korvix.start({"--filterVID", "0403", "--filterPID", "6001"}));
    const unsigned long window = korvix.waitForNewWindow();
    QVERIFY(window);
    QVERIFY(korvix.waitForTrace("foundit = false"));
    QCOMPARE(korvix.windowTitle(window), QString("korvix"));

    usbsim::UsbIdentity identity;
    identity.serialNumber = "WANDERER";
    usbsim::Adapter adapter(identity);
    QVERIFY(adapter.plug("ttyUSB0"));
    QVERIFY(korvix.waitForTitle(window, "korvix ttyUSB0 115200"));
    QVERIFY(korvix.typeText(window, "before"));
    QVERIFY(korvix.pressKey(window, "Return"));
    QTRY_COMPARE(adapter.received(), QByteArray("before\n"));

    adapter.unplug();
    QVERIFY(korvix.waitForTrace("handleError() resourceerror fired"));
    identity.serialNumber = "STRANGER";
    usbsim::Adapter stranger(identity);
    QVERIFY(stranger.plug("ttyUSB0"));
    QVERIFY(adapter.replug("ttyUSB1")); // listed after the old name
    QVERIFY(korvix.waitForTitle(window, "korvix ttyUSB1 115200"));
    QCOMPARE(korvix.traceCount("########### portname changed between autoconnect "), 1);
    QVERIFY(korvix.typeText(window, "after"));
    QVERIFY(korvix.pressKey(window, "Return"));
    QTRY_COMPARE(adapter.received(), QByteArray("before\nafter\n"));
    QVERIFY(!stranger.isOpenByTerminal());
    QVERIFY(stranger.received().isEmpty());

    QVERIFY(korvix.closeNormally(window));
}

void tst_RealProgram::forceLogKeepsExactlyWhatTheDeviceSent()
{
    usbsim::UsbIdentity identity;
    identity.serialNumber = "LOGGER";
    usbsim::Adapter adapter(identity);
    QVERIFY(adapter.plug("ttyUSB4"));
    KorvixRun korvix(*x);
    QVERIFY(korvix.startConnected({"--forceLog", "--filterSN", "logger"}, "ttyUSB4"));
    const QByteArray sent = usbsim::pattern(0, 200000, 7);
    adapter.send(sent);
    const QString log = korvix.home() + "/korvix.log";
    QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(log).size(), qint64(sent.size()), 30000);

    // As a logout or `systemctl stop` ends it: like closing the window.
    QVERIFY(!QFile::exists(korvix.settingsFile()));
    ::kill(pid_t(korvix.pid()), SIGTERM);
    QVERIFY(korvix.waitForExit() && !korvix.crashed() && korvix.exitCode() == 0);
    QVERIFY(QFile::exists(korvix.settingsFile()));
    QFile logged(log);
    QVERIFY(logged.open(QIODevice::ReadOnly));
    QVERIFY(logged.readAll() == sent);
}

KORVIX_TEST_MAIN(tst_RealProgram)
#include "tst_realprogram.moc"
