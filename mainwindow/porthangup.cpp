#include "porthangup.h"

#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace porthangup {

bool hungUp(const QSerialPort &port)
{
#ifdef Q_OS_UNIX
    if (!port.isOpen())
        return false;
    pollfd descriptor{};
    descriptor.fd = port.handle();
    descriptor.events = POLLIN;
    return ::poll(&descriptor, 1, 0) == 1 && (descriptor.revents & (POLLHUP | POLLNVAL));
#else
    Q_UNUSED(port)
    return false;
#endif
}

} // namespace porthangup
