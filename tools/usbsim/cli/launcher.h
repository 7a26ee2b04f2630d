#pragma once

#include <QString>

namespace usbsim {

struct DaemonConfig;

// Starts `usbsim daemon CONFIG FD` in a session of its own and waits for the one line it
// writes to FD: "ok" once the adapter is plugged and its control socket listens, else why
// not. Returns an empty string on success, else that reason.
QString launchDaemon(const DaemonConfig &config);

} // namespace usbsim
