#pragma once

namespace usbsim {

// `usbsim sandbox [--] COMMAND [ARGS...]`: runs COMMAND in private mount and PID namespaces
// whose /dev, /run, /proc, /sys/class/tty and /sys/devices/virtual are the sandbox's own, so
// that the only serial ports there are simulated adapters; without root, inside a user
// namespace that makes the caller root. Returns the exit status for a usage error or a failed
// set-up, and otherwise ends the process with COMMAND's status. Must run before anything
// starts a thread: namespaces cannot be entered after.
int runSandbox(int argc, char **argv);

} // namespace usbsim
