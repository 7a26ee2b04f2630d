#pragma once

// Where the sandbox keeps what the simulated adapters need. All of it lives on file systems
// that `usbsim sandbox` mounts privately, so nothing here is the host's.
namespace usbsim::paths {

constexpr char StateDir[] = "/run/usbsim";
constexpr char SandboxMarker[] = "/run/usbsim/sandbox";
constexpr char PortsDir[] = "/run/usbsim/ports"; // one claim file per plugged port name
constexpr char ClassTtyDir[] = "/sys/class/tty";
constexpr char VirtualDevicesDir[] = "/sys/devices/virtual";
constexpr char UsbBusDir[] = "/sys/devices/virtual/usbsim/usb1";
constexpr char PnpBusDir[] = "/sys/devices/virtual/usbsim/pnp0"; // the built-in UARTs' parent
constexpr char DevDir[] = "/dev";
// The first directory QSerialPort tries for its LCK.. files; the sandbox makes it private.
constexpr char LockDir[] = "/var/lock";

} // namespace usbsim::paths
