// Feeds the real korvix from a simulated USB adapter with logging on and prints whether it kept
// pace and what that cost. Each run is RATE:SIZE:PAYLOAD:
//   RATE     bytes per second through a 64 KiB UART buffer that loses what does not fit, as a
//            real adapter does when the terminal stalls; "max": as fast as the port takes them
//   SIZE     bytes to send, with a K, M or G suffix (powers of 1000)
//   PAYLOAD  "text": lines of printable text without the characters that make korvix render
//                    markup, shown as text;
//            "markup": lines of every printable ASCII character and TAB, so with "<", ">" and
//                    "&", as a device's text, XML or JSON holds them, shown as text;
//            "binary": random bytes, shown as text;
//            "hex": random bytes, shown in hex
//            "esp": a device's log as ESP-IDF prints it, each line coloured by escape sequences;
//            "espplain": the same lines without the sequences
//   ":stamps" after a run has korvix stamp every line with its time of day (--timestamps time),
//   ":ansi" show the colours of the escape sequences, ":stamps+ansi" both
// "hostile" instead of a run sends, one after the other, bursts that are costly to render (deep
// nesting, floods of one entity or of white space) and prints what each cost the display.
// Run it through run.sh [RUN...], which builds it and puts it in the usbsim sandbox.
#include "frame.h"
#include "korvixrun.h"
#include "payload.h"

#include <usbsim/adapter.h>
#include <usbsim/pattern.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 UartBuffer = 64 * 1024;
constexpr qint64 TextBlock = 10 * 1000 * 1000;
constexpr quint32 Seed = 11;

enum class Payload { Text, Markup, Binary, Hex, Esp, EspPlain };

struct Run
{
    QString spec;
    qint64 rate = 0; // 0: as fast as the port takes them
    qint64 size = 0;
    Payload payload = Payload::Text;
    QStringList korvixOptions; // beyond those every run has
    bool ansiColours = false;
    bool randomBytes() const { return payload == Payload::Binary || payload == Payload::Hex; }
};

struct Ticks
{
    int count = 0;
    double p99LateMs = 0;
    double maxLateMs = 0;
    double longestRenderMs = 0;
};

struct Figures
{
    qint64 lost = 0;
    qint64 logged = 0;
    bool logExact = false;
    double mbPerSecond = 0;
    double cpuSecondsPerMB = 0;
    Ticks ticks;
    qint64 idleKB = 0;
    qint64 peakKB = 0;
    qint64 at100MBKB = -1;
    qint64 endKB = 0;
};

// What the device sends, from `offset` on, `length` bytes at most.
QByteArray sentBytes(const Run &run, const QByteArray &text, qint64 offset, qint64 length)
{
    if (run.randomBytes())
        return usbsim::pattern(offset, length, Seed);
    const qint64 start = offset % text.size();
    return text.mid(int(start), int(qMin(length, text.size() - start)));
}

// Whether the log holds exactly `size` bytes, as `expected(offset, length)` gives them.
template<typename Expected> bool logMatches(const QString &path, qint64 size, Expected expected)
{
    QFile log(path);
    if (!log.open(QIODevice::ReadOnly) || log.size() != size)
        return false;
    for (qint64 offset = 0; offset < size;) {
        const QByteArray part = expected(offset, qMin<qint64>(4 * 1000 * 1000, size - offset));
        if (part.isEmpty() || log.read(part.size()) != part)
            return false;
        offset += part.size();
    }
    return true;
}

