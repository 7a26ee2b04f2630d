#include "recorder.h"

#include "linetap.h"
#include "umockdevscript.h"

#include <QDebug>
#include <QFileInfo>
#include <QSerialPort>

namespace {
constexpr qint64 NsPerMs = 1000000;
} // namespace

Recorder::Recorder(LineTap *lineTap, QObject *parent) : QObject(parent), tap(lineTap)
{
    connect(tap, SIGNAL(received(QByteArray, qint64)), this, SLOT(onReceived(QByteArray, qint64)));
    connect(tap, SIGNAL(sent(QByteArray, qint64)), this, SLOT(onSent(QByteArray, qint64)));
    connect(tap, SIGNAL(opened(qint64)), this, SLOT(onOpened()));
    connect(tap, SIGNAL(ticked()), this, SLOT(flush()));
}

Recorder::~Recorder()
{
    stop();
}

void Recorder::start(const QString &path)
{
    stop();
    file.setFileName(path);
    // Unbuffered: the lines wait in `unwritten`, which a fault can drop without a last attempt.
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        qDebug().noquote().nospace() << "recording to " << path;
    else
        abandon(file.errorString());
    startedAt = LineTap::now();
    previousMs = 0;
    deviceNamed = false;
    if (tap->isOpen())
        nameDevice();
}

void Recorder::stop()
{
    flush();
    file.close();
}

void Recorder::onReceived(const QByteArray &bytes, qint64 at)
{
    append('r', bytes, at);
}

void Recorder::onSent(const QByteArray &bytes, qint64 at)
{
    append('w', bytes, at);
}

void Recorder::onOpened()
{
    if (!deviceNamed)
        nameDevice();
}

// As umockdev-record begins its scripts. Only the first device is named: players ignore the
// line, and a script has one device.
void Recorder::nameDevice()
{
    if (!file.isOpen())
        return;
    const QString name = tap->port()->portName();
    const QString path = name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
    umockdevscript::appendLine(&unwritten, 'd', 0, path.toLocal8Bit());
    deviceNamed = true;
}

void Recorder::append(char code, const QByteArray &bytes, qint64 at)
{
    if (!file.isOpen() || bytes.isEmpty())
        return;
    // From whole milliseconds since the start, so that rounding never adds up over a session.
    const qint64 ms = qMax(previousMs, (at - startedAt) / NsPerMs);
    umockdevscript::appendLine(&unwritten, code, ms - previousMs, bytes);
    previousMs = ms;
}

void Recorder::flush()
{
    if (!file.isOpen() || unwritten.isEmpty())
        return;
    while (!unwritten.isEmpty()) {
        // A short write is followed by one that fails and says why.
        const qint64 written = file.write(unwritten);
        if (written <= 0) {
            abandon(file.errorString());
            return;
        }
        unwritten.remove(0, int(written));
    }
    // Writes into a file whose directory was removed succeed and land nowhere anyone can read.
    if (!QFileInfo::exists(file.fileName()))
        abandon(QStringLiteral("the file was removed"));
}

// A full disk, a file gone or a failing device ends the recording, never the session: one
// trace, as for the log, and nothing more is written until a new recording starts.
void Recorder::abandon(const QString &reason)
{
    qDebug().noquote().nospace() << "recording to " << file.fileName() << " failed: " << reason;
    unwritten.clear();
    file.close();
}
