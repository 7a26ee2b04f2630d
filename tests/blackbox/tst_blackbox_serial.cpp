#include "isolatedhome.h"
#include "korvixrun.h"

#include <usbsim/adapter.h>
#include <usbsim/pattern.h>

#include <QFile>
#include <QTest>

#include <memory>

#include <csignal>

KORVIX_ISOLATE_HOME

class tst_BlackboxSerial : public BlackboxTestCase
{
    Q_OBJECT

private slots:
    void connectThroughTheDialogAndType();
    void forceLogRecordsExactlyWhatTheDeviceSent();
    void unplugIsHandledOnceWithoutAStorm();
};

void tst_BlackboxSerial::connectThroughTheDialogAndType()
{
    usbsim::Adapter adapter;
    QVERIFY(adapter.plug("ttyUSB0"));
    KorvixRun korvix(*x);
    QVERIFY(korvix.start({}));
    const unsigned long dialog = korvix.waitForNewWindow();
    QVERIFY(dialog);
    QVERIFY(korvix.pressKey(dialog, "Return"));

    QVERIFY(korvix.waitForTrace("onConnect() open"));
    const unsigned long window = korvix.waitForNewWindow({dialog});
    QVERIFY(window);
    QVERIFY(korvix.waitForTitle(window, "korvix /dev/ttyUSB0 115200"));
    QTRY_VERIFY(adapter.isOpenByTerminal());
    QVERIFY(korvix.typeText(window, "AT+READ?"));
    QVERIFY(korvix.pressKey(window, "Return"));
    QTRY_COMPARE(adapter.received(), QByteArray("AT+READ?\n"));

    QVERIFY(korvix.closeNormally(window));
    QVERIFY(korvix.traces().indexOf("deconstructor") >
            korvix.traces().indexOf("close serial port"));
}

void tst_BlackboxSerial::forceLogRecordsExactlyWhatTheDeviceSent()
{
    usbsim::UsbIdentity identity;
    identity.serialNumber = "LOGGER";
    usbsim::Adapter adapter(identity);
    QVERIFY(adapter.plug("ttyUSB4"));
    const QByteArray sent = usbsim::pattern(0, 200000, 7);

    KorvixRun korvix(*x);
    const unsigned long window =
        korvix.startConnected({"--forceLog", "--filterSN", "logger"}, "ttyUSB4");
    QVERIFY(window);
    adapter.send(sent);
    QTRY_COMPARE_WITH_TIMEOUT(adapter.bytesPendingToSend(), 0, 20000);
    QTest::qWait(500);

    // As a logout or `systemctl stop` ends it: like closing the window.
    QVERIFY(!QFile::exists(korvix.settingsFile()));
    ::kill(pid_t(korvix.pid()), SIGTERM);
    QVERIFY(korvix.waitForExit() && !korvix.crashed() && korvix.exitCode() == 0);
    QVERIFY(QFile::exists(korvix.settingsFile()));
    QFile log(korvix.home() + "/korvix.log");
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll() == sent);
}

void tst_BlackboxSerial::unplugIsHandledOnceWithoutAStorm()
{
    usbsim::UsbIdentity identity;
    identity.serialNumber = "GONE";
    usbsim::Adapter adapter(identity);
    QVERIFY(adapter.plug("ttyUSB0"));
    KorvixRun korvix(*x);
    const unsigned long window = korvix.startConnected({"--filterSN", "gone"}, "ttyUSB0");
    QVERIFY(window);

    adapter.unplug();
    QVERIFY(korvix.waitForTrace("handleError() resourceerror fired"));
    const double before = korvix.cpuSeconds();
    const int tracesBefore = korvix.traces().size();
    QTest::qWait(3000);
    const double used = korvix.cpuSeconds() - before;
    qInfo("korvix CPU while waiting for the lost device: %.2f s in 3 s; %d trace lines", used,
          int(korvix.traces().size() - tracesBefore));
    QVERIFY2(used < 0.5, qPrintable(QString::number(used)));
    QCOMPARE(korvix.traceCount("handleError() resourceerror fired"), 1);
    // Three attempts of five lines each, and no stream of errors.
    QVERIFY(korvix.traces().size() - tracesBefore < 40);

    QVERIFY(korvix.closeNormally(window));
}

QTEST_MAIN(tst_BlackboxSerial)
#include "tst_blackbox_serial.moc"
