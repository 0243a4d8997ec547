// The link core: reset, open and close with their texts, the worker's order of work, the
// silence rule, the keep-alive timing, echo cancelling and the transmit queue.
#include "support/link_fixture.h"

#include <gmock/gmock.h>

using namespace testing_support;
using platform::sim::SerialFault;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class LinkCoreTest : public LinkFixture {
protected:
    LinkCoreTest() { AttachControls(); }

    // Runs the identity query of a just-connected COM device to its end (ModeReady, version shown).
    void Identify(const std::shared_ptr<platform::sim::FakeSerialDevice>& device) {
        Passes(2);  // start the query, write 0x27
        DeviceSays(device, {0x02, 0x11, 0x10, 0x34});
        DeviceSays(device, {0x41, 0x41, 0x10, 0xF1});
        ASSERT_EQ(link->m_mode, ModeReady);
        ASSERT_EQ(link->m_identifyPending, 0);
        device->ClearWritten();
    }

    bool WentOffline() const {
        auto added = statusLog.AddedHistory();
        return std::find(added.begin(), added.end(), u"ESC off-lined.") != added.end();
    }
};

TEST_F(LinkCoreTest, ConstructedLink_IsOfflineAndTouchesNothing) {
    EXPECT_EQ(link->m_mode, ModeOffline);
    EXPECT_FALSE(link->m_hPort.IsOpen());
    EXPECT_EQ(link->m_identifyPending, 1);
    EXPECT_EQ(link->m_fullQuery, 1);
    EXPECT_EQ(link->m_retriesLeft, 3);
    EXPECT_EQ(threads.Started(), 0);
}

TEST_F(LinkCoreTest, ResetLinkWithoutPortName_ChangesNoTextButPostsAndReturnsFalse) {
    EXPECT_FALSE(link->ResetLink());
    EXPECT_THAT(window.Posted(), ElementsAre(LinkState(0, 0)));
    EXPECT_THAT(lineLabel.TextHistory(), IsEmpty());
    EXPECT_THAT(infoText.TextHistory(), IsEmpty());
}

TEST_F(LinkCoreTest, ResetLinkWithPortName_SetsWaitingTextsAndEmptiesQueueAndLog) {
    statusLog.AddString(u"old line");
    statusLog.SetAnchorIndex(1);
    NamePort(u"COM3", false);
    link->QueueByte(0x55);
    link->m_echoCancel = 1;
    EXPECT_TRUE(link->ResetLink());
    EXPECT_THAT(Log(), IsEmpty());
    EXPECT_EQ(lineLabel.GetWindowText(), u"Off-line");
    EXPECT_EQ(infoText.GetWindowText(), u"Waiting... please connect then power on ESC.");
    EXPECT_EQ(link->m_txCount, 0);
    EXPECT_EQ(link->m_echoCancel, 0);
    EXPECT_THAT(progress.History(), ElementsAre(platform::CProgressCtrl::Event{platform::CProgressCtrl::Event::SetPos, 0, 0}));
}

TEST_F(LinkCoreTest, OpenComPort_LogsStandbyLabelsResetButtonAndStartsWorker) {
    auto device = OpenCom(u"COM12");
    EXPECT_EQ(link->m_mode, ModeConnect);
    EXPECT_THAT(Log(), ElementsAre(u"COM12 standby ready."));
    EXPECT_EQ(resetButton.GetWindowText(), u"COM12 Reset");
    EXPECT_TRUE(resetButton.IsWindowEnabled());
    EXPECT_EQ(threads.Started(), 1);
    EXPECT_THAT(serial.OpenedNames(), ElementsAre(u"COM12"));
    // The port is set to 19200 8N1 with DTR, RTS and XON/XOFF off, and purged.
    const auto settings = device->Settings();
    EXPECT_EQ(settings.baudRate, 19200u);
    EXPECT_EQ(settings.dataBits, 8);
    EXPECT_EQ(settings.parity, platform::Parity::None);
    EXPECT_EQ(settings.stopBits, platform::StopBits::One);
    EXPECT_FALSE(settings.dtrOn || settings.rtsOn || settings.xonXoffIn || settings.xonXoffOut);
    EXPECT_EQ(device->EventMask(), platform::EV_RXCHAR | platform::EV_RXFLAG);
    EXPECT_EQ(device->PurgeCount(), 1);
}

