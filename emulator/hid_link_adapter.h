// The USB HID link adapter in front of an emulated PCU: the far end of a virtual HID interface.
//
// Output reports from the PC: byte 0 report ID, byte 1 payload length n, n payload bytes, zeros.
// ID 3 with the payload 0x02 sets the adapter up; until then it holds the device's bytes
// instead of passing them to the PC. ID 1 carries bytes for the device. Input reports to the PC:
// ID 2, the number L of device bytes, L bytes, zeros up to the input report length.
#pragma once

#include "emulator/pcu.h"
#include "platform/hid.h"
#include "platform/sim/peer.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace emulator {

namespace report {
inline constexpr std::uint8_t kData = 1;        // output: bytes for the device
inline constexpr std::uint8_t kSetUp = 3;       // output: adapter set-up
inline constexpr std::uint8_t kSetUpByte = 0x02;
inline constexpr std::uint8_t kDeviceData = 2;  // input: bytes from the device
}  // namespace report

struct HidLinkAdapterConfig {
    std::uint16_t vendorId = 0x10C4;
    std::uint16_t productId = 0x82FC;
    std::uint16_t inputReportLength = 65;   // report ID included
    std::uint16_t outputReportLength = 65;  // report ID included
    bool capsReadable = true;               // false: the report descriptor cannot be read
};

class HidLinkAdapter final : public platform::sim::HidPeer {
public:
    // The device stays the caller's; it must outlive the adapter.
    explicit HidLinkAdapter(Pcu& device, HidLinkAdapterConfig config = {});

    platform::HidAttributes Attributes() const override;
    std::optional<platform::HidCaps> Caps() const override;
    // False for a report that is not outputReportLength bytes long, announces more payload than
    // it can hold, or has an ID other than 1 and 3.
    bool ReceiveOutputReport(const std::uint8_t* report, std::size_t size, platform::Tick now) override;
    // One report with the device bytes due by `now` (at most inputReportLength - 2 of them);
    // nothing when there are none or the adapter is not set up yet.
    std::optional<std::vector<std::uint8_t>> NextInputReport(platform::Tick now) override;

    Pcu& Device() { return m_device; }
    // The set-up report has arrived (it stays in force while the adapter exists).
    bool SetUp() const;
    std::size_t ReportsRefused() const;

private:
    Pcu& m_device;
    const HidLinkAdapterConfig m_config;
    mutable std::mutex m_lock;
    bool m_setUp = false;
    std::size_t m_refused = 0;
};

}  // namespace emulator
