// How close korvix's stamps come to the moment the device wrote the line. A simulated device
// writes lines that carry the time they were written, on the steady clock that korvix stamps
// with; korvix, stamping every line, traces each stamp to the nanosecond (its category
// korvix.stamps), and the difference is the stamp's error. What the pane shows is the same time
// cut to the millisecond.
//   "115200": a device that prints short lines as fast as 115200 baud lets it, a line every 5 ms;
//   "1 MB/s": the same lines among other text, 1 MB a second in all, so that rendering a tick
//             competes with reading for korvix's one thread.
//   "line alone": no korvix, but a reader of the port's own that does nothing but wait for the
//             lines in poll() and read them: how late the pseudo-terminal and the machine's
//             scheduler hand a line to any program, the floor under korvix's figures.
// Run it through run.sh [SECONDS], which builds it and puts it in the usbsim sandbox.
#include "frame.h"
#include "korvixrun.h"
#include "payload.h"

#include <usbsim/adapter.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

qint64 steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A line that says when it was written; the sensor's reading makes it as long as a device's.
QByteArray probeLine()
{
    return "P " + QByteArray::number(steadyNs()) + " T=23.4C U=3.30V I=12mA\r\n";
}

// Writes with `write` every `periodMs` for `seconds`.
void every(int periodMs, int seconds, const std::function<void()> &write)
{
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, write);
    timer.start(periodMs);
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Errors
{
    QList<double> ms;
    double at(double share) const
    {
        return ms.isEmpty() ? 0 : ms.at(qMin(ms.size() - 1, int(ms.size() * share)));
    }
};

// Each traced stamp of a probe line sent at or after `from` and before `to`: its error.
Errors readErrors(const QString &traceFile, qint64 from, qint64 to)
{
    Errors errors;
    QFile traces(traceFile);
    if (!traces.open(QIODevice::ReadOnly))
        return errors;
    while (!traces.atEnd()) {
        const QList<QByteArray> fields = traces.readLine().simplified().split(' ');
        if (fields.value(0) != "korvix.stamps" || fields.value(2) != "P")
            continue;
        const qint64 stamped = fields.value(1).toLongLong();
        const qint64 sent = fields.value(3).toLongLong();
        if (sent >= from && sent < to)
            errors.ms << (stamped - sent) / 1e6;
    }
    std::sort(errors.ms.begin(), errors.ms.end());
    return errors;
}

// The probe lines a plain reader of the port gets, each as late as it gets it.
Errors lineAlone(usbsim::Adapter *adapter, int seconds)
{
    Errors errors;
    const int port = ::open(qPrintable(adapter->systemLocation()), O_RDWR | O_NOCTTY);
    termios raw{};
    if (port < 0 || ::tcgetattr(port, &raw) != 0)
        return errors;
    ::cfmakeraw(&raw);
    ::tcsetattr(port, TCSANOW, &raw);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        QByteArray pending;
        while (!done) {
            pollfd readable{port, POLLIN, 0};
            if (::poll(&readable, 1, 100) != 1)
                continue;
            const qint64 at = steadyNs();
            char bytes[4096];
            const ssize_t count = ::read(port, bytes, sizeof bytes);
            if (count <= 0)
                continue;
            // A line's time is that of the read that began it, as korvix stamps it.
            if (pending.isEmpty() || pending.endsWith('\n'))
                pending.clear();
            pending.append(bytes, int(count));
            for (int end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
                const QList<QByteArray> fields = pending.left(end).split(' ');
                if (fields.value(0) == "P")
                    errors.ms << (at - fields.value(1).toLongLong()) / 1e6;
                pending.remove(0, end + 1);
            }
        }
    });
    every(5, seconds, [&] { adapter->send(probeLine()); });
    QTest::qWait(200);
    done = true;
    reader.join();
    ::close(port);
    std::sort(errors.ms.begin(), errors.ms.end());
    return errors;
}

bool measure(const XServer &x, int seconds)
{
    KorvixRun korvix(x);
    usbsim::UsbIdentity identity;
    identity.serialNumber = QStringLiteral("BENCH");
    usbsim::Adapter adapter(identity);
    if (!adapter.plug(QStringLiteral("ttyUSB0")))
        return false;
    const Errors floor = lineAlone(&adapter, seconds);
    const QString traceFile = korvix.home() + QStringLiteral("/traces.txt");
    korvix.setTraceFile(traceFile);
    korvix.setEnvironment(QStringLiteral("QT_LOGGING_RULES"),
                          QStringLiteral("korvix.stamps.debug=true\ndefault.debug=false"));
    korvix.setEnvironment(QStringLiteral("QT_MESSAGE_PATTERN"),
                          QStringLiteral("%{if-category}%{category} %{endif}%{message}"));
    const unsigned long window =
        korvix.startConnected({QStringLiteral("--filterSN"), QStringLiteral("bench"),
                               QStringLiteral("--timestamps"), QStringLiteral("since-connect")},
                              QStringLiteral("ttyUSB0"));
    if (!window)
        return false;
    QTest::qWait(1000);

    const qint64 slowFrom = steadyNs();
    every(5, seconds, [&] { adapter.send(probeLine()); });
    const qint64 fastFrom = steadyNs();
    const QByteArray text = payload::text(10 * 1000 * 1000);
    qint64 sent = 0;
    QElapsedTimer fast;
    fast.start();
    every(1, seconds, [&] {
        // Whatever 1 MB/s owes by now, a probe line first.
        const qint64 due = fast.nsecsElapsed() / 1000 - sent;
        if (due <= 0)
            return;
        // Whole lines of the text after it, so that the next probe begins a line.
        QByteArray chunk = probeLine();
        const QByteArray filler =
            text.mid(int(sent % (text.size() - 2000)), int(qMax<qint64>(0, due - chunk.size())));
        chunk += filler.left(filler.lastIndexOf('\n') + 1);
        adapter.send(chunk);
        sent += chunk.size();
    });
    const qint64 fastTo = steadyNs();
    QTest::qWait(1000);
    if (!korvix.closeNormally(window))
        return false;

    bench::print("%-18s %8s %8s %8s %8s\n", "device", "lines", "p50 ms", "p99 ms", "max ms");
    const struct
    {
        const char *name;
        Errors errors;
    } rows[] = {{"115200, line alone", floor},
                {"115200", readErrors(traceFile, slowFrom, fastFrom)},
                {"1 MB/s", readErrors(traceFile, fastFrom, fastTo)}};
    for (const auto &row : rows)
        bench::print("%-18s %8d %8.2f %8.2f %8.2f\n", row.name, int(row.errors.ms.size()),
                     row.errors.at(0.5), row.errors.at(0.99),
                     row.errors.ms.isEmpty() ? 0.0 : row.errors.ms.last());
    bench::print("1 MB/s: %.1f MB sent in %d s; stamps of lines cut from the pane are not traced\n",
                 sent / 1e6, seconds);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int seconds = bench::countArgument(application.arguments(), 10);
    return bench::runWithXServer("timestamps",
                                 [&](const XServer &x) { return measure(x, seconds); });
}
