// The two transports: COM-port writes within their line-time limit, pauses and echo counts,
// reads of waiting bytes; HID output report framing, input report unpacking, adapter choice.
#include "support/link_fixture.h"

#include <gmock/gmock.h>

using namespace testing_support;
using platform::sim::HidFault;
using platform::sim::SerialFault;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class ComTransportTest : public LinkFixture {
protected:
    ComTransportTest() { AttachControls(); }

    std::uint32_t WriteQueued(const Bytes& bytes) {
        for (auto b : bytes) link->QueueByte(b);
        clock.ClearSleeps();
        return link->WritePort(link->m_txBuffer.data());
    }
};

TEST_F(ComTransportTest, WritePauses_DependOnSizeAndPauseFlag) {
    struct Case {
        Bytes bytes;
        bool pauseAfterWrite;
        std::vector<std::uint32_t> sleeps;
    };
    const Case cases[] = {
        {{0x27}, false, {}},
        {{0x01, 0x02}, false, {}},
        {{0x01, 0x02, 0x03}, false, {1}},
        {{0x01, 0x02, 0x03}, true, {1, 1}},
        {{0x27}, true, {1}},
    };
    auto device = OpenCom();
    for (const auto& c : cases) {
        link->m_txCount = 0;
        link->m_pauseAfterWrite = c.pauseAfterWrite ? 1 : 0;
        clock.Advance(7);
        const auto before = clock.TickCount();
        const auto written = WriteQueued(c.bytes);
        EXPECT_EQ(written, c.bytes.size());
        EXPECT_EQ(link->m_echoPending, static_cast<std::int32_t>(c.bytes.size()));
        EXPECT_EQ(clock.Sleeps(), c.sleeps);
        EXPECT_EQ(link->m_lastIoTick, before + c.sleeps.size());
    }
}

TEST_F(ComTransportTest, StalledSingleByte_GivesUpAfterOneHundredMsAndIsOfferedAgain) {
    auto device = OpenCom();
    device->Set(SerialFault::WriteStalls);
    link->QueueByte(0x27);
    const auto start = clock.TickCount();
    link->WorkerPass();
    const auto waited = clock.TickCount() - start - 1;  // less the pass's own sleep
    EXPECT_GT(waited, 100u);
    EXPECT_LE(waited, 102u);
    EXPECT_EQ(link->m_txCount, 1);
    EXPECT_THAT(device->Written(), IsEmpty());
    device->Set(SerialFault::WriteStalls, false);
    link->WorkerPass();
    EXPECT_EQ(device->Written(), Bytes({0x27}));
}

TEST_F(ComTransportTest, WriteLimit_GrowsWithTheBytesLineTime) {
    // L = n * 10000 / 19200 + 100: 105 ms for 10 bytes, 367 ms for 514.
    auto device = OpenCom();
    device->Set(SerialFault::WriteStalls);
    for (auto [size, limit] : {std::pair{10, 105u}, std::pair{514, 367u}}) {
        link->m_txCount = size;
        const auto start = clock.TickCount();
        EXPECT_EQ(link->WritePort(link->m_txBuffer.data()), 0u);
        const auto waited = clock.TickCount() - start;
        EXPECT_GT(waited, limit);
        EXPECT_LE(waited, limit + 2);
    }
}

TEST_F(ComTransportTest, ReadWithNothingWaiting_IssuesNoReadAndKeepsTrafficTime) {
    auto device = OpenCom();
    link->m_lastIoTick = 77;
    EXPECT_EQ(link->ReadPort(link->m_rxBuffer.data()), 0u);
    EXPECT_EQ(device->ReadCalls(), 0);
    EXPECT_EQ(link->m_lastIoTick, 77u);
    device->Deliver({0x01, 0x02});
    clock.Set(500);
    EXPECT_EQ(link->ReadPort(link->m_rxBuffer.data()), 2u);
    EXPECT_EQ(link->m_comStat.cbInQue, 2u);
    EXPECT_EQ(link->m_lastIoTick, 500u);
}

TEST_F(ComTransportTest, ReadError_DeliversNothing) {
    auto device = OpenCom();
    device->Deliver({0x13});
    device->Set(SerialFault::ReadError);
    link->WorkerPass();
    EXPECT_EQ(link->m_step, ConnectHello);
    EXPECT_THAT(device->Written(), IsEmpty());
}

