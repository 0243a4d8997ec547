// The HID class devices this Windows machine really has: the bus lists their interfaces, each
// can be looked at, and none of them is the link adapter, so the link counts none and opens none.
#include "link/esc_link.h"
#include "platform/controls.h"
#include "platform/services.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

TEST(MachineHidDevicesTest, InterfacesOfOtherDevices_AreListedButNoneIsTheLinkAdapter) {
    platform::HidBus& bus = platform::SystemHidBus();
    std::uint32_t interfaces = 0;
    int looked = 0;
    std::u16string path;
    while (interfaces < 64 && bus.InterfacePath(interfaces, path)) {
        EXPECT_FALSE(path.empty()) << interfaces;
        EXPECT_LT(path.size(), 260u) << platform::ToUtf8(path);
        if (auto device = bus.Open(path)) {
            ++looked;
            platform::HidAttributes attributes;
            if (device->GetAttributes(attributes)) {
                std::printf("HID interface %u: %04X:%04X %s\n", interfaces, attributes.vendorId,
                            attributes.productId, platform::ToUtf8(path).c_str());
                EXPECT_FALSE(attributes.vendorId == 0x10C4 && attributes.productId == 0x82FC);
            }
        }
        ++interfaces;
    }
    std::printf("%u HID interfaces, %d could be opened\n", interfaces, looked);
    EXPECT_FALSE(bus.InterfacePath(interfaces + 1000, path));

    ESCLink link;
    EXPECT_EQ(link.CountHidLinks(), 0);
    link.OpenHidLink(0);
    EXPECT_EQ(link.m_hPort.hid, nullptr);
    // The port list therefore offers no HID link entry.
    platform::CComboBox combo;
    link.m_pPortCombo = &combo;
    link.ListPorts();
    EXPECT_EQ(link.m_hidDeviceCount, 0);
    for (int entry = 0; entry < combo.GetCount(); ++entry) EXPECT_NE(combo.GetLBText(entry), u"USB0");
}

}  // namespace
