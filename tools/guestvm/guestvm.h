#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QLocalSocket>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// The far end of one of QEMU's emulated USB serial adapters (an FTDI FT232B, vendor 0403,
// product 6001): what the host writes here comes out of the guest's /dev/ttyUSBn, and what a
// program in the guest writes there arrives here. QEMU records the adapter's USB traffic in
// capture(), a pcap file, for the whole time it is plugged.
class UsbSerialCable
{
public:
    QString serialNumber() const { return serial; }
    QString portName() const { return port; } // ttyUSBn while plugged, as the guest named it
    QString capture() const { return pcap; }
    bool isPlugged() const { return plugged; }

    void send(const QByteArray &bytes); // written as the guest takes them (needs the event loop)
    QByteArray received();              // everything the guest sent since the last plug

private:
    friend class GuestVm;
    QString id;
    QString device; // QEMU's name for the adapter while plugged
    QString serial;
    QString port;
    QString pcap;
    bool plugged = false;
    std::unique_ptr<QLocalSocket> farEnd;
    QByteArray bytes;
};

// A QEMU guest (plain emulation, no KVM) that runs this machine's own Linux kernel on this
// machine's own root file system, read-only, with its changes kept in memory: the real
// usbserial and ftdi_sio drivers, systemd-udevd, and an X server (Xvfb, display :0), as on a
// desktop. The machine's built-in UART is the guest's ttyS0. A directory of the host,
// shareDir(), appears in the guest under the same path and is writable there; nothing else of
// the host is. Commands run in the guest as root through a virtio-serial channel. Unprivileged
// users can run it; it needs the packages qemu-system-x86, linux-image-amd64, busybox-static,
// udev, kmod, cpio, xz-utils, xvfb, xdotool and x11-utils.
//
// Everything it starts ends with it, also when the process that made it dies.
class GuestVm
{
public:
    GuestVm();
    ~GuestVm();

    // Starts the guest and waits until it takes commands. On false, whyNot() says why; what this
    // machine lacks (a program, the kernel or one of its modules) it says before anything boots.
    bool boot(int timeoutMs = 180000);
    QString whyNot() const { return reason; }
    QString shareDir() const { return work.path() + QStringLiteral("/share"); }
    qint64 bootMilliseconds() const { return bootMs; }

    // Runs a line of bash in the guest; its exit status, or -1 when it did not end in time.
    // `output`, if given, receives its standard output.
    int run(const QString &command, QByteArray *output = nullptr, int timeoutMs = 120000);
    // The same for one of the commands of guest-commands, a script of this folder, which holds
    // what the guest does in loops.
    int runCommand(const QStringList &command, QByteArray *output = nullptr,
                   int timeoutMs = 120000);

    // Plugs a new adapter into the guest's USB bus and returns once udev has announced its
    // port (0 on failure). The guest keeps it until unplug(); the object lives as long as this.
    UsbSerialCable *plug(const QString &serialNumber);
    // Pulls it out; it can be plugged again with replug(), under whatever name the guest gives.
    bool unplug(UsbSerialCable *cable);
    bool replug(UsbSerialCable *cable);
    // Pulls out every adapter still plugged.
    bool unplugAll();

private:
    bool fail(const QString &why);
    bool startQemu(const QString &kernel);
    bool connectSocket(QLocalSocket *socket, const QString &path, int timeoutMs);
    QJsonObject qmp(const QString &command, const QJsonObject &arguments = {});
    bool waitForEvent(const QString &event, int timeoutMs);
    QByteArray readLine(QLocalSocket *socket, int timeoutMs);
    bool attach(UsbSerialCable *cable);
    QString consoleTail() const;

    QTemporaryDir work;
    QProcess qemu;
    QLocalSocket agent;
    QLocalSocket monitor;
    QList<QJsonObject> events;
    std::vector<std::unique_ptr<UsbSerialCable>> cables;
    QString reason;
    qint64 bootMs = 0;
    int plugCount = 0;
    int commandCount = 0;
};
