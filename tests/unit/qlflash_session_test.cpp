// qlflash's session on a link with the manual clock and the emulated PCU behind a virtual HID
// link adapter: the worker's passes run inside the session's rounds, so virtual time moves only
// as the session and the link sleep, and every verdict is reached in a few virtual seconds.
#include "tools/qlflash/session.h"

#include "emulator/hid_link_adapter.h"
#include "emulator/pcu.h"
#include "link/esc_link.h"
#include "link/memory_file.h"
#include "platform/sim/fake_hid.h"
#include "platform/sim/fake_serial.h"
#include "platform/sim/held_threads.h"
#include "platform/sim/manual_clock.h"
#include "support/captured_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace qlflash {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing_support::Contents;
using testing_support::LinesOf;

constexpr std::uint16_t kBlockSize = 64;
constexpr int kBlocks = 3;
constexpr std::uint32_t kPowerOnAfterMs = 100;
constexpr int kPassesPerRound = 10;

// An upgrade file of three 64-byte blocks (header: block size, header length 4).
Bytes ThreeBlockFile() {
    Bytes file{0x40, 0x00, 0x04, 0x00};
    for (int i = 0; i < kBlocks * kBlockSize; ++i) file.push_back(static_cast<std::uint8_t>(i * 7 + 3));
    return file;
}

// True when `expected` appear in `lines` in this order (others may come between).
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& expected) {
    auto at = lines.begin();
    for (const auto& line : expected) {
        at = std::find(at, lines.end(), line);
        if (at == lines.end()) return false;
        ++at;
    }
    return true;
}

emulator::PcuConfig DeviceConfig() {
    emulator::PcuConfig config;
    config.blockSize = kBlockSize;
    return config;
}

class QlflashSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(output, nullptr);
        ASSERT_NE(errors, nullptr);
        console = std::make_unique<Console>(output, errors, true);
    }
    void TearDown() override {
        if (link) link->SetWorkerRunning(false);
        link.reset();
    }

    // The device behind an adapter on the bus, and a link with the three-block image.
    void Build(emulator::PcuConfig config, bool plugged = true) {
        device = std::make_unique<emulator::Pcu>(std::move(config));
        adapter = std::make_unique<emulator::HidLinkAdapter>(*device);
        if (plugged) hid.Add(u"/dev/hidraw0")->AttachPeer(adapter.get());
        platform::Services services;
        services.clock = &clock;
        services.serialPorts = &serial;
        services.hidBus = &hid;
        services.threads = &threads;
        link = std::make_unique<ESCLink>(services);
        controls.AttachTo(*link);
        const Bytes file = ThreeBlockFile();
        MemoryFile in(file);
        ASSERT_TRUE(link->ReadUpgradeFile(&in));
    }

    // Selects USB0 and runs the session; the device powers on kPowerOnAfterMs into it, and
    // `eachRound` may change the world further.
    SessionResult Run(std::uint32_t waitSeconds, const std::function<void()>& eachRound = {}) {
        link->SelectPort(u"USB0");
        Session session(*link, controls, *console, clock);
        const platform::Tick start = clock.TickCount();
        return session.Run(waitSeconds, [&](platform::Tick now) {
            if (powerOnInSession && !device->Powered() && device->PowerOnCount() == 0 &&
                platform::TicksSince(start, now) >= kPowerOnAfterMs) {
                device->PowerOn(now);
            }
            if (eachRound) eachRound();
            for (int pass = 0; pass < kPassesPerRound; ++pass) link->WorkerPass();
        });
    }

    std::vector<std::string> OutputLines() { return LinesOf(Contents(output)); }
    std::string Errors() { return Contents(errors); }
    bool Logged(const std::u16string& line) const {
        const auto lines = controls.statusLog.AddedHistory();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    Bytes ImageData() const {
        const Bytes file = ThreeBlockFile();
        return Bytes(file.begin() + 4, file.end());
    }

    platform::sim::ManualClock clock;
    platform::sim::FakeSerialPorts serial{clock};
    platform::sim::FakeHidBus hid{clock};
    platform::sim::HeldThreads threads;
    std::unique_ptr<emulator::Pcu> device;
    std::unique_ptr<emulator::HidLinkAdapter> adapter;
    LinkControls controls;
    testing_support::CapturedStreams streams;
    std::FILE* output = streams.output;
    std::FILE* errors = streams.errors;
    std::unique_ptr<Console> console;
    std::unique_ptr<ESCLink> link;
    bool powerOnInSession = true;
};

TEST_F(QlflashSessionTest, DeviceThatAcceptsEveryBlock_CompletesWithTheImageInItsFlash) {
    Build(DeviceConfig());
    const auto result = Run(30);

    EXPECT_EQ(result.verdict, Verdict::Completed);
    EXPECT_EQ(result.message, "");
    EXPECT_EQ(device->Flash(), ImageData());
    EXPECT_TRUE(InOrder(OutputLines(), {"USB0 standby ready.", "ESC connected.",
                                        "KORVA MultiCopter PCU, F/W Version A16", "Writing...", "Completed."}))
        << Contents(output);
    // The information text is shown once per change, never empty.
    const auto lines = OutputLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Waiting... please connect then power on ESC."), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), ""), 0);
    // The bar ends full, on a line of its own.
    const std::string bar = Errors();
    EXPECT_NE(bar.find(ProgressBarText(kBlocks, kBlocks) + "\n"), std::string::npos) << bar;
}