TEST_F(ComTransportTest, RemovedDevice_GoesOfflineAndReopenFails) {
    auto device = OpenCom();
    device->Deliver({0x13});
    Passes(2);
    device->Set(SerialFault::Removed);
    clock.Advance(1001);
    link->WorkerPass();
    EXPECT_THAT(Log(), ElementsAre(u"Can not open COM3."));
    EXPECT_EQ(link->m_mode, ModeOffline);
    EXPECT_FALSE(resetButton.IsWindowEnabled());
}

class HidTransportTest : public LinkFixture {
protected:
    HidTransportTest() { AttachControls(); }
};

TEST_F(HidTransportTest, LongBurst_GoesOutInFullReportsOnePerPass) {
    auto adapter = OpenHid();
    link->m_hidReportId = 1;
    Bytes burst(514);
    for (std::size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<std::uint8_t>(i * 7 + 1);
    std::copy(burst.begin(), burst.end(), link->m_txBuffer.begin());
    link->m_txCount = 514;
    Passes(9);
    const auto reports = adapter->WrittenReports();
    ASSERT_EQ(reports.size(), 9u);
    Bytes carried;
    for (std::size_t r = 0; r < reports.size(); ++r) {
        const auto& report = reports[r];
        ASSERT_EQ(report.size(), 65u);
        const std::size_t payload = r < 8 ? 63 : 10;
        EXPECT_EQ(report[0], 1);
        EXPECT_EQ(report[1], payload);
        carried.insert(carried.end(), report.begin() + 2, report.begin() + 2 + static_cast<std::ptrdiff_t>(payload));
        EXPECT_TRUE(std::all_of(report.begin() + 2 + static_cast<std::ptrdiff_t>(payload), report.end(),
                                [](std::uint8_t b) { return b == 0; }))
            << "report " << r << " is zero-padded";
    }
    EXPECT_EQ(carried, burst);
    EXPECT_EQ(link->m_txCount, 0);
    EXPECT_EQ(link->m_echoPending, 10);
}

TEST_F(HidTransportTest, ByteReceivedBetweenReports_IsDispatchedBeforeTheRest) {
    auto adapter = OpenHid();
    link->m_txCount = 100;
    link->WorkerPass();
    EXPECT_EQ(link->m_txOffset, 63);
    adapter->DeliverReport({0x02, 0x01, 0x13});
    link->WorkerPass();
    EXPECT_EQ(link->m_step, ConnectConfirm);  // handled while 37 bytes of the burst wait
    EXPECT_EQ(link->m_txCount, 38);
    Passes(2);
    const auto reports = adapter->WrittenReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1][1], 38);  // the rest of the burst, then the answer right after it
    EXPECT_EQ(reports[1][2 + 37], 0xF7);
}

TEST_F(HidTransportTest, SetupByteWithReportIdThree_IsFramedAsOneByteReport) {
    auto adapter = OpenHid();
    link->m_hidReportId = 3;
    link->m_txBuffer[0] = 0x02;
    link->m_txCount = 1;
    link->WorkerPass();
    Bytes expected(65, 0);
    expected[0] = 0x03;
    expected[1] = 0x01;
    expected[2] = 0x02;
    EXPECT_THAT(adapter->WrittenReports(), ElementsAre(expected));
}

TEST_F(HidTransportTest, InputReports_AreUnpacked) {
    struct Case {
        const char* what;
        Bytes report;
        Bytes delivered;
    };
    const Case cases[] = {
        {"data report", {0x02, 0x03, 0xAA, 0xBB, 0xCC, 0x00}, {0xAA, 0xBB, 0xCC}},
        {"empty data report", {0x02, 0x00, 0x11}, {}},
        {"other report ID", {0x05, 0x02, 0x13}, {0x05, 0x02, 0x13}},
        {"one byte", {0x02}, {}},
        {"length beyond the report", {0x02, 0x09, 0xAA, 0xBB}, {0xAA, 0xBB}},
    };
    auto adapter = OpenHid();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        adapter->DeliverReport(c.report);
        clock.Advance(3);
        const auto now = clock.TickCount();
        const auto count = link->ReadPort(link->m_rxBuffer.data());
        EXPECT_EQ(Bytes(link->m_rxBuffer.begin(), link->m_rxBuffer.begin() + count), c.delivered);
        EXPECT_EQ(link->m_lastIoTick, now) << "every report counts as traffic";
    }
}

