#pragma once

#include <QByteArray>
#include <QObject>

class QSerialPort;

// What passes on the serial line, for the extras beyond the basic terminal: the window tells the
// tap what it reads, writes, opens and closes, as it happens, and the extras listen. Every time
// is the moment korvix saw it, on one monotonic clock (`now`), in nanoseconds.
//
// An extra that runs a protocol over the line (a file transfer) claims it for as long as the
// protocol runs: the window then neither shows nor logs what it reads, nor sends keys.
class LineTap : public QObject
{
    Q_OBJECT

public:
    LineTap(QSerialPort *port, QObject *parent);

    static qint64 now();

    // The window's port: extras may look at its state and its handle, and change its lines.
    QSerialPort *port() const { return serialPort; }
    bool isOpen() const;

    // Writes to the port as the window's own writes go, and tells every listener.
    qint64 write(const QByteArray &bytes);

    bool isClaimed() const { return claimed; }
    void claim() { claimed = true; }
    void release() { claimed = false; }

    // From the window.
    void noteRead(const QByteArray &bytes, qint64 at)
    {
        if (bytes.isEmpty())
            return;
        emit received(bytes, at);
        if (!claimed)
            emit buffered(bytes, at);
    }
    void noteWritten(const QByteArray &bytes) { emit sent(bytes, now()); }
    void noteOpened() { emit opened(now()); }
    void noteClosed(bool lost) { emit closed(lost); }
    void noteTick() { emit ticked(); }

signals:
    // Everything the window read from the port, also while the line is claimed.
    void received(const QByteArray &bytes, qint64 at);
    // What of it the window keeps for the pane and the log: every read while the line is not
    // claimed, in the order they fill the receive buffer.
    void buffered(const QByteArray &bytes, qint64 at);
    // Everything written to the port: keys, function keys and the extras' own bytes.
    void sent(const QByteArray &bytes, qint64 at);
    void opened(qint64 at);
    // By a disconnect, or lost with the device.
    void closed(bool lost);
    // The display tick, every 100 ms, connected or not.
    void ticked();
    // A line the log gets where a claimed line's bytes would have been.
    void logNote(const QByteArray &line);

private:
    QSerialPort *serialPort;
    bool claimed = false;
};
