// A link on the manual clock with fake ports, attached controls and a recording window;
// the worker's passes are run by the test itself.
#pragma once

#include "link/esc_link.h"
#include "platform/controls.h"
#include "platform/sim/fake_hid.h"
#include "platform/sim/fake_serial.h"
#include "platform/sim/held_threads.h"
#include "platform/sim/manual_clock.h"
#include "platform/sim/recording_window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<std::uint8_t>;

class LinkFixture : public ::testing::Test {
protected:
    LinkFixture() : serial(clock), hid(clock) {
        platform::Services services;
        services.clock = &clock;
        services.serialPorts = &serial;
        services.hidBus = &hid;
        services.threads = &threads;
        link = std::make_unique<ESCLink>(services);
    }

    // Attaches every control and the window, as the main window does after construction.
    void AttachControls() {
        link->m_pPortCombo = &portCombo;
        link->m_pInfoText = &infoText;
        link->m_pLineLabel = &lineLabel;
        link->m_pProgress = &progress;
        link->m_pStatusLog = &statusLog;
        link->m_pUpdateButton = &updateButton;
        link->m_pResetButton = &resetButton;
        link->m_hMainWnd = &window;
    }

    void NamePort(const std::u16string& name, bool hidLink) {
        for (std::size_t i = 0; i < link->m_portName.size(); ++i) {
            link->m_portName[i] = i < name.size() ? name[i] : u'\0';
        }
        link->m_useHidLink = hidLink ? 1 : 0;
        link->m_hidIndex = 0;
    }

    // A COM port that exists and opens; the link is reset and opened on it.
    std::shared_ptr<platform::sim::FakeSerialDevice> OpenCom(const std::u16string& name = u"COM3") {
        auto device = serial.Add(name);
        NamePort(name, false);
        link->ResetLink();
        EXPECT_TRUE(link->OpenPort());
        return device;
    }

    // One HID link adapter that opens; the link is reset and opened on it.
    std::shared_ptr<platform::sim::FakeHidInterface> OpenHid(platform::HidCaps caps = {65, 65}) {
        auto adapter = hid.Add(u"/dev/hidraw0");
        adapter->SetCaps(caps);
        NamePort(u"USB0", true);
        link->ResetLink();
        EXPECT_TRUE(link->OpenPort());
        return adapter;
    }

    void Passes(int count) {
        for (int i = 0; i < count; ++i) link->WorkerPass();
    }

    // Delivers bytes from the device and runs the pass that reads them and the one that answers.
    void DeviceSays(const std::shared_ptr<platform::sim::FakeSerialDevice>& device, const Bytes& bytes) {
        device->Deliver(bytes);
        link->WorkerPass();
        link->WorkerPass();
    }

    // Brings a COM-port device through the handshake to ModeReady (nothing else pending).
    std::shared_ptr<platform::sim::FakeSerialDevice> ConnectCom() {
        auto device = OpenCom();
        DeviceSays(device, {0x13});
        DeviceSays(device, {0xFA});
        device->ClearWritten();
        return device;
    }

    std::vector<std::u16string> Log() const { return statusLog.Lines(); }

    platform::sim::ManualClock clock;
    platform::sim::FakeSerialPorts serial;
    platform::sim::FakeHidBus hid;
    platform::sim::HeldThreads threads;
    platform::CComboBox portCombo;
    platform::CStatic infoText;
    platform::CStatic lineLabel;
    platform::CProgressCtrl progress;
    platform::CListBox statusLog;
    platform::CButton updateButton;
    platform::CButton resetButton;
    platform::sim::RecordingWindow window;
    std::unique_ptr<ESCLink> link;
};

inline platform::sim::PostedMessage LinkState(std::uintptr_t wParam, std::intptr_t lParam) {
    return {WM_LINK_STATE, wParam, lParam};
}

}  // namespace testing_support
