// The main window, the program's central dispatcher: title bar, device selector strip, one page
// per known device, the power panels and the notification-area icon. Every control of every
// page reports its notifications here and is routed by name to the logic that owns it. The
// window owns the live slot table, the device scan and the device arrival logic (with the
// lighting synchroniser), and stops their threads when the program ends.
#pragma once

#include <QPointer>
#include <QSystemTrayIcon>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <utility>

#include "app/notify_dispatch.h"
#include "devices/catalogue.h"
#include "devices/device_arrival.h"
#include "devices/device_scan.h"
#include "devices/device_view.h"
#include "storage/folders.h"
#include "ui/window.h"

class QMenu;

namespace zepho7::panels {
class CDeviceProfileUI;
}
namespace zepho7::ui {
class ControlFactory;
class Language;
class Skin;
class TabLayout;
}  // namespace zepho7::ui

namespace zepho7::app {

class CDeviceOptionUI;
class DBusService;
class ScanBridge;
class SleepWatch;

class CMainWnd : public ui::Window,
                 public devices::DeviceShell,
                 public devices::DeviceHost,
                 private devices::ScanListener {
  public:
    static constexpr int kTitleBarButtons = 9;
    static constexpr const char* kTitleBarNames[kTitleBarButtons] = {
        "closebtn",    "maxbtn",   "restorebtn",   "minbtn", "skinbtn",
        "gamemodebtn", "cloudbtn", "smarteyesbtn", "setbtn"};

    // Timers of the window (on its root control).
    static constexpr int kTimerFitDisplay = 1011;
    static constexpr int kTimerProfileSwitch = 1055;
    static constexpr int kFitDisplayDelayMs = 100;
    static constexpr int kProfileSwitchDelayMs = 400;

    struct Options {
        storage::DataFolders folders = storage::DataFolders::ForThisRun();
        // The maker's home page ("logo_btn").
        QString home_page;
        // Scan timing (tests shorten it).
        devices::ScanOptions scan;
    };

    CMainWnd(const ui::Skin& skin, const ui::ControlFactory& factory, ui::Language& language,
             Options options);
    ~CMainWnd() override;

    // Builds the window from "XML_MAIN" (hidden); "windowinit" starts the device scan.
    bool CreateMain();

    // The instance message: brings the window to the front, restored, with "No_device_Link"
    // shown when no device is attached (a second start, D-Bus, the scan's first pass).
    void OnInstanceMessage(qintptr wparam, qintptr lparam);
    // The one way out: "exit" of the tray menu and SIGTERM.
    void Exit();
    // A shared message by name (D-Bus); false when the name is unknown.
    bool HandleSharedMessage(const QString& name, int wparam, int lparam);
    // Suspend (true) and resume (false).
    void OnPrepareForSleep(bool sleeping);

    void SetBus(DBusService* bus) { bus_ = bus; }
    // Runs once, after the window was first shown.
    void SetFirstShownHook(std::function<void()> hook) { first_shown_ = std::move(hook); }

    [[nodiscard]] int LightControlState() const noexcept { return light_control_; }
    [[nodiscard]] bool Awake() const noexcept { return awake_; }
    [[nodiscard]] bool FirstPassDone() const noexcept { return first_pass_done_; }
    [[nodiscard]] QSystemTrayIcon* Tray() const noexcept { return tray_.get(); }
    [[nodiscard]] devices::DeviceArrival* Arrival() const noexcept { return arrival_.get(); }
    // What closing does: hide to the tray when a tray host exists, else minimise.
    void CloseToTrayOrMinimise();
    // The tray icon's left click: show or hide the window.
    void ToggleFromTray();

    // The device of the first selected, attached entry of the selector strip, or nullptr.
    [[nodiscard]] devices::CNerioUSBDevice* CurrentDevice() const;
    // The selector entries in strip order.
    [[nodiscard]] std::vector<CDeviceOptionUI*> Entries() const;
    [[nodiscard]] CDeviceOptionUI* EntryOf(const devices::CNerioUSBDevice& page) const;
    // Selects the nearest visible entry before / after the selected one (no wrap).
    void SelectNeighbour(int direction);

    // DeviceShell.
    std::unique_ptr<devices::CNerioUSBDevice> CreatePage(int type_row, int config_slot,
                                                         int sub_type) override;
    [[nodiscard]] bool EntryVisible(const devices::CNerioUSBDevice& page) const override;
    [[nodiscard]] bool EntrySelected(const devices::CNerioUSBDevice& page) const override;
    void ShowEntry(devices::CNerioUSBDevice& page, bool visible, bool select) override;
    [[nodiscard]] int VisibleEntryCount() const override;
    void SelectFirstVisibleEntry() override;
    void OnSelectedDeviceLeft() override;
    void RaiseWindow() override;
    [[nodiscard]] std::pair<int, int> PrimaryScreenSize() const override;

    // DeviceHost: any thread; handled on the UI thread.
    void PostDeviceMessage(int message, intptr_t first, intptr_t second) override;

    // The profile switch (timer 1055): the current device takes the profile its profile bar
    // selected, is written with it, and gets its macros and key table.
    void ProfileSwitch();
    // The profile bar of a device's page, or nullptr.
    [[nodiscard]] static panels::CDeviceProfileUI* ProfileBarOf(devices::CNerioUSBDevice& device);

  protected:
    void InitWindow() override;
    void Notify(const ui::Notification& notification) override;
    void OnMenuResult(const ui::MenuResult& result) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    using Row = DispatchRow<CMainWnd>;
    // The routing tables, in their order of testing; the first matching row wins. The "also"
    // tables run after their main table, whatever it matched.
    static std::span<const Row> ClickRows();
    static std::span<const Row> SelectRows();
    static std::span<const Row> SliderRows();
    static std::span<const Row> ComboRows();
    static std::span<const Row> ComboAlsoRows();
    static std::span<const Row> EditRows();
    static std::span<const Row> EditAlsoRows();

    // "windowinit".
    void OnWindowInit();
    void OnWindowTimer(int id);
    void OnEntryTimer(CDeviceOptionUI& entry, int id);
    // A page asks for an entry timer (UI thread).
    void StartEntryTimer(QWidget* entry, int id, int interval_ms);
    // Notifications and messages.
    void OnCloseButton();
    void OnDeviceSelected();
    void OnSettingsSubPage(const ui::Notification& n, int page);
    void OnFunctionPage(const ui::Notification& n, int page);
    void OnSameMode();
    void OnLogo();
    void ToggleLightControl();
    // Sets the light-control state, names it on "control_light_status" and tells the pages.
    void SetLightControl(int state, bool announce);
    void TellPagesLighting(bool enabled);
    void TellPagesPointerInside();
    void SetWindowHiddenFlags(bool hidden);
    void FitToDisplay();
    // The tray icon's menu, at the window's DPI.
    void BuildTrayMenu();
    void UpdateNoDeviceLink();
    void ShowPowerPanelOf(const CDeviceOptionUI& entry);
    void AnswerDeviceList();
    void HandleDeviceMessage(int message, intptr_t first, intptr_t second);

    // Page creation helpers.
    QWidget* CreateControl(const QString& tag, QWidget* parent);
    void ApplyBaseFont(QWidget* root);
    // Gives a new power panel the device kind and sub-type.
    void SetUpPowerPanel(QWidget* panel, int kind, int sub_type);
    // The profile bar of the current device hears of a function page change.
    void TellProfileBarFunctionPage(int page);
    // Profiles (main_window_profiles.cpp).
    static void ProfileBarRow(CMainWnd& w, const Dispatched& d) {
        w.OnProfileBarClick(d.notification.sender_name);
    }
    void OnProfileBarClick(const QString& name);
    void OnDefaultButton();
    // The device part of a profile reset: load, write settings, macros and key table.
    void ResetDeviceToProfile(devices::CNerioUSBDevice& device);
    // Writes the macros the device's keys use; false when the key table must not follow (the
    // user was told why).
    bool WriteDeviceMacros(devices::CNerioUSBDevice& device);
    [[nodiscard]] devices::LightWriteRequest ProfileWriteRequest() const;

    // ScanListener (scan thread).
    void OnDeviceArrived(int slot_index) override;
    void OnDeviceRemoved(int slot_index) override;
    void OnFirstPass() override;
    // On the UI thread; deferred while the machine sleeps.
    void HandleSlotChange(int message, int slot_index);

    // Stops the scan, the synchroniser and every page's threads, in that order.
    void StopDeviceWork();

    ui::Language& language_;
    Options options_;
    QWidget* title_buttons_[kTitleBarButtons] = {};
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::unique_ptr<QMenu> tray_menu_;
    DBusService* bus_ = nullptr;
    std::function<void()> first_shown_;
    int light_control_ = 1;
    bool window_active_ = false;
    bool pointer_inside_ = false;
    bool display_changed_ = false;
    bool awake_ = true;
    bool exiting_ = false;
    bool first_pass_done_ = false;
    // The entry timer whose expiry is being handled, and whether its handler asked for the next.
    QWidget* firing_entry_ = nullptr;
    int firing_id_ = 0;
    bool firing_restarted_ = false;
    std::chrono::steady_clock::time_point firing_started_;
    bool device_work_stopped_ = false;
    // Slot changes that came while the machine slept, replayed in order on resume.
    std::deque<std::pair<int, int>> deferred_slot_changes_;

    // Device work. Declared so that the scan goes first, then the pages, then the hand-over.
    std::unique_ptr<ScanBridge> bridge_;
    devices::LiveSlotTable slots_;
    std::unique_ptr<devices::DeviceArrival> arrival_;
    std::unique_ptr<devices::DeviceScanner> scanner_;
    std::unique_ptr<SleepWatch> sleep_watch_;
};

}  // namespace zepho7::app
