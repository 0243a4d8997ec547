// The link engine's real worker and POSIX serial code against the emulated PCU on a
// pseudo-terminal: connect, identify, stay on line through keep-alives, lose the device
// and reopen the port.
#include "link/esc_link.h"
#include "platform/controls.h"
#include "platform/sim/recording_window.h"
#include "support/emulator_process.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

using namespace testing_support;

bool Contains(const std::vector<std::u16string>& lines, const std::u16string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class LinkOnPtyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(emulator.Start({}));
        const auto first = emulator.ReadLine();
        ASSERT_TRUE(first && first->rfind("PTY /dev/", 0) == 0) << (first ? *first : "no output");
        portName = first->substr(std::string("PTY /dev/").size());
        ASSERT_LE(portName.size(), 7u) << "port names have at most 7 characters";

        link = std::make_unique<ESCLink>();
        link->m_pInfoText = &infoText;
        link->m_pLineLabel = &lineLabel;
        link->m_pStatusLog = &statusLog;
        link->m_pResetButton = &resetButton;
        link->m_hMainWnd = &window;
        for (std::size_t i = 0; i < portName.size(); ++i) link->m_portName[i] = static_cast<char16_t>(portName[i]);
        link->m_useHidLink = 0;
        link->ResetLink();
        ASSERT_TRUE(link->OpenPort());
    }

    void TearDown() override {
        if (link) link->SetWorkerRunning(false);
        link.reset();
    }

    std::u16string Name() const { return std::u16string(portName.begin(), portName.end()); }

    EmulatorProcess emulator;
    std::string portName;
    platform::CStatic infoText;
    platform::CStatic lineLabel;
    platform::CListBox statusLog;
    platform::CButton resetButton;
    platform::sim::RecordingWindow window;
    std::unique_ptr<ESCLink> link;
};

TEST_F(LinkOnPtyTest, PoweredDevice_ConnectsIdentifiesAndStaysOnLineThroughKeepAlives) {
    EXPECT_EQ(statusLog.Lines(), std::vector<std::u16string>{Name() + u" standby ready."});
    EXPECT_EQ(resetButton.GetWindowText(), Name() + u" Reset");

    ASSERT_TRUE(emulator.Command("on"));
    ASSERT_TRUE(emulator.AwaitLine("POWER ON"));
    const auto greeted = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitFor([&] { return infoText.GetWindowText() == u"KORVA MultiCopter PCU, F/W Version A16"; }));
    const auto shown = std::chrono::steady_clock::now();
    const auto latency = std::chrono::duration_cast<std::chrono::milliseconds>(shown - greeted).count();
    RecordProperty("greeting_to_version_ms", static_cast<int>(latency));
    std::printf("greeting to version text: %lld ms\n", static_cast<long long>(latency));
    EXPECT_EQ(lineLabel.GetWindowText(), u"On-line");
    EXPECT_TRUE(Contains(statusLog.Lines(), u"ESC connected."));
    EXPECT_EQ(link->m_mode.load(), ModeReady);

    // The device is quiet now: the link queries it about once a second and stays on line.
    ASSERT_TRUE(emulator.AwaitLine("QUERY"));  // the identity query
    for (int keepAlive = 0; keepAlive < 3; ++keepAlive) ASSERT_TRUE(emulator.AwaitLine("QUERY"));
    EXPECT_FALSE(Contains(statusLog.AddedHistory(), u"ESC off-lined."));
    EXPECT_EQ(lineLabel.GetWindowText(), u"On-line");
}

TEST_F(LinkOnPtyTest, DevicePoweredOff_GoesOfflineReopensAndReconnects) {
    ASSERT_TRUE(emulator.Command("on"));
    ASSERT_TRUE(WaitFor([&] { return lineLabel.GetWindowText() == u"On-line"; }));
    window.Clear();

    ASSERT_TRUE(emulator.Command("off"));
    ASSERT_TRUE(WaitFor([&] { return Contains(statusLog.AddedHistory(), u"ESC off-lined."); }));
    ASSERT_TRUE(WaitFor([&] { return link->m_mode.load() == ModeConnect; }));
    EXPECT_EQ(lineLabel.GetWindowText(), u"Off-line");
    EXPECT_EQ(infoText.GetWindowText(), u"Waiting... please connect then power on ESC.");
    EXPECT_EQ(statusLog.Lines(), std::vector<std::u16string>{Name() + u" standby ready."});
    ASSERT_FALSE(window.Posted().empty());
    EXPECT_EQ(window.Posted().front(), (platform::sim::PostedMessage{WM_LINK_STATE, 0, 0}));

    // The reopened port hears the device when it comes back.
    ASSERT_TRUE(emulator.Command("on"));
    ASSERT_TRUE(WaitFor([&] { return lineLabel.GetWindowText() == u"On-line"; }));
    EXPECT_EQ(infoText.GetWindowText(), u"KORVA MultiCopter PCU, F/W Version A16");
}

}  // namespace
