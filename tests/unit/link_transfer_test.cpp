// Firmware transfer and memory read: whole downloads against the emulated PCU (the device's flash
// must equal the image), refusals and retries, a device lost in the middle of a block, and the
// byte-level edge cases against a scripted device.
#include "emulator/hid_link_adapter.h"
#include "emulator/pcu.h"
#include "emulator/serial_line.h"
#include "link/memory_file.h"
#include "support/link_fixture.h"

#include <gmock/gmock.h>

#include <functional>

using namespace testing_support;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using Event = platform::CProgressCtrl::Event;

// An upgrade file of `blocks` blocks of `blockSize` bytes with distinct contents.
Bytes MakeUpgradeFile(std::uint16_t blockSize, int blocks) {
    Bytes file = {static_cast<std::uint8_t>(blockSize & 0xFF), static_cast<std::uint8_t>(blockSize >> 8), 9, 0,
                  0x10, 0x34, 0x10, 0x02, 0x05};
    for (int i = 0; i < blockSize * blocks; ++i) file.push_back(static_cast<std::uint8_t>((i * 31 + i / 7) & 0xFF));
    return file;
}

Bytes ImageOf(const Bytes& file) { return Bytes(file.begin() + 9, file.end()); }

class TransferTest : public LinkFixture {
protected:
    TransferTest() { AttachControls(); }

    static emulator::PcuConfig DeviceFor(std::uint16_t blockSize, std::vector<emulator::BlockRefusal> refusals = {}) {
        emulator::PcuConfig config;
        config.blockSize = blockSize;
        config.refusals = std::move(refusals);
        return config;
    }

    void Load(const Bytes& file) {
        MemoryFile memory(file);
        ASSERT_TRUE(link->ReadUpgradeFile(&memory));
    }

    // Runs worker passes until `done` holds; false after `limit` passes.
    bool RunUntil(const std::function<bool()>& done, int limit = 200000) {
        for (int pass = 0; pass < limit; ++pass) {
            if (done()) return true;
            link->WorkerPass();
        }
        return done();
    }

    bool Logged(const std::u16string& line) const {
        auto added = statusLog.AddedHistory();
        return std::find(added.begin(), added.end(), line) != added.end();
    }

    // A powered emulated PCU on COM3, connected and identified.
    void ConnectEmulatedCom(emulator::Pcu& device, emulator::SerialLine& line) {
        serial.Add(u"COM3")->AttachPeer(&line);
        NamePort(u"COM3", false);
        link->ResetLink();
        ASSERT_TRUE(link->OpenPort());
        device.PowerOn(clock.TickCount());
        ASSERT_TRUE(RunUntil([&] { return lineLabel.GetWindowText() == u"On-line"; }));
    }

    void ExpectCompleted(int blocks) {
        EXPECT_TRUE(Logged(u"Completed."));
        EXPECT_EQ(updateButton.GetWindowText(), u"Exit");
        EXPECT_EQ(window.Posted().back(), LinkState(1, 1));
        std::vector<Event> expected = {{Event::SetRange, 0, blocks - 1}};
        for (int i = 1; i <= blocks; ++i) expected.push_back({Event::SetPos, i, 0});
        auto history = progress.History();
        history.erase(history.begin(), std::find_if(history.begin(), history.end(),
                                                    [](const Event& e) { return e.kind == Event::SetRange; }));
        EXPECT_EQ(history, expected);
    }
};

TEST_F(TransferTest, BuiltInSizedImageOverCom_WritesEveryBlockOnceAndCompletes) {
    const auto file = MakeUpgradeFile(516, 5);
    Load(file);
    emulator::Pcu device;
    emulator::SerialLine line(device);
    ConnectEmulatedCom(device, line);
    window.Clear();
    ASSERT_TRUE(link->StartDownload());
    EXPECT_EQ(window.Posted().front(), LinkState(0, 0));
    ASSERT_TRUE(RunUntil([&] { return Logged(u"Completed."); }));
    EXPECT_EQ(device.Flash(), ImageOf(file));
    EXPECT_EQ(device.Attempts().size(), 5u);
    ExpectCompleted(5);
    EXPECT_THAT(Log(), ElementsAre(u"COM3 standby ready.", u"ESC connected.", u"Writing...", u"Completed."));
}

