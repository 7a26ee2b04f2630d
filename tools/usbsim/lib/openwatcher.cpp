#include "openwatcher.h"

#include <QFile>
#include <QSocketNotifier>

#include <sys/inotify.h>
#include <unistd.h>

namespace usbsim {

OpenWatcher::OpenWatcher(const QString &slavePath, QObject *parent) : QObject(parent)
{
    fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return;
    if (::inotify_add_watch(fd, QFile::encodeName(slavePath).constData(), IN_OPEN | IN_CLOSE) < 0) {
        ::close(fd);
        fd = -1;
        return;
    }
    notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &OpenWatcher::readEvents);
}

OpenWatcher::~OpenWatcher()
{
    if (fd >= 0)
        ::close(fd);
}

void OpenWatcher::readEvents()
{
    alignas(struct inotify_event) char buffer[4096];
    const bool wasOpen = isOpen();
    ssize_t length;
    while ((length = ::read(fd, buffer, sizeof buffer)) > 0) {
        for (char *p = buffer; p < buffer + length;) {
            const auto *event = reinterpret_cast<const struct inotify_event *>(p);
            if (event->mask & IN_OPEN)
                ++openCount;
            if (event->mask & IN_CLOSE)
                openCount = qMax(0, openCount - 1);
            p += sizeof(struct inotify_event) + event->len;
        }
    }
    if (isOpen() != wasOpen)
        emit openChanged(isOpen());
}

} // namespace usbsim
