#include "busylock.h"

#include "paths.h"

#include <QFile>
#include <QLockFile>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>

namespace usbsim {

namespace {
constexpr int RefreshMs = 10 * 1000;
}

BusyLock::BusyLock(QObject *parent) : QObject(parent), refreshTimer(new QTimer(this))
{
    refreshTimer->setInterval(RefreshMs);
    connect(refreshTimer, &QTimer::timeout, this, &BusyLock::refresh);
}

BusyLock::~BusyLock() = default;

bool BusyLock::acquire(const QString &portName, QString *error)
{
    if (lock)
        return true;
    path = QStringLiteral("%1/LCK..%2").arg(QLatin1String(paths::LockDir), portName);
    auto candidate = std::make_unique<QLockFile>(path);
    if (!candidate->tryLock(0)) {
        qint64 pid = 0;
        QString host, app;
        candidate->getLockInfo(&pid, &host, &app);
        *error =
            candidate->error() == QLockFile::LockFailedError
                ? QStringLiteral("port %1 is locked by %2 (pid %3)").arg(portName, app).arg(pid)
                : QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    lock = std::move(candidate);
    refreshTimer->start();
    return true;
}

void BusyLock::release()
{
    refreshTimer->stop();
    lock.reset();
}

void BusyLock::refresh()
{
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), nullptr, 0);
}

} // namespace usbsim
