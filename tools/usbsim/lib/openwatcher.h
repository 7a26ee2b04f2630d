#pragma once

#include <QObject>

class QSocketNotifier;

namespace usbsim {

// Tells when other programs open and close the pseudo-terminal slave, from inotify events on
// it, so that a device can greet a terminal and stay quiet while none listens.
class OpenWatcher : public QObject
{
    Q_OBJECT
public:
    OpenWatcher(const QString &slavePath, QObject *parent);
    ~OpenWatcher() override;

    bool isOpen() const { return openCount > 0; }

signals:
    void openChanged(bool open);

private:
    void readEvents();

    int fd = -1;
    int openCount = 0;
    QSocketNotifier *notifier = nullptr;
};

} // namespace usbsim
