#include "korvixrun.h"
#include "testmain.h"

#include <usbsim/adapter.h>
#include <usbsim/pattern.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QTest>

#include <csignal>
#include <cstring>

// The real korvix binary, as a user starts, types to and ends it, for what the in-process tests
// cannot see (the command line, the X server's keys, the window manager's close, signals, the log
// on disk). Finding a device again is the in-process tst_reconnection's, and tst_realkernel's
// against the kernel's own drivers.
class tst_RealProgram : public BlackboxTestCase
{
    Q_OBJECT

private slots:
    void connectThroughTheDialogTypeAndClose();
    void quitSignalClosesLikeTheWindow_data();
    void quitSignalClosesLikeTheWindow();
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

void tst_RealProgram::quitSignalClosesLikeTheWindow_data()
{
    QTest::addColumn<int>("quitSignal");
    QTest::addColumn<QString>("state");
    // The three share one handler: each state with one of them, and each of the others once, in
    // the state that also sends a second signal.
    for (const char *state : {"start-up dialog", "message box", "logging", "closing"})
        QTest::addRow("SIGTERM, %s", state) << int(SIGTERM) << QString(state);
    for (const int quitSignal : {SIGINT, SIGHUP})
        QTest::addRow("SIG%s, closing", sigabbrev_np(quitSignal))
            << quitSignal << QString("closing");
}

// As a logout, `systemctl stop`, Ctrl+C or a closed terminal ends it: like closing the window,
// with --forceLog and every byte the device sent in the log; a second signal while it closes
// ends it at once.
void tst_RealProgram::quitSignalClosesLikeTheWindow()
{
    QFETCH(int, quitSignal);
    QFETCH(QString, state);
    usbsim::UsbIdentity identity;
    identity.serialNumber = "LOGGER";
    usbsim::Adapter adapter(identity);
    QVERIFY(adapter.plug("ttyUSB4"));
    KorvixRun korvix(*x);
    QFile log(korvix.home() + "/korvix.log");
    QByteArray logged = "the last run's log"; // kept when korvix ends before it began
    QVERIFY(log.open(QIODevice::WriteOnly) && log.write(logged) == logged.size());
    log.close();
    const QStringList findIt{"--forceLog", "--filterSN", "logger"};
    if (state == "start-up dialog") {
        QVERIFY(korvix.start({"--forceLog"}));
        QVERIFY(korvix.waitForNewWindow());
    } else if (state == "message box") {
        QVERIFY(adapter.setBusy(true));
        QVERIFY(korvix.start(findIt));
        // The window and its box (a second one, of the retry, may follow).
        QTRY_VERIFY_WITH_TIMEOUT(korvix.visibleWindows().size() >= 2, 15000);
        logged.clear();
    } else {
        QVERIFY(korvix.start(findIt));
        QVERIFY(korvix.waitForTrace("onConnect() open"));
        logged = usbsim::pattern(0, 200000, 7);
        adapter.send(logged);
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(log).size(), qint64(logged.size()), 30000);
    }

    // Another program writing the settings holds korvix up in the middle of closing.
    const bool closing = state == "closing";
    QLockFile settingsWriter(korvix.settingsFile() + ".lock");
    QVERIFY(!closing ||
            (QDir().mkpath(korvix.home() + "/.config/velmorand") && settingsWriter.lock()));
    ::kill(pid_t(korvix.pid()), quitSignal);
    if (closing) {
        QVERIFY(korvix.waitForTrace("deconstructor"));
        // Another of the three, each of them once over the rows: closing stops handling them all.
        const int second = quitSignal == SIGTERM ? SIGINT : quitSignal == SIGINT ? SIGHUP : SIGTERM;
        ::kill(pid_t(korvix.pid()), second);
        QVERIFY(korvix.waitForExit() && korvix.crashed() && korvix.exitCode() == second);
    } else {
        QVERIFY(korvix.waitForExit() && !korvix.crashed() && korvix.exitCode() == 0);
        QVERIFY(korvix.traces().contains("######################## close event #############"));
    }
    QCOMPARE(QFile::exists(korvix.settingsFile()), !closing);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll() == logged);
}

KORVIX_TEST_MAIN(tst_RealProgram)
#include "tst_realprogram.moc"
