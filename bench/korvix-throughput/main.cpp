// Feeds the real korvix from a simulated USB adapter with logging on and prints whether it kept
// pace and what that cost. Each run is RATE:SIZE:DISPLAY:
//   RATE     bytes per second through a 64 KiB UART buffer that loses what does not fit, as a
//            real adapter does when the terminal stalls; "max": as fast as the port takes them
//   SIZE     bytes to send, with a K, M or G suffix (powers of 1000)
//   DISPLAY  "text" (lines of printable text, text display) or "hex" (random bytes, hex display)
// Run it through run.sh [RUN...], which builds it and puts it in the usbsim sandbox.
#include "korvixrun.h"

#include <usbsim/adapter.h>
#include <usbsim/pattern.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 UartBuffer = 64 * 1024;
constexpr qint64 TextBlock = 10 * 1000 * 1000;
constexpr quint32 Seed = 11;

struct Run
{
    QString spec;
    qint64 rate = 0; // 0: as fast as the port takes them
    qint64 size = 0;
    bool hex = false;
};

struct Figures
{
    qint64 lost = 0;
    qint64 logged = 0;
    bool logExact = false;
    double mbPerSecond = 0;
    double cpuSecondsPerMB = 0;
    int ticks = 0;
    double p99LateMs = 0;
    double maxLateMs = 0;
    qint64 idleKB = 0;
    qint64 peakKB = 0;
    qint64 at100MBKB = -1;
    qint64 endKB = 0;
};

// Lines of printable text of varied length, ending in CR LF, without the characters that make
// korvix render a chunk as markup.
QByteArray textLines(qint64 size)
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                   "      .,:;=+-*/()[]_#%";
    QRandomGenerator random(Seed);
    QByteArray text;
    text.reserve(size);
    while (text.size() < size) {
        const int length = random.bounded(10, 120);
        for (int i = 0; i < length; ++i)
            text += alphabet[random.bounded(int(sizeof alphabet) - 1)];
        text += "\r\n";
    }
    text.truncate(int(size));
    return text;
}

// What the device sends, from `offset` on, `length` bytes at most.
QByteArray payload(const Run &run, const QByteArray &text, qint64 offset, qint64 length)
{
    if (run.hex)
        return usbsim::pattern(offset, length, Seed);
    const qint64 start = offset % text.size();
    return text.mid(int(start), int(qMin(length, text.size() - start)));
}

bool logMatches(const QString &path, const Run &run, const QByteArray &text)
{
    QFile log(path);
    if (!log.open(QIODevice::ReadOnly) || log.size() != run.size)
        return false;
    for (qint64 offset = 0; offset < run.size;) {
        const QByteArray expected =
            payload(run, text, offset, qMin<qint64>(4 * 1000 * 1000, run.size - offset));
        if (log.read(expected.size()) != expected)
            return false;
        offset += expected.size();
    }
    return true;
}

// Tick lines look like "korvix.receive.tick 12.345 40960": seconds since start, bytes shown.
// The feed is what lies between the first and the last tick that showed bytes. "Late" is how much
// longer than the 100 ms period the gap before a tick was.
void readTicks(const QString &traceFile, Figures *figures)
{
    QFile traces(traceFile);
    if (!traces.open(QIODevice::ReadOnly))
        return;
    QList<double> times;
    int lastShowing = -1;
    while (!traces.atEnd()) {
        const QByteArray line = traces.readLine();
        if (!line.startsWith("korvix.receive.tick "))
            continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        const bool showing = fields.value(2).toLongLong() > 0;
        if (times.isEmpty() && !showing)
            continue;
        times << fields.value(1).toDouble() * 1000.0;
        if (showing)
            lastShowing = times.size() - 1;
    }
    times = times.mid(0, lastShowing + 1);
    QList<double> late;
    for (int i = 1; i < times.size(); ++i)
        late << qMax(0.0, times.at(i) - times.at(i - 1) - 100.0);
    std::sort(late.begin(), late.end());
    figures->ticks = times.size();
    if (!late.isEmpty()) {
        figures->maxLateMs = late.last();
        figures->p99LateMs = late.at(qMin(late.size() - 1, int(late.size() * 0.99)));
    }
}

