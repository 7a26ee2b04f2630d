#include "ftdicapture.h"

#include <QFile>
#include <QtEndian>

namespace ftdi {

namespace {

constexpr int FileHeaderSize = 24;
constexpr int RecordHeaderSize = 16;
constexpr int UsbmonHeaderSize = 64; // the memory-mapped usbmon header, pcap link type 220
constexpr char Submission = 'S';
constexpr quint8 ControlTransfer = 2;
constexpr quint8 VendorType = 0x40;
constexpr quint8 TypeMask = 0x60;

template<typename T> T at(const QByteArray &bytes, int offset)
{
    return qFromLittleEndian<T>(bytes.constData() + offset);
}

} // namespace

QList<VendorRequest> vendorRequests(const QString &pcapFile)
{
    QFile file(pcapFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    QList<VendorRequest> requests;
    int offset = FileHeaderSize;
    while (offset + RecordHeaderSize <= bytes.size()) {
        const qint64 seconds = at<quint32>(bytes, offset);
        const qint64 micros = at<quint32>(bytes, offset + 4);
        const int length = int(at<quint32>(bytes, offset + 8));
        const int usbmon = offset + RecordHeaderSize;
        offset = usbmon + length;
        if (length < UsbmonHeaderSize || offset > bytes.size())
            break; // a record QEMU is still writing
        // Submissions of control transfers with their setup packet (flag_setup 0).
        if (bytes.at(usbmon + 8) != Submission || quint8(bytes.at(usbmon + 9)) != ControlTransfer ||
            bytes.at(usbmon + 14) != 0)
            continue;
        const int setup = usbmon + 40;
        if ((quint8(bytes.at(setup)) & TypeMask) != VendorType)
            continue;
        requests.append({seconds * 1000000 + micros, quint8(bytes.at(setup + 1)),
                         at<quint16>(bytes, setup + 2), at<quint16>(bytes, setup + 4)});
    }
    return requests;
}

Lines linesAfter(const QList<VendorRequest> &requests, int count)
{
    Lines lines;
    const int end = count < 0 ? requests.size() : qMin(count, requests.size());
    for (int i = 0; i < end; ++i) {
        const VendorRequest &request = requests.at(i);
        if (request.request != ModemControl)
            continue;
        if (request.value & 0x100)
            lines.dtr = request.value & 0x1;
        if (request.value & 0x200)
            lines.rts = request.value & 0x2;
    }
    return lines;
}

Pulse firstPulse(const QList<VendorRequest> &requests, Line line)
{
    const auto level = [&](int count) {
        const Lines lines = linesAfter(requests, count);
        return line == Line::Dtr ? lines.dtr : lines.rts;
    };
    Pulse pulse;
    for (int i = 0; i < requests.size() && pulse.fall < 0; ++i) {
        if (pulse.rise < 0 && level(i + 1))
            pulse.rise = i;
        else if (pulse.rise >= 0 && !level(i + 1))
            pulse.fall = i;
    }
    return pulse;
}

} // namespace ftdi
