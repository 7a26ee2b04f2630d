#pragma once

#include <usbsim/adapter.h>

#include <QString>

namespace usbsim {

// Everything that makes a port show up as a USB serial adapter inside the sandbox: a device
// tree in the fake sysfs that Qt's own sysfs scan reads, the /sys/class/tty entry, and
// /dev/<port> leading to the pseudo-terminal slave.
class FakeUsbDevice
{
public:
    FakeUsbDevice() = default;
    ~FakeUsbDevice() { remove(); }
    FakeUsbDevice(const FakeUsbDevice &) = delete;
    FakeUsbDevice &operator=(const FakeUsbDevice &) = delete;

    bool create(const QString &portName, const UsbIdentity &identity, const QString &slavePath,
                QString *error);
    void remove();

private:
    bool claim(QString *error);
    bool allocateDeviceDir(QString *error);
    bool writeTree(const UsbIdentity &identity, QString *error);
    bool writeUsbAttributes(const UsbIdentity &identity, QString *error);
    bool writeTty(QString *error);
    QString interfaceDir() const;
    QString portDeviceDir() const;
    QString ttyDir() const;

    QString port;
    QString deviceDir;
    int slot = 0;
    bool claimed = false;
};

// Removes what a plug left behind when the process that made it is gone.
void removeStalePort(const QString &portName);

} // namespace usbsim
