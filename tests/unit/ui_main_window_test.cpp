// The main window's rules without a display: lamp, status text and Update button through the
// link's notifications and the user's commands; the command table; keys; the hit test.
#include "ui_window_fixture.h"

#include "platform/sim/fake_hid.h"
#include "platform/sim/fake_serial.h"
#include "platform/sim/manual_clock.h"
#include "ui/dialog_templates.h"

#include <thread>
#include <vector>

namespace {

using ui_test::WindowTest;

struct Step {
    enum Kind { Notify, ClickUpdate, Download } kind;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    // What the window shows afterwards.
    std::int32_t lamp;
    std::u16string_view status;
    bool updateEnabled;
};

constexpr std::int32_t kGreen = kLampOnImage;
constexpr std::int32_t kRed = kLampOffImage;

Step Notify(std::uintptr_t w, std::intptr_t l, std::int32_t lamp, std::u16string_view status, bool enabled) {
    return {Step::Notify, w, l, lamp, status, enabled};
}
Step Click(std::int32_t lamp, std::u16string_view status, bool enabled) {
    return {Step::ClickUpdate, 0, 0, lamp, status, enabled};
}

struct Path {
    const char* name;
    std::vector<Step> steps;
};

const std::vector<Path>& Paths() {
    static const std::vector<Path> paths{
        {"whole update",
         {Notify(0, 0, kRed, kStatusDisconnected, false), Notify(1, 0, kGreen, kStatusConnected, true),
          Click(kGreen, kStatusUpdating, true), Notify(0, 0, kGreen, kStatusUpdating, false),
          Notify(1, 1, kGreen, kStatusSucceeded, true)}},
        {"failed update: ready again, still Updating",
         {Notify(1, 0, kGreen, kStatusConnected, true), Click(kGreen, kStatusUpdating, true),
          Notify(0, 0, kGreen, kStatusUpdating, false), Notify(1, 0, kGreen, kStatusUpdating, true)}},
        {"device lost before the first click",
         {Notify(1, 0, kGreen, kStatusConnected, true), Notify(0, 0, kRed, kStatusDisconnected, false)}},
        {"device lost after the first click",
         {Notify(1, 0, kGreen, kStatusConnected, true), Click(kGreen, kStatusUpdating, true),
          Notify(0, 0, kGreen, kStatusUpdating, false)}},
        {"wParam 2 is not ready, lParam 2 clears the success",
         {Notify(1, 1, kGreen, kStatusSucceeded, true), Notify(2, 1, kRed, kStatusSucceeded, false),
          Notify(1, 2, kGreen, kStatusConnected, true)}},
        {"after success a (0, 0) brings Updating back",
         {Notify(1, 0, kGreen, kStatusConnected, true), Click(kGreen, kStatusUpdating, true),
          Notify(1, 1, kGreen, kStatusSucceeded, true), Notify(0, 0, kGreen, kStatusUpdating, false)}},
        {"the hidden Download command leaves the window disconnected until success",
         {Notify(1, 0, kGreen, kStatusConnected, true), {Step::Download, 0, 0, kGreen, kStatusConnected, true},
          Notify(0, 0, kRed, kStatusDisconnected, false), Notify(1, 1, kGreen, kStatusSucceeded, true)}},
    };
    return paths;
}

TEST_F(WindowTest, Notifications_ShowLampStatusAndUpdateByTheRules) {
    for (const auto& path : Paths()) {
        SCOPED_TRACE(path.name);
        OpenWindow();
        EXPECT_EQ(dialog->LampImage(), kRed);
        EXPECT_EQ(dialog->StatusText(), kStatusDisconnected);
        EXPECT_FALSE(UpdateEnabled());
        int index = 0;
        for (const auto& step : path.steps) {
            SCOPED_TRACE(index++);
            if (step.kind == Step::Notify) Post(step.wParam, step.lParam);
            if (step.kind == Step::ClickUpdate) dialog->OnCommand(IDC_SKIN_UPDATE, 0);
            if (step.kind == Step::Download) dialog->OnCommand(IDC_DOWNLOAD, 0);
            EXPECT_EQ(dialog->LampImage(), step.lamp);
            EXPECT_EQ(dialog->StatusText(), step.status);
            EXPECT_EQ(UpdateEnabled(), step.updateEnabled);
            EXPECT_FALSE(host->Ended());
        }
        host->Finish();
        dialog.reset();
    }
}

TEST_F(WindowTest, UpdateButton_SecondClickClosesWhateverItsLabel) {
    OpenWindow();
    Post(1, 0);
    dialog->OnCommand(IDC_SKIN_UPDATE, 0);
    host->Pump();
    EXPECT_FALSE(host->Ended());
    EXPECT_EQ(dialog->m_pUpdateButton->GetWindowText(), u"Update");
    Post(1, 0);
    dialog->OnCommand(IDC_SKIN_UPDATE, 0);
    host->Pump();
    EXPECT_TRUE(host->Ended());
}

TEST_F(WindowTest, DoubleClickNotifications_AreNotPresses) {
    OpenWindow();
    Post(1, 0);
    host->Pump();
    for (int button : {IDC_SKIN_UPDATE, IDC_SKIN_CLOSE, IDC_SKIN_MINIMIZE, IDC_EXIT, platform::IDCANCEL})
        dialog->OnCommand(button, BN_DOUBLECLICKED);
    host->Pump();
    EXPECT_FALSE(host->Ended());
    EXPECT_FALSE(host->IsMinimized());
    EXPECT_EQ(dialog->m_updating, 0);
    // The click that follows starts the update; its double-click report does not end it.
    dialog->OnCommand(IDC_SKIN_UPDATE, BN_CLICKED);
    dialog->OnCommand(IDC_SKIN_UPDATE, BN_DOUBLECLICKED);
    host->Pump();
    EXPECT_EQ(dialog->m_updating, 1);
    EXPECT_FALSE(host->Ended());
}

TEST_F(WindowTest, CommandTable_CloseMinimiseExitAndInertCommands) {
    OpenWindow();
    dialog->OnCommand(IDC_SKIN_MINIMIZE, 0);
    EXPECT_TRUE(host->IsMinimized());
    for (int inert : {IDC_UPGRADE, IDC_READ, IDC_RESET, IDC_FILE}) dialog->OnCommand(inert, 0);
    dialog->OnCommand(IDC_PORT, CBN_SELENDOK);
    dialog->OnCommand(IDC_PORT, CBN_DROPDOWN);
    host->Pump();
    EXPECT_FALSE(host->Ended());
    EXPECT_EQ(dialog->m_fileLabel.GetWindowText(), u"");  // File... cleared it and loaded nothing

    // The close button posts WM_CLOSE: the window ends once the message is handled.
    dialog->OnCommand(IDC_SKIN_CLOSE, 0);
    EXPECT_FALSE(host->Ended());
    host->Pump();
    EXPECT_TRUE(host->Ended());

    host->Finish();
    OpenWindow();
    dialog->OnCommand(IDC_EXIT, 0);  // sent, not posted
    EXPECT_TRUE(host->Ended());
}

TEST_F(WindowTest, EnterAndEscape_DoNotCloseTheWindow) {
    OpenWindow();
    for (std::uint32_t key : {platform::VK_RETURN, platform::VK_ESCAPE}) {
        std::uint32_t translated = key;
        dialog->PreTranslateKey(translated);
        EXPECT_EQ(translated, platform::VK_TAB);
        host->KeyDown(key);
        host->Pump();
        EXPECT_FALSE(host->Ended());
    }
    // Without the translation the dialog's own OK would end it.
    dialog->OnCommand(platform::IDOK, 0);
    EXPECT_TRUE(host->Ended());
}

TEST_F(WindowTest, HitTest_PanelDragsButtonsAndProgressBarDoNot) {
    OpenWindow();
    struct Case {
        const char* where;
        int x, y;
        bool updateEnabled;
        int expected;
    };
    const Case cases[] = {
        {"panel", 200, 100, false, platform::HTCAPTION},
        {"title bar", 300, 20, false, platform::HTCAPTION},
        {"lamp strip", 150, 310, false, platform::HTCAPTION},
        {"progress bar", 100, 245, false, platform::HTCLIENT},
        {"close button", 505, 15, false, platform::HTCLIENT},
        {"minimise button", 470, 15, false, platform::HTCLIENT},
        {"Update disabled", 450, 310, false, platform::HTCLIENT},
        {"Update enabled", 450, 310, true, platform::HTCLIENT},
        {"just left of Update", 394, 310, true, platform::HTCAPTION},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        Post(c.updateEnabled ? 1 : 0, 0);
        EXPECT_EQ(host->HitTest(c.x, c.y), c.expected);
    }
}

TEST_F(WindowTest, Initialisation_HoldsTemplateStateAndWindowTexts) {
    OpenWindow();
    EXPECT_EQ(dialog->m_lineLabel.GetWindowText(), u"Off-line");
    EXPECT_EQ(dialog->m_fileLabel.GetWindowText(), u"Select Upgrade File Here.");
    EXPECT_FALSE(dialog->m_downloadButton.IsWindowEnabled());
    EXPECT_FALSE(dialog->m_resetButton.IsWindowEnabled());
    EXPECT_EQ(dialog->m_pUpdateButton->GetWindowText(), u"Update");
    EXPECT_EQ(dialog->m_pUpdateButton->m_textColor, 0x00FFFFFFu);
    // No link could be made: the info text keeps the template's.
    EXPECT_EQ(dialog->m_infoText.GetWindowText(), u"Static");
    EXPECT_EQ(theLink, nullptr);
}

}  // namespace

