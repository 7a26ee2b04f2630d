#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>

#include <deque>

// The time of every received line: when korvix read the bytes that began it, not when the
// display showed them. The window's reads arrive here as they happen, in the order they fill
// the receive buffer; the console takes their times back chunk by chunk as it shows the buffer.
class Stamper : public QObject
{
    Q_OBJECT

public:
    enum class Mode { Off, TimeOfDay, SinceConnect, SincePreviousLine, SinceLastSent };

    // The names on the command line and in the settings.
    static QString nameOf(Mode mode);
    static bool modeNamed(const QString &name, Mode *mode);
    static QStringList names();

    explicit Stamper(QObject *parent);

    Mode mode() const { return current; }
    bool isOn() const { return current != Mode::Off; }
    void setMode(Mode mode);

    // Where in a chunk a read began, and when it was made.
    struct Arrival
    {
        int offset;
        qint64 at;
    };
    // The reads of the next `bytes` bytes of the buffer, oldest first; the first starts at
    // offset 0. Bytes read before stamping was switched on count as read when it was.
    QVector<Arrival> take(int bytes);
    // The time of the read that holds `offset`.
    static qint64 timeAt(const QVector<Arrival> &arrivals, int offset);

    // The text of a line's stamp, in the mode's form, with a space after it. Lines are stamped
    // in the order they arrived.
    QString stampLine(qint64 at);
    // The fewest characters a stamp takes, with its space, in the current form.
    int shortestStamp() const;
    // A line that is not shown, but is the previous line of the next.
    void skipLine(qint64 at) { previousLineAt = at; }

    // Whether the next byte shown begins a line: at first, and after a chunk that ended one.
    bool atLineStart = true;
    // In hexadecimal, a read begins a new line after a pause this long.
    static constexpr qint64 hexPauseNs = 100'000'000;
    // When the last read before the next chunk was made, for the pauses in hexadecimal.
    qint64 lastReadAt = 0;

public slots:
    void noteRead(const QByteArray &bytes, qint64 at);
    void noteOpened(qint64 at);
    void noteSent(const QByteArray &bytes, qint64 at);

private:
    // When korvix last wrote to the port before `at`.
    qint64 lastSentBefore(qint64 at) const;
    QString timeOfDay(qint64 at);

    Mode current = Mode::Off;
    struct Read
    {
        int bytes;
        qint64 at;
    };
    std::deque<Read> reads;
    std::deque<qint64> sends; // the newest few, enough for the reads not yet shown
    qint64 connectedAt;
    qint64 switchedOnAt = 0;
    qint64 previousLineAt = -1;
    // The wall clock less the steady one, for the time of day.
    qint64 wallOffsetNs;
    qint64 cachedSecond = -1;
    QString cachedSecondText;
};
