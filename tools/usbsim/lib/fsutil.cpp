#include "fsutil.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <linux/magic.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace usbsim::fs {

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool writeFile(const QString &path, const QByteArray &content, QString *error)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0 && ::write(fd, content.constData(), size_t(content.size())) == content.size();
    if (!ok && error)
        *error = QStringLiteral("cannot write %1: %2").arg(path, errnoText());
    if (fd >= 0)
        ::close(fd);
    return ok;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool makeSymlink(const QString &target, const QString &link, QString *error)
{
    if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0)
        return true;
    if (error)
        *error = QStringLiteral("cannot create %1: %2").arg(link, errnoText());
    return false;
}

namespace {
int removeEntry(const char *path, const struct stat *, int type, struct FTW *)
{
    if (type == FTW_DP)
        ::rmdir(path);
    else
        ::unlink(path);
    return 0;
}
} // namespace

void removeTree(const QString &path)
{
    ::nftw(QFile::encodeName(path).constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS | FTW_MOUNT);
}

bool isTmpfs(const char *path)
{
    struct statfs info;
    return ::statfs(path, &info) == 0 && info.f_type == TMPFS_MAGIC;
}

bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno != ESRCH);
}

} // namespace usbsim::fs
