#pragma once

#include <umockdevscript.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QVector>

class QTimer;

namespace usbsim {

class Adapter;

// The device of a recorded session, played from its umockdev script (korvix --record,
// umockdev-record -s) once a terminal opens the port: each "r" is sent after its delay, divided
// by `speed`; at each "w" the replay waits until the terminal has written those bytes, in any
// number of writes, and allows as many of them to differ as the last "f" line says. A "w" that
// does not come within its recorded delay and `writeSlackMs`, or comes otherwise, ends the
// replay with a report of what was expected and what came.
class Replay : public QObject
{
    Q_OBJECT
public:
    Replay(Adapter *adapter, const QVector<umockdevscript::Operation> &operations,
           double speed = 1.0); // the adapter is the parent
    void setWriteSlack(int ms) { writeSlackMs = ms; }

signals:
    void finished();                    // every operation played
    void failed(const QString &report); // and nothing more is played

private:
    void onOpenChanged(bool open);
    void onBytes(const QByteArray &chunk);
    void playOn();
    bool sendWhenDue(const umockdevscript::Operation &operation);
    bool takeWrite(const umockdevscript::Operation &operation);
    void onWriteTimeout();
    void fail(const QString &what);

    Adapter *adapter;
    QVector<umockdevscript::Operation> operations;
    double speed;
    int writeSlackMs = 10000;
    int next = 0;
    int fuzzPercent = 0;
    bool started = false;
    bool stopped = false;
    QByteArray written;    // by the terminal, not yet matched to a "w"
    QElapsedTimer clock;   // since the terminal opened the port
    qint64 previousMs = 0; // when the operation before was due, or its bytes came
    QTimer *dueTimer;
    QTimer *writeTimer;
};

} // namespace usbsim