// Unlike QTest::qWaitFor, which sleeps between looks, this serves the adapter the moment the
// line has room: the figures are korvix's, not the feeder's.
template<typename Predicate> bool waitUntil(Predicate done, qint64 timeoutMs)
{
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    look.start(20);
    QTimer::singleShot(int(timeoutMs), &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

bool measure(const XServer &x, const Run &run, const QByteArray &text, Figures *figures)
{
    usbsim::UsbIdentity identity;
    identity.serialNumber = QStringLiteral("BENCH");
    usbsim::Adapter adapter(identity);
    if (!adapter.plug(QStringLiteral("ttyUSB0")))
        return false;
    if (run.rate > 0)
        adapter.setUartBuffer(UartBuffer);

    KorvixRun korvix(x);
    const QString traceFile = korvix.home() + QStringLiteral("/traces.txt");
    korvix.setTraceFile(traceFile);
    korvix.setEnvironment(QStringLiteral("QT_LOGGING_RULES"),
                          QStringLiteral("korvix.receive.tick.debug=true"));
    korvix.setEnvironment(
        QStringLiteral("QT_MESSAGE_PATTERN"),
        QStringLiteral("%{if-category}%{category} %{time process} %{endif}%{message}"));
    const unsigned long window = korvix.startConnected(
        {QStringLiteral("--forceLog"), QStringLiteral("--filterSN"), QStringLiteral("bench")},
        QStringLiteral("ttyUSB0"));
    if (!window || (run.hex && !korvix.pressKey(window, QStringLiteral("F11"))))
        return false;
    QTest::qWait(1000);
    figures->idleKB = korvix.residentKilobytes();

    const double cpuBefore = korvix.cpuSeconds();
    // Long text runs pause once at 100 MB, so that memory there and at the end is read alike,
    // with korvix at rest.
    const qint64 pauseAt = !run.hex && run.rate == 0 && run.size > 100000000 ? 100000000 : run.size;
    double feedS = 0;
    for (qint64 from = 0; from < run.size;) {
        const qint64 to = from < pauseAt ? pauseAt : run.size;
        QElapsedTimer feeding;
        feeding.start();
        if (run.hex)
            adapter.sendStream(run.size, run.rate, Seed);
        else if (run.rate > 0)
            adapter.send(text.left(int(run.size)), run.rate);
        for (qint64 offset = from; !run.hex && run.rate == 0 && offset < to; offset += text.size())
            adapter.send(payload(run, text, offset, to - offset));
        const qint64 allowedMs =
            (run.rate > 0 ? (to - from) * 1000 / run.rate : (to - from) / 1000) + 60000;
        if (!waitUntil([&] { return adapter.bytesPendingToSend() == 0; }, allowedMs))
            return false;
        feedS += feeding.nsecsElapsed() / 1e9;
        if (to < run.size) {
            QTest::qWait(1000);
            figures->at100MBKB = korvix.residentKilobytes();
        }
        from = to;
    }
    figures->lost = adapter.bytesLost();
    const QString logPath = korvix.home() + QStringLiteral("/korvix.log");
    // The last bytes on their way through the line and the log's own buffer.
    const bool logged = waitUntil(
        [&] { return QFileInfo(logPath).size() >= run.size - figures->lost - 65536; }, 10000);
    if (!logged)
        std::fprintf(stderr, "%s: the log fell behind\n", qPrintable(run.spec));
    QTest::qWait(1000);
    figures->cpuSecondsPerMB = (korvix.cpuSeconds() - cpuBefore) / (run.size / 1e6);
    figures->mbPerSecond = (run.size - figures->lost) / 1e6 / feedS;
    figures->endKB = korvix.residentKilobytes();
    figures->peakKB = korvix.peakResidentKilobytes();

    if (!korvix.closeNormally(window))
        return false;
    figures->logged = QFileInfo(logPath).size();
    figures->logExact = figures->lost == 0 && logMatches(logPath, run, text);
    readTicks(traceFile, figures);
    return true;
}

qint64 amount(QString text)
{
    qint64 unit = 1;
    const QString suffixes = QStringLiteral("KMG");
    const int suffix = suffixes.indexOf(text.right(1).toUpper());
    if (suffix >= 0) {
        text.chop(1);
        for (int i = 0; i <= suffix; ++i)
            unit *= 1000;
    }
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? value * unit : -1;
}

bool parseRun(const QString &spec, Run *run)
{
    const QStringList parts = spec.split(QLatin1Char(':'));
    if (parts.size() != 3 ||
        (parts.at(2) != QLatin1String("text") && parts.at(2) != QLatin1String("hex")))
        return false;
    run->spec = spec;
    run->rate = parts.at(0) == QLatin1String("max") ? 0 : amount(parts.at(0));
    run->size = amount(parts.at(1));
    run->hex = parts.at(2) == QLatin1String("hex");
    return run->rate >= 0 && run->size > 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QStringList specs = application.arguments().mid(1);
    if (specs.isEmpty())
        specs =
            QStringList{QStringLiteral("409600:4096000:text"), QStringLiteral("409600:4096000:hex"),
                        QStringLiteral("1000000:10M:text"),    QStringLiteral("1000000:10M:hex"),
                        QStringLiteral("max:200M:text"),       QStringLiteral("max:50M:hex"),
                        QStringLiteral("max:1G:text")};
    QList<Run> runs;
    for (const QString &spec : specs) {
        Run run;
        if (!parseRun(spec, &run)) {
            std::fprintf(stderr, "not a run: %s (RATE:SIZE:text|hex, RATE a number or max)\n",
                         qPrintable(spec));
            return 2;
        }
        runs << run;
    }
    if (!usbsim::insideSandbox()) {
        std::fprintf(stderr,
                     "run me inside usbsim sandbox (bench/korvix-throughput/run.sh does)\n");
        return 2;
    }
    XServer x;
    if (!x.isRunning()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    // Paced text goes out as one item, so that the UART buffer counts across all of it.
    qint64 textSize = TextBlock;
    for (const Run &run : runs) {
        if (!run.hex && run.rate > 0)
            textSize = qMax(textSize, run.size);
    }
    const QByteArray text = textLines(textSize);
    std::printf("%-20s %8s %9s %5s %9s %6s %8s %6s %8s %8s %7s %7s %8s %7s\n", "run", "sent MB",
                "logged MB", "exact", "lost B", "MB/s", "CPU s/MB", "ticks", "p99 late", "max late",
                "idle MB", "peak MB", "@100 MB", "end MB");
    for (const Run &run : runs) {
        Figures f;
        if (!measure(x, run, text, &f)) {
            std::fprintf(stderr, "the run %s failed\n", qPrintable(run.spec));
            return 1;
        }
        const QString at100 =
            f.at100MBKB < 0 ? QStringLiteral("-") : QString::number(f.at100MBKB / 1024);
        std::printf("%-20s %8.1f %9.1f %5s %9lld %6.1f %8.3f %6d %6.0fms %6.0fms %7lld %7lld "
                    "%8s %7lld\n",
                    qPrintable(run.spec), run.size / 1e6, f.logged / 1e6, f.logExact ? "yes" : "NO",
                    f.lost, f.mbPerSecond, f.cpuSecondsPerMB, f.ticks, f.p99LateMs, f.maxLateMs,
                    f.idleKB / 1024, f.peakKB / 1024, qPrintable(at100), f.endKB / 1024);
        std::fflush(stdout);
    }
    return 0;
}
