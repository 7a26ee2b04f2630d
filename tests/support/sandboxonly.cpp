// Linked into every test that runs in the usbsim sandbox: outside it, such a test would list the
// host's own serial ports, and open them.
#include <usbsim/adapter.h>

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace {
void refuseOutsideTheSandbox()
{
    if (usbsim::insideSandbox())
        return;
    std::fprintf(stderr, "run this test inside usbsim sandbox, as ctest does\n");
    std::exit(2);
}
} // namespace
Q_CONSTRUCTOR_FUNCTION(refuseOutsideTheSandbox)
