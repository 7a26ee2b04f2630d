#include "linetap.h"

#include <QSerialPort>

#include <chrono>

LineTap::LineTap(QSerialPort *port, QObject *parent) : QObject(parent), serialPort(port) {}

qint64 LineTap::now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool LineTap::isOpen() const
{
    return serialPort->isOpen();
}

qint64 LineTap::write(const QByteArray &bytes)
{
    const qint64 written = serialPort->write(bytes);
    if (written > 0)
        noteWritten(bytes.left(int(written)));
    return written;
}
