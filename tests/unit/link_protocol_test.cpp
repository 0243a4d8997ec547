// Connect handshake, identity query, version texts and keep-alives, byte for byte.
#include "support/link_fixture.h"

#include <gmock/gmock.h>

using namespace testing_support;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class LinkProtocolTest : public LinkFixture {
protected:
    LinkProtocolTest() { AttachControls(); }

    // Sends the identity query and answers it with these records (count byte first).
    void AnswerIdentity(const std::shared_ptr<platform::sim::FakeSerialDevice>& device,
                        const std::vector<Bytes>& records) {
        Passes(2);  // query started, 0x27 written
        ASSERT_EQ(device->Written(), Bytes({0x27}));
        device->ClearWritten();
        Bytes first = {static_cast<std::uint8_t>(records.size())};
        first.insert(first.end(), records[0].begin(), records[0].end());
        if (records.size() == 1) first.push_back(0xF1);
        DeviceSays(device, first);
        for (std::size_t i = 1; i < records.size(); ++i) {
            ASSERT_EQ(device->Written(), Bytes({0xF7})) << "record " << i + 1 << " is asked for";
            device->ClearWritten();
            Bytes next = records[i];
            if (i + 1 == records.size()) next.push_back(0xF1);
            DeviceSays(device, next);
        }
    }
};

TEST_F(LinkProtocolTest, ComHandshake_ConnectsPostsReadyAndStartsTheQuery) {
    link->m_pImage = std::make_unique<std::uint8_t[]>(4);
    auto device = OpenCom();
    window.Clear();
    DeviceSays(device, {0x13});
    EXPECT_EQ(device->Written(), Bytes({0xF7}));
    EXPECT_EQ(link->m_step, ConnectConfirm);
    device->Deliver({0xFA});
    link->WorkerPass();
    EXPECT_THAT(Log(), ElementsAre(u"COM3 standby ready.", u"ESC connected."));
    EXPECT_EQ(window.Posted().front(), LinkState(1, 0));
    EXPECT_EQ(link->m_mode, ModeReady);
    EXPECT_EQ(link->m_step, ConnectHello);
    // The pass after the connection starts the identity query.
    link->WorkerPass();
    EXPECT_EQ(link->m_mode, ModeIdentify);
    link->WorkerPass();
    EXPECT_EQ(device->Written(), Bytes({0xF7, 0x27}));
}

TEST_F(LinkProtocolTest, ComHandshakeWithoutImage_PostsNothingOnConnect) {
    auto device = OpenCom();
    window.Clear();
    DeviceSays(device, {0x13});
    device->Deliver({0xFA});
    link->WorkerPass();
    EXPECT_EQ(link->m_mode, ModeReady);
    EXPECT_THAT(window.Posted(), IsEmpty());
}

TEST_F(LinkProtocolTest, UnexpectedGreeting_LogsConnectFailAndKeepsWaiting) {
    auto device = OpenCom();
    DeviceSays(device, {0x55, 0xF7});  // 0xF7 is no greeting on a COM port
    EXPECT_THAT(Log(), ElementsAre(u"COM3 standby ready.", u"ESC connect fail.", u"ESC connect fail."));
    EXPECT_EQ(link->m_mode, ModeConnect);
    EXPECT_EQ(link->m_step, ConnectHello);
    EXPECT_THAT(device->Written(), IsEmpty());
}

TEST_F(LinkProtocolTest, EchoingLine_EchoInSameReadAsReady_Connects) {
    auto device = OpenCom();
    DeviceSays(device, {0x13});
    device->Deliver({0xF7, 0xFA});  // the echo of the PC's 0xF7, then the device's 0xFA
    link->WorkerPass();
    EXPECT_EQ(link->m_mode, ModeReady);
    EXPECT_EQ(link->m_echoCancel, 1);
}

TEST_F(LinkProtocolTest, EchoingLine_ReadyAloneInALaterRead_StillConnects) {
    auto device = OpenCom();
    DeviceSays(device, {0x13});
    DeviceSays(device, {0xF7});  // the echo alone switches echo cancelling on
    EXPECT_EQ(link->m_echoCancel, 1);
    EXPECT_EQ(link->m_echoPending, 0);
    device->Deliver({0xFA});
    link->WorkerPass();
    EXPECT_EQ(link->m_mode, ModeReady);
    EXPECT_THAT(Log(), ElementsAre(u"COM3 standby ready.", u"ESC connected."));
    // From now on the echo of every write is dropped: the query's echo does not reach the machine.
    Passes(2);
    DeviceSays(device, {0x27, 0x02, 0x11, 0x10, 0x34});
    EXPECT_EQ(link->m_recordCount, 2);
    EXPECT_EQ(link->m_deviceSignature[2], 0x34);
}

