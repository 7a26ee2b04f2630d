#include "frame.h"

#include "korvixrun.h"

#include <usbsim/adapter.h>

#include <QEventLoop>
#include <QTimer>

#include <cstdarg>
#include <cstdio>

namespace bench {

int countArgument(const QStringList &arguments, int fallback)
{
    return arguments.size() > 1 ? qMax(1, arguments.at(1).toInt()) : fallback;
}

bool insideSandbox(const char *benchmark)
{
    if (usbsim::insideSandbox())
        return true;
    std::fprintf(stderr, "run me inside usbsim sandbox (bench/%s/run.sh does)\n", benchmark);
    return false;
}

int runWithXServer(const char *benchmark, const std::function<bool(const XServer &)> &run)
{
    if (!insideSandbox(benchmark))
        return 2;
    const XServer x;
    if (!x.isRunning()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    return run(x) ? 0 : 1;
}

bool waitUntil(const std::function<bool()> &done, qint64 timeoutMs)
{
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    look.start(20);
    QTimer::singleShot(int(timeoutMs), &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

void print(const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stdout, format, arguments);
    va_end(arguments);
    std::fflush(stdout);
}

} // namespace bench
