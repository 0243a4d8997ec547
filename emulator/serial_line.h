// The emulated PCU on a serial line: the far end of a virtual serial port. The line may echo
// every byte the PC sends back to the PC, ahead of the device's answer to it.
#pragma once

#include "emulator/pcu.h"
#include "platform/sim/peer.h"

namespace emulator {

struct SerialLineConfig {
    bool echo = false;  // the line echoes the PC's bytes
};

class SerialLine final : public platform::sim::SerialPeer {
public:
    // The device stays the caller's; it must outlive the line. Putting it on the line sets its
    // line echo to the line's (Pcu::SetLineEcho).
    explicit SerialLine(Pcu& device, SerialLineConfig config = {});

    void ReceiveFromPc(const std::uint8_t* data, std::size_t size, platform::Tick now) override;
    std::size_t AvailableToPc(platform::Tick now) override;
    std::size_t TransmitToPc(std::uint8_t* out, std::size_t max, platform::Tick now) override;

    Pcu& Device() { return m_device; }

private:
    Pcu& m_device;
};

}  // namespace emulator
