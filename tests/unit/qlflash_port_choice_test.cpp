// qlflash's port list and its choice of port.
#include "tools/qlflash/port_choice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qlflash {
namespace {

using Names = std::vector<std::u16string>;

TEST(QlflashPortChoiceTest, PortList_SortedWithoutCaseAndOnlyNamesTheLinkCanHold) {
    struct Case {
        Names serial;
        int hidLinks;
        Names expected;
    };
    const std::vector<Case> cases{
        {{}, 0, {}},
        {{}, 1, {u"USB0"}},
        {{u"ttyUSB0", u"ttyS0"}, 0, {u"ttyS0", u"ttyUSB0"}},
        // USB0 is placed by its text, between the serial ports, as the sorted combo places it.
        {{u"ttyS0", u"ACM0", u"ubx1"}, 2, {u"ACM0", u"ttyS0", u"ubx1", u"USB0"}},
        {{u"usb1", u"Usa"}, 1, {u"Usa", u"USB0", u"usb1"}},
        // Names of 8 characters or none cannot be selected: they are left out.
        {{u"ttyACM10", u"", u"ttyACM1"}, 0, {u"ttyACM1"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PortList(c.serial, c.hidLinks), c.expected) << "serial ports: " << c.serial.size();
    }
}

TEST(QlflashPortChoiceTest, NamedPort_IsTakenAsGiven) {
    const auto choice = ChoosePort(std::string("pts/3"), {u"ttyS0"}, 1);
    ASSERT_TRUE(choice.ok);
    EXPECT_EQ(choice.port, u"pts/3");
}

TEST(QlflashPortChoiceTest, NoPortNamed_TheHidLinkWhenThereIsOne) {
    const auto choice = ChoosePort(std::nullopt, {u"ttyS0"}, 1);
    ASSERT_TRUE(choice.ok);
    EXPECT_EQ(choice.port, u"USB0");
}

TEST(QlflashPortChoiceTest, NoPortNamedAndNoHidLink_ErrorListsTheSerialPorts) {
    const auto withPorts = ChoosePort(std::nullopt, {u"ttyUSB0", u"ttyS0"}, 0);
    EXPECT_FALSE(withPorts.ok);
    EXPECT_NE(withPorts.error.find("no HID link adapter"), std::string::npos) << withPorts.error;
    EXPECT_NE(withPorts.error.find("serial ports: ttyS0, ttyUSB0"), std::string::npos) << withPorts.error;

    const auto withoutPorts = ChoosePort(std::nullopt, {}, 0);
    EXPECT_FALSE(withoutPorts.ok);
    EXPECT_NE(withoutPorts.error.find("no serial ports found"), std::string::npos) << withoutPorts.error;
}

}  // namespace
}  // namespace qlflash
