#pragma once

#include <QStringList>
#include <QtGlobal>

namespace testsupport {

// Collects the debug messages written while it lives, so that traces and the usage text can
// be compared with what the program must write. Warnings go on to the test library.
class MessageLog
{
public:
    MessageLog();
    ~MessageLog();
    MessageLog(const MessageLog &) = delete;
    MessageLog &operator=(const MessageLog &) = delete;

    QStringList messages() const { return collected; }
    bool contains(const QString &message) const { return collected.contains(message); }
    int count(const QString &message) const { return collected.count(message); }
    int indexOf(const QString &message) const { return collected.indexOf(message); }
    void clear() { collected.clear(); }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);

    QStringList collected;
    QtMessageHandler previous = nullptr;
    MessageLog *outer = nullptr;
};

} // namespace testsupport
