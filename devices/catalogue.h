// The supported peripherals as compiled-in tables: which HID collections belong to them and what
// role each plays (interface slots), which page, light data and sizes each device type has, the
// icons of each device kind and the rows reported to the update service. Plus the path parsers
// and the matching rules the device scan uses, over a live copy of the slot table.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zepho7::devices {

// Device kind codes.
enum DeviceKind : uint16_t {
    kKindUnknown = 0,
    kKindKeyboard = 1,
    kKindMouse = 2,
    kKindMousePad = 3,
    kKindHeadsetOther = 4,
    kKindHub = 5,
    kKindMouseReceiver = 6,
    kKindHeadset = 7,
    kKindKeyboardReceiver = 9,
};

// Role of a collection.
inline constexpr uint16_t kRoleConfiguration = 0;
inline constexpr uint16_t kRoleNotification = 255;

inline constexpr uint16_t kVendorPeripherals = 0x320F;
inline constexpr uint16_t kVendorHeadset = 0x0C76;

// The constant part of one interface slot.
struct SlotDescriptor {
    uint16_t vendor_id = 0;
    uint16_t product_id = 0;
    uint16_t interface_number = 0;
    uint16_t collection_number = 0;
    uint16_t kind = 0;
    uint16_t role = 0;
    uint16_t usage_page = 0;
    uint16_t usage = 0;
    uint16_t has_partner = 0;
    uint16_t partner_index = 0;
};

// A slot as the program keeps it: the table row plus what the scan found.
struct InterfaceSlot {
    SlotDescriptor info;
    bool connected = false;
    std::string path;  // device path of the matched collection; empty while free
};

// Keyboard rows carry product id 0: a build for a real keyboard fills it in here and in the
// keyboard device type row.
inline constexpr std::array<SlotDescriptor, 11> kInterfaceSlots = {{
    {0x320F, 0x0000, 1, 4, kKindKeyboard, kRoleConfiguration, 0xFF1C, 0x0092, 1, 2},
    {0x320F, 0x0000, 1, 3, kKindKeyboard, kRoleNotification, 0x000C, 0x0001, 1, 3},
    {0x320F, 0x0000, 1, 4, kKindKeyboardReceiver, kRoleConfiguration, 0xFF1C, 0x0092, 1, 0},
    {0x320F, 0x0000, 1, 3, kKindKeyboardReceiver, kRoleNotification, 0x000C, 0x0001, 1, 1},
    {0x320F, 0x223C, 1, 4, kKindMouse, kRoleConfiguration, 0xFF1C, 0x0092, 1, 6},
    {0x320F, 0x223C, 1, 3, kKindMouse, kRoleNotification, 0x000C, 0x0001, 1, 7},
    {0x320F, 0x223D, 1, 4, kKindMouseReceiver, kRoleConfiguration, 0xFF1C, 0x0092, 1, 4},
    {0x320F, 0x223D, 1, 3, kKindMouseReceiver, kRoleNotification, 0x000C, 0x0001, 1, 5},
    {0x320F, 0x1004, 1, 4, kKindMousePad, kRoleConfiguration, 0xFF1C, 0x0092, 0, 0},
    {0x320F, 0x1004, 1, 3, kKindMousePad, kRoleNotification, 0x000C, 0x0001, 0, 0},
    {0x0C76, 0x1630, 3, 0, kKindHeadset, kRoleConfiguration, 0x000C, 0x0001, 0, 0},
}};
inline constexpr int kSlotCount = static_cast<int>(kInterfaceSlots.size());

// One creatable device page.
struct DeviceTypeInfo {
    std::string_view type_name;
    uint16_t kind = 0;
    uint16_t sub_type = 0;
    uint16_t vendor_id = 0;
    uint16_t product_id = 0;
    int type_index = 0;  // the page's row in the light list files
    std::string_view selector_layout;
    std::string_view header_tab_name;
    std::string_view power_control_name;
    std::string_view page_layout;
    std::string_view light_data_name;
    int led_count = 0;
    int key_count = 0;
    bool has_battery = false;  // runs through the receiver and has a power panel
    int logo_preview_led = -1;
};