TEST_F(HidTransportTest, NoReport_WaitsTenMsAndCountsNoTraffic) {
    OpenHid();
    link->m_lastIoTick = 5;
    const auto start = clock.TickCount();
    EXPECT_EQ(link->ReadPort(link->m_rxBuffer.data()), 0u);
    EXPECT_EQ(clock.TickCount() - start, 10u);
    EXPECT_EQ(link->m_lastIoTick, 5u);
}

TEST_F(HidTransportTest, StalledWrite_IsCancelledAndTheBytesStayQueued) {
    auto adapter = OpenHid();
    adapter->Set(HidFault::WriteStalls);
    link->QueueByte(0x27);
    const auto start = clock.TickCount();
    EXPECT_EQ(link->WritePort(link->m_txBuffer.data()), 0u);
    EXPECT_EQ(clock.TickCount() - start, 150u);
    EXPECT_EQ(link->m_txCount, 1);
}

TEST_F(HidTransportTest, ReportsLongerThan257Bytes_CarryAtMost255PayloadBytes) {
    auto adapter = OpenHid({65, 300});
    link->m_txCount = 400;
    link->WorkerPass();
    const auto reports = adapter->WrittenReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].size(), 300u);
    EXPECT_EQ(reports[0][1], 255);
    EXPECT_EQ(link->m_txCount, 400 - 255);
}

TEST_F(HidTransportTest, AdaptersUnfitForTheLink_AreNotUsed) {
    struct Case {
        const char* what;
        bool capsFail;
        platform::HidCaps caps;
    };
    const Case cases[] = {
        {"descriptor unreadable", true, {65, 65}},
        {"output report of 2 bytes", false, {65, 2}},
        {"no input report", false, {0, 65}},
        {"input report beyond the receive buffer", false, {1025, 65}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        platform::sim::FakeHidBus bus(clock);
        auto adapter = bus.Add(u"/dev/hidraw0");
        adapter->SetCaps(c.caps);
        adapter->Set(HidFault::CapsFail, c.capsFail);
        platform::Services services{&clock, &serial, &bus, &threads};
        ESCLink fresh(services);
        fresh.m_useHidLink = 1;
        fresh.OpenHidLink(0);
        EXPECT_FALSE(fresh.m_hPort.IsOpen());
        EXPECT_FALSE(adapter->IsOpen());
    }
}

class HidEnumerationTest : public LinkFixture {};

TEST_F(HidEnumerationTest, CountAndOpen_SkipOtherDevicesAndHeldAdapters) {
    auto mouse = hid.Add(u"/dev/hidraw0");
    mouse->SetAttributes({0x046D, 0xC077});
    auto first = hid.Add(u"/dev/hidraw1");
    auto held = hid.Add(u"/dev/hidraw2");
    held->Set(HidFault::HeldElsewhere);
    auto second = hid.Add(u"/dev/hidraw3");
    second->SetCaps({33, 17});
    EXPECT_EQ(link->CountHidLinks(), 2);
    EXPECT_FALSE(first->IsOpen());  // counting closes what it opened
    EXPECT_EQ(mouse->OpenCount(), 1);
    link->OpenHidLink(1);
    ASSERT_TRUE(link->m_hPort.IsOpen());
    EXPECT_TRUE(second->IsOpen());
    EXPECT_FALSE(first->IsOpen());
    EXPECT_EQ(link->m_inputReportLength, 33);
    EXPECT_EQ(link->m_outputReportLength, 17);
    EXPECT_EQ(std::u16string(link->m_hidPath.data()), u"/dev/hidraw3");
    // While the link holds it, the count cannot open it.
    EXPECT_EQ(link->CountHidLinks(), 1);
}

TEST_F(HidEnumerationTest, InterfaceIndexOfSixtyFourOrMore_IsNeverLookedAt) {
    for (int i = 0; i < 70; ++i) hid.Add(u"/dev/hidraw" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) + std::u16string(1, static_cast<char16_t>(u'a' + i / 26)));
    std::array<char16_t, kHidPathChars> path{};
    EXPECT_TRUE(link->FindHidInterface(63, path));
    EXPECT_FALSE(link->FindHidInterface(64, path));
    EXPECT_FALSE(link->FindHidInterface(-1, path));
    EXPECT_EQ(link->CountHidLinks(), 64);
}

}  // namespace
