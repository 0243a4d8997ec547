#include "tools/qlflash/simulation.h"

namespace qlflash {

Simulation::Simulation()
    : m_clock(platform::SystemClock()), m_serialPorts(m_clock), m_hidBus(m_clock),
      m_interface(m_hidBus.Add(u"/dev/hidraw0")) {}

platform::Services Simulation::Services() {
    platform::Services services;
    services.clock = &m_clock;
    services.serialPorts = &m_serialPorts;
    services.hidBus = &m_hidBus;
    return services;
}

void Simulation::PlugInDevice(std::uint16_t blockSize, platform::Tick now) {
    emulator::PcuConfig config;
    config.blockSize = blockSize;
    config.lineTiming = true;
    config.flashMsPerBlock = kSimulatedFlashMsPerBlock;
    m_device = std::make_unique<emulator::Pcu>(config);
    m_adapter = std::make_unique<emulator::HidLinkAdapter>(*m_device);
    m_interface->AttachPeer(m_adapter.get());
    m_pluggedAt = now;
    m_poweredOn = false;
}

void Simulation::Tick(platform::Tick now) {
    if (!m_device || m_poweredOn) return;
    if (platform::TicksSince(m_pluggedAt, now) < kSimulatedPowerOnDelayMs) return;
    m_device->PowerOn(now);
    m_poweredOn = true;
}

}  // namespace qlflash
