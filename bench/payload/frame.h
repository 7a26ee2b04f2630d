#pragma once

#include <QStringList>
#include <QtGlobal>

#include <functional>

class XServer;

// How the benchmark programs take their arguments, where they run and how they print their
// figures: the same in each.
namespace bench {

// The first argument as a count of at least 1; `fallback` without one.
int countArgument(const QStringList &arguments, int fallback);

// Whether it runs inside usbsim sandbox, where the only serial ports are simulated adapters;
// outside, it says on standard error that bench/BENCHMARK/run.sh puts it there.
bool insideSandbox(const char *benchmark);

// The frame of a benchmark of the real program: inside the sandbox, with an X server of its own.
// The exit status: 0 when `run` succeeded, 1 when it failed or no X server started, 2 outside
// the sandbox.
int runWithXServer(const char *benchmark, const std::function<bool(const XServer &)> &run);

// Whether `done` came true within `timeoutMs`, looking every 20 ms. Unlike QTest::qWaitFor, which
// sleeps between looks, it runs the event loop meanwhile, so that an adapter in this thread is
// served the moment the line has room: the figures are korvix's, not the feeder's.
bool waitUntil(const std::function<bool()> &done, qint64 timeoutMs);

// printf() to standard output, flushed at once: a long run shows each figure as it comes, also
// into a pipe or a file.
void print(const char *format, ...) Q_ATTRIBUTE_FORMAT_PRINTF(1, 2);

} // namespace bench
