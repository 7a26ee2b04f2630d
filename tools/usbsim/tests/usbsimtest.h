#pragma once

#include <usbsim/adapter.h>

#include <QProcess>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QStringList>

// The terminal's side of the simulated adapters, and the `usbsim adapter` command.

inline QStringList portNames()
{
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.portName();
    names.sort();
    return names;
}

// What QSerialPortInfo lists for `name` (all empty when it is not listed), in the form
// identityOf(UsbIdentity) gives, so one QCOMPARE shows every field that differs.
inline QStringList identityOf(const QString &name)
{
    const QSerialPortInfo info(name);
    const auto hex = [](bool known, quint16 id) { return known ? QString::number(id, 16) : ""; };
    return {hex(info.hasVendorIdentifier(), info.vendorIdentifier()),
            hex(info.hasProductIdentifier(), info.productIdentifier()), info.serialNumber(),
            info.manufacturer(), info.description()};
}

inline QStringList identityOf(const usbsim::UsbIdentity &identity)
{
    return {QString::number(identity.vendorId, 16), QString::number(identity.productId, 16),
            identity.serialNumber, identity.manufacturer, identity.product};
}

// Reads through the event loop: an adapter in this process shares that loop, so a blocking
// waitForReadyRead would starve it.
struct Terminal
{
    Terminal()
    {
        QObject::connect(&port, &QSerialPort::readyRead, [this] { data += port.readAll(); });
        // A hang-up reads end-of-file, which Qt 5.15 reports with an error code made from
        // whatever errno the thread last left behind.
        QObject::connect(&port, &QSerialPort::errorOccurred,
                         [this](QSerialPort::SerialPortError error) {
                             hungUp = hungUp || error == QSerialPort::ReadError ||
                                      error == QSerialPort::ResourceError;
                         });
    }

    bool open(const QString &name)
    {
        port.setPortName(name);
        return port.open(QIODevice::ReadWrite);
    }

    // Declared before the port, which may still signal while it is destroyed.
    QByteArray data; // everything read since the first open
    bool hungUp = false;
    QSerialPort port;
};

// `usbsim adapter ARGUMENTS...` in its own process; ended with SIGTERM, as the sandbox ends it.
struct AdapterProcess
{
    // True once it says it is plugged.
    bool start(const QStringList &arguments,
               QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel)
    {
        process.setProcessChannelMode(channels);
        process.start(qEnvironmentVariable("USBSIM_BINARY"), QStringList("adapter") + arguments);
        return process.waitForReadyRead(60000) && process.readLine().startsWith("plugged /dev/");
    }

    ~AdapterProcess()
    {
        process.terminate();
        process.waitForFinished();
    }

    QProcess process;
};
