// Report lengths from HID report descriptors, and the hidraw bus on a machine as it is.
#include "platform/posix/hid_descriptor.h"
#include "platform/posix/hid_device.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

namespace platform::posix {

void PrintTo(const HidReportLengths& lengths, std::ostream* out) {
    *out << "{input " << lengths.input << ", output " << lengths.output << ", feature " << lengths.feature
         << (lengths.usesReportIds ? ", report IDs}" : ", no report IDs}");
}

}  // namespace platform::posix

namespace {

using platform::posix::HidReportLengths;
using platform::posix::ParseHidReportDescriptor;
using Bytes = std::vector<std::uint8_t>;
// A descriptor kept item by item, so tests know where every item ends.
using Items = std::vector<Bytes>;

Bytes Join(const Items& items) {
    Bytes joined;
    for (const Bytes& item : items) {
        joined.insert(joined.end(), item.begin(), item.end());
    }
    return joined;
}

// The boot protocol keyboard: 8-byte input report, 1-byte LED output report, no report IDs.
const Items kBootKeyboard = {
    {0x05, 0x01},  // Usage Page (Generic Desktop)
    {0x09, 0x06},  // Usage (Keyboard)
    {0xA1, 0x01},  // Collection (Application)
    {0x05, 0x07},  //   Usage Page (Keyboard/Keypad)
    {0x19, 0xE0},  //   Usage Minimum (Left Control)
    {0x29, 0xE7},  //   Usage Maximum (Right GUI)
    {0x15, 0x00},  //   Logical Minimum (0)
    {0x25, 0x01},  //   Logical Maximum (1)
    {0x75, 0x01},  //   Report Size (1)
    {0x95, 0x08},  //   Report Count (8)
    {0x81, 0x02},  //   Input (Data, Variable, Absolute): modifier bits
    {0x95, 0x01},  //   Report Count (1)
    {0x75, 0x08},  //   Report Size (8)
    {0x81, 0x01},  //   Input (Constant): reserved byte
    {0x95, 0x05},  //   Report Count (5)
    {0x75, 0x01},  //   Report Size (1)
    {0x05, 0x08},  //   Usage Page (LEDs)
    {0x19, 0x01},  //   Usage Minimum (Num Lock)
    {0x29, 0x05},  //   Usage Maximum (Kana)
    {0x91, 0x02},  //   Output (Data, Variable, Absolute): LED bits
    {0x95, 0x01},  //   Report Count (1)
    {0x75, 0x03},  //   Report Size (3)
    {0x91, 0x01},  //   Output (Constant): LED padding
    {0x95, 0x06},  //   Report Count (6)
    {0x75, 0x08},  //   Report Size (8)
    {0x15, 0x00},  //   Logical Minimum (0)
    {0x25, 0x65},  //   Logical Maximum (101)
    {0x05, 0x07},  //   Usage Page (Keyboard/Keypad)
    {0x19, 0x00},  //   Usage Minimum (0)
    {0x29, 0x65},  //   Usage Maximum (101)
    {0x81, 0x00},  //   Input (Data, Array): six key codes
    {0xC0},        // End Collection
};

// A three-button mouse with a wheel: buttons, padding, X, Y, wheel; 4-byte input report.
const Items kWheelMouse = {
    {0x05, 0x01},  // Usage Page (Generic Desktop)
    {0x09, 0x02},  // Usage (Mouse)
    {0xA1, 0x01},  // Collection (Application)
    {0x09, 0x01},  //   Usage (Pointer)
    {0xA1, 0x00},  //   Collection (Physical)
    {0x05, 0x09},  //     Usage Page (Button)
    {0x19, 0x01},  //     Usage Minimum (1)
    {0x29, 0x03},  //     Usage Maximum (3)
    {0x15, 0x00},  //     Logical Minimum (0)
    {0x25, 0x01},  //     Logical Maximum (1)
    {0x95, 0x03},  //     Report Count (3)
    {0x75, 0x01},  //     Report Size (1)
    {0x81, 0x02},  //     Input (Data, Variable, Absolute): buttons
    {0x95, 0x01},  //     Report Count (1)
    {0x75, 0x05},  //     Report Size (5)
    {0x81, 0x01},  //     Input (Constant): padding
    {0x05, 0x01},  //     Usage Page (Generic Desktop)
    {0x09, 0x30},  //     Usage (X)
    {0x09, 0x31},  //     Usage (Y)
    {0x09, 0x38},  //     Usage (Wheel)
    {0x15, 0x81},  //     Logical Minimum (-127)
    {0x25, 0x7F},  //     Logical Maximum (127)
    {0x75, 0x08},  //     Report Size (8)
    {0x95, 0x03},  //     Report Count (3)
    {0x81, 0x06},  //     Input (Data, Variable, Relative): X, Y, wheel
    {0xC0},        //   End Collection
    {0xC0},        // End Collection
};

// A vendor-defined link adapter: data out in ID 1, data in in ID 2, set-up out in ID 3,
// line configuration as feature ID 4.
const Items kLinkAdapter = {
    {0x06, 0x00, 0xFF},  // Usage Page (Vendor Defined 0xFF00)
    {0x09, 0x01},        // Usage (1)
    {0xA1, 0x01},        // Collection (Application)
    {0x15, 0x00},        //   Logical Minimum (0)
    {0x26, 0xFF, 0x00},  //   Logical Maximum (255)
    {0x75, 0x08},        //   Report Size (8)
    {0x85, 0x01},        //   Report ID (1)
    {0x95, 0x40},        //   Report Count (64)
    {0x09, 0x01},        //   Usage (1)
    {0x91, 0x02},        //   Output (Data, Variable, Absolute): data to the device
    {0x85, 0x02},        //   Report ID (2)
    {0x95, 0x40},        //   Report Count (64)
    {0x09, 0x01},        //   Usage (1)
    {0x81, 0x02},        //   Input (Data, Variable, Absolute): data from the device
    {0x85, 0x03},        //   Report ID (3)
    {0x95, 0x01},        //   Report Count (1)
    {0x09, 0x02},        //   Usage (2)
    {0x91, 0x02},        //   Output (Data, Variable, Absolute): set-up byte
    {0x85, 0x04},        //   Report ID (4)
    {0x95, 0x04},        //   Report Count (4)
    {0x09, 0x03},        //   Usage (3)
    {0xB1, 0x02},        //   Feature (Data, Variable, Absolute): line configuration
    {0xC0},              // End Collection
};

std::optional<HidReportLengths> Parse(const Bytes& descriptor) { return ParseHidReportDescriptor(descriptor); }

struct GoldenCase {
    const char* name;
    const Items* items;
    HidReportLengths expected;
};

const GoldenCase kGoldenCases[] = {
    {"boot keyboard", &kBootKeyboard, {9, 2, 0, false}},
    {"wheel mouse", &kWheelMouse, {5, 0, 0, false}},
    {"link adapter", &kLinkAdapter, {65, 65, 5, true}},
};

TEST(HidDescriptor, RealDescriptors_GiveTheLengthsTheClassDriverReports) {
    for (const GoldenCase& golden : kGoldenCases) {
        SCOPED_TRACE(golden.name);
        const std::optional<HidReportLengths> lengths = Parse(Join(*golden.items));
        ASSERT_TRUE(lengths.has_value());
        EXPECT_EQ(*lengths, golden.expected);
    }
}

struct ItemRuleCase {
    const char* name;
    Bytes descriptor;
    HidReportLengths expected;
};

const ItemRuleCase kItemRuleCases[] = {
    {"bits round up to whole bytes",
     {0x75, 0x01,  // Report Size (1)
      0x95, 0x03,  // Report Count (3)
      0x81, 0x02}, // Input: 3 bits
     {2, 0, 0, false}},
    {"four-byte item data",
     {0x75, 0x08,                    // Report Size (8)
      0x97, 0x10, 0x00, 0x00, 0x00,  // Report Count (16), stated in four bytes
      0x91, 0x02},                   // Output: 16 bytes
     {0, 17, 0, false}},
    {"Pop restores size, count and report ID",
     {0x85, 0x01,  // Report ID (1)
      0x75, 0x08,  // Report Size (8)
      0x95, 0x02,  // Report Count (2)
      0xA4,        // Push
      0x85, 0x02,  // Report ID (2)
      0x75, 0x10,  // Report Size (16)
      0x95, 0x04,  // Report Count (4)
      0x81, 0x02,  // Input: 8 bytes in report 2
      0xB4,        // Pop
      0x81, 0x02,  // Input: 2 bytes in report 1
      0x81, 0x02}, // Input: 2 more bytes in report 1
     {9, 0, 0, true}},
    {"the longest report of a kind counts, not the sum",
     {0x75, 0x08,  // Report Size (8)
      0x85, 0x01,  // Report ID (1)
      0x95, 0x03,  // Report Count (3)
      0x81, 0x02,  // Input: 3 bytes in report 1
      0x85, 0x02,  // Report ID (2)
      0x95, 0x05,  // Report Count (5)
      0x81, 0x02,  // Input: 5 bytes in report 2
      0x85, 0x01,  // Report ID (1)
      0x81, 0x02}, // Input: 5 more bytes in report 1, 8 in all
     {9, 0, 0, true}},
    {"long items are skipped whole",
     {0x75, 0x08,                    // Report Size (8)
      0x95, 0x01,                    // Report Count (1)
      0xFE, 0x02, 0x10, 0x81, 0x02,  // long item, 2 data bytes that look like an Input item
      0x81, 0x02},                   // Input: 1 byte
     {2, 0, 0, false}},
    {"collections only: no reports",
     {0xA1, 0x01,  // Collection (Application)
      0xC0},       // End Collection
     {0, 0, 0, false}},
    {"the longest report that can be stated",
     {0x75, 0x08,        // Report Size (8)
      0x96, 0xFE, 0xFF,  // Report Count (65534)
      0xB1, 0x02},       // Feature: 65534 bytes, 65535 with the ID byte
     {0, 0, 0xFFFF, false}},
};

TEST(HidDescriptor, ItemRules_ApplyAsTheDescriptorStatesThem) {
    for (const ItemRuleCase& rule : kItemRuleCases) {
        SCOPED_TRACE(rule.name);
        const std::optional<HidReportLengths> lengths = Parse(rule.descriptor);
        ASSERT_TRUE(lengths.has_value());
        EXPECT_EQ(*lengths, rule.expected);
    }
}

struct MalformedCase {
    const char* name;
    Bytes descriptor;
};

const MalformedCase kMalformedCases[] = {
    {"empty", {}},
    {"one-byte item without its data", {0x75}},
    {"two-byte item with one byte", {0x26, 0xFF}},
    {"four-byte item with three bytes", {0x75, 0x08, 0x27, 0x00, 0x00, 0x00}},
    {"long item prefix alone", {0xFE}},
    {"long item without its tag", {0xFE, 0x00}},
    {"long item data running past the end", {0xFE, 0x05, 0x10, 0x01, 0x02}},
    {"Pop without Push", {0xB4}},
    {"Report ID 0", {0x85, 0x00}},
    {"Report ID above 255", {0x86, 0x00, 0x01}},
    {"Push nested without end",
     {0xA4, 0xA4, 0xA4, 0xA4, 0xA4, 0xA4, 0xA4, 0xA4, 0xA4, 0xA4, 0xA4, 0xA4, 0xA4, 0xA4, 0xA4, 0xA4, 0xA4}},
    {"report one bit too long to state",
     {0x75, 0x08,        // Report Size (8)
      0x96, 0xFE, 0xFF,  // Report Count (65534)
      0xB1, 0x02,        // Feature: 65534 bytes
      0x75, 0x01,        // Report Size (1)
      0x95, 0x01,        // Report Count (1)
      0xB1, 0x02}},      // Feature: one bit more
    {"size times count past 32 bits",
     {0x77, 0xFF, 0xFF, 0xFF, 0xFF,  // Report Size (2^32 - 1)
      0x97, 0xFF, 0xFF, 0xFF, 0xFF,  // Report Count (2^32 - 1)
      0x81, 0x02}},                  // Input
};

TEST(HidDescriptor, MalformedDescriptors_AreRejected) {
    for (const MalformedCase& malformed : kMalformedCases) {
        SCOPED_TRACE(malformed.name);
        // An exactly sized heap copy, so that a sanitizer build sees any read past the end.
        const auto copy = std::make_unique<std::uint8_t[]>(malformed.descriptor.size());
        std::copy(malformed.descriptor.begin(), malformed.descriptor.end(), copy.get());
        EXPECT_FALSE(ParseHidReportDescriptor({copy.get(), malformed.descriptor.size()}).has_value());
    }
}

TEST(HidDescriptor, TruncatedDescriptor_ParsesOnlyWhenCutBetweenItems) {
    for (const Items* items : {&kBootKeyboard, &kWheelMouse, &kLinkAdapter}) {
        const Bytes whole = Join(*items);
        std::vector<bool> itemEnds(whole.size() + 1, false);
        std::size_t end = 0;
        for (const Bytes& item : *items) {
            end += item.size();
            itemEnds[end] = true;
        }
        for (std::size_t cut = 1; cut < whole.size(); ++cut) {
            SCOPED_TRACE("cut after " + std::to_string(cut) + " bytes");
            const Bytes truncated(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
            EXPECT_EQ(Parse(truncated).has_value(), itemEnds[cut]);
        }
    }
}

TEST(HidDescriptor, RandomBytes_NeverReadPastTheEndAndGiveSaneLengths) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<std::size_t> length(1, 64);
    for (int round = 0; round < 2000; ++round) {
        const std::size_t size = length(random);
        const auto garbage = std::make_unique<std::uint8_t[]>(size);
        for (std::size_t i = 0; i < size; ++i) {
            garbage[i] = static_cast<std::uint8_t>(byte(random));
        }
        const std::optional<HidReportLengths> lengths = ParseHidReportDescriptor({garbage.get(), size});
        if (lengths.has_value()) {
            // Every report there is has its ID byte and at least one byte of data.
            for (const std::uint16_t reportLength : {lengths->input, lengths->output, lengths->feature}) {
                EXPECT_NE(reportLength, 1);
            }
        }
    }
}

bool MachineHasHidrawNodes() {
    std::error_code error;
    for (std::filesystem::directory_iterator entry("/dev", error), end; !error && entry != end;
         entry.increment(error)) {
        if (entry->path().filename().string().starts_with("hidraw")) {
            return true;
        }
    }
    return false;
}

TEST(PosixHidBus, NoHidrawNodes_NoInterfaceAtIndexZero) {
    if (MachineHasHidrawNodes()) {
        GTEST_SKIP() << "this machine has HID devices";
    }
    platform::posix::PosixHidBus bus;
    std::u16string path = u"unchanged";
    EXPECT_FALSE(bus.InterfacePath(0, path));
    EXPECT_EQ(path, u"unchanged");
}

TEST(PosixHidBus, PathsOtherThanPresentHidrawNodes_AreNotOpened) {
    platform::posix::PosixHidBus bus;
    std::vector<std::u16string> paths = {u"/dev/null", u"/dev/hidraw", u"/dev/hidraw0/../null", u"/dev/hidraw1a",
                                         u"hidraw0", u"/dev/usb/hiddev0", u""};
    if (!MachineHasHidrawNodes()) {
        paths.push_back(u"/dev/hidraw0");
    }
    for (const std::u16string& path : paths) {
        SCOPED_TRACE(platform::ToUtf8(path));
        EXPECT_EQ(bus.Open(path), nullptr);
    }
}

}  // namespace
