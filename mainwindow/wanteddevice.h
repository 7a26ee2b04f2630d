#pragma once

#include <QString>
#include <QtGlobal>

class QSerialPortInfo;

// The device the automatic search looks for, by its USB identity, never by its port name: an
// adapter that comes back under another name is still the same device. Given on the command
// line, then remembered from every connect.
struct WantedDevice
{
    static constexpr qint32 none = -1; // no identifier: equals no port's 16-bit one

    qint32 lastVendorId = none;
    qint32 lastProductId = none;
    QString lastSerialNumber; // lower case; empty: none
    // Until the first candidate of a search without a serial number on the command line lends
    // its own, so that afterwards only that device counts.
    bool learnSerialNumber = true;

    // The identity of the port a connect tried, whether it opened or not.
    void remember(const QSerialPortInfo &port);
    // Of the same type, or carrying the serial number. A port without a serial number counts
    // only by its identifiers: built-in UARTs and cheap adapters of every other type have none,
    // and an empty serial number would match them all.
    bool isCandidate(const QSerialPortInfo &port) const;
    // A candidate lends its serial number once, when the command line gave none; true when this
    // one did.
    bool learnFrom(const QSerialPortInfo &port, bool serialNumberGiven);
    // The candidate carries the wanted serial number, whatever its letter case.
    bool isConfirmedBy(const QSerialPortInfo &port) const;
};
