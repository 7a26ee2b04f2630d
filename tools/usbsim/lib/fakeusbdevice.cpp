#include "fakeusbdevice.h"

#include "fsutil.h"
#include "paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace usbsim {

namespace {

constexpr int MaxDevices = 127; // as on one USB bus

QString claimPath(const QString &portName)
{
    return QStringLiteral("%1/%2").arg(QLatin1String(paths::PortsDir), portName);
}

QString classLink(const QString &portName)
{
    return QStringLiteral("%1/%2").arg(QLatin1String(paths::ClassTtyDir), portName);
}

QString devLink(const QString &portName)
{
    return QStringLiteral("%1/%2").arg(QLatin1String(paths::DevDir), portName);
}

bool isAcm(const QString &portName)
{
    return portName.startsWith(QLatin1String("ttyACM"));
}

// A PC's own UART: a PnP device driven by "serial", with no USB device above it.
bool isBuiltIn(const QString &portName)
{
    static const QRegularExpression form(QStringLiteral("^ttyS[0-9]+$"));
    return form.match(portName).hasMatch();
}

// What the kernel's uevents say about the port: the driver of the device the tty hangs off,
// and the tty's device number.
struct Driver
{
    const char *name;
    int major;
    int firstMinor;
};

Driver driverOf(const QString &portName)
{
    if (isBuiltIn(portName))
        return {"serial", 4, 64};
    if (isAcm(portName))
        return {"cdc_acm", 166, 0};
    return {"ftdi_sio", 188, 0};
}

QString busDir(const QString &portName)
{
    return QLatin1String(isBuiltIn(portName) ? paths::PnpBusDir : paths::UsbBusDir);
}

int minorNumber(const QString &portName)
{
    static const QRegularExpression digits(QStringLiteral("[0-9]+$"));
    return digits.match(portName).captured().toInt();
}

QByteArray hex4(quint16 value)
{
    return QByteArray::number(value, 16).rightJustified(4, '0') + '\n';
}

QByteArray line(const QString &text)
{
    return text.isEmpty() ? QByteArray() : text.toUtf8() + '\n';
}

// Claim files hold the owner's pid and the device directory, so that a later plug can tell a
// port whose owner died from one in use.
struct Claim
{
    qint64 pid = 0;
    QString deviceDir;
};

Claim readClaim(const QString &portName)
{
    const QList<QByteArray> lines = fs::readFile(claimPath(portName)).split('\n');
    Claim claim;
    claim.pid = lines.value(0).toLongLong();
    claim.deviceDir = QFile::decodeName(lines.value(1));
    return claim;
}

void removeLinksAndTree(const QString &portName, const QString &deviceDir)
{
    // Leave the enumeration first, as the kernel unregisters a tty before udev drops the node.
    ::unlink(QFile::encodeName(classLink(portName)).constData());
    ::unlink(QFile::encodeName(devLink(portName)).constData());
    if (deviceDir.startsWith(QLatin1String(paths::UsbBusDir) + QLatin1Char('/')) ||
        deviceDir.startsWith(QLatin1String(paths::PnpBusDir) + QLatin1Char('/')))
        fs::removeTree(deviceDir);
}

} // namespace

void removeStalePort(const QString &portName)
{
    const Claim claim = readClaim(portName);
    if (fs::processAlive(claim.pid))
        return;
    removeLinksAndTree(portName, claim.deviceDir);
    ::unlink(QFile::encodeName(claimPath(portName)).constData());
}

bool FakeUsbDevice::create(const QString &portName, const UsbIdentity &identity,
                           const QString &slavePath, QString *error)
{
    port = portName;
    if (!allocateDeviceDir(error) || !claim(error) || !writeTree(identity, error) ||
        !fs::makeSymlink(slavePath, devLink(port), error) ||
        !fs::makeSymlink(QDir(QLatin1String(paths::ClassTtyDir)).relativeFilePath(ttyDir()),
                         classLink(port), error)) {
        remove();
        return false;
    }
    return true;
}

