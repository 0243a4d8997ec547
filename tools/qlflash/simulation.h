// The emulated PCU behind a virtual HID link adapter, on the real clock, for --simulate: the
// services a link runs on, and a device that powers on by itself shortly after it is plugged in.
#pragma once

#include "emulator/hid_link_adapter.h"
#include "emulator/pcu.h"
#include "platform/services.h"
#include "platform/sim/fake_hid.h"
#include "platform/sim/fake_serial.h"

#include <cstdint>
#include <memory>

namespace qlflash {

// As a person would: plug in, then power on a moment later.
inline constexpr std::uint32_t kSimulatedPowerOnDelayMs = 500;
// The emulated flash's time per block; the line runs at 19200 baud byte timing.
inline constexpr std::uint32_t kSimulatedFlashMsPerBlock = 30;

class Simulation {
public:
    // One virtual link adapter on the HID bus (listed as USB0), no serial ports, no device yet.
    Simulation();
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;

    // Real clock and threads, the virtual bus and the empty serial ports.
    platform::Services Services();

    // Puts a PCU that takes blocks of `blockSize` bytes behind the adapter, off; it powers on
    // kSimulatedPowerOnDelayMs after `now`. Before the link opens the adapter.
    void PlugInDevice(std::uint16_t blockSize, platform::Tick now);
    // Powers the device on once its time has come; called from the wait loop.
    void Tick(platform::Tick now);

private:
    platform::Clock& m_clock;
    platform::sim::FakeSerialPorts m_serialPorts;
    platform::sim::FakeHidBus m_hidBus;
    std::shared_ptr<platform::sim::FakeHidInterface> m_interface;
    std::unique_ptr<emulator::Pcu> m_device;
    std::unique_ptr<emulator::HidLinkAdapter> m_adapter;
    platform::Tick m_pluggedAt = 0;
    bool m_poweredOn = false;
};

}  // namespace qlflash
