#include "pseudoterminal.h"

#include "fsutil.h"

#include <QFile>

#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace usbsim {

bool PseudoTerminal::open(QString *error)
{
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[64] = {};
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0 ||
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK) != 0) {
        *error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(fs::errnoText());
        close();
        return false;
    }
    path = QFile::decodeName(name);
    return holdSlaveRaw(error);
}

bool PseudoTerminal::holdSlaveRaw(QString *error)
{
    // Raw before anyone else can know the path, so that bytes the device sends before a
    // terminal opens the port are neither echoed back nor cooked.
    heldSlave = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    struct termios settings;
    if (heldSlave < 0 || ::tcgetattr(heldSlave, &settings) != 0) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, fs::errnoText());
        close();
        return false;
    }
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    if (::tcsetattr(heldSlave, TCSANOW, &settings) != 0) {
        *error = QStringLiteral("cannot set %1 raw: %2").arg(path, fs::errnoText());
        close();
        return false;
    }
    return true;
}

void PseudoTerminal::close()
{
    if (master >= 0)
        ::close(master);
    if (heldSlave >= 0)
        ::close(heldSlave);
    master = heldSlave = -1;
    path.clear();
}

} // namespace usbsim
