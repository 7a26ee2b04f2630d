#include "isolatedhome.h"
#include "korvixrun.h"

#include <usbsim/adapter.h>

#include <QSettings>
#include <QTest>

#include <memory>

KORVIX_ISOLATE_HOME

class tst_BlackboxStartup : public BlackboxTestCase
{
    Q_OBJECT

private slots:
    void withoutPortsTheDialogEndsTheProgram();
    void withFiltersTheWindowSearchesForTheDevice();
    void germanSystemLoadsBothTranslations();
};

void tst_BlackboxStartup::withoutPortsTheDialogEndsTheProgram()
{
    KorvixRun korvix(*x);
    QVERIFY(korvix.start({}));
    const unsigned long dialog = korvix.waitForNewWindow();
    QVERIFY(dialog);
    QVERIFY(korvix.waitForTrace("no device present"));
    QVERIFY(korvix.pressKey(dialog, "Return"));

    QVERIFY(korvix.waitForExit());
    QVERIFY(!korvix.crashed());
    QCOMPARE(korvix.exitCode(), 0);
    const QStringList traces = korvix.traces();
    QVERIFY(traces.contains("nothing possible, no serialport available"));
    QVERIFY(!traces.contains("constructor finished"));
    QVERIFY(traces.indexOf("deconstructor") >
            traces.indexOf("######################## close event #############"));

    QSettings stored(korvix.settingsFile(), QSettings::IniFormat);
    QCOMPARE(stored.value("keyF1").toString(), QString("F1"));
    QCOMPARE(stored.value("pos").toPoint(), QPoint(200, 200));
    QVERIFY(stored.contains("localecho"));
    QVERIFY(!stored.contains("baudrate"));
}

void tst_BlackboxStartup::withFiltersTheWindowSearchesForTheDevice()
{
    KorvixRun korvix(*x);
    QVERIFY(korvix.start({"--filterVID", "0403", "--filterPID", "6001"}));
    const unsigned long window = korvix.waitForNewWindow();
    QVERIFY(window);
    QCOMPARE(korvix.windowTitle(window), QString("korvix"));
    QVERIFY(korvix.waitForTrace("constructor finished"));
    QVERIFY(korvix.waitForTrace("onTryToReconnect()"));
    QTRY_COMPARE_WITH_TIMEOUT(korvix.traceCount("onTryToReconnect()"), 2, 3000);
    QCOMPARE(korvix.traceCount("foundit = false"), korvix.traceCount("onTryToReconnect()"));

    const QString picture = korvix.home() + "/window.png";
    QVERIFY(korvix.screenshot(picture));

    QVERIFY(korvix.closeNormally(window));
    QVERIFY(korvix.traces().contains("deconstructor"));
}

void tst_BlackboxStartup::germanSystemLoadsBothTranslations()
{
    KorvixRun korvix(*x);
    korvix.setEnvironment("LANG", "de_DE.UTF-8");
    QVERIFY(korvix.start({"--filterSN", "nothing-here"}));
    const unsigned long window = korvix.waitForNewWindow();
    QVERIFY(window);
    const QStringList expected = {QString("locale: %1").arg(int(QLocale::German)),
                                  "qtTranslator ok", "qtTranslator installed", "my translator ok",
                                  "my translator installed"};
    QVERIFY(korvix.waitForTrace("my translator installed"));
    const QStringList traces = korvix.traces();
    const int first = traces.indexOf(expected.first());
    QVERIFY(first >= 0);
    QCOMPARE(traces.mid(first, expected.size()), expected);
    QVERIFY(korvix.closeNormally(window));
}

QTEST_MAIN(tst_BlackboxStartup)
#include "tst_blackbox_startup.moc"
