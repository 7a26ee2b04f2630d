#include "messagelog.h"

namespace testsupport {

namespace {
MessageLog *&activeLog()
{
    static MessageLog *log = nullptr;
    return log;
}
} // namespace

MessageLog::MessageLog(bool passThrough) : passOn(passThrough)
{
    clock.start();
    outer = activeLog();
    activeLog() = this;
    previous = qInstallMessageHandler(&MessageLog::handler);
}

MessageLog::~MessageLog()
{
    qInstallMessageHandler(previous);
    activeLog() = outer;
}

int MessageLog::countStartingWith(const QString &prefix) const
{
    int n = 0;
    for (const QString &message : collected)
        n += message.startsWith(prefix) ? 1 : 0;
    return n;
}

QList<qint64> MessageLog::timesOf(const QString &text) const
{
    QList<qint64> found;
    for (int i = 0; i < collected.size(); ++i) {
        if (collected.at(i) == text)
            found << times.at(i);
    }
    return found;
}

void MessageLog::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    MessageLog *log = activeLog();
    if (!log)
        return;
    log->collected.append(message);
    log->times.append(log->clock.elapsed());
    if (log->passOn && log->previous)
        log->previous(type, context, message);
}

} // namespace testsupport
