#include "wanteddevice.h"

#include <QSerialPortInfo>

void WantedDevice::remember(const QSerialPortInfo &port)
{
    lastSerialNumber = port.serialNumber().toLower();
    lastVendorId = port.vendorIdentifier();
    lastProductId = port.productIdentifier();
}

bool WantedDevice::isCandidate(const QSerialPortInfo &port) const
{
    const bool sameType =
        port.vendorIdentifier() == lastVendorId && port.productIdentifier() == lastProductId;
    const QString serialNumber = port.serialNumber().toLower();
    return sameType || (!serialNumber.isEmpty() && serialNumber == lastSerialNumber);
}

bool WantedDevice::learnFrom(const QSerialPortInfo &port, bool serialNumberGiven)
{
    if (!learnSerialNumber || serialNumberGiven)
        return false;
    learnSerialNumber = false;
    lastSerialNumber = port.serialNumber().toLower();
    return true;
}

bool WantedDevice::isConfirmedBy(const QSerialPortInfo &port) const
{
    return port.serialNumber().toLower() == lastSerialNumber;
}