inline constexpr std::string_view kSelectorLayout = "XML/CustomControlXML/DeviceOption.xml";
inline constexpr std::array<DeviceTypeInfo, 4> kDeviceTypes = {{
    {"mouse", kKindMouse, 0, 0x320F, 0x223C, 1, kSelectorLayout, "tab_header_device",
     "device_power_switch", "XML/DeviceXml/mousedevice.xml", "kelvo_light", 4, 11, true, -1},
    {"keyboard", kKindKeyboard, 0, 0x320F, 0x0000, 0, kSelectorLayout, "tab_header_device",
     "device_power_switch", "XML/DeviceXml/keyboarddevice.xml", "kelvo_light", 170, 170, false, -1},
    {"MousePad", kKindMousePad, 0, 0x320F, 0x1004, 2, kSelectorLayout, "tab_header_device",
     "device_power_switch", "XML/DeviceXml/mousepaddevice.xml", "kelvo_light", 15, 0, false, -1},
    {"HD", kKindHeadset, 0, 0x0C76, 0x1630, 3, kSelectorLayout, "tab_header_device",
     "device_power_switch", "XML/DeviceXml/hs6533device.xml", "kelvo_light", 13, 0, false, -1},
}};

// What a selector entry shows for a device kind.
struct KindIcons {
    std::string_view normal;
    std::string_view selected;
    std::string_view synchro_normal;
    std::string_view synchro_selected;
    std::string_view name_text;
};
// Empty for a mousepad of an unknown sub-type: its icons are left as they are.
std::optional<KindIcons> IconsForKind(uint16_t kind, uint16_t sub_type);

// One row of the update query.
struct UpdateQueryEntry {
    int query_type = 0;  // 1 or 2: product (hexadecimal versions); 0: the application (decimal)
    int enabled = 1;
    int version = 0;  // filled at run time
    std::string_view vendor_word;
    std::string_view model_word;
    std::string_view type_name;
    std::string_view type_code;
    std::string_view version_text;
};
inline constexpr std::array<UpdateQueryEntry, 4> kUpdateQueries = {{
    {1, 1, 0, "Zepho7", "ZM-223C", "mouse", "Mouse", ""},
    {1, 1, 0, "Zepho7", "ZK-0000", "keyboard", "Keyboard", ""},
    {2, 1, 0, "Zepho7", "ZP-1004", "mousepad", "MousePad", ""},
    {0, 1, 0, "Zepho7", "Zepho7-App", "application", "Zepho7", "V1.0.0.0"},
}};

// Path parsers: the hexadecimal number after the marker (case-insensitive), 0 when absent.
uint16_t VendorIdFromPath(std::string_view path);
uint16_t ProductIdFromPath(std::string_view path);
uint16_t InterfaceFromPath(std::string_view path);
uint16_t CollectionFromPath(std::string_view path);

// First device type row with these four values, or -1.
int FindDeviceType(uint16_t vendor_id, uint16_t product_id, uint16_t kind, uint16_t sub_type);
// First slot table row with these four values, or -1.
int FindSlot(uint16_t vendor_id, uint16_t product_id, uint16_t kind, uint16_t role);
// The device type row of a configuration slot: a receiver mouse is looked up as the cable
// mouse with its partner's identity; -1 when no page exists for it.
int DeviceTypeForSlot(int slot_index);

// What the scan learnt about an opened collection.
struct MatchCandidate {
    uint16_t vendor_id = 0;
    uint16_t product_id = 0;
    uint16_t interface_number = 0;
    uint16_t collection_number = 0;
    uint16_t usage_page = 0;
    uint16_t usage = 0;
};

// The live copy of the slot table, shared by the scan thread (which fills free slots) and the
// owner (which reads slots and may free them). Every call takes the table's lock.
class LiveSlotTable {
  public:
    LiveSlotTable();
    LiveSlotTable(const LiveSlotTable&) = delete;
    LiveSlotTable& operator=(const LiveSlotTable&) = delete;

    // True when every slot is connected or has a path.
    [[nodiscard]] bool AllSlotsTaken() const;
    // A table row with this identity exists and a live slot of it is free.
    [[nodiscard]] bool PreMatch(uint16_t vendor_id, uint16_t product_id, uint16_t interface_number,
                                uint16_t collection_number) const;
    // Claims the first free slot equal in all six values; its index, or -1.
    [[nodiscard]] int FullMatch(const MatchCandidate& candidate, std::string_view path);
    // Marks a slot free (not connected, no path). False for a bad index.
    bool Release(int index);
    // Connected slots and their paths, for the removal check.
    [[nodiscard]] std::vector<std::pair<int, std::string>> ConnectedSlots() const;
    [[nodiscard]] InterfaceSlot Get(int index) const;  // a default slot for a bad index
    [[nodiscard]] std::vector<InterfaceSlot> Snapshot() const;

  private:
    mutable std::mutex mutex_;
    std::array<InterfaceSlot, kInterfaceSlots.size()> slots_;
};

}  // namespace zepho7::devices
