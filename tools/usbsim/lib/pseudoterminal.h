#pragma once

#include <QString>

namespace usbsim {

// A pseudo-terminal standing in for the adapter's UART. The master is the device side; the
// slave is what the terminal opens through /dev/<port>.
class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal() { close(); }
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool open(QString *error);
    // Closing the master hangs up every open slave: a terminal reads end-of-file and polls
    // POLLHUP, as after a real unplug.
    void close();

    int masterFd() const { return master; }
    QString slavePath() const { return path; }

private:
    bool holdSlaveRaw(QString *error);

    int master = -1;
    // Held for the adapter's whole life: while no terminal has the slave open the master
    // would otherwise poll POLLHUP all the time, and the raw settings would be lost.
    int heldSlave = -1;
    QString path;
};

} // namespace usbsim
