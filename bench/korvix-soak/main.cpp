// A long soak of the real korvix: a simulated USB adapter unplugged and plugged back, again and
// again, under two port names in turn, with bytes flowing both ways while it is connected and
// logging on. Prints the reconnections counted from korvix's traces, the CPU it used while
// waiting for the device, its open descriptors and resident memory at cycles 1, 100 and the
// last, and any byte missing from its log.
// Run it through run.sh [CYCLES], which builds it and puts it in the usbsim sandbox.
#include "frame.h"
#include "korvixrun.h"

#include <usbsim/adapter.h>
#include <usbsim/pattern.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <cstdio>

namespace {

const QString connected = QStringLiteral("onConnect() open");
const QString lost = QStringLiteral("handleError() resourceerror fired");
constexpr qint64 bytesPerCycle = 4096;
constexpr quint32 seed = 5;
const QByteArray keyOnTheWire = QByteArrayLiteral("F1\n"); // F1's default string, CR sent as LF

struct Sample
{
    int cycle;
    int descriptors;
    qint64 residentKilobytes;
};

struct Figures
{
    int cycles = 0;
    int exchanges = 0;
    int logBehind = 0;   // connected phases whose bytes were not all in the log within 5 s
    int keysMissing = 0; // connected phases whose key did not reach the device within 5 s
    double waitingCpuSeconds = 0;
    double waitingSeconds = 0;
    QList<Sample> samples;
};

qint64 logSize(const KorvixRun &korvix)
{
    return QFileInfo(korvix.home() + QStringLiteral("/korvix.log")).size();
}

// One connected phase: a block of bytes from the device, which must reach the log, which
// korvix flushes every tick, and a function key to the device.
void exchange(usbsim::Adapter *adapter, KorvixRun *korvix, unsigned long window, qint64 *sent,
              Figures *figures)
{
    ++figures->exchanges;
    adapter->send(usbsim::pattern(*sent, bytesPerCycle, seed));
    *sent += bytesPerCycle;
    if (!QTest::qWaitFor([&] { return logSize(*korvix) >= *sent; }, 5000))
        ++figures->logBehind;
    const int keysBefore = adapter->received().size();
    korvix->pressKey(window, QStringLiteral("F1"));
    if (!QTest::qWaitFor(
            [&] { return adapter->received().size() >= keysBefore + keyOnTheWire.size(); }, 5000))
        ++figures->keysMissing;
}

bool soak(const XServer &x, int cycles)
{
    usbsim::UsbIdentity identity;
    identity.serialNumber = QStringLiteral("SOAK");
    usbsim::Adapter adapter(identity);
    if (!adapter.plug(QStringLiteral("ttyUSB0"))) {
        std::fprintf(stderr, "no adapter: %s\n", qPrintable(adapter.errorString()));
        return false;
    }
    KorvixRun korvix(x);
    const unsigned long window = korvix.startConnected(
        {QStringLiteral("--forceLog"), QStringLiteral("--filterSN"), QStringLiteral("soak")},
        QStringLiteral("ttyUSB0"));
    if (!window) {
        std::fprintf(stderr, "korvix did not connect\n");
        return false;
    }

    Figures figures;
    qint64 sent = 0;
    QElapsedTimer clock;
    clock.start();
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        exchange(&adapter, &korvix, window, &sent, &figures);
        if (cycle == 1 || cycle == 100 || cycle == cycles)
            figures.samples.append(
                {cycle, korvix.openFileDescriptors(), korvix.residentKilobytes()});

        adapter.unplug();
        if (!QTest::qWaitFor([&] { return korvix.traceCount(lost) == cycle; }, 5000)) {
            std::fprintf(stderr, "cycle %d: the unplug was not noticed\n", cycle);
            break;
        }
        // Plugged back before korvix's first search, every tenth time after it found nothing.
        const double cpuBefore = korvix.cpuSeconds();
        QElapsedTimer waiting;
        waiting.start();
        QTest::qWait(cycle % 10 ? 300 : 1200);
        figures.waitingCpuSeconds += korvix.cpuSeconds() - cpuBefore;
        figures.waitingSeconds += waiting.elapsed() / 1000.0;

        adapter.plug(cycle % 2 ? QStringLiteral("ttyACM1") : QStringLiteral("ttyUSB0"));
        if (!QTest::qWaitFor([&] { return korvix.traceCount(connected) == cycle + 1; }, 10000)) {
            std::fprintf(stderr, "cycle %d: no reconnection\n", cycle);
            break;
        }
        figures.cycles = cycle;
        if (cycle % 100 == 0) {
            std::fprintf(stderr, "%d cycles, %.0f s\n", cycle, clock.elapsed() / 1000.0);
            std::fflush(stderr);
        }
    }
    exchange(&adapter, &korvix, window, &sent, &figures);
    const int reconnections = korvix.traceCount(connected) - 1;
    const int lostDevices = korvix.traceCount(lost);
    const bool closed = korvix.closeNormally(window);

    QFile log(korvix.home() + QStringLiteral("/korvix.log"));
    const QByteArray logged = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    const QByteArray expected = usbsim::pattern(0, sent, seed);
    qint64 same = 0;
    while (same < qMin(logged.size(), expected.size()) && logged.at(same) == expected.at(same))
        ++same;

    bench::print("korvix soak: %d cycles of unplug and replug (ttyUSB0 and ttyACM1 in turn), "
                 "%lld bytes from the device and F1 to it while connected, logging on, %.0f s\n",
                 cycles, bytesPerCycle, clock.elapsed() / 1000.0);
    bench::print("reconnections (traces): %d of %d, lost devices noticed: %d\n", reconnections,
                 cycles, lostDevices);
    bench::print("CPU while waiting for the device: %.2f s in %.1f s (%.2f %% of a core)\n",
                 figures.waitingCpuSeconds, figures.waitingSeconds,
                 100.0 * figures.waitingCpuSeconds / qMax(0.001, figures.waitingSeconds));
    bench::print("%8s %12s %10s\n", "cycle", "descriptors", "RSS");
    for (const Sample &sample : figures.samples)
        bench::print("%8d %12d %7lld kB\n", sample.cycle, sample.descriptors,
                     sample.residentKilobytes);
    bench::print("log: %lld bytes sent, %lld logged, %lld lost, identical: %s; "
                 "connected phases with the log behind after 5 s: %d\n",
                 sent, qint64(logged.size()), sent - same, logged == expected ? "yes" : "NO",
                 figures.logBehind);
    bench::print("keys: %d of %d reached the device; closed normally: %s\n",
                 figures.exchanges - figures.keysMissing, figures.exchanges, closed ? "yes" : "NO");
    return figures.cycles == cycles;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int cycles = bench::countArgument(application.arguments(), 1000);
    return bench::runWithXServer("korvix-soak", [&](const XServer &x) { return soak(x, cycles); });
}