TEST_F(TransferTest, BuiltInSizedImageOverHidLink_WritesTheSameFlash) {
    const auto file = MakeUpgradeFile(516, 5);
    Load(file);
    emulator::PcuConfig config;
    config.greeting = 0xF7;
    emulator::Pcu device(config);
    emulator::HidLinkAdapter adapter(device);
    hid.Add(u"/dev/hidraw0")->AttachPeer(&adapter);
    link->SelectPort(u"USB0");
    ASSERT_TRUE(RunUntil([&] { return adapter.SetUp(); }));
    device.PowerOn(clock.TickCount());
    ASSERT_TRUE(RunUntil([&] { return lineLabel.GetWindowText() == u"On-line"; }));
    ASSERT_TRUE(link->StartDownload());
    ASSERT_TRUE(RunUntil([&] { return Logged(u"Completed."); }));
    EXPECT_EQ(device.Flash(), ImageOf(file));
    ExpectCompleted(5);
}

TEST_F(TransferTest, BlockRefusedOnce_IsSentAgainWithPausesUntilAccepted) {
    const auto file = MakeUpgradeFile(64, 3);
    Load(file);
    auto config = DeviceFor(64, {{1, 1}});
    emulator::Pcu device(config);
    emulator::SerialLine line(device);
    ConnectEmulatedCom(device, line);
    ASSERT_TRUE(link->StartDownload());
    ASSERT_TRUE(RunUntil([&] { return link->m_pauseAfterWrite == 1; }));
    ASSERT_EQ(device.Attempts().size(), 2u);
    EXPECT_FALSE(device.Attempts()[1].accepted);
    EXPECT_EQ(link->m_retriesLeft, 2);
    // Every write of the retry is followed by the pause: a 1 ms sleep right after each write.
    clock.ClearSleeps();
    ASSERT_TRUE(RunUntil([&] { return device.Attempts().size() == 3; }));
    auto sleeps = clock.Sleeps();
    EXPECT_GE(std::count(sleeps.begin(), sleeps.end(), 1u), 2 * 5);
    ASSERT_TRUE(RunUntil([&] { return Logged(u"Completed."); }));
    EXPECT_EQ(link->m_retriesLeft, 3);
    EXPECT_EQ(link->m_pauseAfterWrite, 0);
    EXPECT_EQ(device.Flash(), ImageOf(file));
    const auto attempts = device.Attempts();
    ASSERT_EQ(attempts.size(), 4u);
    EXPECT_EQ(attempts[1].bytes, attempts[2].bytes) << "the refused block is sent again from its start";
}

TEST_F(TransferTest, LastBlockRefusedOnce_CompletesOnlyWhenAccepted) {
    const auto file = MakeUpgradeFile(32, 2);
    Load(file);
    auto config = DeviceFor(32, {{1, 1}});
    emulator::Pcu device(config);
    emulator::SerialLine line(device);
    ConnectEmulatedCom(device, line);
    ASSERT_TRUE(link->StartDownload());
    ASSERT_TRUE(RunUntil([&] { return device.Attempts().size() == 2; }));
    link->WorkerPass();  // the refusal is read
    EXPECT_EQ(link->m_blocksLeft, 1);
    EXPECT_FALSE(Logged(u"Completed."));
    ASSERT_TRUE(RunUntil([&] { return Logged(u"Completed."); }));
    EXPECT_EQ(device.Attempts().size(), 3u);
    EXPECT_EQ(device.Flash(), ImageOf(file));
}

TEST_F(TransferTest, BlockRefusedFourTimes_FailsAndSendsNoFurtherBlock) {
    const auto file = MakeUpgradeFile(32, 3);
    Load(file);
    emulator::PcuConfig config;
    config.blockSize = 32;
    config.greeting = 0xF7;
    config.refusals = {{1, 4}};
    emulator::Pcu device(config);
    emulator::HidLinkAdapter adapter(device);
    hid.Add(u"/dev/hidraw0")->AttachPeer(&adapter);
    link->SelectPort(u"USB0");
    device.PowerOn(clock.TickCount());
    ASSERT_TRUE(RunUntil([&] { return lineLabel.GetWindowText() == u"On-line"; }));
    window.Clear();
    ASSERT_TRUE(link->StartDownload());
    ASSERT_TRUE(RunUntil([&] { return Logged(u"Failed."); }));
    RunUntil([] { return false; }, 3000);  // time for anything that should not happen
    EXPECT_EQ(link->m_blocksLeft, 0);
    EXPECT_EQ(device.Attempts().size(), 5u);  // block 0, then block 1 four times
    EXPECT_EQ(device.AbortsReceived(), 1u);   // 0x7C on the HID link
    EXPECT_EQ(device.AcceptedBlocks().size(), 1u);
    EXPECT_NE(updateButton.GetWindowText(), u"Exit");
    EXPECT_THAT(window.Posted(), ::testing::Not(::testing::Contains(LinkState(1, 1))));
    EXPECT_EQ(progress.GetPos(), 1);
}

