#include "linereader.h"

#include <QtGlobal>

#include <cerrno>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace inputlines {

#ifdef Q_OS_LINUX

int KernelLineReader::readLevels(int handle, Levels *levels)
{
    int bits = 0;
    if (::ioctl(handle, TIOCMGET, &bits) != 0)
        return errno;
    (*levels)[Cts] = bits & TIOCM_CTS;
    (*levels)[Dsr] = bits & TIOCM_DSR;
    (*levels)[Dcd] = bits & TIOCM_CD;
    (*levels)[Ri] = bits & TIOCM_RI;
    return 0;
}

int KernelLineReader::readCounts(int handle, Counts *counts)
{
    serial_icounter_struct interrupts{};
    if (::ioctl(handle, TIOCGICOUNT, &interrupts) != 0)
        return errno;
    (*counts)[Cts] = interrupts.cts;
    (*counts)[Dsr] = interrupts.dsr;
    (*counts)[Dcd] = interrupts.dcd;
    (*counts)[Ri] = interrupts.rng;
    return 0;
}

#else

// Elsewhere the lines are not read: the lamps show them as unknown.
int KernelLineReader::readLevels(int handle, Levels *levels)
{
    Q_UNUSED(handle)
    Q_UNUSED(levels)
    return ENOTSUP;
}

int KernelLineReader::readCounts(int handle, Counts *counts)
{
    Q_UNUSED(handle)
    Q_UNUSED(counts)
    return ENOTSUP;
}

#endif

} // namespace inputlines