bool FakeUsbDevice::allocateDeviceDir(QString *error)
{
    const bool builtIn = isBuiltIn(port);
    if (builtIn)
        QDir().mkpath(QLatin1String(paths::PnpBusDir));
    for (int candidate = 1; candidate <= MaxDevices; ++candidate) {
        const QString dir = builtIn ? QStringLiteral("%1/00:%2")
                                          .arg(busDir(port))
                                          .arg(candidate, 2, 16, QLatin1Char('0'))
                                    : QStringLiteral("%1/1-%2").arg(busDir(port)).arg(candidate);
        if (::mkdir(QFile::encodeName(dir).constData(), 0755) == 0) {
            slot = candidate;
            deviceDir = dir;
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    *error = QStringLiteral("no free USB device slot: %1").arg(fs::errnoText());
    return false;
}

bool FakeUsbDevice::claim(QString *error)
{
    // Written aside and linked into place, so that nobody ever reads a claim without its owner.
    const QString draft = QStringLiteral("%1/.%2.%3")
                              .arg(QLatin1String(paths::PortsDir), port)
                              .arg(QCoreApplication::applicationPid());
    const QByteArray owner = QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                             QFile::encodeName(deviceDir) + '\n';
    if (!fs::writeFile(draft, owner, error))
        return false;
    const QByteArray draftPath = QFile::encodeName(draft);
    const QByteArray path = QFile::encodeName(claimPath(port));
    int result = ::link(draftPath.constData(), path.constData());
    if (result != 0 && errno == EEXIST) {
        removeStalePort(port);
        result = ::link(draftPath.constData(), path.constData());
    }
    const int linkErrno = errno;
    ::unlink(draftPath.constData());
    claimed = result == 0;
    if (claimed)
        return true;
    if (linkErrno == EEXIST)
        *error = QStringLiteral("port %1 is already plugged (by process %2)")
                     .arg(port)
                     .arg(readClaim(port).pid);
    else
        *error = QStringLiteral("cannot claim port %1: %2")
                     .arg(port, QString::fromLocal8Bit(std::strerror(linkErrno)));
    return false;
}

QString FakeUsbDevice::interfaceDir() const
{
    return QStringLiteral("%1/1-%2:1.0").arg(deviceDir).arg(slot);
}

// The device the tty hangs off: cdc_acm uses the interface itself, usb-serial drivers add a
// port device below it, a built-in UART is the PnP device. Qt reads the driver name from its
// uevent.
QString FakeUsbDevice::portDeviceDir() const
{
    if (isBuiltIn(port))
        return deviceDir;
    return isAcm(port) ? interfaceDir() : interfaceDir() + QLatin1Char('/') + port;
}

QString FakeUsbDevice::ttyDir() const
{
    return QStringLiteral("%1/tty/%2").arg(portDeviceDir(), port);
}

bool FakeUsbDevice::writeTree(const UsbIdentity &identity, QString *error)
{
    return (isBuiltIn(port) || writeUsbAttributes(identity, error)) && writeTty(error);
}

// The attributes Qt walks up to from the tty: the first directory whose uevent says
// usb_device gives vendor, product, serial number, manufacturer and description.
bool FakeUsbDevice::writeUsbAttributes(const UsbIdentity &identity, QString *error)
{
    const QByteArray devnum = QByteArray::number(slot);
    const QByteArray product = QByteArray::number(identity.vendorId, 16) + '/' +
                               QByteArray::number(identity.productId, 16) + "/600";
    const std::pair<const char *, QByteArray> attributes[] = {
        {"uevent", "DEVTYPE=usb_device\nDRIVER=usb\nBUSNUM=001\nDEVNUM=" + devnum +
                       "\nPRODUCT=" + product + '\n'},
        {"idVendor", hex4(identity.vendorId)},
        {"idProduct", hex4(identity.productId)},
        {"busnum", "1\n"},
        {"devnum", devnum + '\n'},
        // A string the device does not have is a missing file, as in the kernel's sysfs.
        {"serial", line(identity.serialNumber)},
        {"manufacturer", line(identity.manufacturer)},
        {"product", line(identity.product)},
    };
    for (const auto &[name, content] : attributes) {
        if (!content.isEmpty() &&
            !fs::writeFile(deviceDir + QLatin1Char('/') + QLatin1String(name), content, error))
            return false;
    }
    return true;
}

bool FakeUsbDevice::writeTty(QString *error)
{
    const Driver driver = driverOf(port);
    const QByteArray driverLine = QByteArray("DRIVER=") + driver.name + '\n';
    const QByteArray ttyUevent = "MAJOR=" + QByteArray::number(driver.major) + "\nMINOR=" +
                                 QByteArray::number(driver.firstMinor + minorNumber(port)) +
                                 "\nDEVNAME=" + port.toUtf8() + '\n';
    return QDir().mkpath(ttyDir()) &&
           (isBuiltIn(port) || fs::writeFile(interfaceDir() + QLatin1String("/uevent"),
                                             "DEVTYPE=usb_interface\n" + driverLine, error)) &&
           fs::writeFile(portDeviceDir() + QLatin1String("/uevent"), driverLine, error) &&
           fs::writeFile(ttyDir() + QLatin1String("/uevent"), ttyUevent, error) &&
           fs::makeSymlink(QDir(ttyDir()).relativeFilePath(portDeviceDir()),
                           ttyDir() + QLatin1String("/device"), error) &&
           fs::makeSymlink(QLatin1String(paths::ClassTtyDir),
                           ttyDir() + QLatin1String("/subsystem"), error);
}

void FakeUsbDevice::remove()
{
    if (claimed) {
        removeLinksAndTree(port, deviceDir);
        ::unlink(QFile::encodeName(claimPath(port)).constData());
    } else if (!deviceDir.isEmpty()) {
        fs::removeTree(deviceDir);
    }
    claimed = false;
    deviceDir.clear();
}

} // namespace usbsim
