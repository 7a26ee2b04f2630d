// Throughput of the simulated adapters, each direction, against readers and writers that keep
// up: a QSerialPort in the same event loop as the adapter, a plain blocking loop in another
// thread, and (device side in another process) an `usbsim adapter` process, found through
// USBSIM_BINARY. bench/usbsim-throughput/run.sh [MEBIBYTES] builds and runs it in the sandbox.

#include "frame.h"

#include <usbsim/adapter.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QThread>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int Chunk = 64 * 1024;
const QString Port = QStringLiteral("ttyUSB0");

int openRaw(const QString &portName)
{
    const int fd = ::open(QFile::encodeName(QStringLiteral("/dev/") + portName).constData(),
                          O_RDWR | O_NOCTTY);
    struct termios settings;
    if (fd >= 0 && ::tcgetattr(fd, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(fd, TCSANOW, &settings);
    }
    return fd;
}

// Counts bytes arriving in the event loop and ends the loop once all are there.
class Meter
{
public:
    explicit Meter(qint64 expected) : total(expected) {}
    void add(qint64 count)
    {
        received += count;
        if (received >= total)
            loop.quit();
    }
    double seconds() // runs the loop until everything arrived
    {
        QElapsedTimer clock;
        clock.start();
        if (received < total)
            loop.exec();
        return clock.nsecsElapsed() / 1e9;
    }

private:
    QEventLoop loop;
    qint64 total;
    qint64 received = 0;
};

// Reads everything the port gets, as it comes, into the meter.
void countReads(QSerialPort *port, Meter *meter)
{
    QObject::connect(port, &QSerialPort::readyRead, port, [port, meter] {
        char buffer[Chunk];
        qint64 count;
        while ((count = port->read(buffer, sizeof buffer)) > 0)
            meter->add(count);
    });
}

double deviceToQSerialPort(qint64 total)
{
    usbsim::Adapter adapter;
    adapter.plug(Port);
    QSerialPort port(Port);
    port.open(QIODevice::ReadWrite);
    Meter meter(total);
    countReads(&port, &meter);
    adapter.sendStream(total);
    return meter.seconds();
}

double deviceToReadLoop(qint64 total)
{
    usbsim::Adapter adapter;
    adapter.plug(Port);
    const int fd = openRaw(Port);
    qint64 received = 0;
    QThread *reader = QThread::create([&] {
        char buffer[Chunk];
        qint64 count = 0;
        while (count < total) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            count += n;
        }
        received = count;
    });
    QElapsedTimer clock;
    clock.start();
    reader->start();
    adapter.sendStream(total);
    QEventLoop loop;
    QObject::connect(reader, &QThread::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    reader->wait();
    delete reader;
    ::close(fd);
    return received >= total ? seconds : -1;
}

double qSerialPortToDevice(qint64 total)
{
    usbsim::Adapter adapter;
    adapter.plug(Port);
    QSerialPort port(Port);
    port.open(QIODevice::ReadWrite);
    Meter meter(total);
    QObject::connect(&adapter, &usbsim::Adapter::bytesReceived, &adapter,
                     [&](const QByteArray &chunk) {
                         adapter.clearReceived();
                         meter.add(chunk.size());
                     });
    const QByteArray block(Chunk, 'x');
    qint64 queued = 0;
    auto topUp = [&] {
        while (queued < total && port.bytesToWrite() < 4 * Chunk) {
            port.write(block.constData(), qMin<qint64>(Chunk, total - queued));
            queued += qMin<qint64>(Chunk, total - queued);
        }
    };
    QObject::connect(&port, &QSerialPort::bytesWritten, &port, topUp);
    topUp();
    return meter.seconds();
}

double writeLoopToDevice(qint64 total)
{
    usbsim::Adapter adapter;
    adapter.plug(Port);
    const int fd = openRaw(Port);
    Meter meter(total);
    QObject::connect(&adapter, &usbsim::Adapter::bytesReceived, &adapter,
                     [&](const QByteArray &chunk) {
                         adapter.clearReceived();
                         meter.add(chunk.size());
                     });
    QThread *writer = QThread::create([&] {
        const QByteArray block(Chunk, 'x');
        for (qint64 sent = 0; sent < total;) {
            const ssize_t n =
                ::write(fd, block.constData(), size_t(qMin<qint64>(Chunk, total - sent)));
            if (n <= 0)
                break;
            sent += n;
        }
    });
    writer->start();
    const double seconds = meter.seconds();
    writer->wait();
    delete writer;
    ::close(fd);
    return seconds;
}

// The device side in another process, as the demo and scripts use it.
double adapterProcessToQSerialPort(qint64 total)
{
    if (qEnvironmentVariableIsEmpty("USBSIM_BINARY"))
        return -1;
    QProcess adapter;
    adapter.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    adapter.start(qEnvironmentVariable("USBSIM_BINARY"),
                  {"adapter", "ttyUSB1", "--generate", QString::number(total)});
    if (!adapter.waitForReadyRead(10000)) // "plugged /dev/ttyUSB1"
        return -1;
    QSerialPort port(QStringLiteral("ttyUSB1"));
    port.open(QIODevice::ReadWrite);
    Meter meter(total);
    countReads(&port, &meter);
    const double seconds = meter.seconds();
    adapter.terminate();
    adapter.waitForFinished();
    return seconds;
}

void report(const char *what, qint64 total, double seconds)
{
    if (seconds <= 0)
        bench::print("%-58s: not measured\n", what);
    else
        bench::print("%-58s: %8.1f MB/s\n", what, double(total) / seconds / 1e6);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!bench::insideSandbox("usbsim-throughput"))
        return 2;
    const qint64 total = qint64(bench::countArgument(app.arguments(), 256)) * 1024 * 1024;
    bench::print("usbsim throughput, %lld MiB per run (MB = 10^6 bytes)\n", total / (1024 * 1024));
    report("device -> terminal, QSerialPort in the adapter's event loop", total,
           deviceToQSerialPort(total));
    report("device -> terminal, blocking read() loop in a thread", total, deviceToReadLoop(total));
    report("device -> terminal, usbsim adapter process to QSerialPort", total,
           adapterProcessToQSerialPort(total));
    report("terminal -> device, QSerialPort in the adapter's event loop", total,
           qSerialPortToDevice(total));
    report("terminal -> device, blocking write() loop in a thread", total,
           writeLoopToDevice(total));
    return 0;
}
