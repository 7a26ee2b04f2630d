// korvix sends a file raw through a simulated USB adapter while the device sends text to it:
// how fast the file reaches the device, what it costs korvix's thread per MB, and how late the
// display ticks come meanwhile (korvix's own `korvix.receive.tick` trace). Twice: at full speed,
// and with a 1 ms pause after each line.
//
// korvix's window runs in this process on the offscreen platform and sends through its Extras'
// file sender as the menu would; the adapter runs in a thread of its own, so that its work is
// not counted as korvix's. Run it through run.sh [FILE_MB [DEVICE_BYTES_PER_SECOND]], which
// builds it and puts it in the usbsim sandbox.
#include "commandlineoptions.h"
#include "filesender.h"
#include "frame.h"
#include "mainwindow.h"
#include "payload.h"

#include <usbsim/adapter.h>
#include <usbsim/pattern.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLoggingCategory>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

constexpr quint32 Seed = 5;

QElapsedTimer processClock;
QList<qint64> tickTimes; // ns on processClock, one for every display tick while connected

void collectTicks(QtMsgType, const QMessageLogContext &context, const QString &)
{
    if (context.category && qstrcmp(context.category, "korvix.receive.tick") == 0)
        tickTimes << processClock.nsecsElapsed();
}

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The far end: talks to korvix and checks what korvix sends against the file.
class Device : public QObject
{
    Q_OBJECT

public:
    std::atomic<qint64> received{0};
    std::atomic<bool> exact{true};
    QByteArray expected;

public slots:
    void plug()
    {
        usbsim::UsbIdentity identity;
        identity.serialNumber = QStringLiteral("BENCH");
        adapter = new usbsim::Adapter(identity, this);
        plugged = adapter->plug(QStringLiteral("ttyUSB0"));
        connect(adapter, &usbsim::Adapter::bytesReceived, this, &Device::check);
    }
    // Ten seconds of text at a time, again whenever it is out, until unplugged.
    void talk(qint64 bytesPerSecond)
    {
        if (bytesPerSecond <= 0)
            return;
        const QByteArray text = payload::text(bytesPerSecond * 10);
        connect(adapter, &usbsim::Adapter::allSent, this,
                [this, text, bytesPerSecond] { adapter->send(text, bytesPerSecond); });
        adapter->send(text, bytesPerSecond);
    }
    void unplug()
    {
        delete adapter;
        adapter = nullptr;
    }

public:
    bool plugged = false;

private:
    void check(const QByteArray &chunk)
    {
        const qint64 at = received;
        if (expected.mid(int(at), chunk.size()) != chunk)
            exact = false;
        received += chunk.size();
    }

    usbsim::Adapter *adapter = nullptr;
};

struct Figures
{
    double seconds = 0;
    double cpuSeconds = 0;
    double mbPerSecond = 0;
    double cpuSecondsPerMB = 0;
    int ticks = 0;
    double p99LateMs = 0;
    double maxLateMs = 0;
    bool exact = false;
};

// The display ticks between two moments on processClock.
void readTicks(qint64 startNs, qint64 endNs, Figures *figures)
{
    QList<double> late;
    qint64 previous = -1;
    for (const qint64 tick : qAsConst(tickTimes)) {
        if (tick < startNs || tick > endNs)
            continue;
        if (previous >= 0)
            late << qMax(0.0, double(tick - previous) / 1e6 - 100.0);
        previous = tick;
    }
    std::sort(late.begin(), late.end());
    figures->ticks = late.size() + 1;
    if (!late.isEmpty()) {
        figures->maxLateMs = late.last();
        figures->p99LateMs = late.at(qMin(late.size() - 1, int(late.size() * 0.99)));
    }
}

// What the device's text alone costs, for comparison: `seconds` without a file.
void measureIdle(int seconds, Figures *figures)
{
    const qint64 startNs = processClock.nsecsElapsed();
    const double cpuBefore = threadCpuSeconds();
    bench::waitUntil([] { return false; }, seconds * 1000);
    const qint64 endNs = processClock.nsecsElapsed();
    figures->seconds = double(endNs - startNs) / 1e9;
    figures->cpuSeconds = threadCpuSeconds() - cpuBefore;
    figures->exact = true;
    readTicks(startNs, endNs, figures);
}