TEST_F(LinkCoreTest, SecondOpen_ReusesTheRunningWorker) {
    OpenCom();
    link->ResetLink();
    EXPECT_TRUE(link->OpenPort());
    EXPECT_EQ(threads.Started(), 1);
}

TEST_F(LinkCoreTest, ComPortThatFails_LogsCanNotOpenAndStaysClosed) {
    const SerialFault faults[] = {SerialFault::OpenFails, SerialFault::GetSettingsFails,
                                  SerialFault::SetSettingsFails, SerialFault::IoRecordFails};
    for (auto fault : faults) {
        SCOPED_TRACE(static_cast<int>(fault));
        auto device = serial.Add(u"COM3");
        device->Set(fault);
        NamePort(u"COM3", false);
        link->ResetLink();
        EXPECT_FALSE(link->OpenPort());
        EXPECT_THAT(Log(), ElementsAre(u"Can not open COM3."));
        EXPECT_FALSE(link->m_hPort.IsOpen());
        EXPECT_FALSE(device->IsOpen());
        EXPECT_EQ(link->m_mode, ModeOffline);
        EXPECT_FALSE(resetButton.IsWindowEnabled());
        device->Set(fault, false);
    }
    EXPECT_EQ(threads.Started(), 0);
}

TEST_F(LinkCoreTest, HidLinkWithoutAdapter_TriesFifteenTimesThenCanNotOpenUsb0) {
    NamePort(u"USB0", true);
    link->ResetLink();
    clock.ClearSleeps();
    EXPECT_FALSE(link->OpenPort());
    EXPECT_EQ(clock.Sleeps(), std::vector<std::uint32_t>(15, 200));
    EXPECT_THAT(Log(), ElementsAre(u"Can not open USB0."));
    EXPECT_FALSE(resetButton.IsWindowEnabled());
    EXPECT_EQ(threads.Started(), 0);
}

TEST_F(LinkCoreTest, HidAdapterAppearingDuringAttempts_IsOpened) {
    auto adapter = hid.Add(u"/dev/hidraw0");
    adapter->Set(platform::sim::HidFault::HeldElsewhere);
    NamePort(u"USB0", true);
    link->ResetLink();
    clock.ClearSleeps();
    // The other program lets go of it while the link waits after its third attempt.
    clock.OnSleep([&](std::size_t sleeps) {
        if (sleeps == 3) adapter->Set(platform::sim::HidFault::HeldElsewhere, false);
    });
    EXPECT_TRUE(link->OpenPort());
    clock.OnSleep(nullptr);
    EXPECT_EQ(clock.Sleeps(), std::vector<std::uint32_t>(3, 200));
    EXPECT_THAT(Log(), ElementsAre(u"USB0 standby ready."));
    EXPECT_EQ(link->m_inputReportLength, 65);
    EXPECT_EQ(link->m_outputReportLength, 65);
}

TEST_F(LinkCoreTest, ClosePort_GoesOfflineAndClearsHidCaps) {
    OpenHid();
    EXPECT_TRUE(link->ClosePort());
    EXPECT_EQ(link->m_mode, ModeOffline);
    EXPECT_EQ(link->m_inputReportLength, 0);
    EXPECT_EQ(link->m_outputReportLength, 0);
    EXPECT_EQ(link->ReadPort(link->m_rxBuffer.data()), 0u);
    link->m_txCount = 1;
    EXPECT_EQ(link->WritePort(link->m_txBuffer.data()), 0u);
    EXPECT_EQ(link->m_ioBusy, 0);
}

