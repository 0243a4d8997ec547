// The link's open port: a serial port or a HID link adapter, or nothing.
#pragma once

#include "platform/hid.h"
#include "platform/serial.h"

#include <memory>

struct PortHandle {
    std::unique_ptr<platform::SerialPort> serial;
    std::unique_ptr<platform::HidDevice> hid;

    bool IsOpen() const { return serial != nullptr || hid != nullptr; }
    void Close() {
        serial.reset();
        hid.reset();
    }
};
