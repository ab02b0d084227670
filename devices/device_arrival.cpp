#include "devices/device_arrival.h"

#include <bit>

#include "base/le.h"
#include "base/trace.h"
#include "devices/device_link.h"
#include "transport/commands.h"

namespace zepho7::devices {

namespace {

// The mode numbers of the synchronised effects, by page list (breathing, steady, flash, colour
// cycle, off).
constexpr std::array<std::array<uint8_t, kSyncEffectCount>, kPageListCount> kSyncModes = {{
    {5, 6, 23, 4, 28},  // keyboard
    {2, 3, 4, 1, 10},   // mouse
    {2, 3, 4, 1, 8},    // mousepad
    {2, 3, 4, 1, 8},    // headset
}};

constexpr int kUnreachableWrap = 20;
constexpr int kSyncDelayMs = 500;
constexpr int kUnreachableRetryMs = 3000;
constexpr int kFrameCableMs = 5;
constexpr int kFrameReceiverMs = 100;
constexpr int kFirstPowerMs = 50;
constexpr int kPowerMs = 5000;
constexpr int kLinkWatchFirstMs = 2000;
constexpr int kLinkWatchMs = 3000;

bool IsReceiverKind(uint16_t kind) {
    return kind == kKindMouseReceiver || kind == kKindKeyboardReceiver;
}
bool IsCableKind(uint16_t kind) {
    return kind == kKindKeyboard || kind == kKindMouse;
}

// Equal in vendor, product, interface, collection, kind, role, usage page and usage.
bool SameSlot(const SlotDescriptor& a, const SlotDescriptor& b) {
    return a.vendor_id == b.vendor_id && a.product_id == b.product_id &&
           a.interface_number == b.interface_number && a.collection_number == b.collection_number &&
           a.kind == b.kind && a.role == b.role && a.usage_page == b.usage_page &&
           a.usage == b.usage;
}

const char* ArrivalTrace(PageList list) {
    switch (list) {
        case PageList::kKeyboard:
            return "添加一个键盘设备";
        case PageList::kMouse:
            return "添加一个鼠标设备";
        default:
            return "添加一个鼠标垫设备";
    }
}

const char* RemovalTrace(PageList list) {
    switch (list) {
        case PageList::kKeyboard:
            return "删除一个键盘设备";
        case PageList::kMouse:
            return "删除一个鼠标设备";
        default:
            return "删除一个鼠标垫设备";
    }
}

void StartTimer(CNerioUSBDevice& page, int id, int interval_ms) {
    if (DeviceView* view = page.View())
        view->StartTimer(id, interval_ms);
}

// The cable and the receiver of one device are both present: `slot` has a partner that is
// connected and names it back.
bool PartnerPresent(const LiveSlotTable& slots, int slot_index, const InterfaceSlot& slot) {
    if (slot.info.has_partner == 0)
        return false;
    const InterfaceSlot partner = slots.Get(slot.info.partner_index);
    return partner.connected && !partner.path.empty() &&
           partner.info.partner_index == static_cast<uint16_t>(slot_index);
}

constexpr std::array<PageList, kPageListCount> kSameModeOrder = {
    PageList::kKeyboard, PageList::kMouse, PageList::kMousePad, PageList::kHeadset};
constexpr std::array<PageList, kPageListCount> kSyncSendOrder = {
    PageList::kMouse, PageList::kMousePad, PageList::kHeadset, PageList::kKeyboard};

size_t ListIndex(PageList list) {
    return static_cast<size_t>(list);
}

}  // namespace

std::optional<SyncEffect> SyncEffectForMode(PageList list, uint8_t mode) {
    const auto& modes = kSyncModes[ListIndex(list)];
    for (size_t e = 0; e < modes.size(); ++e) {
        if (modes[e] == mode)
            return static_cast<SyncEffect>(e);
    }
    return std::nullopt;
}

uint8_t ModeForSyncEffect(PageList list, SyncEffect effect) {
    return kSyncModes[ListIndex(list)][static_cast<size_t>(effect)];
}

std::optional<PageList> PageListForKind(uint16_t kind) {
    switch (kind) {
        case kKindKeyboard:
        case kKindKeyboardReceiver:
            return PageList::kKeyboard;
        case kKindMouse:
        case kKindMouseReceiver:
            return PageList::kMouse;
        case kKindMousePad:
            return PageList::kMousePad;
        case kKindHeadset:
            return PageList::kHeadset;
        default:
            return std::nullopt;
    }
}

struct DeviceArrival::PageRecord {
    std::unique_ptr<CNerioUSBDevice> page;
    PageList list = PageList::kMouse;
    int unreachable = 0;
    // The receiver link is being tried after a switch to the receiver.
    bool link_query = false;
    int link_tries = 0;
};

DeviceArrival::DeviceArrival(LiveSlotTable& slots, DeviceShell& shell)
    : slots_(slots),
      shell_(shell),
      synchroniser_([this](const auto& visit) { ForEachSyncPage(visit); }) {}

DeviceArrival::~DeviceArrival() {
    StopAllThreads();
    for (const auto& record : records_)
        CloseConfigurationLink(record->page->Transceiver());
}

// ---- Pages ----

void DeviceArrival::CreateInitialPages() {
    for (const std::string_view name : {"mouse", "keyboard"}) {
        for (const DeviceTypeInfo& t : kDeviceTypes) {
            if (t.type_name != name)
                continue;
            const int slot = FindSlot(t.vendor_id, t.product_id, t.kind, kRoleConfiguration);
            if (slot >= 0 && FindPage(slots_.Get(slot)) == nullptr)
                static_cast<void>(CreatePage(slot, t.sub_type));
        }
    }
}

bool DeviceArrival::CreatePage(int config_slot, int sub_type) {
    const InterfaceSlot slot = slots_.Get(config_slot);
    const std::optional<PageList> list = PageListForKind(slot.info.kind);
    if (!list)
        return false;
    // A receiver without a partner is looked up as the device it carries.
    const uint16_t kind =
        slot.info.kind == kKindMouseReceiver ? uint16_t{kKindMouse} : slot.info.kind;
    const int row = FindDeviceType(slot.info.vendor_id, slot.info.product_id, kind,
                                   static_cast<uint16_t>(sub_type));
    if (row < 0) {
        Z7_TRACE("slot %d: no device type\n", config_slot);
        return false;
    }
    std::unique_ptr<CNerioUSBDevice> page = shell_.CreatePage(row, config_slot, sub_type);
    if (page == nullptr) {
        Z7_TRACE("device type %d: the page could not be built\n", row);
        return false;
    }
    auto record = std::make_unique<PageRecord>();
    record->page = std::move(page);
    record->list = *list;
    std::lock_guard lock(pages_mutex_);
    lists_[ListIndex(*list)].push_back(record->page.get());
    records_.push_back(std::move(record));
    return true;
}

DeviceArrival::PageRecord* DeviceArrival::FindPage(const InterfaceSlot& identity) {
    for (const auto& record : records_) {
        if (SameSlot(record->page->Identity().info, identity.info))
            return record.get();
    }
    return nullptr;
}

DeviceArrival::PageRecord* DeviceArrival::RecordOf(const CNerioUSBDevice& page) const {
    for (const auto& record : records_) {
        if (record->page.get() == &page)
            return record.get();
    }
    return nullptr;
}

std::vector<CNerioUSBDevice*> DeviceArrival::Pages(PageList list) const {
    std::lock_guard lock(pages_mutex_);
    return lists_[ListIndex(list)];
}

CNerioUSBDevice* DeviceArrival::PageForTypeRow(int type_row) const {
    for (const auto& record : records_) {
        if (record->page->TypeRow() == type_row)
            return record->page.get();
    }
    return nullptr;
}

int DeviceArrival::UnreachableCount(const CNerioUSBDevice& page) const {
    const PageRecord* record = RecordOf(page);
    return record != nullptr ? record->unreachable : 0;
}

int DeviceArrival::PageIdentityIndex(int slot_index) const {
    const SlotDescriptor& s = kInterfaceSlots[static_cast<size_t>(slot_index)];
    int index = slot_index;
    if (s.role != kRoleConfiguration) {
        index = FindSlot(s.vendor_id, s.product_id, s.kind, kRoleConfiguration);
        if (index < 0)
            return slot_index;
    }
    const SlotDescriptor& config = kInterfaceSlots[static_cast<size_t>(index)];
    if (IsReceiverKind(config.kind) && config.has_partner != 0 && config.partner_index < kSlotCount)
        return config.partner_index;
    return index;
}

// ---- Arrival and removal ----

void DeviceArrival::OnConnected(int slot_index) {
    if (slot_index < 0 || slot_index >= kSlotCount)
        return;
    const SlotDescriptor& info = kInterfaceSlots[static_cast<size_t>(slot_index)];
    if (const std::optional<PageList> list = PageListForKind(info.kind)) {
        Z7_TRACE("%s\n", ArrivalTrace(*list));
        const int identity = PageIdentityIndex(slot_index);
        if (FindPage(slots_.Get(identity)) == nullptr)
            static_cast<void>(CreatePage(identity, 0));
        if (info.role == kRoleConfiguration)
            Attach(slot_index);
        else
            NotificationSlot(slot_index, true);
    }
    shell_.RaiseWindow();
}

void DeviceArrival::Attach(int slot_index) {
    const InterfaceSlot slot = slots_.Get(slot_index);
    if (PartnerPresent(slots_, slot_index, slot)) {
        // Cable and receiver of one device: the cable wins; a receiver arriving changes nothing.
        if (IsCableKind(slot.info.kind))
            LinkSwitch(slot_index, false);
        return;
    }
    const InterfaceSlot identity = slots_.Get(PageIdentityIndex(slot_index));
    PageRecord* record = FindPage(identity);
    if (record == nullptr || record->page->Transceiver().IsOpen())
        return;
    CNerioUSBDevice& page = *record->page;
    // Set while the link is still closed, so no other thread of the page is exchanging.
    page.SetIdentity(identity);
    const bool receiver = IsReceiverKind(slot.info.kind);
    if (!OpenConfigurationLink(page.Transceiver(), slot.path, receiver)) {
        Z7_TRACE("%s: %s could not be opened\n", page.TypeName().c_str(), slot.path.c_str());
        return;
    }
    record->link_query = false;
    // Through the receiver the entry waits for the device to answer (timers 1001 and 1007).
    if (!receiver)
        ShowEntry(page, true, shell_.VisibleEntryCount() == 0);
    StartTimer(page, kTimerSync, kSyncDelayMs);
}

void DeviceArrival::NotificationSlot(int slot_index, bool connected) {
    PageRecord* record = FindPage(slots_.Get(PageIdentityIndex(slot_index)));
    if (record == nullptr)
        return;
    const SlotDescriptor& info = kInterfaceSlots[static_cast<size_t>(slot_index)];
    const int link = IsReceiverKind(info.kind) ? kLinkReceiver : kLinkCable;
    CNerioUSBDevice& page = *record->page;
    if (!connected) {
        page.CloseNotificationCollection(link);
        return;
    }
    const InterfaceSlot slot = slots_.Get(slot_index);
    if (!page.OpenNotificationCollection(slot, link))
        Z7_TRACE("%s: notifications at %s could not be opened\n", page.TypeName().c_str(),
                 slot.path.c_str());
}

void DeviceArrival::OnDisconnected(int slot_index) {
    if (slot_index < 0 || slot_index >= kSlotCount)
        return;
    const InterfaceSlot slot = slots_.Get(slot_index);
    const std::optional<PageList> list = PageListForKind(slot.info.kind);
    if (!list)
        return;
    Z7_TRACE("%s\n", RemovalTrace(*list));
    if (*list == PageList::kMouse)
        Z7_TRACE("鼠标设备丢失\n");
    if (slot.info.role != kRoleConfiguration) {
        NotificationSlot(slot_index, false);
        return;
    }
    if (PartnerPresent(slots_, slot_index, slot)) {
        // The other link stays: a cable leaving moves the page to the receiver.
        if (IsCableKind(slot.info.kind))
            LinkSwitch(slot_index, true);
        return;
    }
    PageRecord* record = FindPage(slots_.Get(PageIdentityIndex(slot_index)));
    if (record == nullptr)
        return;
    record->link_query = false;
    CloseConfigurationLink(record->page->Transceiver());
    HideEntry(*record->page);
}

void DeviceArrival::LinkSwitch(int slot_index, bool to_receiver) {
    const InterfaceSlot slot = slots_.Get(slot_index);
    const InterfaceSlot partner = slots_.Get(slot.info.partner_index);
    const bool slot_is_receiver = IsReceiverKind(slot.info.kind);
    const InterfaceSlot& receiver = slot_is_receiver ? slot : partner;
    const InterfaceSlot& cable = slot_is_receiver ? partner : slot;
    PageRecord* record = FindPage(slots_.Get(PageIdentityIndex(slot_index)));
    if (record == nullptr)
        return;
    CNerioUSBDevice& page = *record->page;
    record->link_query = false;
    const std::string& path = to_receiver ? receiver.path : cable.path;
    if (!OpenConfigurationLink(page.Transceiver(), path, to_receiver)) {
        // Neither link is usable now: as on removal.
        Z7_TRACE("%s: link switch to %s failed\n", page.TypeName().c_str(), path.c_str());
        HideEntry(page);
        return;
    }
    if (to_receiver) {
        if (page.HasBattery()) {
            record->link_query = true;
            record->link_tries = 0;
            TryReceiverLink(*record);
        } else {
            StartTimer(page, kTimerLinkWatch, kLinkWatchFirstMs);
        }
        return;
    }
    StartTimer(page, kTimerSync, kSyncDelayMs);
    OnShowEntry(page.TypeRow(), true);
    if (page.HasBattery())
        page.ReadPowerStatus();
}

// One try of the receiver link after a switch; the next one 50 ms later on timer 1007, so the
// window's thread never waits between tries.
void DeviceArrival::TryReceiverLink(PageRecord& record) {
    CNerioUSBDevice& page = *record.page;
    DeviceTransceiver& t = page.Transceiver();
    if (!t.IsOpen() || !t.IsWireless()) {
        record.link_query = false;
        return;
    }
    ++record.link_tries;
    if (!CmdQueryLink(t)) {
        Z7_TRACE("获取2.4G模式失败\n");
        if (record.link_tries < kLinkQueryTries) {
            StartTimer(page, kTimerLinkWatch, kLinkQuerySpacingMs);
            return;
        }
    }
    record.link_query = false;
    Z7_TRACE("获取2\n");
    page.ReadPowerStatus();
    StartTimer(page, kTimerLinkWatch, kLinkWatchFirstMs);
}

// ---- Entries ----

void DeviceArrival::ShowEntry(CNerioUSBDevice& page, bool visible, bool select) {
    shell_.ShowEntry(page, visible, select);
    // Synchronisation needs two devices.
    if (shell_.VisibleEntryCount() < 2) {
        for (const auto& record : records_)
            record->page->SetSynchronised(false);
    }
}

void DeviceArrival::HideEntry(CNerioUSBDevice& page) {
    const bool was_selected = shell_.EntryVisible(page) && shell_.EntrySelected(page);
    if (was_selected)
        shell_.OnSelectedDeviceLeft();
    ShowEntry(page, false, false);
    // Another device takes the selection only when the one that left had it.
    if (was_selected && shell_.VisibleEntryCount() > 0)
        shell_.SelectFirstVisibleEntry();
}

void DeviceArrival::OnShowEntry(int type_row, bool show) {
    CNerioUSBDevice* page = PageForTypeRow(type_row);
    if (page == nullptr)
        return;
    if (show) {
        if (!shell_.EntryVisible(*page))
            ShowEntry(*page, true, shell_.VisibleEntryCount() == 0);
        return;
    }
    HideEntry(*page);
    Z7_TRACE("2.4gcesvdfherhue 1\n");
}

// ---- Entry timers ----

void DeviceArrival::OnEntryTimer(CNerioUSBDevice& page, int timer_id) {
    DeviceTransceiver& t = page.Transceiver();
    switch (timer_id) {
        case kTimerFrame: {
            // Every 5 ms by cable: nothing here but the frame and the restart. With the window
            // hidden and nothing streamed the frames only feed previews nobody sees.
            page.SendLightFrame();
            const bool idle = page.WindowHidden() && !page.StreamsLightFrames();
            if (t.IsOpen()) {
                StartTimer(page, kTimerFrame,
                           t.IsWireless() || idle ? kFrameReceiverMs : kFrameCableMs);
            }
            return;
        }
        case kTimerResync:
            page.RefreshLightFromDevice();
            return;
        case kTimerPower:
            page.ReadPowerStatus();
            if (page.HasBattery())
                StartTimer(page, kTimerPower, kPowerMs);
            return;
        default:
            break;
    }
    PageRecord* record = RecordOf(page);
    if (record == nullptr)
        return;
    if (timer_id == kTimerSync) {
        // A device that left before its first read is not read.
        if (!t.IsOpen())
            return;
        const bool wireless = t.IsWireless();
        if (wireless) {
            if (!page.IsReachableByReceiver()) {
                record->unreachable = (record->unreachable + 1) % kUnreachableWrap;
                if (shell_.EntryVisible(page))
                    OnShowEntry(page.TypeRow(), false);
                StartTimer(page, kTimerSync, kUnreachableRetryMs);
                return;
            }
            OnShowEntry(page.TypeRow(), true);
        }
        page.SyncFromDevice();
        record->unreachable = 0;
        StartTimer(page, kTimerFrame, kFrameCableMs);
        if (page.HasBattery() && t.IsOpen())
            StartTimer(page, kTimerPower, kFirstPowerMs);
        // While the receiver link is being tried, its last try starts the watch.
        if (wireless && t.IsOpen() && !record->link_query)
            StartTimer(page, kTimerLinkWatch, kLinkWatchFirstMs);
        return;
    }
    if (timer_id != kTimerLinkWatch)
        return;
    if (record->link_query) {
        TryReceiverLink(*record);
        return;
    }
    if (!t.IsOpen())
        return;
    if (!t.IsWireless()) {
        Z7_TRACE("2.4gcesvdfherhue  12312423\n");
        return;
    }
    if (page.IsReachableByReceiver()) {
        if (!shell_.EntryVisible(page)) {
            OnShowEntry(page.TypeRow(), true);
            if (page.HasBattery())
                page.ReadPowerStatus();
            Z7_TRACE("2.4gcesvdfherhue  12312423 123342341\n");
        }
    } else if (shell_.EntryVisible(page)) {
        OnShowEntry(page.TypeRow(), false);
        Z7_TRACE("2.4gcesvdfherhue\n");
    }
    StartTimer(page, kTimerLinkWatch, kLinkWatchMs);
}

// ---- Same mode and the synchroniser ----

void DeviceArrival::SameMode(CNerioUSBDevice& current) {
    const PageRecord* source = RecordOf(current);
    if (source == nullptr)
        return;
    const storage::LightRecord r = current.GetLightState().record;
    const std::optional<SyncEffect> effect = SyncEffectForMode(source->list, r.select_item);
    if (!effect)
        return;
    synchroniser_.SetSettings(
        {*effect, r.light, r.speed, r.fx, r.multi_color, r.red, r.green, r.blue});
    const auto [width, height] = shell_.PrimaryScreenSize();
    for (const PageList list : kSameModeOrder) {
        for (CNerioUSBDevice* page : Pages(list)) {
            if (!page->Transceiver().IsOpen())
                continue;
            // The effect's settings; what else the record holds stays the device's own.
            LightState state = page->GetLightState();
            storage::LightRecord& target = state.record;
            target.select_item = ModeForSyncEffect(list, *effect);
            target.light = r.light;
            target.speed = r.speed;
            target.fx = r.fx;
            target.multi_color = r.multi_color;
            target.red = r.red;
            target.green = r.green;
            target.blue = r.blue;
            if (DeviceView* view = page->View())
                view->ShowLightRecord(target);
            const auto bytes = std::bit_cast<std::array<uint8_t, sizeof(LightState)>>(state);
            page->SetLightParameters(ReadLe32(&bytes[0]), ReadLe32(&bytes[4]), ReadLe32(&bytes[8]),
                                     ReadLe32(&bytes[12]));
            page->SaveProfile();
            static_cast<void>(page->ApplyLightSettings());
            const int written = page->WriteLightSettings({0, 0, 1, width, height});
            if (written != kResultOk)
                Z7_TRACE("%s: same mode not written (%d)\n", page->TypeName().c_str(), written);
            // Applying a record clears the flag; the synchroniser drives the page from now on.
            page->SetSynchronised(true);
        }
    }
    synchroniser_.Start();
    synchroniser_.Wake();
}

void DeviceArrival::ForEachSyncPage(const std::function<void(CNerioUSBDevice&)>& visit) const {
    std::lock_guard lock(pages_mutex_);
    for (const PageList list : kSyncSendOrder) {
        for (CNerioUSBDevice* page : lists_[ListIndex(list)])
            visit(*page);
    }
}

void DeviceArrival::StopAllThreads() {
    std::vector<CNerioUSBDevice*> pages;
    {
        std::lock_guard lock(pages_mutex_);
        for (const auto& record : records_)
            pages.push_back(record->page.get());
    }
    // Everything is asked first, so the waits overlap instead of adding up.
    synchroniser_.RequestStop();
    for (CNerioUSBDevice* page : pages)
        page->RequestStopThreads();
    static_cast<void>(synchroniser_.Stop());
    for (CNerioUSBDevice* page : pages)
        page->StopThreads();
}

// ---- The companion tool ----

std::array<uint8_t, 1024> DeviceListBlock() {
    static_assert((5 + 3 * kDeviceTypes.size()) * 4 <= 1024);
    std::array<uint8_t, 1024> block{};
    size_t at = 0;
    const auto put = [&block, &at](uint32_t value) {
        for (int b = 0; b < 4; ++b)
            block[at + static_cast<size_t>(b)] = static_cast<uint8_t>(value >> (8 * b));
        at += 4;
    };
    for (const uint32_t version : {2u, 3u, 0u, 2u})
        put(version);
    put(static_cast<uint32_t>(kDeviceTypes.size()));
    for (const DeviceTypeInfo& t : kDeviceTypes) {
        put(t.vendor_id);
        put(t.product_id);
        put(t.kind);
    }
    return block;
}

}  // namespace zepho7::devices