TEST_F(TransferTest, DeviceLostInTheMiddleOfABlock_WritesThatBlockAgainAfterReconnecting) {
    const auto file = MakeUpgradeFile(64, 4);
    Load(file);
    emulator::PcuConfig config;
    config.blockSize = 64;
    // Power fails inside block 2 (each block is 1 + 3 + 62 bytes from the PC after the
    // handshake byte and the identity query's bytes) and comes back once the link has taken
    // it off line and reopened the port.
    config.powerCut = emulator::PowerCut{1 + 2 + 66 * 2 + 20, 1500};
    emulator::Pcu device(config);
    emulator::SerialLine line(device);
    ConnectEmulatedCom(device, line);
    ASSERT_TRUE(link->StartDownload());
    ASSERT_TRUE(RunUntil([&] { return Logged(u"ESC off-lined."); }));
    ASSERT_TRUE(RunUntil([&] { return Logged(u"Completed."); }));
    EXPECT_EQ(device.PowerOnCount(), 2u);
    EXPECT_EQ(device.Flash(), ImageOf(file)) << "no block may be missing from the device";
}

TEST_F(TransferTest, NoImage_PostsOnlyTheStartAndRefuses) {
    ConnectCom();
    window.Clear();
    EXPECT_FALSE(link->StartDownload());
    Passes(5);
    EXPECT_THAT(window.Posted(), ElementsAre(LinkState(0, 0)));
}

TEST_F(TransferTest, LinkBusyForHalfASecond_ClaimFailsAndTellsTheWindowToTryAgain) {
    Load(MakeUpgradeFile(32, 1));
    OpenCom();  // ModeConnect: never ModeReady while the device is silent
    window.Clear();
    const auto start = clock.TickCount();
    EXPECT_FALSE(link->StartDownload());
    EXPECT_GT(clock.TickCount() - start, 500u);
    EXPECT_THAT(window.Posted(), ElementsAre(LinkState(0, 0), LinkState(1, 0)));
    EXPECT_FALSE(link->StartRead());
    EXPECT_EQ(link->m_mode, ModeConnect);
}

TEST_F(TransferTest, ImageWithoutWholeBlock_StartsButWritesAndCompletesNothing) {
    Load({0x04, 0x00, 0x04, 0x00});
    auto device = ConnectCom();
    Passes(2);
    DeviceSays(device, {0x01, 0x11, 0x10, 0x34, 0xF1});
    device->ClearWritten();
    EXPECT_TRUE(link->StartDownload());
    Passes(10);
    EXPECT_THAT(device->Written(), IsEmpty());
    EXPECT_FALSE(Logged(u"Completed."));
}

class ScriptedTransferTest : public TransferTest {
protected:
    // A connected, identified COM device and a loaded image of 8-byte blocks; the first block
    // is opened (0x62 written).
    std::shared_ptr<platform::sim::FakeSerialDevice> OpenFirstBlock() {
        Load(MakeUpgradeFile(8, 2));
        auto device = ConnectCom();
        Passes(2);
        DeviceSays(device, {0x01, 0x11, 0x10, 0x34, 0xF1});
        device->ClearWritten();
        EXPECT_TRUE(link->StartDownload());
        Passes(2);
        EXPECT_EQ(device->Written(), Bytes({0x62}));
        device->ClearWritten();
        return device;
    }
};

TEST_F(ScriptedTransferTest, HeaderBytesGoOnePerAckAndTheBodyInOneBurst) {
    auto device = OpenFirstBlock();
    const auto image = ImageOf(MakeUpgradeFile(8, 2));
    DeviceSays(device, {0xF7});
    DeviceSays(device, {0xF7});
    DeviceSays(device, {0xF7});
    EXPECT_EQ(device->Writes(), (std::vector<Bytes>{{0x81}, {image[0]}, {image[1]}}));
    device->ClearWritten();
    DeviceSays(device, {0xF7});
    DeviceSays(device, {0xF7});  // a second acknowledgement sends the body again
    EXPECT_EQ(device->Writes(), (std::vector<Bytes>{Bytes(image.begin() + 2, image.begin() + 8),
                                                    Bytes(image.begin() + 2, image.begin() + 8)}));
}

