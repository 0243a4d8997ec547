// Report lengths from a HID report descriptor.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace platform::posix {

// The longest report of each kind in bytes, with one leading byte for the report ID counted
// always (a 0 byte when the device numbers no reports), as the HID class driver reports them;
// 0 for a kind the device has no report of.
struct HidReportLengths {
    std::uint16_t input = 0;
    std::uint16_t output = 0;
    std::uint16_t feature = 0;
    bool usesReportIds = false;

    friend bool operator==(const HidReportLengths&, const HidReportLengths&) = default;
};

// Walks the descriptor's items and sums Report Size x Report Count of every Input, Output and
// Feature item per report ID. Nullopt for an empty or malformed descriptor: an item running
// past the end, Pop without Push, a Report ID of 0 or above 255, a report too long to state.
std::optional<HidReportLengths> ParseHidReportDescriptor(std::span<const std::uint8_t> descriptor);

}  // namespace platform::posix
