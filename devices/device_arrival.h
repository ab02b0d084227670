// What the program does when the scan reports a collection: the first time a product is seen
// its page is made; the page's transceiver is opened on the cable or the receiver; its selector
// entry is shown; a page moves between cable and receiver when one of the two comes or goes
// while the other stays; the entry is hidden again when the device leaves. Also the entry
// timers that drive each device's periodic work, and "same mode" (every connected device takes
// the current device's effect).
//
// No Qt here: the window implements DeviceShell. Everything runs on the window's thread, except
// Pages(), which the lighting synchroniser reads from its own thread.
//
// Entry timers are one-shot: DeviceView::StartTimer (re)starts one expiry, and the window passes
// every expiry, whatever its id, to OnEntryTimer.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "devices/catalogue.h"
#include "devices/light_sync.h"
#include "devices/usb_device.h"

namespace zepho7::devices {

// Messages between the scan, the arrival logic and the window.
inline constexpr int kMessageConnected = 3090;     // first parameter: slot index
inline constexpr int kMessageDisconnected = 3091;  // first parameter: slot index
inline constexpr int kMessageShowEntry = 3331;     // type row index, 1 show / 0 hide

// Page lists, by the kind a page is looked up with.
enum class PageList : int { kKeyboard = 0, kMouse = 1, kMousePad = 2, kHeadset = 3 };
inline constexpr int kPageListCount = 4;

// "Same mode": the effect a page's light mode stands for among the synchronised effects, and
// back. Modes without a synchronised equivalent give nothing.
[[nodiscard]] std::optional<SyncEffect> SyncEffectForMode(PageList list, uint8_t mode);
[[nodiscard]] uint8_t ModeForSyncEffect(PageList list, SyncEffect effect);
// The page list of a slot kind (1, 9 keyboard; 2, 6 mouse; 3 mousepad; 7 headset).
[[nodiscard]] std::optional<PageList> PageListForKind(uint16_t kind);

// Tries of the receiver link after a switch to the receiver, and their spacing.
inline constexpr int kLinkQueryTries = 26;
inline constexpr int kLinkQuerySpacingMs = 50;

// The window's side. Window thread only.
class DeviceShell {
  public:
    virtual ~DeviceShell() = default;

    // Builds the power panel, the selector entry (hidden) and the page of device type row
    // `type_row` for configuration slot `config_slot`, sets the device object up in the order
    // usb_device.h gives (identity: LiveSlotTable::Get(config_slot)) and runs its BuildPage.
    // A product first seen through its receiver gets the page of the receiver's partner (the
    // cable slot), so one page serves both links. The view starts the entry's timers
    // (DeviceView::StartTimer); when one fires the window calls DeviceArrival::OnEntryTimer.
    // nullptr when a layout cannot be built.
    virtual std::unique_ptr<CNerioUSBDevice> CreatePage(int type_row, int config_slot,
                                                        int sub_type) = 0;

    // The selector entry of a page: visible means attached.
    [[nodiscard]] virtual bool EntryVisible(const CNerioUSBDevice& page) const = 0;
    [[nodiscard]] virtual bool EntrySelected(const CNerioUSBDevice& page) const = 0;
    // Shows or hides the entry, selecting it (and its page and power panel) when asked; then
    // updates "No_device_Link", tells the pages how many entries are visible and clears the
    // synchronise marks when fewer than two are on.
    virtual void ShowEntry(CNerioUSBDevice& page, bool visible, bool select) = 0;
    [[nodiscard]] virtual int VisibleEntryCount() const = 0;
    // Shows and selects the first visible entry, if any.
    virtual void SelectFirstVisibleEntry() = 0;
    // The selected device left: close the secondary windows, remove the input hook and stop
    // recording a macro.
    virtual void OnSelectedDeviceLeft() = 0;
    // Restores the window and brings it to the front (on every connection).
    virtual void RaiseWindow() = 0;
    // The primary screen's size in pixels, written with the mouse's settings ("same mode").
    [[nodiscard]] virtual std::pair<int, int> PrimaryScreenSize() const { return {1920, 1080}; }
};

class DeviceArrival {
  public:
    DeviceArrival(LiveSlotTable& slots, DeviceShell& shell);
    // Stops every page's threads and closes its links.
    ~DeviceArrival();
    DeviceArrival(const DeviceArrival&) = delete;
    DeviceArrival& operator=(const DeviceArrival&) = delete;

    // The "mouse" and "keyboard" pages, made before any device is found.
    void CreateInitialPages();

    // Message 3090 / 3091.
    void OnConnected(int slot_index);
    void OnDisconnected(int slot_index);
    // Message 3331: show (only when hidden; selected when no entry was visible) or hide as on
    // removal.
    void OnShowEntry(int type_row, bool show);
    // An entry timer (1000, 1001, 1002, 1005, 1007) of `page` fired. After a switch to the
    // receiver, 1007 also carries the tries of the receiver link (every 50 ms) until the device
    // answers or 26 tries have failed; the link watch follows.
    void OnEntryTimer(CNerioUSBDevice& page, int timer_id);

    // "deng_same_mode": every connected page takes the current page's effect, in step. Starts
    // the lighting synchroniser the first time.
    void SameMode(CNerioUSBDevice& current);

    // Every page's threads asked to stop at once, then each waited for within its bound.
    void StopAllThreads();

    // A snapshot of one page list (any thread). Pages live as long as this object.
    [[nodiscard]] std::vector<CNerioUSBDevice*> Pages(PageList list) const;
    // The page of a device type row, or nullptr.
    [[nodiscard]] CNerioUSBDevice* PageForTypeRow(int type_row) const;
    // How many failed reachability checks in a row (0..19) a page's entry has seen.
    [[nodiscard]] int UnreachableCount(const CNerioUSBDevice& page) const;
    // The lighting synchroniser (its settings are those "same mode" set last).
    LightSynchroniser& Synchroniser() { return synchroniser_; }

  private:
    struct PageRecord;
    bool CreatePage(int config_slot, int sub_type);
    void Attach(int slot_index);
    // Moves the page of the cable/receiver pair of `slot_index` to the receiver or the cable.
    void LinkSwitch(int slot_index, bool to_receiver);
    PageRecord* FindPage(const InterfaceSlot& identity);
    PageRecord* RecordOf(const CNerioUSBDevice& page) const;
    // The slot whose identity the page of `slot_index` carries: the product's configuration
    // slot, or for a receiver (kinds 6 and 9) with a partner, the partner's.
    int PageIdentityIndex(int slot_index) const;
    void NotificationSlot(int slot_index, bool connected);
    void ShowEntry(CNerioUSBDevice& page, bool visible, bool select);
    void HideEntry(CNerioUSBDevice& page);
    void TryReceiverLink(PageRecord& record);
    void ForEachSyncPage(const std::function<void(CNerioUSBDevice&)>& visit) const;

    LiveSlotTable& slots_;
    DeviceShell& shell_;
    mutable std::mutex pages_mutex_;  // the lists; the synchroniser reads them
    std::vector<std::unique_ptr<PageRecord>> records_;
    std::array<std::vector<CNerioUSBDevice*>, kPageListCount> lists_;
    LightSynchroniser synchroniser_;  // after the pages: stopped before they go
};

// The block the companion tool gets for its device-list request: little-endian 32-bit words,
// the version 2, 3, 0, 2, the number of device type rows, then per row its vendor id, product
// id and kind; zero after that.
std::array<uint8_t, 1024> DeviceListBlock();

}  // namespace zepho7::devices
