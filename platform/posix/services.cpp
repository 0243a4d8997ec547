// The services of this machine: monotonic clock, termios serial ports, hidraw HID devices,
// real threads.
#include "platform/services.h"

#include "platform/posix/hid_device.h"
#include "platform/posix/serial_port.h"

namespace platform {

Services DefaultServices() {
    static posix::PosixSerialPortProvider serialPorts;
    static posix::PosixHidBus hidBus;
    return Services{
        .clock = &SystemClock(),
        .serialPorts = &serialPorts,
        .hidBus = &hidBus,
        .threads = &SystemThreads(),
        .files = &SystemFiles(),
        .resources = &ProgramResources(),
    };
}

}  // namespace platform