namespace {

// A link on fake ports with no device: the window attaches it, and closing deletes it.
using ui_test::WindowTest;

TEST_F(WindowTest, LinkLife_AttachedAtInitialisationDeletedOnClose) {
    platform::sim::ManualClock clock;
    platform::sim::FakeSerialPorts serialPorts(clock);
    platform::sim::FakeHidBus hidBus(clock);
    services.createLink = [&] {
        platform::Services linkServices;
        linkServices.clock = &clock;
        linkServices.serialPorts = &serialPorts;
        linkServices.hidBus = &hidBus;
        return std::make_unique<ESCLink>(linkServices);
    };
    OpenWindow();
    ASSERT_NE(theLink, nullptr);
    EXPECT_EQ(theLink->m_pUpdateButton, dialog->m_pUpdateButton.get());
    EXPECT_EQ(theLink->m_pProgress, &dialog->m_progress);
    EXPECT_EQ(theLink->m_hMainWnd, &host->Handle());
    EXPECT_EQ(dialog->m_infoText.GetWindowText(), u"Please select COM/USB port...");
    EXPECT_NE(theLink->m_pImage, nullptr);  // the built-in image
    EXPECT_FALSE(UpdateEnabled());

    dialog->OnCommand(IDC_SKIN_CLOSE, 0);
    host->Pump();
    EXPECT_TRUE(host->Ended());
    EXPECT_EQ(theLink, nullptr);
}

}  // namespace
