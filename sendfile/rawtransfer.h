#pragma once

#include "transfer.h"

class LineTap;
class QFile;
class QTimer;

// The file's bytes as they are. Unpaced, it keeps the port's write buffer filled but bounded, so
// the event loop, and with it the display and the log, never waits for the line. Paced, it
// writes a byte (or a line) at a time and starts each pause once the previous piece has left the
// port and the driver, so that the device sees the pause.
class RawTransfer : public Transfer
{
    Q_OBJECT

public:
    // `file` is open for reading; the transfer takes it.
    RawTransfer(LineTap *lineTap, QFile *source, const SendOptions &options, QObject *parent);

    void begin() override;
    qint64 bytesDone() const override;
    void stop(bool lineGone) override;

    // Unpaced, the port's write buffer is topped up to this whenever it falls below half of it.
    static constexpr qint64 bufferBound = 64 * qint64(1024);

private slots:
    void onBytesWritten();
    void writePiece();
    void startPauseWhenSent();

private:
    bool paced() const { return characterDelayMs > 0 || lineDelayMs > 0; }
    QByteArray nextPiece();
    bool readFailed();
    bool driverIdle() const;
    void fill();
    bool handOut(QByteArray *piece);
    void finishIfDrained();

    LineTap *tap;
    QFile *file;
    int characterDelayMs;
    int lineDelayMs;
    QByteArray buffer; // read from the file, not yet written from `taken` on
    int taken = 0;
    qint64 handedOut = 0;
    QTimer *pause;
    QTimer *drainPoll;
    int nextPauseMs = -1; // paced: the pause due once the last piece has left; -1: none
    bool stopped = false;
};
