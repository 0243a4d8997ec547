// The far ends of virtual ports: what sits on the other side of a virtual serial line or a
// virtual HID interface. The device emulator implements these; the virtual ports of this
// backend call them, so the link talks to the emulator through the same interfaces as to hardware.
#pragma once

#include "platform/clock.h"
#include "platform/hid.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform::sim {

class SerialPeer {
public:
    virtual ~SerialPeer() = default;
    // Bytes the PC wrote to the line at tick `now`, in order.
    virtual void ReceiveFromPc(const std::uint8_t* data, std::size_t size, Tick now) = 0;
    // Number of bytes that have reached the PC's end of the line by tick `now`.
    virtual std::size_t AvailableToPc(Tick now) = 0;
    // Moves up to `max` of those bytes into `out`; returns how many.
    virtual std::size_t TransmitToPc(std::uint8_t* out, std::size_t max, Tick now) = 0;
};

class HidPeer {
public:
    virtual ~HidPeer() = default;
    virtual HidAttributes Attributes() const = 0;
    // Report lengths; nullopt when the descriptor cannot be read.
    virtual std::optional<HidCaps> Caps() const = 0;
    // An output report from the PC at tick `now`; false when the adapter did not take it.
    virtual bool ReceiveOutputReport(const std::uint8_t* report, std::size_t size, Tick now) = 0;
    // The next input report ready for the PC by tick `now`, if any.
    virtual std::optional<std::vector<std::uint8_t>> NextInputReport(Tick now) = 0;
};

}  // namespace platform::sim