// Tick lines look like "korvix.receive.tick 12.345 40960": seconds since start, bytes shown; each
// is followed by "korvix.receive.render 12.346 1234", the microseconds their rendering took. The
// feed is what lies between the first and the last tick that showed bytes, from `from` on in the
// file. "Late" is how much longer than the 100 ms period the gap between two ticks was.
Ticks readTicks(const QString &traceFile, qint64 from = 0)
{
    Ticks ticks;
    QFile traces(traceFile);
    if (!traces.open(QIODevice::ReadOnly) || !traces.seek(from))
        return ticks;
    QList<double> times;
    QList<double> renders;
    int lastShowing = -1;
    while (!traces.atEnd()) {
        const QByteArray line = traces.readLine();
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (line.startsWith("korvix.receive.render ") && renders.size() < times.size()) {
            renders << fields.value(2).toDouble() / 1000.0;
            continue;
        }
        if (!line.startsWith("korvix.receive.tick "))
            continue;
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
    ticks.count = times.size();
    if (!late.isEmpty()) {
        ticks.maxLateMs = late.last();
        ticks.p99LateMs = late.at(qMin(late.size() - 1, int(late.size() * 0.99)));
    }
    for (const double render : renders.mid(0, lastShowing + 1))
        ticks.longestRenderMs = qMax(ticks.longestRenderMs, render);
    return ticks;
}

// korvix connected to a plugged adapter, logging, with its display ticks traced to a file.
struct Session
{
    explicit Session(const XServer &x) : korvix(x)
    {
        usbsim::UsbIdentity identity;
        identity.serialNumber = QStringLiteral("BENCH");
        adapter = std::make_unique<usbsim::Adapter>(identity);
        traceFile = korvix.home() + QStringLiteral("/traces.txt");
        logPath = korvix.home() + QStringLiteral("/korvix.log");
    }

    // `traced`: korvix writes its traces as it does by default, each chunk it shows among them.
    bool start(bool hex, bool traced = true, const QStringList &options = {},
               bool ansiColours = false)
    {
        if (!adapter->plug(QStringLiteral("ttyUSB0")))
            return false;
        if (ansiColours) {
            QDir().mkpath(QFileInfo(korvix.settingsFile()).path());
            QFile settings(korvix.settingsFile());
            if (!settings.open(QIODevice::WriteOnly) ||
                settings.write("[extras]\nansiColours=true\n") < 0)
                return false;
        }
        korvix.setTraceFile(traceFile);
        korvix.setEnvironment(QStringLiteral("QT_LOGGING_RULES"),
                              QStringLiteral("korvix.receive.*.debug=true") +
                                  QLatin1String(traced ? "" : "\ndefault.debug=false"));
        korvix.setEnvironment(
            QStringLiteral("QT_MESSAGE_PATTERN"),
            QStringLiteral("%{if-category}%{category} %{time process} %{endif}%{message}"));
        window = korvix.startConnected(QStringList{QStringLiteral("--forceLog"),
                                                   QStringLiteral("--filterSN"),
                                                   QStringLiteral("bench")} +
                                           options,
                                       QStringLiteral("ttyUSB0"));
        return window && (!hex || korvix.pressKey(window, QStringLiteral("F11")));
    }

    // The last bytes on their way through the line and the log's own buffer.
    bool logReaches(qint64 size)
    {
        return bench::waitUntil([&] { return QFileInfo(logPath).size() >= size; }, 10000);
    }

    KorvixRun korvix;
    std::unique_ptr<usbsim::Adapter> adapter;
    QString traceFile;
    QString logPath;
    unsigned long window = 0;
};

bool measure(const XServer &x, const Run &run, const QByteArray &text, Figures *figures)
{
    Session session(x);
    if (!session.start(run.payload == Payload::Hex, true, run.korvixOptions, run.ansiColours))
        return false;
    usbsim::Adapter &adapter = *session.adapter;
    KorvixRun &korvix = session.korvix;
    if (run.rate > 0)
        adapter.setUartBuffer(UartBuffer);
    QTest::qWait(1000);
    figures->idleKB = korvix.residentKilobytes();

    const double cpuBefore = korvix.cpuSeconds();
    // Long runs as fast as the port takes them pause once at 100 MB, so that memory there and at
    // the end is read alike, with korvix at rest.
    const qint64 pauseAt =
        !run.randomBytes() && run.rate == 0 && run.size > 100000000 ? 100000000 : run.size;
    double feedS = 0;
    for (qint64 from = 0; from < run.size;) {
        const qint64 to = from < pauseAt ? pauseAt : run.size;
        QElapsedTimer feeding;
        feeding.start();
        if (run.randomBytes())
            adapter.sendStream(run.size, run.rate, Seed);
        else if (run.rate > 0)
            adapter.send(text.left(int(run.size)), run.rate);
        for (qint64 offset = from; !run.randomBytes() && run.rate == 0 && offset < to;
             offset += text.size())
            adapter.send(sentBytes(run, text, offset, to - offset));
        const qint64 allowedMs =
            (run.rate > 0 ? (to - from) * 1000 / run.rate : (to - from) / 1000) + 60000;
        if (!bench::waitUntil([&] { return adapter.bytesPendingToSend() == 0; }, allowedMs))
            return false;
        feedS += feeding.nsecsElapsed() / 1e9;
        if (to < run.size) {
            QTest::qWait(1000);
            figures->at100MBKB = korvix.residentKilobytes();
        }
        from = to;
    }
    figures->lost = adapter.bytesLost();
    if (!session.logReaches(run.size - figures->lost - 65536))
        std::fprintf(stderr, "%s: the log fell behind\n", qPrintable(run.spec));
    QTest::qWait(1000);
    figures->cpuSecondsPerMB = (korvix.cpuSeconds() - cpuBefore) / (run.size / 1e6);
    figures->mbPerSecond = (run.size - figures->lost) / 1e6 / feedS;
    figures->endKB = korvix.residentKilobytes();
    figures->peakKB = korvix.peakResidentKilobytes();

    if (!korvix.closeNormally(session.window))
        return false;
    figures->logged = QFileInfo(session.logPath).size();
    figures->logExact =
        figures->lost == 0 && logMatches(session.logPath, run.size, [&](qint64 at, qint64 n) {
            return sentBytes(run, text, at, n);
        });
    figures->ticks = readTicks(session.traceFile);
    return true;
}

QByteArray repeated(const char *unit, int times)
{
    return QByteArray(unit).repeated(times);
}

// What a device may send that is costly to render.
QList<QPair<QString, QByteArray>> hostileBursts()
{
    QList<QPair<QString, QByteArray>> bursts;
    for (const char *tag : {"<x>", "<b>", "<div>", "<pre>", "<ul><li>", "<table><tr><td>"})
        bursts << qMakePair(QStringLiteral("%1 x 4,000").arg(QLatin1String(tag)),
                            repeated(tag, 4000));
    bursts << qMakePair(QStringLiteral("<div> x 20,000"), repeated("<div>", 20000));
    bursts << qMakePair(QStringLiteral("&amp; x 100,000"), repeated("&amp;", 100000));
    bursts << qMakePair(QStringLiteral("< x 1,000,000 (unclosed)"), repeated("<", 1000000));
    bursts << qMakePair(QStringLiteral("<a x 100,000 (unclosed)"), repeated("<a", 100000));
    QByteArray sizes;
    for (int i = 1; i <= 4000; ++i)
        sizes += "<span style=\"font-size:" + QByteArray::number(i) + "px\">x";
    bursts << qMakePair(QStringLiteral("4,000 font sizes"), sizes);
    bursts << qMakePair(QStringLiteral("style sheet /dev/zero"),
                        QByteArray("<link type=\"text/css\" href=\"/dev/zero\">x"));
    bursts << qMakePair(QStringLiteral("8 MiB of spaces"), QByteArray(8 << 20, ' '));
    bursts << qMakePair(QStringLiteral("8 MiB of line feeds"), QByteArray(8 << 20, '\n'));
    return bursts;
}

// Each burst as fast as the port takes it, then a second of quiet; the ticks from the burst's
// first to a second after its last byte count for it. False when korvix failed or the log is not
// byte-exact.
bool sendBursts(const XServer &x, bool traced, QList<Ticks> *ticks)
{
    Session session(x);
    if (!session.start(false, traced))
        return false;
    QTest::qWait(1000);
    QByteArray sent;
    for (const auto &burst : hostileBursts()) {
        const qint64 from = QFileInfo(session.traceFile).size();
        session.adapter->send(burst.second);
        sent += burst.second;
        if (!bench::waitUntil([&] { return session.adapter->bytesPendingToSend() == 0; }, 120000) ||
            !session.logReaches(sent.size()))
            return false;
        QTest::qWait(1000);
        *ticks << readTicks(session.traceFile, from);
    }
    return session.korvix.closeNormally(session.window) &&
           logMatches(session.logPath, sent.size(),
                      [&](qint64 at, qint64 n) { return sent.mid(int(at), int(n)); });
}

// The bursts twice: the rendering alone, with korvix's debug stream switched off, and with the
// traces written as korvix writes them by default, each chunk shown among them.
bool measureHostile(const XServer &x)
{
    QList<Ticks> alone;
    QList<Ticks> traced;
    if (!sendBursts(x, false, &alone) || !sendBursts(x, true, &traced))
        return false;
    bench::print("%-26s %10s %14s %9s %14s %9s\n", "burst", "bytes", "longest render", "p99 late",
                 "with traces", "p99 late");
    const auto bursts = hostileBursts();
    for (int i = 0; i < bursts.size(); ++i)
        bench::print("%-26s %10d %11.1f ms %6.0f ms %11.1f ms %6.0f ms\n",
                     qPrintable(bursts.at(i).first), int(bursts.at(i).second.size()),
                     alone.at(i).longestRenderMs, alone.at(i).p99LateMs,
                     traced.at(i).longestRenderMs, traced.at(i).p99LateMs);
    bench::print("logs byte-exact\n");
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
    static const QStringList payloads{QStringLiteral("text"),   QStringLiteral("markup"),
                                      QStringLiteral("binary"), QStringLiteral("hex"),
                                      QStringLiteral("esp"),    QStringLiteral("espplain")};
    const QStringList parts = spec.split(QLatin1Char(':'));
    if (parts.size() < 3 || parts.size() > 4 || !payloads.contains(parts.at(2)))
        return false;
    const QStringList extras =
        parts.size() == 4 ? parts.at(3).split(QLatin1Char('+')) : QStringList();
    for (const QString &extra : extras) {
        if (extra == QLatin1String("stamps"))
            run->korvixOptions =
                QStringList{QStringLiteral("--timestamps"), QStringLiteral("time")};
        else if (extra == QLatin1String("ansi"))
            run->ansiColours = true;
        else
            return false;
    }
    run->spec = spec;
    run->rate = parts.at(0) == QLatin1String("max") ? 0 : amount(parts.at(0));
    run->size = amount(parts.at(1));
    run->payload = Payload(payloads.indexOf(parts.at(2)));
    return run->rate >= 0 && run->size > 0;
}

// The runs one after the other, a line of figures each, then the hostile bursts if asked for.
bool measureAll(const XServer &x, const QList<Run> &runs, bool hostile)
{
    // Paced text goes out as one item, so that the UART buffer counts across all of it.
    qint64 textSize = TextBlock;
    for (const Run &run : runs) {
        if (!run.randomBytes() && run.rate > 0)
            textSize = qMax(textSize, run.size);
    }
    const QByteArray text = payload::text(textSize);
    const QByteArray markup = payload::markup(textSize);
    const QByteArray esp = payload::espLog(textSize, true);
    const QByteArray espPlain = payload::espLog(textSize, false);
    const auto payloadOf = [&](const Run &run) -> const QByteArray & {
        switch (run.payload) {
        case Payload::Markup:
            return markup;
        case Payload::Esp:
            return esp;
        case Payload::EspPlain:
            return espPlain;
        default:
            return text;
        }
    };
    if (!runs.isEmpty())
        bench::print("%-28s %8s %9s %5s %9s %6s %8s %6s %8s %8s %9s %7s %7s %8s %7s\n", "run",
                     "sent MB", "logged MB", "exact", "lost B", "MB/s", "CPU s/MB", "ticks",
                     "p99 late", "max late", "render max", "idle MB", "peak MB", "@100 MB",
                     "end MB");
    for (const Run &run : runs) {
        Figures f;
        if (!measure(x, run, payloadOf(run), &f)) {
            std::fprintf(stderr, "the run %s failed\n", qPrintable(run.spec));
            return false;
        }
        const QString at100 =
            f.at100MBKB < 0 ? QStringLiteral("-") : QString::number(f.at100MBKB / 1024);
        bench::print("%-28s %8.1f %9.1f %5s %9lld %6.1f %8.3f %6d %6.0fms %6.0fms %7.1fms %7lld "
                     "%7lld %8s %7lld\n",
                     qPrintable(run.spec), run.size / 1e6, f.logged / 1e6,
                     f.logExact ? "yes" : "NO", f.lost, f.mbPerSecond, f.cpuSecondsPerMB,
                     f.ticks.count, f.ticks.p99LateMs, f.ticks.maxLateMs, f.ticks.longestRenderMs,
                     f.idleKB / 1024, f.peakKB / 1024, qPrintable(at100), f.endKB / 1024);
    }
    if (hostile && !measureHostile(x)) {
        std::fprintf(stderr, "the hostile bursts failed\n");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QStringList specs = application.arguments().mid(1);
    const bool hostile = specs.removeAll(QStringLiteral("hostile")) > 0;
    if (specs.isEmpty() && !hostile)
        specs = QStringList{
            QStringLiteral("409600:4096000:text"), QStringLiteral("409600:4096000:markup"),
            QStringLiteral("409600:4096000:hex"),  QStringLiteral("1000000:10M:text"),
            QStringLiteral("1000000:10M:markup"),  QStringLiteral("1000000:10M:hex"),
            QStringLiteral("max:200M:text"),       QStringLiteral("max:200M:markup"),
            QStringLiteral("max:50M:binary"),      QStringLiteral("max:50M:hex"),
            QStringLiteral("max:1G:text")};
    QList<Run> runs;
    for (const QString &spec : qAsConst(specs)) {
        Run run;
        if (!parseRun(spec, &run)) {
            std::fprintf(stderr,
                         "not a run: %s (RATE:SIZE:text|markup|binary|hex|esp|espplain"
                         "[:stamps|ansi|stamps+ansi], RATE a number or max; or hostile)\n",
                         qPrintable(spec));
            return 2;
        }
        runs << run;
    }
    return bench::runWithXServer("korvix-throughput",
                                 [&](const XServer &x) { return measureAll(x, runs, hostile); });
}
