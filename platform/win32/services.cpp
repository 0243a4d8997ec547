// The machine's COM ports and the HID class devices, one of each for the process.
#include "platform/services.h"

#include "platform/win32/hid_device.h"
#include "platform/win32/serial_port.h"

namespace platform {

SerialPortProvider& SystemSerialPorts() {
    static win32::Win32SerialPortProvider serialPorts;
    return serialPorts;
}

HidBus& SystemHidBus() {
    static win32::Win32HidBus hidBus;
    return hidBus;
}

}  // namespace platform
