#pragma once

class QSerialPort;

namespace modemlines {

// Sets DTR and RTS of an open port together. The kernel raises both as a port opens; on a USB
// adapter each of QSerialPort's setters costs a request that reads the lines and one that
// changes one of them, while here the lines to lower go in one request and those to raise in
// another. So both lines of a board fall (or rise) at once, and as soon after the open as the
// platform lets a program act.
void set(QSerialPort *port, bool dtr, bool rts);

} // namespace modemlines
