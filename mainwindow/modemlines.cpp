#include "modemlines.h"

#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace modemlines {

void set(QSerialPort *port, bool dtr, bool rts)
{
#ifdef Q_OS_UNIX
    int lower = (dtr ? 0 : TIOCM_DTR) | (rts ? 0 : TIOCM_RTS);
    int raise = (dtr ? TIOCM_DTR : 0) | (rts ? TIOCM_RTS : 0);
    // Lowered first: a line that must be low spends the least time high.
    if ((lower == 0 || ::ioctl(port->handle(), TIOCMBIC, &lower) == 0) &&
        (raise == 0 || ::ioctl(port->handle(), TIOCMBIS, &raise) == 0))
        return;
#endif
    // A pseudo-terminal has no modem lines: QSerialPort reports that through its error signal.
    port->setDataTerminalReady(dtr);
    port->setRequestToSend(rts);
}

} // namespace modemlines
