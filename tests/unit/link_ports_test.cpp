// The port list and the choice of port: serial ports from the system, one entry for the HID link
// adapter, its automatic selection with the adapter's set-up byte, and the combo's handlers.
#include "link/port_combo.h"
#include "support/link_fixture.h"

#include <gmock/gmock.h>

using namespace testing_support;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class PortListTest : public LinkFixture {
protected:
    PortListTest() { AttachControls(); }

    void AddSerial(std::initializer_list<const char16_t*> names) {
        for (auto name : names) serial.Add(name);
    }
};

TEST_F(PortListTest, OneAdapterNoSerialPorts_ChoosesTheHidLinkAndQueuesItsSetupByte) {
    hid.Add(u"/dev/hidraw0");
    link->ListPorts();
    EXPECT_THAT(portCombo.Entries(), ElementsAre(u"USB0"));
    EXPECT_EQ(link->m_comPortCount, 0);
    EXPECT_EQ(link->m_hidDeviceCount, 1);
    EXPECT_EQ(portCombo.GetCurSel(), 0);
    EXPECT_EQ(link->PortName(), u"USB0");
    EXPECT_EQ(link->m_useHidLink, 1);
    EXPECT_EQ(link->m_hidIndex, 0);
    EXPECT_THAT(Log(), ElementsAre(u"USB0 standby ready."));
    EXPECT_EQ(link->m_hidReportId, HidReportSetup);
    EXPECT_EQ(link->m_txCount, 1);
    EXPECT_EQ(link->m_txBuffer[0], CodeHidSetup);
}

TEST_F(PortListTest, SerialPortsAndAdapter_AreListedInTextOrderWithTheHidEntryChosen) {
    struct Case {
        std::initializer_list<const char16_t*> serialNames;
        std::vector<std::u16string> entries;
    };
    const Case cases[] = {
        {{u"COM3", u"COM1"}, {u"COM1", u"COM3", u"USB0"}},
        {{u"COM2", u"COM10"}, {u"COM10", u"COM2", u"USB0"}},
        {{u"ttyUSB0", u"ttyS0", u"pts/3"}, {u"pts/3", u"ttyS0", u"ttyUSB0", u"USB0"}},
    };
    for (const auto& c : cases) {
        platform::sim::FakeSerialPorts ports(clock);
        for (auto name : c.serialNames) ports.Add(name);
        platform::sim::FakeHidBus bus(clock);
        bus.Add(u"/dev/hidraw0");
        platform::CComboBox combo;
        ESCLink fresh(platform::Services{&clock, &ports, &bus, &threads});
        fresh.m_pPortCombo = &combo;
        fresh.ListPorts();
        EXPECT_EQ(combo.Entries(), c.entries);
        EXPECT_EQ(fresh.m_comPortCount, static_cast<int>(c.serialNames.size()));
        EXPECT_EQ(combo.GetLBText(combo.GetCurSel()), u"USB0");
        EXPECT_EQ(fresh.m_useHidLink, 1);
        EXPECT_EQ(fresh.m_hidIndex, 0);
    }
}

TEST_F(PortListTest, TwoAdapters_OneEntryAndTheFirstAdapterIsUsed) {
    auto first = hid.Add(u"/dev/hidraw0");
    auto second = hid.Add(u"/dev/hidraw1");
    link->ListPorts();
    EXPECT_EQ(link->m_hidDeviceCount, 2);
    EXPECT_THAT(portCombo.Entries(), ElementsAre(u"USB0"));
    EXPECT_TRUE(first->IsOpen());
    EXPECT_FALSE(second->IsOpen());
}

TEST_F(PortListTest, NoAdapter_ListsSerialPortsOpensNothing) {
    AddSerial({u"COM1", u"COM12345"});  // a name of 8 characters cannot be selected: not listed
    link->ListPorts();
    EXPECT_THAT(portCombo.Entries(), ElementsAre(u"COM1"));
    EXPECT_EQ(link->m_comPortCount, 1);
    EXPECT_EQ(link->PortName(), u"");
    EXPECT_FALSE(link->m_hPort.IsOpen());
    EXPECT_THAT(serial.OpenedNames(), IsEmpty());
}

TEST_F(PortListTest, SelectingTheCurrentPort_DoesNothing) {
    serial.Add(u"COM3");
    link->SelectPort(u"COM3");
    statusLog.AddString(u"marker");
    window.Clear();
    link->SelectPort(u"COM3");
    EXPECT_THAT(Log(), ElementsAre(u"COM3 standby ready.", u"marker"));
    EXPECT_THAT(window.Posted(), IsEmpty());
    EXPECT_EQ(serial.Device(u"COM3")->OpenCount(), 1);
}

TEST_F(PortListTest, ComboSelection_OpensTheChosenSerialPortWhereverItSorts) {
    AddSerial({u"COM1", u"vcom0"});  // vcom0 sorts after USB0
    hid.Add(u"/dev/hidraw0");
    link->ListPorts();
    EXPECT_THAT(portCombo.Entries(), ElementsAre(u"COM1", u"USB0", u"vcom0"));
    portCombo.SetCurSel(2);
    PortComboSelected(link.get());
    EXPECT_EQ(link->PortName(), u"vcom0");
    EXPECT_EQ(link->m_useHidLink, 0);
    EXPECT_TRUE(serial.Device(u"vcom0")->IsOpen());
    EXPECT_EQ(portCombo.GetCurSel(), 2);
}

TEST_F(PortListTest, OpeningTheListWhileOnAComPortWithAnAdapterPlugged_SwitchesToTheHidLink) {
    AddSerial({u"COM1"});
    link->SelectPort(u"COM1");
    auto adapter = hid.Add(u"/dev/hidraw0");
    PortComboOpening(link.get());
    EXPECT_EQ(link->PortName(), u"USB0");
    EXPECT_TRUE(adapter->IsOpen());
    EXPECT_FALSE(serial.Device(u"COM1")->IsOpen());
}

TEST_F(PortListTest, OpeningTheListWhileTheLinkHoldsTheOnlyAdapter_LeavesTheLinkAlone) {
    auto adapter = hid.Add(u"/dev/hidraw0");
    link->ListPorts();
    ASSERT_TRUE(adapter->IsOpen());
    const int opens = adapter->OpenCount();
    PortComboOpening(link.get());
    EXPECT_EQ(link->m_hidDeviceCount, 0);
    EXPECT_THAT(portCombo.Entries(), IsEmpty());
    EXPECT_TRUE(adapter->IsOpen());
    EXPECT_EQ(adapter->OpenCount(), opens);
}

TEST_F(PortListTest, OpenThatFails_KeepsTheNameAndTheSetupByteIsQueuedAnyway) {
    link->SelectPort(u"USB0");
    EXPECT_EQ(link->PortName(), u"USB0");
    EXPECT_THAT(Log(), ElementsAre(u"Can not open USB0."));
    EXPECT_EQ(link->m_txCount, 1);
    link->SelectPort(u"USB0");  // the same entry again changes nothing
    EXPECT_THAT(Log(), ElementsAre(u"Can not open USB0."));
}

}  // namespace
