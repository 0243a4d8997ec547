// The real worker thread against the in-process emulator behind virtual ports: interface-thread
// resets racing worker passes, and stopping a worker that is busy reopening a lost adapter.
#include "emulator/hid_link_adapter.h"
#include "emulator/pcu.h"
#include "emulator/serial_line.h"
#include "link/esc_link.h"
#include "platform/controls.h"
#include "platform/sim/fake_hid.h"
#include "platform/sim/fake_serial.h"
#include "support/wait.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

constexpr char16_t kVersionA16[] = u"KORVA MultiCopter PCU, F/W Version A16";

struct ThreadedLink {
    ThreadedLink() : serial(platform::SystemClock()), hid(platform::SystemClock()) {
        platform::Services services;
        services.clock = &platform::SystemClock();
        services.serialPorts = &serial;
        services.hidBus = &hid;
        link = std::make_unique<ESCLink>(services);
        link->m_pInfoText = &infoText;
        link->m_pLineLabel = &lineLabel;
        link->m_pStatusLog = &statusLog;
    }
    ~ThreadedLink() {
        link->SetWorkerRunning(false);
        link.reset();
    }

    void Name(const std::u16string& name, bool hidLink) {
        for (std::size_t i = 0; i < name.size(); ++i) link->m_portName[i] = name[i];
        link->m_useHidLink = hidLink ? 1 : 0;
    }

    platform::sim::FakeSerialPorts serial;
    platform::sim::FakeHidBus hid;
    platform::CStatic infoText;
    platform::CStatic lineLabel;
    platform::CListBox statusLog;
    std::unique_ptr<ESCLink> link;
};

TEST(LinkThreadsTest, ResetsFromTheInterfaceThreadWhileTheWorkerRuns_LeaveALinkThatConnects) {
    emulator::Pcu device;
    emulator::SerialLine line(device);
    ThreadedLink fixture;
    fixture.serial.Add(u"COM3")->AttachPeer(&line);
    fixture.Name(u"COM3", false);
    auto& link = *fixture.link;
    link.ResetLink();
    ASSERT_TRUE(link.OpenPort());
    device.PowerOn(platform::SystemClock().TickCount());
    ASSERT_TRUE(WaitFor([&] { return fixture.infoText.GetWindowText() == kVersionA16; }));

    // The Reset command, again and again, while the worker talks to the device.
    for (int round = 0; round < 40; ++round) {
        if (link.ResetLink()) link.OpenPort();
        device.PowerOn(platform::SystemClock().TickCount());  // greets the reopened port
    }
    ASSERT_TRUE(WaitFor([&] { return fixture.lineLabel.GetWindowText() == u"On-line"; }));
    EXPECT_EQ(fixture.infoText.GetWindowText(), kVersionA16);
    EXPECT_EQ(link.m_mode.load(), ModeReady);
}

TEST(LinkThreadsTest, StopWhileReopeningALostAdapter_EndsWithoutWaitingOutTheAttempts) {
    emulator::Pcu device;
    emulator::HidLinkAdapter adapter(device);
    ThreadedLink fixture;
    auto plugged = fixture.hid.Add(u"/dev/hidraw0");
    plugged->AttachPeer(&adapter);
    auto& link = *fixture.link;
    link.SelectPort(u"USB0");  // opens the adapter and queues its set-up byte
    ASSERT_TRUE(WaitFor([&] { return adapter.SetUp(); }));
    device.PowerOn(platform::SystemClock().TickCount());
    ASSERT_TRUE(WaitFor([&] { return fixture.lineLabel.GetWindowText() == u"On-line"; }));

    // Unplugged: the worker goes off line after a second and starts its 15 attempts (3 s).
    plugged->Set(platform::sim::HidFault::Removed);
    ASSERT_TRUE(WaitFor([&] {
        auto added = fixture.statusLog.AddedHistory();
        return std::find(added.begin(), added.end(), u"ESC off-lined.") != added.end();
    }));
    const int enumerationsAtStop = fixture.hid.EnumerationCalls();
    link.SetWorkerRunning(false);
    EXPECT_EQ(link.m_hThread, nullptr);
    // At most the attempt under way when the stop came was finished.
    EXPECT_LE(fixture.hid.EnumerationCalls(), enumerationsAtStop + 1);
}

}  // namespace