TEST_F(LinkCoreTest, AppendStatusWithoutText_ClearsEveryLine) {
    for (auto line : {u"a", u"b", u"c"}) ESCLink::AppendStatus(line, &statusLog);
    EXPECT_EQ(statusLog.GetCount(), 3);
    ESCLink::AppendStatus(nullptr, &statusLog);
    EXPECT_EQ(statusLog.GetCount(), 0);
    ESCLink::AppendStatus(u"d", &statusLog);
    EXPECT_THAT(Log(), ElementsAre(u"d"));
    ESCLink::AppendStatus(u"ignored", nullptr);  // no list box: nothing happens
}

TEST_F(LinkCoreTest, SilenceRule_ExactlyOneSecondIsFineOneMoreGoesOffline) {
    auto device = OpenCom();
    device->Deliver({0x13});
    link->WorkerPass();  // greeting read: the rule is armed
    const auto armed = link->m_lastRxTick;
    ASSERT_NE(armed, 0u);
    link->WorkerPass();  // 0xF7 written
    clock.Set(armed + 999);
    link->WorkerPass();  // the pass's own 1 ms makes it exactly 1000
    EXPECT_FALSE(WentOffline());
    EXPECT_EQ(link->m_mode, ModeConnect);
    window.Clear();
    link->WorkerPass();  // 1001
    EXPECT_TRUE(WentOffline());
    // The sequence reopens the port: waiting texts again, and a fresh standby line.
    EXPECT_EQ(window.Posted().front(), LinkState(0, 0));
    EXPECT_EQ(lineLabel.GetWindowText(), u"Off-line");
    EXPECT_EQ(infoText.GetWindowText(), u"Waiting... please connect then power on ESC.");
    EXPECT_THAT(Log(), ElementsAre(u"COM3 standby ready."));
    EXPECT_EQ(link->m_mode, ModeConnect);
    EXPECT_EQ(link->m_lastRxTick, 0u);
    EXPECT_EQ(device->OpenCount(), 2);
}

TEST_F(LinkCoreTest, SilenceRule_TickWrapRestartsTheCount) {
    auto device = OpenCom();
    clock.Set(0xFFFFFF00u);
    device->Deliver({0x13});
    Passes(2);
    clock.Set(5);  // wrapped
    link->WorkerPass();
    EXPECT_EQ(link->m_lastRxTick, 6u);
    EXPECT_FALSE(WentOffline());
    clock.Set(6 + 999);
    link->WorkerPass();
    EXPECT_FALSE(WentOffline());
    link->WorkerPass();
    EXPECT_TRUE(WentOffline());
}

