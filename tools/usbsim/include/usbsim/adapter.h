#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class QSocketNotifier;
class QTimer;

namespace usbsim {

class BusyLock;
class FakeUsbDevice;
class OpenWatcher;
class PseudoTerminal;
class SendQueue;

// What the host reads off a USB device; QSerialPortInfo reports exactly these values.
struct UsbIdentity
{
    quint16 vendorId = 0x0403;
    quint16 productId = 0x6001;
    QString serialNumber; // empty: the device has no serial number
    QString manufacturer = QStringLiteral("FTDI");
    QString product = QStringLiteral("FT232R USB UART");
};

// True only inside `usbsim sandbox`: adapters refuse to touch anything anywhere else.
bool insideSandbox();

// Port names look like the kernel's: tty, letters, a number (ttyUSB0, ttyACM3).
bool isValidPortName(const QString &name);

// Empty when the identity can be written to the fake sysfs, else why not.
QString identityProblem(const UsbIdentity &identity);

// The device side of one simulated USB serial adapter. While plugged, the port is listed by
// QSerialPortInfo::availablePorts() and QSerialPort opens it by name; the adapter sees every
// byte the terminal writes and can send bytes to it. Works with the Qt event loop of the
// calling thread and only inside the sandbox.
class Adapter : public QObject
{
    Q_OBJECT
public:
    explicit Adapter(const UsbIdentity &identity = UsbIdentity(), QObject *parent = nullptr);
    ~Adapter() override; // unplugs if plugged

    UsbIdentity identity() const { return usbIdentity; }

    bool plug(const QString &portName); // false, with errorString(), on failure
    // Like pulling the cable: the port leaves the enumeration, then an open QSerialPort sees
    // the hang-up. Bytes still waiting to be sent are dropped.
    void unplug();
    // Unplugs if needed and plugs again with the same identity, under `portName` or, when
    // empty, the last port name.
    bool replug(const QString &portName = QString());

    bool isPlugged() const { return plugged; }
    QString portName() const { return port; } // the current or last port name
    QString systemLocation() const;           // "/dev/" + portName()
    QString errorString() const { return lastError; }

    // Queued and written as fast as the terminal reads, or at `bytesPerSecond` when it is
    // above 0. Ignored while unplugged, as a real device cannot send then.
    void send(const QByteArray &bytes, qint64 bytesPerSecond = 0);
    // Queues `length` bytes of pattern(offset, length, seed), generated as they go out.
    void sendStream(qint64 length, qint64 bytesPerSecond = 0, quint32 seed = 1);
    qint64 bytesPendingToSend() const;
    // Paced bytes then behave as on a real UART with a receive buffer of `bytes`: while the
    // terminal does not read they pile up to that many, and the rest is lost (bytesLost()),
    // where a pseudo-terminal would make the device wait. 0, the default, waits.
    void setUartBuffer(qint64 bytes);
    qint64 bytesLost() const;

    // Every byte the terminal wrote since the adapter was made or clearReceived(), across
    // unplug and replug.
    QByteArray received() const { return receivedBytes; }
    void clearReceived() { receivedBytes.clear(); }

    // A lock file as another program holding the port leaves it: isBusy() reports it and
    // QSerialPort::open fails. Dropped on unplug.
    bool setBusy(bool busy);
    bool isBusy() const;

    // Whether a program other than the adapter has the port open.
    bool isOpenByTerminal() const { return openByTerminal; }

signals:
    void bytesReceived(const QByteArray &chunk);
    void allSent();
    void terminalOpenChanged(bool open);
    void pluggedChanged(bool plugged);

private:
    bool fail(const QString &message);
    void readFromTerminal();
    void writeToTerminal();
    void setOpenByTerminal(bool open);

    UsbIdentity usbIdentity;
    QString port;
    QString lastError;
    QByteArray receivedBytes;
    bool plugged = false;
    bool openByTerminal = false;
    std::unique_ptr<PseudoTerminal> pty;
    std::unique_ptr<FakeUsbDevice> device;
    std::unique_ptr<SendQueue> queue;
    BusyLock *busyLock = nullptr;
    OpenWatcher *openWatcher = nullptr;
    QSocketNotifier *readNotifier = nullptr;
    QSocketNotifier *writeNotifier = nullptr;
    QTimer *paceTimer = nullptr;
};

} // namespace usbsim
