#pragma once

class QSerialPortInfo;

namespace portbusy {

// Whether another process holds the port, as QSerialPortInfo::isBusy() tells.
bool isBusy(const QSerialPortInfo &port);

} // namespace portbusy