TEST_F(LinkCoreTest, SilenceRule_NotArmedBeforeTheFirstByte) {
    OpenCom();
    clock.Advance(60'000);
    Passes(3);
    EXPECT_FALSE(WentOffline());
    EXPECT_EQ(link->m_mode, ModeConnect);
}

TEST_F(LinkCoreTest, KeepAlive_StartsOnlyAfterMoreThanOneSecondWithoutTraffic) {
    auto device = ConnectCom();
    Identify(device);
    clock.Set(link->m_lastIoTick + 999);
    link->WorkerPass();  // exactly 1000 ms since the last traffic
    EXPECT_EQ(link->m_mode, ModeReady);
    EXPECT_EQ(link->m_txCount, 0);
    link->WorkerPass();  // 1001
    EXPECT_EQ(link->m_mode, ModeKeepAlive);
    link->WorkerPass();
    EXPECT_EQ(device->Written(), Bytes({0x27}));
}

TEST_F(LinkCoreTest, ReadyWithImageAndDisabledUpdate_PostsReadyOnEveryQuietPassUntilEnabled) {
    auto device = ConnectCom();
    Identify(device);
    link->m_pImage = std::make_unique<std::uint8_t[]>(4);
    updateButton.EnableWindow(false);
    window.Clear();
    Passes(3);
    EXPECT_THAT(window.Posted(), ElementsAre(LinkState(1, 0), LinkState(1, 0), LinkState(1, 0)));
    updateButton.EnableWindow(true);
    window.Clear();
    Passes(3);
    EXPECT_THAT(window.Posted(), IsEmpty());
}

TEST_F(LinkCoreTest, EchoCancelling_DropsOwnEchoAcrossReads) {
    auto device = OpenCom();
    link->m_mode = ModeIdentify;
    link->m_step = QueryListen;
    link->m_recordCount = 0;
    link->m_echoCancel = 1;
    link->m_echoPending = 3;
    device->Deliver({0xF7, 0x27});
    link->WorkerPass();
    EXPECT_EQ(link->m_echoPending, 1);
    EXPECT_EQ(link->m_recordCount, 0);  // nothing dispatched
    device->Deliver({0x55, 0x02, 0x11, 0x10});
    link->WorkerPass();
    EXPECT_EQ(link->m_echoPending, 0);
    EXPECT_EQ(link->m_recordCount, 2);  // 0x55 dropped, 0x02 taken as the count
    EXPECT_EQ(link->m_step, QueryRecord);
    EXPECT_EQ(link->m_deviceSignature[0], 0x11);
    EXPECT_EQ(link->m_deviceSignature[1], 0x10);
}

TEST_F(LinkCoreTest, Worker_ReceivedBytesComeBeforeQueuedBytesBeforeIdleWork) {
    auto device = OpenCom();
    link->QueueByte(0x99);
    device->Deliver({0x13});
    link->WorkerPass();  // reads and answers; nothing written yet
    EXPECT_THAT(device->Written(), IsEmpty());
    EXPECT_EQ(link->m_txCount, 2);
    link->WorkerPass();
    EXPECT_EQ(device->Written(), Bytes({0x99, 0xF7}));
}

TEST_F(LinkCoreTest, BytesQueuedWhileABurstIsPartlyWritten_GoAfterTheUnwrittenBytes) {
    auto device = OpenCom();
    device->Set(SerialFault::WriteSendsPart);
    device->SetPartialWriteLimit(2);
    for (std::uint8_t b : {0x01, 0x02, 0x03, 0x04, 0x05}) link->QueueByte(b);
    link->WorkerPass();
    EXPECT_EQ(link->m_txOffset, 2);
    link->QueueByte(0x06);  // an answer queued between two parts of the burst
    Passes(3);
    EXPECT_EQ(device->Written(), Bytes({0x01, 0x02, 0x03, 0x04, 0x05, 0x06}));
    EXPECT_EQ(link->m_txCount, 0);
    EXPECT_EQ(link->m_txOffset, 0);
}

TEST_F(LinkCoreTest, WriteThatSendsNothing_LeavesTheQueueForALaterPass) {
    auto device = OpenCom();
    device->Set(SerialFault::WriteSendsNothing);
    link->QueueByte(0x27);
    Passes(3);
    EXPECT_EQ(link->m_txCount, 1);
    device->Set(SerialFault::WriteSendsNothing, false);
    link->WorkerPass();
    EXPECT_EQ(device->Written(), Bytes({0x27}));
    EXPECT_EQ(link->m_txCount, 0);
}

TEST_F(LinkCoreTest, PortThatNeverTakesTheQueue_StillGoesOfflineAfterOneSecond) {
    auto device = ConnectCom();
    Passes(1);  // the identity query is queued: the machine call armed the silence rule
    device->Set(SerialFault::WriteSendsNothing);
    const auto armed = link->m_lastRxTick;
    clock.Set(armed + 999);
    link->WorkerPass();
    EXPECT_FALSE(WentOffline());
    link->WorkerPass();
    EXPECT_TRUE(WentOffline());
}

TEST(WorkerLoopTest, WithoutALink_EndsWithExitCodeTwo) {
    EXPECT_EQ(ESCLink::WorkerLoop(nullptr), kWorkerExitNoLink);
}

}  // namespace
