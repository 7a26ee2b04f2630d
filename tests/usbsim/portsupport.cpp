#include "portsupport.h"

#include <algorithm>

#include <poll.h>

namespace usbsimtest {

QStringList portNames()
{
    QStringList names;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names << info.portName();
    std::sort(names.begin(), names.end());
    return names;
}

QSerialPortInfo portInfo(const QString &name)
{
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        if (info.portName() == name)
            return info;
    }
    return QSerialPortInfo();
}

Terminal::Terminal(QObject *parent) : QObject(parent)
{
    connect(&serialPort, &QSerialPort::readyRead, this, [this] { data += serialPort.readAll(); });
    connect(&serialPort, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) {
                // The hang-up storm repeats one error endlessly; keep each distinct one once.
                if (error != QSerialPort::NoError && !errors.contains(error))
                    errors << error;
            });
}

bool Terminal::open(const QString &portName)
{
    serialPort.setPortName(portName);
    serialPort.setBaudRate(QSerialPort::Baud115200);
    return serialPort.open(QIODevice::ReadWrite);
}

bool Terminal::sawHangUp() const
{
    return errors.contains(QSerialPort::ReadError) || errors.contains(QSerialPort::ResourceError);
}

bool Terminal::pollsHangUp()
{
    struct pollfd handle = {serialPort.handle(), POLLIN, 0};
    return ::poll(&handle, 1, 0) == 1 && (handle.revents & POLLHUP);
}
} // namespace usbsimtest
