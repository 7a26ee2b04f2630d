#include "stamper.h"

#include "linetap.h"

#include <QDateTime>
#include <QStringList>

#include <algorithm>
#include <chrono>

namespace {

constexpr qint64 nsPerMs = 1'000'000;
// Enough writes to stamp every line not yet shown "since last sent"; a file sent in pieces
// makes many more, of which only the newest matter.
constexpr std::size_t mostSends = 4096;

qint64 wallNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// "s.mmm" after a sign, in whole milliseconds.
QString seconds(const QString &prefix, qint64 ns)
{
    const qint64 ms = (ns < 0 ? -ns : ns) / nsPerMs;
    return prefix + (ns < 0 ? QStringLiteral("-") : QString()) + QString::number(ms / 1000) +
           QLatin1Char('.') + QStringLiteral("%1").arg(ms % 1000, 3, 10, QLatin1Char('0')) +
           QLatin1Char(' ');
}

struct ModeName
{
    Stamper::Mode mode;
    const char *name;
};
const ModeName modeNames[] = {
    {Stamper::Mode::Off, "off"},
    {Stamper::Mode::TimeOfDay, "time"},
    {Stamper::Mode::SinceConnect, "since-connect"},
    {Stamper::Mode::SincePreviousLine, "since-line"},
    {Stamper::Mode::SinceLastSent, "since-sent"},
};

} // namespace

QString Stamper::nameOf(Mode mode)
{
    for (const ModeName &entry : modeNames) {
        if (entry.mode == mode)
            return QLatin1String(entry.name);
    }
    return QString();
}

bool Stamper::modeNamed(const QString &name, Mode *mode)
{
    for (const ModeName &entry : modeNames) {
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0) {
            *mode = entry.mode;
            return true;
        }
    }
    return false;
}

QStringList Stamper::names()
{
    QStringList all;
    for (const ModeName &entry : modeNames)
        all << QLatin1String(entry.name);
    return all;
}

Stamper::Stamper(QObject *parent)
    : QObject(parent), connectedAt(LineTap::now()), wallOffsetNs(wallNow() - LineTap::now())
{}

void Stamper::setMode(Mode mode)
{
    current = mode;
    switchedOnAt = LineTap::now();
    if (mode == Mode::Off) {
        // Nothing is recorded while off; what was is of no more use.
        reads.clear();
        sends.clear();
    }
    atLineStart = true;
    lastReadAt = 0;
}

void Stamper::noteRead(const QByteArray &bytes, qint64 at)
{
    if (isOn() && !bytes.isEmpty())
        reads.push_back({int(bytes.size()), at});
}

void Stamper::noteOpened(qint64 at)
{
    connectedAt = at;
    // The clocks drift apart over a long run; a connect is a fine moment to line them up again.
    wallOffsetNs = wallNow() - LineTap::now();
}

void Stamper::noteSent(const QByteArray &bytes, qint64 at)
{
    if (!isOn() || bytes.isEmpty())
        return;
    sends.push_back(at);
    if (sends.size() > mostSends)
        sends.pop_front();
}

QVector<Stamper::Arrival> Stamper::take(int bytes)
{
    QVector<Arrival> arrivals;
    int offset = 0;
    while (offset < bytes && !reads.empty()) {
        Read &read = reads.front();
        arrivals.append({offset, read.at});
        const int taken = qMin(read.bytes, bytes - offset);
        offset += taken;
        read.bytes -= taken;
        if (read.bytes == 0)
            reads.pop_front();
    }
    if (offset < bytes) {
        // Bytes read before stamping was switched on wait in the buffer with no time of their
        // own; they come before every recorded read.
        for (Arrival &arrival : arrivals)
            arrival.offset += bytes - offset;
        arrivals.prepend({0, switchedOnAt});
    }
    // The reads come in the order they were made: of the writes before this chunk's oldest, only
    // the newest can stamp a line from now on.
    if (!arrivals.isEmpty()) {
        while (sends.size() >= 2 && sends[1] <= arrivals.first().at)
            sends.pop_front();
    }
    return arrivals;
}

qint64 Stamper::timeAt(const QVector<Arrival> &arrivals, int offset)
{
    auto read =
        std::upper_bound(arrivals.cbegin(), arrivals.cend(), offset,
                         [](int at, const Arrival &arrival) { return at < arrival.offset; });
    return read == arrivals.cbegin() ? 0 : (read - 1)->at;
}

QString Stamper::stampLine(qint64 at)
{
    switch (current) {
    case Mode::Off:
        break;
    case Mode::TimeOfDay:
        return timeOfDay(at);
    case Mode::SinceConnect:
        return seconds(QStringLiteral("+"), at - connectedAt);
    case Mode::SincePreviousLine: {
        const qint64 previous = previousLineAt < 0 ? connectedAt : previousLineAt;
        previousLineAt = at;
        return seconds(QString(QChar(0x0394)), at - previous); // Δ
    }
    case Mode::SinceLastSent: {
        const qint64 sent = lastSentBefore(at);
        const QString prefix(QChar(0x00bb)); // »
        return sent < 0 ? prefix + QStringLiteral("-.--- ") : seconds(prefix, at - sent);
    }
    }
    return QString();
}

int Stamper::shortestStamp() const
{
    switch (current) {
    case Mode::Off:
        return 0;
    case Mode::TimeOfDay:
        return int(sizeof "hh:mm:ss.zzz ") - 1;
    default:
        return int(sizeof "+s.mmm ") - 1;
    }
}

qint64 Stamper::lastSentBefore(qint64 at) const
{
    auto after = std::upper_bound(sends.cbegin(), sends.cend(), at);
    return after == sends.cbegin() ? -1 : *(after - 1);
}

// "hh:mm:ss.zzz", local time. The part of the second is made once a second: a fast device's
// tick stamps hundreds of lines.
QString Stamper::timeOfDay(qint64 at)
{
    const qint64 ms = (at + wallOffsetNs) / nsPerMs;
    const qint64 second = ms / 1000;
    if (second != cachedSecond) {
        cachedSecond = second;
        cachedSecondText =
            QDateTime::fromMSecsSinceEpoch(second * 1000).toString(QStringLiteral("hh:mm:ss."));
    }
    return cachedSecondText + QStringLiteral("%1").arg(ms % 1000, 3, 10, QLatin1Char('0')) +
           QLatin1Char(' ');
}
