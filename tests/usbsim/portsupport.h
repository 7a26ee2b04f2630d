#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QStringList>

// Terminal-side helpers for the usbsim tests: what QSerialPortInfo lists, and a port that
// collects what it reads through the event loop (the adapter shares that loop, so blocking
// waitForReadyRead would starve it).
namespace usbsimtest {

QStringList portNames();                       // sorted
QSerialPortInfo portInfo(const QString &name); // null when not listed

class Terminal : public QObject
{
    Q_OBJECT
public:
    explicit Terminal(QObject *parent = nullptr);

    bool open(const QString &portName);
    QSerialPort &port() { return serialPort; }
    QByteArray data; // everything read since open
    QList<QSerialPort::SerialPortError> errors;
    // What an unplug looks like: Qt reads end-of-file and reports it with an error code made
    // from whatever errno the thread last left behind, ReadError or ResourceError.
    bool sawHangUp() const;
    bool pollsHangUp();

private:
    QSerialPort serialPort;
};

} // namespace usbsimtest
