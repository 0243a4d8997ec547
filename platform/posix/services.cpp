// The machine's termios serial ports and hidraw HID devices, one of each for the process.
#include "platform/services.h"

#include "platform/posix/hid_device.h"
#include "platform/posix/serial_port.h"

namespace platform {

SerialPortProvider& SystemSerialPorts() {
    static posix::PosixSerialPortProvider serialPorts;
    return serialPorts;
}

HidBus& SystemHidBus() {
    static posix::PosixHidBus hidBus;
    return hidBus;
}

}  // namespace platform
