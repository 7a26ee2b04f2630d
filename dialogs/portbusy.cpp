// Qt 5.15 still has QSerialPortInfo::isBusy() but hides it behind the deprecated-API cutoff the
// program builds with, and offers nothing else that tells a busy port without opening it. This
// one file sees the API of Qt 5.5 and later.
#undef QT_DISABLE_DEPRECATED_BEFORE
#define QT_DISABLE_DEPRECATED_BEFORE 0x050500

#include "portbusy.h"

#include <QSerialPortInfo>

namespace portbusy {

bool isBusy(const QSerialPortInfo &port)
{
    return port.isBusy();
}

} // namespace portbusy
