// The HID class devices this Windows machine really has (under Wine, Wine's own): the bus lists
// their interfaces, each can be looked at, and none of them is the link adapter, so the link
// counts none and opens none.
#include "link/esc_link.h"
#include "link/link_codes.h"
#include "platform/controls.h"
#include "platform/services.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

TEST(MachineHidDevicesTest, InterfacesOfOtherDevices_AreListedButNoneIsTheLinkAdapter) {
    platform::HidBus& bus = platform::SystemHidBus();
    int interfaces = 0;
    int looked = 0;
    std::u16string path;
    while (interfaces < kMaxHidInterfaces && bus.InterfacePath(static_cast<std::uint32_t>(interfaces), path)) {
        EXPECT_FALSE(path.empty()) << interfaces;
        EXPECT_LT(path.size(), static_cast<std::size_t>(kHidPathChars)) << platform::ToUtf8(path);
        if (auto device = bus.Open(path)) {
            ++looked;
            platform::HidAttributes attributes;
            if (device->GetAttributes(attributes)) {
                std::printf("HID interface %d: %04X:%04X %s\n", interfaces, attributes.vendorId,
                            attributes.productId, platform::ToUtf8(path).c_str());
                EXPECT_FALSE(attributes.vendorId == HidLinkVendorId && attributes.productId == HidLinkProductId);
            }
        }
        ++interfaces;
    }
    std::printf("%d HID interfaces, %d could be opened\n", interfaces, looked);
    // Wine has HID devices of its own (a mouse and a keyboard): an enumeration that finds none,
    // or cannot open them, is broken, and would make the checks below say nothing.
    EXPECT_GT(interfaces, 0);
    EXPECT_GT(looked, 0);
    EXPECT_FALSE(bus.InterfacePath(static_cast<std::uint32_t>(interfaces) + 1000, path));

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
