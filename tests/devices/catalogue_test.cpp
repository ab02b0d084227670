#include "devices/catalogue.h"

#include <gtest/gtest.h>

namespace zepho7::devices {
namespace {

TEST(Catalogue, PartnersPointBackAndDeviceTypesStayWithinTheLedBuffer) {
    for (int i = 0; i < kSlotCount; ++i) {
        const SlotDescriptor& s = kInterfaceSlots[static_cast<size_t>(i)];
        if (s.has_partner == 0)
            continue;
        ASSERT_LT(s.partner_index, kInterfaceSlots.size()) << i;
        const SlotDescriptor& p = kInterfaceSlots[s.partner_index];
        EXPECT_EQ(p.partner_index, i);
        EXPECT_EQ(p.role, s.role) << i;
        EXPECT_EQ(p.collection_number, s.collection_number) << i;
    }
    for (const DeviceTypeInfo& t : kDeviceTypes) {
        EXPECT_LE(t.led_count, 170) << t.type_name;
        EXPECT_LE(t.key_count, 170) << t.type_name;
        EXPECT_GE(FindSlot(t.vendor_id, t.product_id, t.kind, kRoleConfiguration), 0);
    }
}

TEST(Catalogue, PathParsers) {
    struct Case {
        const char* path;
        uint16_t vid, pid, mi, col;
    } const cases[] = {
        {"/dev/hidraw3#vid_320f&pid_223c&mi_01&col04", 0x320F, 0x223C, 1, 4},
        {"/tmp/s/mouse.sock#VID_320F&PID_223D&MI_01&COL03", 0x320F, 0x223D, 1, 3},
        {"/dev/hidraw9#vid_0c76&pid_1630&mi_03", 0x0C76, 0x1630, 3, 0},
        {"/dev/hidraw1#vid_046d&pid_c52b", 0x046D, 0xC52B, 0, 0},
        {"", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VendorIdFromPath(c.path), c.vid) << c.path;
        EXPECT_EQ(ProductIdFromPath(c.path), c.pid) << c.path;
        EXPECT_EQ(InterfaceFromPath(c.path), c.mi) << c.path;
        EXPECT_EQ(CollectionFromPath(c.path), c.col) << c.path;
    }
}

TEST(Catalogue, LookupsByIdentity) {
    EXPECT_EQ(FindDeviceType(0x320F, 0x223C, kKindMouse, 0), 0);
    EXPECT_EQ(FindDeviceType(0x320F, 0x0000, kKindKeyboard, 0), 1);
    EXPECT_EQ(FindDeviceType(0x320F, 0x1004, kKindMousePad, 0), 2);
    EXPECT_EQ(FindDeviceType(0x0C76, 0x1630, kKindHeadset, 0), 3);
    EXPECT_EQ(FindDeviceType(0x320F, 0x223C, kKindMouse, 1), -1);
    EXPECT_EQ(FindDeviceType(0x320F, 0x223D, kKindMouseReceiver, 0), -1);

    EXPECT_EQ(FindSlot(0x320F, 0x223C, kKindMouse, kRoleNotification), 5);
    EXPECT_EQ(FindSlot(0x320F, 0x0000, kKindKeyboardReceiver, kRoleConfiguration), 2);
    EXPECT_EQ(FindSlot(0x320F, 0x223C, kKindMouse, 7), -1);

    // Slot -> device type row: the receiver mouse is the cable mouse; the receiver keyboard and
    // notification collections of other kinds have no own row unless their kind has one.
    const int expected[kSlotCount] = {1, 1, -1, -1, 0, 0, 0, 0, 2, 2, 3};
    for (int i = 0; i < kSlotCount; ++i)
        EXPECT_EQ(DeviceTypeForSlot(i), expected[i]) << i;
    EXPECT_EQ(DeviceTypeForSlot(-1), -1);
    EXPECT_EQ(DeviceTypeForSlot(kSlotCount), -1);
}

TEST(Catalogue, IconsByKind) {
    EXPECT_EQ(IconsForKind(kKindKeyboard, 0)->name_text, "kb_device_name_text");
    EXPECT_EQ(IconsForKind(kKindMouseReceiver, 0)->normal,
              "common/device_ico/ms_device_normal.png");
    EXPECT_EQ(IconsForKind(kKindMousePad, 1)->synchro_selected,
              "common/device_ico/soft_mp_device_synchro_selected.png");
    EXPECT_EQ(IconsForKind(kKindMousePad, 0)->name_text, "hard_mp_device_name_text");
    EXPECT_FALSE(IconsForKind(kKindMousePad, 2).has_value());
    EXPECT_EQ(IconsForKind(kKindHeadsetOther, 0)->name_text, "hd_device_name_text");
    EXPECT_EQ(IconsForKind(kKindHub, 0)->selected, "common/device_ico/hub_device_selected.png");
    EXPECT_EQ(IconsForKind(kKindKeyboardReceiver, 0)->name_text, "unknow_device_name_text");
}

TEST(LiveSlots, MatchingClaimsFreeSlotsOnly) {
    LiveSlotTable slots;
    EXPECT_FALSE(slots.AllSlotsTaken());
    EXPECT_TRUE(slots.PreMatch(0x320F, 0x223C, 1, 4));
    EXPECT_FALSE(slots.PreMatch(0x320F, 0x223C, 0, 4));  // no "&mi_": interface 0
    EXPECT_TRUE(slots.PreMatch(0x0C76, 0x1630, 3, 0));

    const MatchCandidate mouse{0x320F, 0x223C, 1, 4, 0xFF1C, 0x0092};
    MatchCandidate wrong_page = mouse;
    wrong_page.usage_page = 0xFF00;
    EXPECT_EQ(slots.FullMatch(wrong_page, "p0"), -1);
    EXPECT_EQ(slots.FullMatch(mouse, "p1"), 4);
    EXPECT_FALSE(slots.PreMatch(0x320F, 0x223C, 1, 4));
    EXPECT_EQ(slots.FullMatch(mouse, "p2"), -1);
    EXPECT_EQ(slots.Get(4).path, "p1");
    EXPECT_TRUE(slots.Get(4).connected);

    // The keyboard's identity fills the cable slots first, then the receiver's.
    const MatchCandidate keyboard{0x320F, 0x0000, 1, 4, 0xFF1C, 0x0092};
    EXPECT_EQ(slots.FullMatch(keyboard, "k1"), 0);
    EXPECT_EQ(slots.FullMatch(keyboard, "k2"), 2);

    EXPECT_TRUE(slots.Release(4));
    EXPECT_FALSE(slots.Release(kSlotCount));
    EXPECT_TRUE(slots.PreMatch(0x320F, 0x223C, 1, 4));
    EXPECT_EQ(slots.ConnectedSlots().size(), 2u);
}

TEST(LiveSlots, AllSlotsTakenWhenEveryRowIsFilled) {
    LiveSlotTable slots;
    for (int i = 0; i < kSlotCount; ++i) {
        const SlotDescriptor& s = kInterfaceSlots[static_cast<size_t>(i)];
        EXPECT_FALSE(slots.AllSlotsTaken());
        EXPECT_EQ(slots.FullMatch({s.vendor_id, s.product_id, s.interface_number,
                                   s.collection_number, s.usage_page, s.usage},
                                  "path" + std::to_string(i)),
                  i);
    }
    EXPECT_TRUE(slots.AllSlotsTaken());
}

}  // namespace
}  // namespace zepho7::devices
