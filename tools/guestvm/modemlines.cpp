// Usage (in the guest): guest-modemlines DEVICE
// Prints the input lines of the serial port DEVICE as the kernel reports them (TIOCMGET), in the
// form korvix traces its lamps in: "CTS=1 DSR=1 DCD=1 RI=0". It opens the port beside the program
// that holds it, which needs root (korvix's open is exclusive), as the guest's commands run; an
// open raises DTR and RTS, and closing again, not the last close, leaves the lines as they are.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fputs("usage: guest-modemlines DEVICE\n", stderr);
        return 2;
    }
    const int port = ::open(argv[1], O_RDWR | O_NOCTTY | O_NONBLOCK);
    int bits = 0;
    if (port < 0 || ::ioctl(port, TIOCMGET, &bits) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    std::printf("CTS=%d DSR=%d DCD=%d RI=%d\n", (bits & TIOCM_CTS) ? 1 : 0,
                (bits & TIOCM_DSR) ? 1 : 0, (bits & TIOCM_CD) ? 1 : 0, (bits & TIOCM_RI) ? 1 : 0);
    ::close(port);
    return 0;
}
