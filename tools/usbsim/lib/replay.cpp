#include <usbsim/replay.h>

#include <usbsim/adapter.h>

#include <QTimer>

#include <cmath>
#include <limits>

namespace usbsim {

using umockdevscript::Operation;

namespace {

// QTimer counts in int milliseconds; a longer wait is taken in turns.
int timerMs(qint64 ms)
{
    return int(qMin<qint64>(ms, std::numeric_limits<int>::max()));
}

QString quoted(const QByteArray &bytes)
{
    return QStringLiteral("\"%1\" (%2 %3)")
        .arg(QString::fromLatin1(umockdevscript::escape(bytes)))
        .arg(bytes.size())
        .arg(QLatin1String(bytes.size() == 1 ? "byte" : "bytes"));
}

int mismatches(const QByteArray &expected, const QByteArray &came)
{
    int count = 0;
    for (int i = 0; i < expected.size(); ++i)
        count += expected.at(i) != came.at(i) ? 1 : 0;
    return count;
}

} // namespace

Replay::Replay(Adapter *owner, const QVector<Operation> &script, double playSpeed)
    : QObject(owner)
    , adapter(owner)
    , operations(script)
    , speed(playSpeed)
    , dueTimer(new QTimer(this))
    , writeTimer(new QTimer(this))
{
    for (QTimer *timer : {dueTimer, writeTimer}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(dueTimer, &QTimer::timeout, this, &Replay::playOn);
    connect(writeTimer, &QTimer::timeout, this, &Replay::onWriteTimeout);
    connect(adapter, &Adapter::terminalOpenChanged, this, &Replay::onOpenChanged);
    connect(adapter, &Adapter::bytesReceived, this, &Replay::onBytes);
    if (adapter->isOpenByTerminal())
        onOpenChanged(true);
}

// The session begins when a terminal first opens the port and then runs on its own clock: a
// recording goes on across the terminal's reconnections, and so does its replay.
void Replay::onOpenChanged(bool open)
{
    if (!open || started)
        return;
    started = true;
    clock.start();
    playOn();
}

void Replay::onBytes(const QByteArray &chunk)
{
    if (stopped)
        return;
    written.append(chunk);
    if (started && !dueTimer->isActive())
        playOn();
}

void Replay::playOn()
{
    while (!stopped && next < operations.size()) {
        const Operation &operation = operations.at(next);
        if (operation.code == 'f')
            fuzzPercent = int(operation.value);
        else if (operation.code == 'r' ? !sendWhenDue(operation) : !takeWrite(operation))
            return;
        ++next;
    }
    if (!stopped) {
        stopped = true;
        emit finished();
    }
}

// False while it is not yet due.
bool Replay::sendWhenDue(const Operation &operation)
{
    const qint64 dueMs = previousMs + std::llround(double(operation.value) / speed);
    const qint64 waitMs = dueMs - clock.elapsed();
    if (waitMs > 0) {
        dueTimer->start(timerMs(waitMs));
        return false;
    }
    adapter->send(operation.data);
    // From when it was due, not when the timer came: lateness does not add up.
    previousMs = dueMs;
    return true;
}

// False while the bytes have not all come, and when they differ.
bool Replay::takeWrite(const Operation &operation)
{
    const QByteArray &expected = operation.data;
    if (written.size() < expected.size()) {
        if (!writeTimer->isActive())
            writeTimer->start(
                timerMs(std::llround(double(operation.value) / speed) + writeSlackMs));
        return false;
    }
    writeTimer->stop();
    const QByteArray came = written.left(expected.size());
    if (qint64(mismatches(expected, came)) * 100 > qint64(fuzzPercent) * expected.size()) {
        fail(QStringLiteral("the terminal was to write %1 but wrote %2")
                 .arg(quoted(expected), quoted(came)));
        return false;
    }
    written.remove(0, expected.size());
    previousMs = clock.elapsed();
    return true;
}

void Replay::onWriteTimeout()
{
    const Operation &operation = operations.at(next);
    const QString came = written.isEmpty() ? QStringLiteral("nothing") : quoted(written);
    fail(QStringLiteral("the terminal was to write %1 within %2 ms but wrote %3")
             .arg(quoted(operation.data))
             .arg(writeTimer->interval())
             .arg(came));
}

void Replay::fail(const QString &what)
{
    stopped = true;
    dueTimer->stop();
    emit failed(QStringLiteral("line %1: %2").arg(operations.at(next).line).arg(what));
}

} // namespace usbsim
