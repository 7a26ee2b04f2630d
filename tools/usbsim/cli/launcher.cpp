#include "launcher.h"

#include "daemon.h"

#include "../lib/paths.h"

#include <QFile>
#include <QJsonDocument>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace usbsim {

namespace {

constexpr int StartTimeoutMs = 10000;

// Everything is made before fork: between fork and exec only async-signal-safe calls.
pid_t spawn(const QByteArray &config, int readyFd, const QByteArray &logPath)
{
    const QByteArray readyText = QByteArray::number(readyFd);
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    ::setsid(); // a terminal's Ctrl-C for the plug command is not for the daemon
    ::fcntl(readyFd, F_SETFD, 0);
    // Nothing of the caller's: a `$(usbsim plug ...)` must not wait for the daemon's end.
    const int devNull = ::open("/dev/null", O_RDWR);
    const int log = ::open(logPath.constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ::dup2(devNull, STDIN_FILENO);
    ::dup2(devNull, STDOUT_FILENO);
    ::dup2(log >= 0 ? log : devNull, STDERR_FILENO);
    ::execl("/proc/self/exe", "usbsim", "daemon", config.constData(), readyText.constData(),
            static_cast<char *>(nullptr));
    _exit(127);
}

QByteArray readReport(int fd)
{
    QByteArray report;
    char buffer[512];
    struct pollfd readable = {fd, POLLIN, 0};
    while (::poll(&readable, 1, StartTimeoutMs) > 0) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count <= 0)
            break;
        report.append(buffer, int(count));
    }
    return report.trimmed();
}

} // namespace

QString launchDaemon(const DaemonConfig &config)
{
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        return QStringLiteral("cannot create a pipe");
    const pid_t pid =
        spawn(QJsonDocument(config.toJson()).toJson(QJsonDocument::Compact), ready[1],
              QFile::encodeName(
                  QStringLiteral("%1/%2.log").arg(QLatin1String(paths::LogsDir), config.id)));
    ::close(ready[1]);
    const QByteArray report = pid > 0 ? readReport(ready[0]) : QByteArray();
    ::close(ready[0]);
    if (report == "ok")
        return QString();
    if (pid > 0)
        ::waitpid(pid, nullptr, WNOHANG);
    return report.isEmpty() ? QStringLiteral("the adapter daemon did not start")
                            : QString::fromUtf8(report);
}

} // namespace usbsim