bool measure(MainWindow *window, Device *device, const QString &path, const QByteArray &content,
             int lineDelayMs, Figures *figures)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return false;
    file.close();
    device->expected = content;
    device->received = 0;
    device->exact = true;
    SendOptions options;
    options.path = path;
    options.lineDelayMs = lineDelayMs;

    const qint64 startNs = processClock.nsecsElapsed();
    const double cpuBefore = threadCpuSeconds();
    if (!window->findChild<FileSender *>()->send(options))
        return false;
    if (!bench::waitUntil([&] { return device->received >= content.size(); }, 600000))
        return false;
    const qint64 endNs = processClock.nsecsElapsed();
    const double megabytes = double(content.size()) / 1e6;
    figures->seconds = double(endNs - startNs) / 1e9;
    figures->cpuSeconds = threadCpuSeconds() - cpuBefore;
    figures->cpuSecondsPerMB = figures->cpuSeconds / megabytes;
    figures->mbPerSecond = megabytes / figures->seconds;
    figures->exact = device->exact && device->received == content.size();
    readTicks(startNs, endNs, figures);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (!bench::insideSandbox("sendfile-throughput"))
        return 2;
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const qint64 fileBytes = arguments.value(1, QStringLiteral("200")).toLongLong() * 1000000;
    const qint64 deviceRate = arguments.value(2, QStringLiteral("409600")).toLongLong();
    processClock.start();
    QLoggingCategory::setFilterRules(QStringLiteral("korvix.receive.tick.debug=true"));
    qInstallMessageHandler(collectTicks);

    QThread deviceThread;
    Device device;
    device.moveToThread(&deviceThread);
    deviceThread.start();
    QMetaObject::invokeMethod(&device, "plug", Qt::BlockingQueuedConnection);
    if (!device.plugged) {
        std::fprintf(stderr, "the adapter could not be plugged\n");
        return 1;
    }

    CommandLineOptions options;
    options.serialNumber = QStringLiteral("bench");
    int status = 0;
    {
        MainWindow window(nullptr, &options);
        window.show();
        auto *port = window.findChild<QSerialPort *>();
        if (!bench::waitUntil([&] { return port->isOpen(); }, 10000)) {
            std::fprintf(stderr, "korvix did not connect\n");
            return 1;
        }
        QMetaObject::invokeMethod(&device, "talk", Qt::QueuedConnection, Q_ARG(qint64, deviceRate));
        bench::waitUntil([] { return false; }, 1000);

        bench::print("%-34s %6s %6s %7s %6s %8s %6s %8s %8s %5s\n", "file", "MB", "s", "MB/s",
                     "CPU s", "CPU s/MB", "ticks", "p99 late", "max late", "exact");
        Figures idle;
        measureIdle(5, &idle);
        bench::print("%-34s %6s %6.1f %7s %6.2f %8s %6d %6.0fms %6.0fms %5s\n",
                     "none (the device's text alone)", "-", idle.seconds, "-", idle.cpuSeconds, "-",
                     idle.ticks, idle.p99LateMs, idle.maxLateMs, "-");
        struct Run
        {
            const char *name;
            QByteArray content;
            int lineDelayMs;
        };
        const Run runs[] = {
            {"random bytes, full speed", usbsim::pattern(0, fileBytes, Seed), 0},
            {"text lines, 1 ms after each line", payload::text(1000000), 1},
        };
        for (const Run &run : runs) {
            Figures f;
            if (!measure(&window, &device, home.filePath(QStringLiteral("file")), run.content,
                         run.lineDelayMs, &f)) {
                std::fprintf(stderr, "the run \"%s\" failed\n", run.name);
                status = 1;
                break;
            }
            bench::print("%-34s %6.1f %6.1f %7.2f %6.2f %8.4f %6d %6.0fms %6.0fms %5s\n", run.name,
                         double(run.content.size()) / 1e6, f.seconds, f.mbPerSecond, f.cpuSeconds,
                         f.cpuSecondsPerMB, f.ticks, f.p99LateMs, f.maxLateMs,
                         f.exact ? "yes" : "NO");
            bench::waitUntil([] { return false; }, 1000);
        }
    }
    QMetaObject::invokeMethod(&device, "unplug", Qt::BlockingQueuedConnection);
    deviceThread.quit();
    deviceThread.wait();
    return status;
}

#include "main.moc"
