#pragma once

#include <array>

namespace inputlines {

// The input lines of a serial port, in the order the toolbar shows them.
enum Line { Cts, Dsr, Dcd, Ri, lineCount };

// Which lines are high.
using Levels = std::array<bool, lineCount>;
// How often each line changed since the port opened, as the driver counts its interrupts: both
// edges, or for RI on some UARTs only the trailing one.
using Counts = std::array<int, lineCount>;

// Where the lamps learn the lines' state: from the kernel, or in a test from a script that plays
// a device's lines.
class LineReader
{
public:
    virtual ~LineReader() = default;
    // 0, or the errno of the failure: ENOTTY or EINVAL where the port has no modem lines (a
    // pseudo-terminal).
    virtual int readLevels(int handle, Levels *levels) = 0;
    // 0, or the errno of the failure: EINVAL where the driver keeps no counters.
    virtual int readCounts(int handle, Counts *counts) = 0;
};

// TIOCMGET and TIOCGICOUNT on the port's file descriptor.
class KernelLineReader final : public LineReader
{
public:
    int readLevels(int handle, Levels *levels) override;
    int readCounts(int handle, Counts *counts) override;
};

} // namespace inputlines
