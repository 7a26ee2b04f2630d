#pragma once

#include <QStringList>

namespace usbsim {

// Runs an adapter command (`usbsim plug ...` and the others, but not `sandbox`) and returns
// the exit status: 0 done, 1 failed, 2 bad command line.
int runCommand(const QStringList &arguments);

} // namespace usbsim
