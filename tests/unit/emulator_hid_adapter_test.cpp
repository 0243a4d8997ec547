// The emulated HID link adapter's framing: set-up report, data reports to the device, input
// reports to the PC, and the reports it refuses.
#include "emulator/hid_link_adapter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace emulator {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr platform::Tick kNow = 2000;

// An output report of `length` bytes: ID, payload length, payload, zeros.
Bytes OutputReport(std::uint8_t id, const Bytes& payload, std::size_t length = 65) {
    Bytes report(length, 0);
    report[0] = id;
    report[1] = static_cast<std::uint8_t>(payload.size());
    std::copy(payload.begin(), payload.end(), report.begin() + 2);
    return report;
}

const Bytes kSetUpReport = OutputReport(3, {0x02});

bool Deliver(HidLinkAdapter& adapter, const Bytes& report) {
    return adapter.ReceiveOutputReport(report.data(), report.size(), kNow);
}

// The device bytes of every input report ready now, and the reports themselves.
struct Inputs {
    Bytes payload;
    std::vector<Bytes> reports;
};

Inputs TakeInputs(HidLinkAdapter& adapter) {
    Inputs inputs;
    while (std::optional<Bytes> report = adapter.NextInputReport(kNow)) {
        inputs.payload.insert(inputs.payload.end(), report->begin() + 2, report->begin() + 2 + (*report)[1]);
        inputs.reports.push_back(*report);
    }
    return inputs;
}

TEST(HidLinkAdapterIdentity, Defaults_LinkAdapterIdsAndReportLengths) {
    Pcu pcu;
    HidLinkAdapter adapter(pcu);
    EXPECT_EQ(adapter.Attributes().vendorId, 0x10C4);
    EXPECT_EQ(adapter.Attributes().productId, 0x82FC);
    ASSERT_TRUE(adapter.Caps().has_value());
    EXPECT_EQ(adapter.Caps()->inputReportByteLength, 65);
    EXPECT_EQ(adapter.Caps()->outputReportByteLength, 65);
}

TEST(HidLinkAdapterIdentity, Configured_OtherIdsAndUnreadableCaps) {
    Pcu pcu;
    HidLinkAdapter adapter(pcu, HidLinkAdapterConfig{0x1234, 0x5678, 33, 17, false});
    EXPECT_EQ(adapter.Attributes().vendorId, 0x1234);
    EXPECT_EQ(adapter.Attributes().productId, 0x5678);
    EXPECT_FALSE(adapter.Caps().has_value());
}

TEST(HidLinkAdapterSetUp, BeforeSetUp_DeviceBytesHeldThenDelivered) {
    Pcu pcu;
    HidLinkAdapter adapter(pcu);
    pcu.PowerOn(kNow);
    EXPECT_FALSE(adapter.NextInputReport(kNow).has_value());
    EXPECT_EQ(pcu.AvailableToPc(kNow), 1U);

    ASSERT_TRUE(Deliver(adapter, kSetUpReport));
    EXPECT_TRUE(adapter.SetUp());
    const std::optional<Bytes> report = adapter.NextInputReport(kNow);
    ASSERT_TRUE(report.has_value());
    Bytes expected(65, 0);
    expected[0] = 0x02;
    expected[1] = 0x01;
    expected[2] = 0x13;
    EXPECT_EQ(*report, expected);
    EXPECT_FALSE(adapter.NextInputReport(kNow).has_value());
}

TEST(HidLinkAdapterSetUp, SetUpKept_AcrossDevicePowerCycles) {
    Pcu pcu;
    HidLinkAdapter adapter(pcu);
    ASSERT_TRUE(Deliver(adapter, kSetUpReport));
    pcu.PowerOn(kNow);
    pcu.PowerOff();
    pcu.PowerOn(kNow);
    EXPECT_EQ(TakeInputs(adapter).payload, (Bytes{0x13, 0x13}));
}

TEST(HidLinkAdapterSetUp, OtherSetUpPayload_AcceptedButNotSetUp) {
    Pcu pcu;
    HidLinkAdapter adapter(pcu);
    pcu.PowerOn(kNow);
    EXPECT_TRUE(Deliver(adapter, OutputReport(3, {0x05})));
    EXPECT_TRUE(Deliver(adapter, OutputReport(3, {0x02, 0x02})));
    EXPECT_FALSE(adapter.SetUp());
    EXPECT_FALSE(adapter.NextInputReport(kNow).has_value());
    EXPECT_TRUE(pcu.ReceivedFromPc().empty());
}

TEST(HidLinkAdapterData, DataReports_PayloadReachesDeviceInOrder) {
    PcuConfig config;
    config.greeting = 0xF7;
    Pcu pcu(config);
    HidLinkAdapter adapter(pcu);
    ASSERT_TRUE(Deliver(adapter, kSetUpReport));
    pcu.PowerOn(kNow);
    EXPECT_EQ(TakeInputs(adapter).payload, Bytes{0xF7});

    ASSERT_TRUE(Deliver(adapter, OutputReport(1, {0xFA, 0x27})));
    ASSERT_TRUE(Deliver(adapter, OutputReport(1, {})));
    ASSERT_TRUE(Deliver(adapter, OutputReport(1, {0xF7})));
    EXPECT_EQ(pcu.ReceivedFromPc(), (Bytes{0xFA, 0x27, 0xF7}));
    EXPECT_EQ(TakeInputs(adapter).payload, (Bytes{0x02, 0x11, 0x10, 0x34, 0x41, 0x41, 0x10, 0xF1}));
}

