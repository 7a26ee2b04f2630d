#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace usbsim {

// A deterministic byte stream with every byte value, addressable at any offset, so that a
// sender and a checker agree on the bytes without sharing a file. `usbsim adapter --generate N`
// sends its first N bytes.
QByteArray pattern(qint64 offset, qint64 length, quint32 seed = 1);
void fillPattern(char *out, qint64 offset, qint64 length, quint32 seed = 1);

} // namespace usbsim
