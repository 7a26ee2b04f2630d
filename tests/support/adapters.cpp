#include "adapters.h"

namespace testsupport {

usbsim::Adapter *Adapters::plug(const QString &name, const usbsim::UsbIdentity &identity)
{
    plugged.push_back(std::make_unique<usbsim::Adapter>(identity));
    if (!plugged.back()->plug(name))
        qFatal("cannot plug %s: %s", qPrintable(name), qPrintable(plugged.back()->errorString()));
    return plugged.back().get();
}

} // namespace testsupport