TEST(HidLinkAdapterData, MoreBytesThanOneReport_SplitIntoFullReportsAndARest) {
    PcuConfig config;
    config.readMemory = Bytes(200);
    for (std::size_t i = 0; i < 200; ++i) {
        (*config.readMemory)[i] = static_cast<std::uint8_t>(i);
    }
    Pcu pcu(config);
    HidLinkAdapter adapter(pcu);
    ASSERT_TRUE(Deliver(adapter, kSetUpReport));
    pcu.PowerOn(kNow);
    ASSERT_TRUE(Deliver(adapter, OutputReport(1, {0xF7, 0x86, 0x82})));

    // Greeting, 0xFA, 0xF7, then 0x65, 5 header bytes, 200 data bytes, end byte: 210 bytes.
    Bytes expected{0x13, 0xFA, 0xF7, 0x65, 0x00, 0x00, 0x00, 0x00, 200};
    expected.insert(expected.end(), config.readMemory->begin(), config.readMemory->end());
    expected.push_back(0xF1);
    const Inputs inputs = TakeInputs(adapter);
    EXPECT_EQ(inputs.payload, expected);
    ASSERT_EQ(inputs.reports.size(), 4U);
    const std::uint8_t lengths[] = {63, 63, 63, 21};
    for (std::size_t i = 0; i < inputs.reports.size(); ++i) {
        const Bytes& report = inputs.reports[i];
        ASSERT_EQ(report.size(), 65U);
        EXPECT_EQ(report[0], 0x02);
        EXPECT_EQ(report[1], lengths[i]);
        EXPECT_TRUE(std::all_of(report.begin() + 2 + report[1], report.end(), [](std::uint8_t b) { return b == 0; }))
            << "report " << i << " is not zero-padded";
    }
}

TEST(HidLinkAdapterData, ShortInputReports_CarryInputLengthLessTwo) {
    Pcu pcu;
    HidLinkAdapter adapter(pcu, HidLinkAdapterConfig{0x10C4, 0x82FC, 5, 9, true});
    ASSERT_TRUE(Deliver(adapter, OutputReport(3, {0x02}, 9)));
    pcu.PowerOn(kNow);
    ASSERT_TRUE(Deliver(adapter, OutputReport(1, {0xF7, 0x27, 0xF7}, 9)));
    const Inputs inputs = TakeInputs(adapter);
    EXPECT_EQ(inputs.payload, (Bytes{0x13, 0xFA, 0x02, 0x11, 0x10, 0x34, 0x41, 0x41, 0x10, 0xF1}));
    const std::vector<Bytes> expected{{2, 3, 0x13, 0xFA, 0x02}, {2, 3, 0x11, 0x10, 0x34}, {2, 3, 0x41, 0x41, 0x10},
                                      {2, 1, 0xF1, 0, 0}};
    EXPECT_EQ(inputs.reports, expected);
}

TEST(HidLinkAdapterRefusal, MalformedReports_RefusedAndNothingReachesTheDevice) {
    Pcu pcu;
    HidLinkAdapter adapter(pcu);
    pcu.PowerOn(kNow);
    ASSERT_TRUE(Deliver(adapter, kSetUpReport));
    Bytes overlong = OutputReport(1, {0xF7});
    overlong[1] = 64;  // more payload than the report can hold
    const std::vector<Bytes> refused{
        OutputReport(1, {0xF7}, 64),  // one byte short
        OutputReport(1, {0xF7}, 66),  // one byte long
        OutputReport(3, {0x02}, 64),  // a set-up report of the wrong length
        OutputReport(2, {0xF7}),      // not an output report ID
        overlong,
        {},
    };
    for (std::size_t i = 0; i < refused.size(); ++i) {
        EXPECT_FALSE(Deliver(adapter, refused[i])) << "report " << i;
    }
    EXPECT_EQ(adapter.ReportsRefused(), refused.size());
    EXPECT_TRUE(pcu.ReceivedFromPc().empty());
    EXPECT_EQ(pcu.HandshakesCompleted(), 0U);
}

TEST(HidLinkAdapterRefusal, WrongLengthSetUp_LeavesAdapterHoldingBytes) {
    Pcu pcu;
    HidLinkAdapter adapter(pcu);
    pcu.PowerOn(kNow);
    EXPECT_FALSE(Deliver(adapter, OutputReport(3, {0x02}, 64)));
    EXPECT_FALSE(adapter.SetUp());
    EXPECT_FALSE(adapter.NextInputReport(kNow).has_value());
}

}  // namespace
}  // namespace emulator
