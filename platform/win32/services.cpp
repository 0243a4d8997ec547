// The services of this machine: GetTickCount, COM ports, the HID class devices, real threads.
#include "platform/services.h"

#include "platform/win32/hid_device.h"
#include "platform/win32/serial_port.h"

namespace platform {

Services DefaultServices() {
    static win32::Win32SerialPortProvider serialPorts;
    static win32::Win32HidBus hidBus;
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
