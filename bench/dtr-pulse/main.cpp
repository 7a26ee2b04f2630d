// How long DTR and RTS stay high when korvix, started with --noStatusLines, opens a freshly
// plugged FTDI adapter: the real kernel drivers in a QEMU guest (tools/guestvm), the lines read
// from QEMU's capture of the adapter's USB traffic. For each of CYCLES adapters (each on a port
// never opened before, as after a plug) it prints the time from the request that raised each
// line to the one that lowered it, and how many requests to the chip came in between; then the
// medians. The guest is emulated, tens of times slower than a real machine: times compare only
// with times from the same machine; the requests in between are what carries over.
// Usage: bench/dtr-pulse/run.sh [CYCLES [--requests]]   (default 8; --requests lists the
// requests from the open to the last line lowered, with their times)
#include "frame.h"
#include "ftdicapture.h"
#include "guestkorvix.h"
#include "guestvm.h"

#include <QCoreApplication>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {

struct Sample
{
    double milliseconds = -1;
    int requestsBetween = -1;
};

Sample measure(const QList<ftdi::VendorRequest> &requests, ftdi::Line line)
{
    const ftdi::Pulse pulse = ftdi::firstPulse(requests, line);
    if (pulse.rise < 0 || pulse.fall < 0)
        return {};
    return {double(requests.at(pulse.fall).microseconds - requests.at(pulse.rise).microseconds) /
                1000,
            pulse.fall - pulse.rise - 1};
}

// From the chip's reset, which the driver sends as a program opens the port, to the last
// request that changed a line.
void listRequests(const QList<ftdi::VendorRequest> &requests)
{
    static const char *const names[] = {"reset",         "modem control", "set flow control",
                                        "set baud rate", "set data",      "get modem status"};
    int first = 0, last = 0;
    for (int i = 0; i < requests.size(); ++i) {
        if (requests.at(i).request == ftdi::Reset && first == 0)
            first = i;
        if (requests.at(i).request == ftdi::ModemControl)
            last = i;
    }
    for (int i = first; i <= last; ++i) {
        const ftdi::VendorRequest &request = requests.at(i);
        bench::print("         %+9.3f ms  %-16s %04x\n",
                     double(request.microseconds - requests.at(first).microseconds) / 1000,
                     request.request < 6 ? names[request.request] : "other", request.value);
    }
}

template<typename T> T median(QList<T> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? T() : values.at(values.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const int cycles = bench::countArgument(application.arguments(), 8);
    const bool verbose = application.arguments().value(2) == QLatin1String("--requests");
    GuestVm vm;
    if (!vm.boot()) {
        std::fprintf(stderr, "dtr-pulse: %s\n", qPrintable(vm.whyNot()));
        return 1;
    }
    bench::print("guest booted in %.1f s\n", double(vm.bootMilliseconds()) / 1000);
    bench::print("cycle  port     DTR high ms (requests)  RTS high ms (requests)\n");
    QList<double> dtrTimes, rtsTimes;
    QList<int> dtrRequests, rtsRequests;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        // The adapters stay plugged, so that each one gets a port the kernel never opened.
        const QString serial = QStringLiteral("PULSE%1").arg(cycle);
        UsbSerialCable *adapter = vm.plug(serial);
        GuestKorvix korvix(vm);
        if (!adapter ||
            !korvix.start({QStringLiteral("--noStatusLines"), QStringLiteral("--filterSN"),
                           serial.toLower()}) ||
            !korvix.waitForTrace(QStringLiteral("Serial isopen true")) ||
            !QTest::qWaitFor(
                [&] {
                    const ftdi::Lines lines =
                        ftdi::linesAfter(ftdi::vendorRequests(adapter->capture()));
                    return !lines.dtr && !lines.rts;
                },
                60000)) {
            std::fprintf(stderr, "dtr-pulse: cycle %d did not connect: %s\n", cycle,
                         qPrintable(vm.whyNot()));
            return 1;
        }
        const QList<ftdi::VendorRequest> requests = ftdi::vendorRequests(adapter->capture());
        const Sample dtr = measure(requests, ftdi::Line::Dtr);
        const Sample rts = measure(requests, ftdi::Line::Rts);
        bench::print("%5d  %-7s  %11.1f (%d)  %17.1f (%d)\n", cycle,
                     qPrintable(adapter->portName()), dtr.milliseconds, dtr.requestsBetween,
                     rts.milliseconds, rts.requestsBetween);
        if (verbose)
            listRequests(requests);
        dtrTimes << dtr.milliseconds;
        rtsTimes << rts.milliseconds;
        dtrRequests << dtr.requestsBetween;
        rtsRequests << rts.requestsBetween;
        korvix.quit();
    }
    bench::print("median %-7s  %11.1f (%d)  %17.1f (%d)\n", "", median(dtrTimes),
                 median(dtrRequests), median(rtsTimes), median(rtsRequests));
    return 0;
}
