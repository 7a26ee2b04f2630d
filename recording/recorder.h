#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>

class LineTap;

// Writes what passes on the line to a file as an umockdev script: an "r" line for every read,
// a "w" line for every write, each with the milliseconds since the one before (the first: since
// the recording started), and first a "d" line that names the device once one is open. It goes
// on across disconnects and lost devices, whose time away is in the next delay.
//
// Like the log, the file is written once a tick, so that it is at most a tick behind the line,
// and a fault (a full disk, the file removed) ends the writing with one trace, never the session.
class Recorder : public QObject
{
    Q_OBJECT

public:
    Recorder(LineTap *tap, QObject *parent);
    ~Recorder() override;

    // An existing file is replaced.
    void start(const QString &path);
    void stop();

private slots:
    void onReceived(const QByteArray &bytes, qint64 at);
    void onSent(const QByteArray &bytes, qint64 at);
    void onOpened();
    void flush();

private:
    void nameDevice();
    void append(char code, const QByteArray &bytes, qint64 at);
    void abandon(const QString &reason);

    LineTap *tap;
    QFile file;
    QByteArray unwritten; // lines since the last tick
    bool deviceNamed = false;
    qint64 startedAt = 0;  // LineTap::now() at the start
    qint64 previousMs = 0; // when the operation before came, in milliseconds since the start
};
