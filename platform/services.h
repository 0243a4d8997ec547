// The OS services the link engine is built on, bundled so tests can hand in their own.
#pragma once

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/hid.h"
#include "platform/resources.h"
#include "platform/serial.h"
#include "platform/thread.h"

namespace platform {

struct Services {
    Clock* clock = nullptr;
    SerialPortProvider* serialPorts = nullptr;
    HidBus* hidBus = nullptr;
    ThreadFactory* threads = nullptr;      // null: real threads
    FileSystem* files = nullptr;           // null: the machine's files
    ResourceSource* resources = nullptr;   // null: the program's own resources
};

// The machine's serial ports and HID bus, as the backend finds them.
SerialPortProvider& SystemSerialPorts();
HidBus& SystemHidBus();

// The backend's own services: the system clock, the machine's serial ports, HID bus and files,
// real threads and the program's resources.
inline Services DefaultServices() {
    return Services{
        .clock = &SystemClock(),
        .serialPorts = &SystemSerialPorts(),
        .hidBus = &SystemHidBus(),
        .threads = &SystemThreads(),
        .files = &SystemFiles(),
        .resources = &ProgramResources(),
    };
}

}  // namespace platform