TEST_F(LinkProtocolTest, HidAckGreeting_AnswersReadyAndConnectsSilently) {
    auto adapter = OpenHid();
    adapter->DeliverReport({0x02, 0x01, 0xF7});
    link->WorkerPass();
    EXPECT_EQ(link->m_mode, ModeReady);
    EXPECT_THAT(Log(), ElementsAre(u"USB0 standby ready."));
    link->WorkerPass();
    const auto reports = adapter->WrittenReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(Bytes(reports[0].begin(), reports[0].begin() + 3), Bytes({0x01, 0x01, 0xFA}));
}

TEST_F(LinkProtocolTest, HidAcceptsTheComExchangeToo) {
    auto adapter = OpenHid();
    adapter->DeliverReport({0x02, 0x01, 0x13});
    Passes(2);
    adapter->DeliverReport({0x02, 0x01, 0xFA});
    link->WorkerPass();
    EXPECT_EQ(link->m_mode, ModeReady);
    EXPECT_THAT(Log(), ElementsAre(u"USB0 standby ready.", u"ESC connected."));
}

struct IdentityCase {
    const char* name;
    std::vector<Bytes> records;
    std::u16string text;
};

class LinkIdentityTest : public LinkProtocolTest, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(LinkIdentityTest, RecordsGiveTheVersionText) {
    auto device = ConnectCom();
    AnswerIdentity(device, GetParam().records);
    EXPECT_EQ(link->m_mode, ModeReady);
    EXPECT_EQ(lineLabel.GetWindowText(), u"On-line");
    EXPECT_EQ(infoText.GetWindowText(), GetParam().text);
    EXPECT_EQ(link->m_identifyPending, 0);
    EXPECT_EQ(link->m_fullQuery, 0);
    EXPECT_TRUE(link->m_hPort.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Versions, LinkIdentityTest,
    ::testing::Values(
        IdentityCase{"A16", {{0x11, 0x10, 0x34}, {0x41, 0x41, 0x10}}, u"KORVA MultiCopter PCU, F/W Version A16"},
        IdentityCase{"A14i", {{0x11, 0x10, 0x34}, {0x13, 0x13, 0x99}}, u"KORVA MultiCopter PCU, F/W Version A14(i)"},
        IdentityCase{"UnknownModel", {{0x11, 0x20, 0x34}, {0x41, 0x01, 0x0A}}, u"KORVA unknown model, F/W Version:  1. a"},
        IdentityCase{"WideHex", {{0x11, 0x20, 0x34}, {0x41, 0xAB, 0x10}}, u"KORVA unknown model, F/W Version: ab.10"},
        IdentityCase{"B7", {{0x11, 0x10, 0x34}, {0x41, 0x42, 0x07}}, u"KORVA MultiCopter PCU, F/W Version B7"},
        IdentityCase{"VersionFirst", {{0x41, 0x41, 0x10}, {0x11, 0x10, 0x34}}, u"KORVA MultiCopter PCU, F/W Version A16"},
        IdentityCase{"SignatureOnly", {{0x11, 0x10, 0x34}}, u"KORVA MultiCopter PCU, F/W Version "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkProtocolTest, UnsupportedDevice_IsDroppedAndThePortClosed) {
    auto device = ConnectCom();
    window.Clear();
    AnswerIdentity(device, {{0x11, 0x10, 0x35}, {0x41, 0x41, 0x10}});
    EXPECT_EQ(link->m_mode, ModeOffline);
    EXPECT_FALSE(link->m_hPort.IsOpen());
    EXPECT_FALSE(device->IsOpen());
    EXPECT_THAT(window.Posted(), ElementsAre(LinkState(0, 0)));
    EXPECT_EQ(lineLabel.GetWindowText(), u"Off-line");
    EXPECT_EQ(infoText.GetWindowText(), u"");
    EXPECT_EQ(link->m_identifyPending, 1);
    // The link stays off line: no reopen, whatever time passes.
    clock.Advance(5000);
    Passes(3);
    EXPECT_EQ(device->OpenCount(), 1);
}

TEST_F(LinkProtocolTest, DeviceWithoutSignatureRecord_IsDropped) {
    auto device = ConnectCom();
    AnswerIdentity(device, {{0x41, 0x41, 0x10}});
    EXPECT_EQ(link->m_mode, ModeOffline);
    EXPECT_FALSE(device->IsOpen());
}

TEST_F(LinkProtocolTest, QueryDetails_ZeroCountIsNoCountAndCodeInsideRecordIsData) {
    auto device = ConnectCom();
    Passes(2);
    DeviceSays(device, {0x00, 0x02, 0x11, 0x41, 0x34});  // 0x41 arrives as data of the signature
    EXPECT_EQ(link->m_recordCount, 2);
    EXPECT_EQ(link->m_deviceSignature, (std::array<std::uint8_t, 3>{0x11, 0x41, 0x34}));
    EXPECT_EQ(device->Written(), Bytes({0x27, 0xF7}));
}

TEST_F(LinkProtocolTest, KeepAliveAfterVersionShown_ReadsFirstRecordAndCutsShort) {
    auto device = ConnectCom();
    AnswerIdentity(device, {{0x11, 0x10, 0x34}, {0x41, 0x41, 0x10}});
    device->ClearWritten();
    lineLabel.SetWindowText(u"stale");
    clock.Advance(1001);
    Passes(2);  // keep-alive started, 0x27 written
    EXPECT_EQ(link->m_mode, ModeKeepAlive);
    DeviceSays(device, {0x02, 0x11, 0x10, 0x34});
    EXPECT_EQ(device->Written(), Bytes({0x27, 0xF1}));
    EXPECT_EQ(link->m_mode, ModeReady);
    EXPECT_EQ(lineLabel.GetWindowText(), u"On-line");
}

TEST_F(LinkProtocolTest, KeepAliveWithOneRecord_EndsOnTheDevicesEndAndShowsVersionAgain) {
    auto device = ConnectCom();
    AnswerIdentity(device, {{0x11, 0x10, 0x34}, {0x41, 0x41, 0x10}});
    device->ClearWritten();
    infoText.SetWindowText(u"stale");
    clock.Advance(1001);
    Passes(2);
    DeviceSays(device, {0x01, 0x11, 0x10, 0x34, 0xF1});
    EXPECT_EQ(device->Written(), Bytes({0x27}));  // neither 0xF7 nor 0xF1 from the PC
    EXPECT_EQ(link->m_mode, ModeReady);
    EXPECT_EQ(infoText.GetWindowText(), u"KORVA MultiCopter PCU, F/W Version A16");
}

TEST_F(LinkProtocolTest, FullKeepAlive_ReadsEveryRecord) {
    auto device = ConnectCom();
    AnswerIdentity(device, {{0x11, 0x10, 0x34}, {0x41, 0x41, 0x10}});
    link->m_fullQuery = 1;  // as after a block write
    device->ClearWritten();
    clock.Advance(1001);
    Passes(2);
    DeviceSays(device, {0x02, 0x11, 0x10, 0x34});
    EXPECT_EQ(device->Written(), Bytes({0x27, 0xF7}));
    EXPECT_EQ(link->m_mode, ModeKeepAlive);
    DeviceSays(device, {0x41, 0x41, 0x11, 0xF1});
    EXPECT_EQ(infoText.GetWindowText(), u"KORVA MultiCopter PCU, F/W Version A17");
    EXPECT_EQ(link->m_fullQuery, 0);
}

TEST_F(LinkProtocolTest, DeviceSilentInTheQuery_GoesOfflineAfterOneSecond) {
    auto device = ConnectCom();
    Passes(2);
    clock.Advance(1001);
    link->WorkerPass();
    auto added = statusLog.AddedHistory();
    EXPECT_NE(std::find(added.begin(), added.end(), u"ESC off-lined."), added.end());
    EXPECT_EQ(infoText.TextHistory().at(infoText.TextHistory().size() - 2), u"Please select or reset COM port...");
    EXPECT_EQ(link->m_mode, ModeConnect);
}

TEST_F(LinkProtocolTest, MachineCalls_ArmTheSilenceRuleAndSwitchToDataReports) {
    OpenCom();
    link->m_hidReportId = 3;
    clock.Set(4242);
    const std::uint8_t greeting = 0x13;
    link->DispatchReceived(&greeting, 1);
    EXPECT_EQ(link->m_lastRxTick, 4242u);
    EXPECT_EQ(link->m_hidReportId, 1);
    EXPECT_EQ(link->m_rxByte, 0x13);
    link->DispatchReceived(&greeting, 0);  // nothing to hand over
    EXPECT_EQ(link->m_step, ConnectConfirm);
}

}  // namespace
