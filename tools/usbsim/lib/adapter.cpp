#include <usbsim/adapter.h>

#include "busylock.h"
#include "fakeusbdevice.h"
#include "fsutil.h"
#include "openwatcher.h"
#include "paths.h"
#include "pseudoterminal.h"
#include "sendqueue.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <unistd.h>

namespace usbsim {

namespace {

// Bounds on one event-loop turn, so that a fast peer in another process cannot starve the
// rest of the loop.
constexpr qint64 MaxBytesPerTurn = 1024 * 1024;
constexpr qint64 WriteSize = 64 * 1024;
constexpr int ReadSize = 64 * 1024;
constexpr int MaxStringLength = 126; // a USB string descriptor's limit

qint64 monotonicNs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.nsecsElapsed();
}

bool hasControlCharacters(const QString &text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

} // namespace

bool insideSandbox()
{
    // The tmpfs checks are what matter: on a host /sys/class/tty is sysfs, whatever the marker.
    return QFile::exists(QLatin1String(paths::SandboxMarker)) && fs::isTmpfs(paths::ClassTtyDir) &&
           fs::isTmpfs(paths::DevDir) && fs::isTmpfs(paths::StateDir);
}

bool isValidPortName(const QString &name)
{
    static const QRegularExpression form(QStringLiteral("^tty[A-Za-z]{1,12}[0-9]{1,3}$"));
    return form.match(name).hasMatch();
}

QString identityProblem(const UsbIdentity &identity)
{
    const std::pair<const char *, QString> strings[] = {{"serial number", identity.serialNumber},
                                                        {"manufacturer", identity.manufacturer},
                                                        {"product", identity.product}};
    for (const auto &[what, text] : strings) {
        if (text.size() > MaxStringLength)
            return QStringLiteral("the %1 is longer than %2 characters")
                .arg(QLatin1String(what))
                .arg(MaxStringLength);
        if (hasControlCharacters(text))
            return QStringLiteral("the %1 contains control characters").arg(QLatin1String(what));
        if (text != text.trimmed())
            return QStringLiteral("the %1 starts or ends with white space")
                .arg(QLatin1String(what));
    }
    return QString();
}

Adapter::Adapter(const UsbIdentity &identity, QObject *parent)
    : QObject(parent)
    , usbIdentity(identity)
    , queue(std::make_unique<SendQueue>())
    , busyLock(new BusyLock(this))
    , paceTimer(new QTimer(this))
{
    paceTimer->setSingleShot(true);
    paceTimer->setTimerType(Qt::PreciseTimer);
    connect(paceTimer, &QTimer::timeout, this, &Adapter::writeToTerminal);
}

Adapter::~Adapter()
{
    unplug();
}

QString Adapter::systemLocation() const
{
    return port.isEmpty() ? QString() : QLatin1String(paths::DevDir) + QLatin1Char('/') + port;
}

bool Adapter::fail(const QString &message)
{
    lastError = message;
    return false;
}

bool Adapter::plug(const QString &portName)
{
    if (plugged)
        return fail(QStringLiteral("already plugged as %1").arg(port));
    if (!insideSandbox())
        return fail(QStringLiteral("not inside a usbsim sandbox; run the program with "
                                   "`usbsim sandbox -- PROGRAM`"));
    if (!isValidPortName(portName))
        return fail(QStringLiteral("invalid port name '%1': expected tty, letters and a number, "
                                   "such as ttyUSB0")
                        .arg(portName));
    const QString problem = identityProblem(usbIdentity);
    if (!problem.isEmpty())
        return fail(QStringLiteral("invalid identity: %1").arg(problem));

    QString error;
    auto terminal = std::make_unique<PseudoTerminal>();
    auto usbDevice = std::make_unique<FakeUsbDevice>();
    if (!terminal->open(&error) ||
        !usbDevice->create(portName, usbIdentity, terminal->slavePath(), &error))
        return fail(error);

    pty = std::move(terminal);
    device = std::move(usbDevice);
    port = portName;
    plugged = true;
    readNotifier = new QSocketNotifier(pty->masterFd(), QSocketNotifier::Read, this);
    connect(readNotifier, &QSocketNotifier::activated, this, &Adapter::readFromTerminal);
    writeNotifier = new QSocketNotifier(pty->masterFd(), QSocketNotifier::Write, this);
    writeNotifier->setEnabled(false);
    connect(writeNotifier, &QSocketNotifier::activated, this, &Adapter::writeToTerminal);
    openWatcher = new OpenWatcher(pty->slavePath(), this);
    connect(openWatcher, &OpenWatcher::openChanged, this, &Adapter::setOpenByTerminal);
    lastError.clear();
    emit pluggedChanged(true);
    return true;
}

void Adapter::unplug()
{
    if (!plugged)
        return;
    busyLock->release();
    device.reset(); // the port leaves the enumeration before the line hangs up
    delete readNotifier;
    delete writeNotifier;
    delete openWatcher;
    readNotifier = writeNotifier = nullptr;
    openWatcher = nullptr;
    pty.reset();
    queue->clear();
    paceTimer->stop();
    plugged = false;
    setOpenByTerminal(false);
    emit pluggedChanged(false);
}

bool Adapter::replug(const QString &portName)
{
    const QString name = portName.isEmpty() ? port : portName;
    unplug();
    return plug(name);
}

void Adapter::send(const QByteArray &bytes, qint64 bytesPerSecond)
{
    if (!plugged)
        return;
    queue->append(bytes, bytesPerSecond);
    writeToTerminal();
}

void Adapter::sendStream(qint64 length, qint64 bytesPerSecond, quint32 seed)
{
    if (!plugged)
        return;
    queue->appendStream(length, bytesPerSecond, seed);
    writeToTerminal();
}

qint64 Adapter::bytesPendingToSend() const
{
    return queue->pending();
}

void Adapter::setUartBuffer(qint64 bytes)
{
    queue->setUartBuffer(bytes);
}

qint64 Adapter::bytesLost() const
{
    return queue->lost();
}

bool Adapter::setBusy(bool busy)
{
    if (!busy) {
        busyLock->release();
        return true;
    }
    if (!plugged)
        return fail(QStringLiteral("not plugged"));
    QString error;
    return busyLock->acquire(port, &error) || fail(error);
}

bool Adapter::isBusy() const
{
    return busyLock->isHeld();
}

void Adapter::readFromTerminal()
{
    QByteArray chunk;
    char buffer[ReadSize];
    while (chunk.size() < MaxBytesPerTurn) {
        const ssize_t count = ::read(pty->masterFd(), buffer, sizeof buffer);
        if (count > 0) {
            chunk.append(buffer, int(count));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        break; // EAGAIN: all read; nothing else is expected while the adapter holds the slave
    }
    if (chunk.isEmpty())
        return;
    receivedBytes.append(chunk);
    emit bytesReceived(chunk);
}

void Adapter::writeToTerminal()
{
    if (!plugged)
        return;
    const bool hadWork = !queue->isEmpty();
    qint64 written = 0;
    while (!queue->isEmpty() && written < MaxBytesPerTurn) {
        const SendQueue::Due due = queue->due(monotonicNs(), WriteSize);
        if (due.size == 0 && queue->isEmpty())
            break;
        if (due.size == 0) {
            writeNotifier->setEnabled(false);
            paceTimer->start(int(qMax<qint64>(1, (due.waitNs + 999999) / 1000000)));
            return;
        }
        const ssize_t count = ::write(pty->masterFd(), due.data, size_t(due.size));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN) {
            writeNotifier->setEnabled(true); // the terminal has not read yet
            return;
        }
        if (count <= 0) {
            qWarning("usbsim: cannot write to %s: %s", qPrintable(port),
                     qPrintable(fs::errnoText()));
            queue->clear();
            break;
        }
        queue->consume(count);
        written += count;
    }
    writeNotifier->setEnabled(!queue->isEmpty());
    if (queue->isEmpty() && hadWork)
        emit allSent();
}

void Adapter::setOpenByTerminal(bool open)
{
    if (open == openByTerminal)
        return;
    openByTerminal = open;
    emit terminalOpenChanged(open);
}

} // namespace usbsim
