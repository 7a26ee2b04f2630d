#include "messagelog.h"

namespace testsupport {

namespace {
MessageLog *&activeLog()
{
    static MessageLog *log = nullptr;
    return log;
}
} // namespace

MessageLog::MessageLog(bool passOn) : passOn(passOn)
{
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

void MessageLog::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    MessageLog *log = activeLog();
    if (!log)
        return;
    log->collected.append(message);
    if (log->passOn && log->previous)
        log->previous(type, context, message);
}

} // namespace testsupport
