#include "commands.h"
#include "sandbox.h"

#include <QCoreApplication>

#include <cstring>

int main(int argc, char **argv)
{
    // Before anything that might start a thread: namespaces cannot be entered after.
    if (argc >= 2 && std::strcmp(argv[1], "sandbox") == 0)
        return usbsim::runSandbox(argc, argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("usbsim"));
    return usbsim::runCommand(QCoreApplication::arguments());
}
