#include "devices/catalogue.h"

#include "transport/hid_interface.h"

namespace zepho7::devices {

namespace {

constexpr KindIcons kKeyboardIcons = {
    "common/device_ico/kb_device_normal.png", "common/device_ico/kb_device_selected.png",
    "common/device_ico/kb_device_synchro_normal.png",
    "common/device_ico/kb_device_synchro_selected.png", "kb_device_name_text"};
constexpr KindIcons kMouseIcons = {
    "common/device_ico/ms_device_normal.png", "common/device_ico/ms_device_selected.png",
    "common/device_ico/ms_device_synchro_normal.png",
    "common/device_ico/ms_device_synchro_selected.png", "ms_device_name_text"};
constexpr KindIcons kHardPadIcons = {
    "common/device_ico/hard_mp_device_normal.png", "common/device_ico/hard_mp_device_selected.png",
    "common/device_ico/hard_mp_device_synchro_normal.png",
    "common/device_ico/hard_mp_device_synchro_selected.png", "hard_mp_device_name_text"};
constexpr KindIcons kSoftPadIcons = {
    "common/device_ico/soft_mp_device_normal.png", "common/device_ico/soft_mp_device_selected.png",
    "common/device_ico/soft_mp_device_synchro_normal.png",
    "common/device_ico/soft_mp_device_synchro_selected.png", "soft_mp_device_name_text"};
constexpr KindIcons kHeadsetIcons = {
    "common/device_ico/hd_device_normal.png", "common/device_ico/hd_device_selected.png",
    "common/device_ico/hd_device_synchro_normal.png",
    "common/device_ico/hd_device_synchro_selected.png", "hd_device_name_text"};
constexpr KindIcons kHubIcons = {
    "common/device_ico/hub_device_normal.png", "common/device_ico/hub_device_selected.png",
    "common/device_ico/hub_device_synchro_normal.png",
    "common/device_ico/hub_device_synchro_selected.png", "hub_device_name_text"};
constexpr KindIcons kUnknownIcons = {
    "common/device_ico/unknow_device_normal.png", "common/device_ico/unknow_device_selected.png",
    "common/device_ico/unknow_device_synchro_normal.png",
    "common/device_ico/unknow_device_synchro_selected.png", "unknow_device_name_text"};

bool SameIdentity(const SlotDescriptor& s, uint16_t vendor_id, uint16_t product_id,
                  uint16_t interface_number, uint16_t collection_number) {
    return s.vendor_id == vendor_id && s.product_id == product_id &&
           s.interface_number == interface_number && s.collection_number == collection_number;
}

bool SameSix(const SlotDescriptor& s, const MatchCandidate& c) {
    return SameIdentity(s, c.vendor_id, c.product_id, c.interface_number, c.collection_number) &&
           s.usage_page == c.usage_page && s.usage == c.usage;
}

bool IsFree(const InterfaceSlot& slot) {
    return !slot.connected && slot.path.empty();
}

uint16_t Parse16(std::string_view path, std::string_view marker) {
    return static_cast<uint16_t>(hid::ParseHexAfter(path, marker));
}

}  // namespace

std::optional<KindIcons> IconsForKind(uint16_t kind, uint16_t sub_type) {
    switch (kind) {
        case kKindKeyboard:
            return kKeyboardIcons;
        case kKindMouse:
        case kKindMouseReceiver:
            return kMouseIcons;
        case kKindMousePad:
            if (sub_type == 0)
                return kHardPadIcons;
            if (sub_type == 1)
                return kSoftPadIcons;
            return std::nullopt;
        case kKindHeadsetOther:
        case kKindHeadset:
            return kHeadsetIcons;
        case kKindHub:
            return kHubIcons;
        default:
            return kUnknownIcons;
    }
}

uint16_t VendorIdFromPath(std::string_view path) {
    return Parse16(path, "vid_");
}
uint16_t ProductIdFromPath(std::string_view path) {
    return Parse16(path, "pid_");
}
uint16_t InterfaceFromPath(std::string_view path) {
    return Parse16(path, "&mi_");
}
uint16_t CollectionFromPath(std::string_view path) {
    return Parse16(path, "&col");
}

int FindDeviceType(uint16_t vendor_id, uint16_t product_id, uint16_t kind, uint16_t sub_type) {
    for (size_t i = 0; i < kDeviceTypes.size(); ++i) {
        const DeviceTypeInfo& t = kDeviceTypes[i];
        if (t.vendor_id == vendor_id && t.product_id == product_id && t.kind == kind &&
            t.sub_type == sub_type) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int FindSlot(uint16_t vendor_id, uint16_t product_id, uint16_t kind, uint16_t role) {
    for (size_t i = 0; i < kInterfaceSlots.size(); ++i) {
        const SlotDescriptor& s = kInterfaceSlots[i];
        if (s.vendor_id == vendor_id && s.product_id == product_id && s.kind == kind &&
            s.role == role) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int DeviceTypeForSlot(int slot_index) {
    if (slot_index < 0 || slot_index >= kSlotCount)
        return -1;
    const SlotDescriptor& s = kInterfaceSlots[static_cast<size_t>(slot_index)];
    if (s.kind == kKindMouseReceiver) {
        if (s.partner_index >= kInterfaceSlots.size())
            return -1;
        const SlotDescriptor& partner = kInterfaceSlots[s.partner_index];
        return FindDeviceType(partner.vendor_id, partner.product_id, kKindMouse, 0);
    }
    return FindDeviceType(s.vendor_id, s.product_id, s.kind, 0);
}

LiveSlotTable::LiveSlotTable() {
    for (size_t i = 0; i < slots_.size(); ++i)
        slots_[i].info = kInterfaceSlots[i];
}

bool LiveSlotTable::AllSlotsTaken() const {
    std::lock_guard lock(mutex_);
    for (const InterfaceSlot& slot : slots_) {
        if (IsFree(slot))
            return false;
    }
    return true;
}

bool LiveSlotTable::PreMatch(uint16_t vendor_id, uint16_t product_id, uint16_t interface_number,
                             uint16_t collection_number) const {
    bool in_table = false;
    for (const SlotDescriptor& s : kInterfaceSlots)
        in_table =
            in_table || SameIdentity(s, vendor_id, product_id, interface_number, collection_number);
    if (!in_table)
        return false;
    std::lock_guard lock(mutex_);
    for (const InterfaceSlot& slot : slots_) {
        if (SameIdentity(slot.info, vendor_id, product_id, interface_number, collection_number) &&
            IsFree(slot)) {
            return true;
        }
    }
    return false;
}

int LiveSlotTable::FullMatch(const MatchCandidate& candidate, std::string_view path) {
    bool in_table = false;
    for (const SlotDescriptor& s : kInterfaceSlots)
        in_table = in_table || SameSix(s, candidate);
    if (!in_table)
        return -1;
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < slots_.size(); ++i) {
        InterfaceSlot& slot = slots_[i];
        if (SameSix(slot.info, candidate) && IsFree(slot)) {
            slot.connected = true;
            slot.path = path;
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool LiveSlotTable::Release(int index) {
    if (index < 0 || index >= kSlotCount)
        return false;
    std::lock_guard lock(mutex_);
    InterfaceSlot& slot = slots_[static_cast<size_t>(index)];
    slot.connected = false;
    slot.path.clear();
    return true;
}

std::vector<std::pair<int, std::string>> LiveSlotTable::ConnectedSlots() const {
    std::vector<std::pair<int, std::string>> out;
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].connected)
            out.emplace_back(static_cast<int>(i), slots_[i].path);
    }
    return out;
}

InterfaceSlot LiveSlotTable::Get(int index) const {
    if (index < 0 || index >= kSlotCount)
        return {};
    std::lock_guard lock(mutex_);
    return slots_[static_cast<size_t>(index)];
}

std::vector<InterfaceSlot> LiveSlotTable::Snapshot() const {
    std::lock_guard lock(mutex_);
    return {slots_.begin(), slots_.end()};
}

}  // namespace zepho7::devices
