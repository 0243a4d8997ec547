// The OS services the link engine is built on, bundled so tests can hand in their own.
#pragma once

#include "platform/clock.h"
#include "platform/hid.h"
#include "platform/serial.h"
#include "platform/thread.h"

namespace platform {

struct Services {
    Clock* clock = nullptr;
    SerialPortProvider* serialPorts = nullptr;
    HidBus* hidBus = nullptr;
    ThreadFactory* threads = nullptr;  // null: real threads
};

// The backend's own services: the system clock, the machine's serial ports and HID bus.
Services DefaultServices();

}  // namespace platform
