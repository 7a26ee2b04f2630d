// Feeds the real korvix from a simulated USB adapter at a fixed rate with logging on, in text
// and in hexadecimal display, and prints what it costs: bytes received against bytes logged,
// the gaps between display ticks, CPU seconds per MB and peak memory.
// Run it through run.sh [BYTES_PER_SECOND [SECONDS [text|hex|both]]], which builds it and puts
// it in the usbsim sandbox.
#include "korvixrun.h"

#include <usbsim/adapter.h>
#include <usbsim/pattern.h>

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {

struct Figures
{
    qint64 sent = 0;
    qint64 displayed = 0;
    qint64 logged = 0;
    bool logIdentical = false;
    double longestGapMs = 0;
    double p99GapMs = 0;
    int ticks = 0;
    double cpuSecondsPerMB = 0;
    qint64 peakKilobytes = 0;
};

qint64 peakResidentKilobytes(qint64 pid)
{
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression hwm("VmHWM:\\s+(\\d+) kB");
    return hwm.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
}

// Tick lines look like "korvix.receive.tick 12.345 40960": seconds since start, bytes shown.
void readTicks(const QStringList &traces, Figures *figures)
{
    QList<double> times;
    for (const QString &line : traces) {
        if (!line.startsWith("korvix.receive.tick "))
            continue;
        const QStringList parts = line.split(' ', Qt::SkipEmptyParts);
        times << parts.value(1).toDouble() * 1000.0;
        figures->displayed += parts.value(2).toLongLong();
    }
    QList<double> gaps;
    for (int i = 1; i < times.size(); ++i)
        gaps << times.at(i) - times.at(i - 1);
    std::sort(gaps.begin(), gaps.end());
    figures->ticks = times.size();
    if (!gaps.isEmpty()) {
        figures->longestGapMs = gaps.last();
        figures->p99GapMs = gaps.at(qMin(gaps.size() - 1, int(gaps.size() * 0.99)));
    }
}

bool run(const XServer &x, bool hex, qint64 rate, int seconds, Figures *figures)
{
    usbsim::UsbIdentity identity;
    identity.serialNumber = "BENCH";
    usbsim::Adapter adapter(identity);
    if (!adapter.plug("ttyUSB0"))
        return false;

    KorvixRun korvix(x);
    korvix.setEnvironment("QT_LOGGING_RULES", "korvix.receive.tick.debug=true");
    korvix.setEnvironment("QT_MESSAGE_PATTERN",
                          "%{if-category}%{category} %{time process} %{endif}%{message}");
    const unsigned long window =
        korvix.startConnected({"--forceLog", "--filterSN", "bench"}, "ttyUSB0");
    if (!window)
        return false;
    if (hex && !korvix.pressKey(window, "F11"))
        return false;
    QTest::qWait(500);

    figures->sent = rate * seconds;
    const double cpuBefore = korvix.cpuSeconds();
    adapter.sendStream(figures->sent, rate, 11);
    // A device faster than korvix is held back, so allow for a slower drain than the rate.
    const int drainMs = int((seconds + 30 + figures->sent / 500000) * 1000);
    if (!QTest::qWaitFor([&] { return adapter.bytesPendingToSend() == 0; }, drainMs))
        return false;
    QTest::qWait(1000);
    figures->cpuSecondsPerMB = (korvix.cpuSeconds() - cpuBefore) / (figures->sent / 1e6);
    figures->peakKilobytes = peakResidentKilobytes(korvix.pid());

    if (!korvix.closeWindow(window) || !korvix.waitForExit(30000) || korvix.exitCode() != 0)
        return false;
    readTicks(korvix.traces(), figures);
    QFile log(korvix.home() + "/korvix.log");
    if (!log.open(QIODevice::ReadOnly))
        return false;
    const QByteArray logged = log.readAll();
    figures->logged = logged.size();
    figures->logIdentical = logged == usbsim::pattern(0, figures->sent, 11);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const qint64 rate = arguments.value(1, "409600").toLongLong();
    const int seconds = arguments.value(2, "30").toInt();
    const QString modes = arguments.value(3, "both");
    if (!usbsim::insideSandbox()) {
        std::fprintf(stderr, "run me inside usbsim sandbox (bench/korvix-throughput does)\n");
        return 2;
    }
    XServer x;
    if (!x.isRunning()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    std::printf("korvix fed at %lld bytes/s for %d s, logging on\n", rate, seconds);
    // A tick is due every 100 ms; "late" is how much longer than that the gap before it was.
    std::printf("%-5s %10s %10s %10s %9s %6s %9s %9s %9s %9s %9s\n", "mode", "sent", "shown",
                "logged", "identical", "ticks", "max gap", "p99 gap", "p99 late", "CPU s/MB",
                "peak RSS");
    for (const bool hex : {false, true}) {
        if (modes != "both" && modes != (hex ? "hex" : "text"))
            continue;
        Figures figures;
        if (!run(x, hex, rate, seconds, &figures)) {
            std::fprintf(stderr, "the %s run failed\n", hex ? "hex" : "text");
            return 1;
        }
        std::printf("%-5s %10lld %10lld %10lld %9s %6d %7.0fms %7.0fms %7.0fms %9.3f %7lldMB\n",
                    hex ? "hex" : "text", figures.sent, figures.displayed, figures.logged,
                    figures.logIdentical ? "yes" : "NO", figures.ticks, figures.longestGapMs,
                    figures.p99GapMs, qMax(0.0, figures.p99GapMs - 100.0), figures.cpuSecondsPerMB,
                    figures.peakKilobytes / 1024);
        std::fflush(stdout);
    }
    return 0;
}
