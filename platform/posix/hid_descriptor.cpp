// A walker over the items of a HID report descriptor that keeps just what report lengths need:
// the global Report Size, Report Count and Report ID (with Push and Pop), and the bits that
// each Input, Output and Feature item adds to the report it belongs to.
#include "platform/posix/hid_descriptor.h"

#include <array>
#include <cstddef>
#include <vector>

namespace platform::posix {
namespace {

// Item types (bits 2-3 of the prefix byte).
constexpr std::uint8_t kTypeMain = 0;
constexpr std::uint8_t kTypeGlobal = 1;

// Main item tags that declare report fields.
constexpr std::uint8_t kTagInput = 0x8;
constexpr std::uint8_t kTagOutput = 0x9;
constexpr std::uint8_t kTagFeature = 0xB;

// Global item tags.
constexpr std::uint8_t kTagReportSize = 0x7;
constexpr std::uint8_t kTagReportId = 0x8;
constexpr std::uint8_t kTagReportCount = 0x9;
constexpr std::uint8_t kTagPush = 0xA;
constexpr std::uint8_t kTagPop = 0xB;

// The prefix of a long item, followed by its data size and its tag.
constexpr std::uint8_t kLongItemPrefix = 0xFE;
constexpr std::size_t kLongItemHeaderBytes = 3;

// Deeper Push nesting than any real descriptor uses is taken as garbage.
constexpr std::size_t kMaxPushDepth = 16;

// A report's length must fit the 16-bit length field with its report ID byte.
constexpr std::uint64_t kMaxReportBits = (0xFFFFULL - 1) * 8;

constexpr std::size_t kReportIdCount = 256;

enum ReportKind : std::size_t { kInput, kOutput, kFeature, kKindCount };

struct GlobalState {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;
};

struct ShortItem {
    std::uint8_t type = 0;
    std::uint8_t tag = 0;
    std::uint32_t value = 0;
};

class DescriptorWalk {
public:
    // False when the item is malformed.
    bool Apply(const ShortItem& item) {
        if (item.type == kTypeMain) {
            return ApplyMain(item.tag);
        }
        if (item.type == kTypeGlobal) {
            return ApplyGlobal(item.tag, item.value);
        }
        return true;  // local and reserved items do not change lengths
    }

    HidReportLengths Lengths() const {
        HidReportLengths lengths;
        lengths.input = LongestReport(kInput);
        lengths.output = LongestReport(kOutput);
        lengths.feature = LongestReport(kFeature);
        lengths.usesReportIds = usesReportIds_;
        return lengths;
    }

private:
    bool ApplyMain(std::uint8_t tag) {
        std::size_t kind = kKindCount;
        switch (tag) {
            case kTagInput: kind = kInput; break;
            case kTagOutput: kind = kOutput; break;
            case kTagFeature: kind = kFeature; break;
            default: return true;  // collections
        }
        std::uint64_t& bits = bits_[kind][state_.reportId];
        bits += static_cast<std::uint64_t>(state_.reportSize) * state_.reportCount;
        return bits <= kMaxReportBits;
    }

    bool ApplyGlobal(std::uint8_t tag, std::uint32_t value) {
        switch (tag) {
            case kTagReportSize: state_.reportSize = value; return true;
            case kTagReportCount: state_.reportCount = value; return true;
            case kTagReportId:
                if (value == 0 || value >= kReportIdCount) {
                    return false;
                }
                state_.reportId = static_cast<std::uint8_t>(value);
                usesReportIds_ = true;
                return true;
            case kTagPush:
                if (stack_.size() >= kMaxPushDepth) {
                    return false;
                }
                stack_.push_back(state_);
                return true;
            case kTagPop:
                if (stack_.empty()) {
                    return false;
                }
                state_ = stack_.back();
                stack_.pop_back();
                return true;
            default: return true;
        }
    }

    std::uint16_t LongestReport(std::size_t kind) const {
        std::uint64_t longest = 0;
        for (const std::uint64_t bits : bits_[kind]) {
            longest = bits > longest ? bits : longest;
        }
        if (longest == 0) {
            return 0;
        }
        return static_cast<std::uint16_t>((longest + 7) / 8 + 1);
    }

    GlobalState state_;
    std::vector<GlobalState> stack_;
    bool usesReportIds_ = false;
    std::array<std::array<std::uint64_t, kReportIdCount>, kKindCount> bits_{};
};

std::uint32_t LittleEndian(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = bytes.size(); i > 0; --i) {
        value = (value << 8) | bytes[i - 1];
    }
    return value;
}

}  // namespace

std::optional<HidReportLengths> ParseHidReportDescriptor(std::span<const std::uint8_t> descriptor) {
    if (descriptor.empty()) {
        return std::nullopt;
    }
    DescriptorWalk walk;
    std::size_t position = 0;
    while (position < descriptor.size()) {
        const std::size_t left = descriptor.size() - position;
        const std::uint8_t prefix = descriptor[position];
        if (prefix == kLongItemPrefix) {
            // Long items carry vendor data only; skip them whole.
            if (left < kLongItemHeaderBytes || left - kLongItemHeaderBytes < descriptor[position + 1]) {
                return std::nullopt;
            }
            position += kLongItemHeaderBytes + descriptor[position + 1];
            continue;
        }
        const std::size_t sizeCode = prefix & 0x3U;
        const std::size_t dataBytes = sizeCode == 3 ? 4 : sizeCode;
        if (left - 1 < dataBytes) {
            return std::nullopt;
        }
        ShortItem item;
        item.type = static_cast<std::uint8_t>((prefix >> 2) & 0x3U);
        item.tag = static_cast<std::uint8_t>(prefix >> 4);
        item.value = LittleEndian(descriptor.subspan(position + 1, dataBytes));
        if (!walk.Apply(item)) {
            return std::nullopt;
        }
        position += 1 + dataBytes;
    }
    return walk.Lengths();
}

}  // namespace platform::posix
