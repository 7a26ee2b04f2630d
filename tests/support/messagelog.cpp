#include "messagelog.h"

namespace testsupport {

namespace {
MessageLog *&activeLog()
{
    static MessageLog *log = nullptr;
    return log;
}
} // namespace

MessageLog::MessageLog() : outer(activeLog())
{
    activeLog() = this;
    previous = qInstallMessageHandler(&MessageLog::handler);
}

MessageLog::~MessageLog()
{
    qInstallMessageHandler(previous);
    activeLog() = outer;
}

void MessageLog::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    MessageLog *log = activeLog();
    if (type == QtDebugMsg) {
        log->collected.append(message);
        return;
    }
    // Warnings are the test library's: they report faults, such as a bad connection.
    while (log->outer)
        log = log->outer;
    if (log->previous)
        log->previous(type, context, message);
}

} // namespace testsupport
