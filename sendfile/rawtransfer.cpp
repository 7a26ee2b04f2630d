#include "rawtransfer.h"

#include "linetap.h"

#include <QFile>
#include <QSerialPort>
#include <QTimer>

#include <sys/ioctl.h>

namespace {
constexpr int readSize = 16 * 1024;
// How often a paced send looks whether the driver has sent the last piece: it tells no one.
constexpr int drainPollMs = 1;
} // namespace

RawTransfer::RawTransfer(LineTap *lineTap, QFile *source, const SendOptions &options,
                         QObject *parent)
    : Transfer(parent)
    , tap(lineTap)
    , file(source)
    , characterDelayMs(options.characterDelayMs)
    , lineDelayMs(options.lineDelayMs)
    , pause(new QTimer(this))
    , drainPoll(new QTimer(this))
{
    file->setParent(this);
    for (QTimer *timer : {pause, drainPoll}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(pause, SIGNAL(timeout()), this, SLOT(writePiece()));
    connect(drainPoll, SIGNAL(timeout()), this, SLOT(startPauseWhenSent()));
}

void RawTransfer::begin()
{
    connect(tap->port(), SIGNAL(bytesWritten(qint64)), this, SLOT(onBytesWritten()));
    if (paced())
        writePiece();
    else
        fill();
}

qint64 RawTransfer::bytesDone() const
{
    return qMax<qint64>(0, handedOut - tap->port()->bytesToWrite());
}

void RawTransfer::stop(bool lineGone)
{
    stopped = true;
    pause->stop();
    drainPoll->stop();
    disconnect(tap->port(), nullptr, this, nullptr);
    // What waits in the port and the driver would still reach the device after the user stopped.
    if (!lineGone)
        tap->port()->clear(QSerialPort::Output);
}

// The next bytes to write: unpaced a read's worth, paced one byte or up to a line feed.
QByteArray RawTransfer::nextPiece()
{
    if (taken == buffer.size()) {
        buffer = file->read(readSize);
        taken = 0;
        if (buffer.isEmpty())
            return QByteArray();
    }
    int size = buffer.size() - taken;
    if (characterDelayMs > 0) {
        size = 1;
    } else if (lineDelayMs > 0) {
        const int lineFeed = buffer.indexOf('\n', taken);
        if (lineFeed >= 0)
            size = lineFeed + 1 - taken;
    }
    QByteArray piece = buffer.mid(taken, size);
    taken += size;
    return piece;
}

bool RawTransfer::readFailed()
{
    if (file->error() == QFileDevice::NoError)
        return false;
    stop(false);
    emit ended(file->errorString());
    return true;
}

void RawTransfer::fill()
{
    QByteArray piece;
    while (!stopped && tap->port()->bytesToWrite() < bufferBound / 2 && handOut(&piece)) {
    }
}

void RawTransfer::writePiece()
{
    QByteArray piece;
    if (handOut(&piece))
        nextPauseMs = characterDelayMs + (piece.endsWith('\n') ? lineDelayMs : 0);
}

// The file's next piece to the port; false when there was none: the file failed or ended.
bool RawTransfer::handOut(QByteArray *piece)
{
    *piece = nextPiece();
    if (readFailed())
        return false;
    if (piece->isEmpty()) {
        finishIfDrained();
        return false;
    }
    handedOut += qMax<qint64>(0, tap->write(*piece));
    return true;
}

void RawTransfer::onBytesWritten()
{
    if (stopped)
        return;
    if (paced())
        startPauseWhenSent();
    else
        fill();
}

// A pause counts from when the device has had the piece, not from when korvix handed it over:
// at a low baud rate the driver holds a line for longer than many a pause lasts.
void RawTransfer::startPauseWhenSent()
{
    if (nextPauseMs < 0 || tap->port()->bytesToWrite() > 0)
        return;
    if (!driverIdle()) {
        drainPoll->start(drainPollMs);
        return;
    }
    pause->start(nextPauseMs);
    nextPauseMs = -1;
}

bool RawTransfer::driverIdle() const
{
    int queued = 0;
    return ioctl(int(tap->port()->handle()), TIOCOUTQ, &queued) != 0 || queued == 0;
}

void RawTransfer::finishIfDrained()
{
    if (tap->port()->bytesToWrite() > 0)
        return;
    stopped = true;
    disconnect(tap->port(), nullptr, this, nullptr);
    emit ended(QString());
}
