#pragma once

class QSerialPort;

namespace porthangup {

// Whether the device behind an open port has gone away. Linux reports an unplugged adapter
// not as a resource error but as an endless stream of read errors, while the port's file
// descriptor shows a hang-up.
bool hungUp(const QSerialPort &port);

} // namespace porthangup
