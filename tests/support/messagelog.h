#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QStringList>
#include <QtGlobal>

namespace testsupport {

// Collects the debug messages written while it lives, so that traces and the usage text can
// be compared with what the program must write. Messages still reach the previous handler
// when `passThrough` is set.
class MessageLog
{
public:
    explicit MessageLog(bool passThrough = false);
    ~MessageLog();
    MessageLog(const MessageLog &) = delete;
    MessageLog &operator=(const MessageLog &) = delete;

    QStringList messages() const { return collected; }
    // Milliseconds since the log was made, at which each message of `text` was written.
    QList<qint64> timesOf(const QString &text) const;
    bool contains(const QString &message) const { return collected.contains(message); }
    int count(const QString &message) const { return collected.count(message); }
    int countStartingWith(const QString &prefix) const;
    int indexOf(const QString &message, int from = 0) const
    {
        return collected.indexOf(message, from);
    }
    void clear()
    {
        collected.clear();
        times.clear();
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);

    QStringList collected;
    QList<qint64> times;
    QElapsedTimer clock;
    QtMessageHandler previous = nullptr;
    bool passOn;
    MessageLog *outer = nullptr;
};

} // namespace testsupport
