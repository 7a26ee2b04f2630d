#pragma once

#include <usbsim/adapter.h>

#include <memory>
#include <vector>

namespace testsupport {

// Simulated adapters plugged for one test and unplugged with it.
class Adapters
{
public:
    // Fails the test program at once when the adapter cannot be plugged: nothing after it would
    // mean anything.
    usbsim::Adapter *plug(const QString &name, const usbsim::UsbIdentity &identity = {});
    void clear() { plugged.clear(); }

private:
    std::vector<std::unique_ptr<usbsim::Adapter>> plugged;
};

} // namespace testsupport