TEST_F(ScriptedTransferTest, AckAfterTheBlockWasAbandoned_SendsNothing) {
    auto device = OpenFirstBlock();
    DeviceSays(device, {0xF7});
    DeviceSays(device, {0x55});  // not an acknowledgement: the block is abandoned
    EXPECT_EQ(link->m_pXfer, nullptr);
    device->ClearWritten();
    DeviceSays(device, {0xF7});
    EXPECT_THAT(device->Written(), IsEmpty());
    EXPECT_EQ(link->m_mode, ModeWrite);
}

TEST_F(ScriptedTransferTest, MemoryRead_CollectsHeaderAndDataThenEnds) {
    auto device = ConnectCom();
    Passes(2);
    DeviceSays(device, {0x01, 0x11, 0x10, 0x34, 0xF1});
    device->ClearWritten();
    ASSERT_TRUE(link->StartRead());
    link->WorkerPass();
    DeviceSays(device, {0xF7});
    EXPECT_EQ(device->Written(), Bytes({0x86, 0x82}));
    DeviceSays(device, {0x65, 0x01, 0x02, 0x03, 0x00, 0x03, 0xAA, 0xBB, 0xCC});
    EXPECT_EQ(link->m_mode, ModeRead) << "the byte after the data ends the read";
    EXPECT_EQ(link->m_params, (std::array<std::uint8_t, 5>{0x01, 0x02, 0x03, 0x00, 0x03}));
    DeviceSays(device, {0xF1});
    EXPECT_EQ(link->m_mode, ModeReady);
    EXPECT_EQ(Bytes(link->m_pXfer.get(), link->m_pXfer.get() + 3), Bytes({0xAA, 0xBB, 0xCC}));
}

TEST_F(ScriptedTransferTest, MemoryReadOfLengthZero_EndsOnTheFirstByteAfterTheHeader) {
    auto device = ConnectCom();
    Passes(2);
    DeviceSays(device, {0x01, 0x11, 0x10, 0x34, 0xF1});
    ASSERT_TRUE(link->StartRead());
    DeviceSays(device, {0x65, 0x00, 0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ(link->m_mode, ModeRead);
    DeviceSays(device, {0x99});
    EXPECT_EQ(link->m_mode, ModeReady);
}

// A link whose buffers cannot be had.
class StarvedLink : public ESCLink {
public:
    using ESCLink::ESCLink;
    bool starved = false;

protected:
    std::unique_ptr<std::uint8_t[]> AllocateBuffer(std::size_t size) override {
        return starved ? nullptr : ESCLink::AllocateBuffer(size);
    }
};

TEST(StarvedLinkTest, ReadBufferUnavailable_EndsTheReadWithoutStoring) {
    platform::sim::ManualClock clock;
    platform::sim::FakeSerialPorts serial(clock);
    platform::sim::FakeHidBus hid(clock);
    platform::sim::HeldThreads threads;
    StarvedLink link(platform::Services{&clock, &serial, &hid, &threads});
    link.m_command = CmdRead;
    link.m_mode = ModeRead;
    link.m_step = ReadStart;
    link.RunRead(nullptr);
    link.starved = true;
    const Bytes reply = {0x65, 0x00, 0x00, 0x00, 0x10, 0x00, 0xAA};
    link.DispatchReceived(reply.data(), static_cast<int>(reply.size()));
    EXPECT_EQ(link.m_mode, ModeReady);
    EXPECT_EQ(link.m_pXfer, nullptr);
}

TEST(StarvedLinkTest, BlockBufferUnavailable_LeavesTheBlockForALaterPass) {
    platform::sim::ManualClock clock;
    platform::sim::FakeSerialPorts serial(clock);
    platform::sim::FakeHidBus hid(clock);
    platform::sim::HeldThreads threads;
    StarvedLink link(platform::Services{&clock, &serial, &hid, &threads});
    const auto file = MakeUpgradeFile(16, 2);
    MemoryFile memory(file);
    ASSERT_TRUE(link.ReadUpgradeFile(&memory));
    link.m_mode = ModeReady;
    link.m_identifyPending = 0;
    link.m_lastIoTick = clock.TickCount();
    ASSERT_TRUE(link.StartDownload());
    link.starved = true;
    link.WorkerPass();
    EXPECT_EQ(link.m_blocksLeft, 2);
    EXPECT_EQ(link.m_mode, ModeReady);
    link.starved = false;
    link.WorkerPass();
    EXPECT_EQ(link.m_blocksLeft, 1);
    EXPECT_EQ(link.m_mode, ModeWrite);
}

}  // namespace
