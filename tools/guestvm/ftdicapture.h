#pragma once

#include <QList>
#include <QString>

// What QEMU's capture of an FTDI adapter's USB traffic (a pcap file of Linux usbmon records)
// shows of the chip's settings: each vendor request the driver sent, in order. DTR and RTS
// exist only there; a program in the guest cannot read them without opening the port, which
// raises them.
namespace ftdi {

enum Request : quint8 {
    Reset = 0,
    ModemControl = 1, // DTR and RTS: bits 0 and 1 of the value, changed where bits 8 and 9 say
    SetFlowControl = 2,
    SetBaudRate = 3,
    SetDataFormat = 4,
    GetModemStatus = 5,
};

struct VendorRequest
{
    qint64 microseconds; // when QEMU received it, on the host's clock
    quint8 request;
    quint16 value;
    quint16 index;
};

// Every vendor control request in the capture, in the order of submission; empty when the file
// cannot be read.
QList<VendorRequest> vendorRequests(const QString &pcapFile);

struct Lines
{
    bool dtr = false;
    bool rts = false;
    bool operator==(const Lines &other) const { return dtr == other.dtr && rts == other.rts; }
};

// DTR and RTS after the first `count` requests (all of them when negative), from a chip whose
// lines start low, as a freshly plugged one's do.
Lines linesAfter(const QList<VendorRequest> &requests, int count = -1);

enum class Line { Dtr, Rts };

// The first time `line` went high and the request that brought it low again, as indexes into
// `requests`; -1 where there is none.
struct Pulse
{
    int rise = -1;
    int fall = -1;
};
Pulse firstPulse(const QList<VendorRequest> &requests, Line line);

} // namespace ftdi