TEST_F(QlflashSessionTest, DeviceThatRefusesABlockEveryTime_Fails) {
    auto config = DeviceConfig();
    config.refusals = {{1, 10}};
    Build(config);
    const auto result = Run(30);

    EXPECT_EQ(result.verdict, Verdict::Failed);
    EXPECT_NE(result.message.find("the update failed"), std::string::npos) << result.message;
    EXPECT_TRUE(InOrder(OutputLines(), {"Writing...", "Failed."}));
    EXPECT_EQ(device->AcceptedBlocks().size(), 1u);
}

TEST_F(QlflashSessionTest, DeviceThatRefusesABlockOnce_CompletesOnTheRetry) {
    auto config = DeviceConfig();
    config.refusals = {{2, 1}};
    Build(config);
    EXPECT_EQ(Run(30).verdict, Verdict::Completed);
    EXPECT_EQ(device->Flash(), ImageData());
}

// Both greetings: on the HID link a device that greets with 0xF7 connects without the
// "ESC connected." line.
class QlflashUnsupportedDeviceTest : public QlflashSessionTest, public ::testing::WithParamInterface<std::uint8_t> {};

TEST_P(QlflashUnsupportedDeviceTest, DeviceOfAnotherFamily_IsUnsupportedWithNothingWritten) {
    auto config = DeviceConfig();
    config.greeting = GetParam();
    config.records = {emulator::SignatureRecord(0x10, 0x35), emulator::VersionRecord('A', 16)};
    Build(config);
    const auto result = Run(30);

    EXPECT_EQ(result.verdict, Verdict::Unsupported);
    EXPECT_NE(result.message.find("not a supported KORVA device"), std::string::npos) << result.message;
    EXPECT_TRUE(device->Attempts().empty());
}

INSTANTIATE_TEST_SUITE_P(Greetings, QlflashUnsupportedDeviceTest,
                         ::testing::Values(emulator::code::kHello, emulator::code::kAck));

TEST_F(QlflashSessionTest, DeviceThatNeverPowersOn_TimesOutWaitingForItToConnect) {
    Build(DeviceConfig());
    powerOnInSession = false;
    const auto start = clock.TickCount();
    const auto result = Run(3);

    EXPECT_EQ(result.verdict, Verdict::TimedOut);
    EXPECT_NE(result.message.find("timed out after 3 s waiting for the device to connect on USB0"), std::string::npos)
        << result.message;
    EXPECT_GE(platform::TicksSince(start, clock.TickCount()), 3000u);
    EXPECT_FALSE(Logged(u"Writing..."));
}

TEST_F(QlflashSessionTest, DeviceLostDuringTheUpdateAndPoweredOnAgain_CompletesWithEveryBlockOnce) {
    auto config = DeviceConfig();
    config.powerCut = emulator::PowerCut{100, std::nullopt};  // inside the second block
    Build(config);
    bool repowered = false;
    const auto result = Run(30, [&] {
        // As a person would: after the link says the device is gone, power it on again.
        if (!repowered && Logged(u"ESC off-lined.")) {
            device->PowerOn(clock.TickCount());
            repowered = true;
        }
    });

    EXPECT_TRUE(repowered);
    EXPECT_EQ(result.verdict, Verdict::Completed);
    EXPECT_EQ(device->Flash(), ImageData());
    EXPECT_TRUE(InOrder(OutputLines(), {"Writing...", "ESC off-lined.", "ESC connected.", "Completed."}))
        << Contents(output);
}

TEST_F(QlflashSessionTest, DeviceLostDuringTheUpdateForGood_TimesOutWaitingForTheUpdate) {
    auto config = DeviceConfig();
    config.powerCut = emulator::PowerCut{100, std::nullopt};
    Build(config);
    const auto result = Run(5);

    EXPECT_EQ(result.verdict, Verdict::TimedOut);
    EXPECT_NE(result.message.find("waiting for the update to finish"), std::string::npos) << result.message;
    EXPECT_TRUE(Logged(u"ESC off-lined."));
}

TEST_F(QlflashSessionTest, NoAdapterToOpen_EndsAtOnceAsPortUnavailable) {
    Build(DeviceConfig(), false);
    const auto start = clock.TickCount();
    const auto result = Run(30);

    EXPECT_EQ(result.verdict, Verdict::PortUnavailable);
    EXPECT_EQ(result.message, "cannot open port USB0");
    EXPECT_TRUE(InOrder(OutputLines(), {"Can not open USB0."}));
    // Well before the wait runs out.
    EXPECT_LT(platform::TicksSince(start, clock.TickCount()), 30000u);
}

}  // namespace
}  // namespace qlflash
