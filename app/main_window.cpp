#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include "app/dbus_service.h"
#include "app/device_option.h"
#include "app/scan_bridge.h"
#include "app/shared_messages.h"
#include "app/sleep_watch.h"
#include "base/trace.h"
#include "ui/attributes.h"
#include "ui/control_factory.h"
#include "ui/controls.h"
#include "ui/language.h"
#include "ui/menu.h"
#include "ui/skin.h"

namespace zepho7::app {

namespace {

using devices::PageList;

bool Is(const QString& value, const char* name) {
    return value == QLatin1String(name);
}

}  // namespace

CMainWnd::CMainWnd(const ui::Skin& skin, const ui::ControlFactory& factory, ui::Language& language,
                   Options options)
    : ui::Window(skin, factory),
      language_(language),
      options_(std::move(options)),
      bridge_(std::make_unique<ScanBridge>()) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QString::fromUtf8(kWindowTitle));
    setObjectName(QStringLiteral("MainWnd"));
    SetLanguage(&language_);
    // The saved language is read by the language settings once they exist; until then the
    // English texts, loaded before the layout so that its text ids resolve.
    if (language_.GetLanguage().isEmpty())
        language_.SetLanguage(QStringLiteral("lan_en"));
    resize(800, 572);
}

CMainWnd::~CMainWnd() {
    StopDeviceWork();
    if (tray_)
        tray_->hide();
}

bool CMainWnd::CreateMain() {
    return Create(QStringLiteral("XML_MAIN"), [this](const QString& tag, QWidget* parent) {
        return CreateControl(tag, parent);
    });
}

// ---- Initialisation ----

void CMainWnd::InitWindow() {
    Z7_TRACE("InitWindow");
    // Skin-change notices come with the skin window.
    for (int i = 0; i < kTitleBarButtons; ++i)
        title_buttons_[i] = FindControl(QString::fromLatin1(kTitleBarNames[i]));
    const QIcon icon(skin().Path(QStringLiteral("icons/zepho7.svg")));
    setWindowIcon(icon);
    tray_ = std::make_unique<QSystemTrayIcon>(icon);
    tray_->setToolTip(QString::fromUtf8(kWindowTitle));
    // The tray's own context menu takes the place of a menu opened by a timer after a right
    // click: the desktop places it by the panel's edge.
    BuildTrayMenu();
    connect(tray_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    ToggleFromTray();
            });
    tray_->show();
}

void CMainWnd::OnWindowInit() {
    // Other processes reach the program over D-Bus, which needs no message filter.
    if (bus_ != nullptr) {
        bus_->Broadcast(QString::fromLatin1(kSharedMessages[kLightControlAnnouncement].name), 1, 1);
    }
    Z7_TRACE("language: %s", qPrintable(language_.GetLanguage()));
    // The live slot table was filled when it was made; the mouse and keyboard pages exist
    // before any device is found.
    arrival_ = std::make_unique<devices::DeviceArrival>(slots_, *this);
    arrival_->CreateInitialPages();
    const auto [width, height] = PrimaryScreenSize();
    Z7_TRACE("screen %dx%d", width, height);
    // Sized for the display before it first shows; the scan's first pass shows it.
    FitToDisplay();
    hide();
    scanner_ = std::make_unique<devices::DeviceScanner>(
        slots_, static_cast<devices::ScanListener&>(*this), options_.scan);
    scanner_->Start();
    Z7_TRACE("audio capture: not started (music lighting comes with the audio program)");
    SetTimer(Root(), kTimerFitDisplay, kFitDisplayDelayMs);
    sleep_watch_ =
        std::make_unique<SleepWatch>([this](bool sleeping) { OnPrepareForSleep(sleeping); });
    static_cast<void>(sleep_watch_->Start());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        connect(screen, &QScreen::geometryChanged, this, [this] {
            if (!awake_)
                return;
            Z7_TRACE("显示器分辨率发生变化");
            display_changed_ = true;
            FitToDisplay();
        });
    }
}

// ---- Notifications ----

std::span<const CMainWnd::Row> CMainWnd::ClickRows() {
    using K = MatchKind;
    static constexpr Row kRows[] = {
        {K::kName, "closebtn", [](CMainWnd& w, const Dispatched&) { w.OnCloseButton(); }},
        {K::kName, "nodevice_ok_btn", [](CMainWnd& w, const Dispatched&) { w.hide(); }},
        {K::kName, "control_light_status",
         [](CMainWnd& w, const Dispatched&) { w.ToggleLightControl(); }},
        {K::kName, "minbtn", [](CMainWnd& w, const Dispatched&) { w.showMinimized(); }},
        {K::kName, "maxbtn", [](CMainWnd& w, const Dispatched&) { w.showMaximized(); }},
        {K::kName, "restorebtn", [](CMainWnd& w, const Dispatched&) { w.showNormal(); }},
        {K::kName, "deng_same_mode", [](CMainWnd& w, const Dispatched&) { w.OnSameMode(); }},
        {K::kName, "device_select_prev",
         [](CMainWnd& w, const Dispatched&) { w.SelectNeighbour(-1); }},
        {K::kName, "device_select_next",
         [](CMainWnd& w, const Dispatched&) { w.SelectNeighbour(1); }},
        {K::kName, "logo_btn", [](CMainWnd& w, const Dispatched&) { w.OnLogo(); }},
        {K::kName, "default_btn", [](CMainWnd& w, const Dispatched&) { w.OnDefaultButton(); }},
        // The profile bar.
        {K::kName, "device_add_btn", &CMainWnd::ProfileBarRow},
        {K::kName, "device_sub_btn", &CMainWnd::ProfileBarRow},
        {K::kName, "device_export_btn", &CMainWnd::ProfileBarRow},
        {K::kName, "device_import_btn", &CMainWnd::ProfileBarRow},
        {K::kName, "device_copy_btn", &CMainWnd::ProfileBarRow},
        {K::kName, "device_reset_btn", &CMainWnd::ProfileBarRow},
        {K::kName, "device_profile_edit_save_btn", &CMainWnd::ProfileBarRow},
        {K::kExactName, "profile_fun_spread_btn", &CMainWnd::ProfileBarRow},
    };
    return kRows;
}

std::span<const CMainWnd::Row> CMainWnd::SelectRows() {
    using K = MatchKind;
    static constexpr Row kRows[] = {
        {K::kPrefix, "mouse_device_seting_option_",
         [](CMainWnd& w, const Dispatched& d) {
             w.OnSettingsSubPage(d.notification, d.split.number);
         }},
        {K::kName, "device_select", [](CMainWnd& w, const Dispatched&) { w.OnDeviceSelected(); }},
        // The lighting synchroniser reads the mark itself.
        {K::kName, "synchro_device_select", [](CMainWnd&, const Dispatched&) {}},
        {K::kName, "deng_Op_tab",
         [](CMainWnd& w, const Dispatched& d) { w.OnFunctionPage(d.notification, 1); }},
        {K::kName, "key_Op_tab",
         [](CMainWnd& w, const Dispatched& d) { w.OnFunctionPage(d.notification, 2); }},
        {K::kName, "macro_Op_tab",
         [](CMainWnd& w, const Dispatched& d) { w.OnFunctionPage(d.notification, 3); }},
        {K::kName, "system_Op_tab",
         [](CMainWnd& w, const Dispatched& d) { w.OnFunctionPage(d.notification, 4); }},
        {K::kName, "cursor_Op_tab",
         [](CMainWnd& w, const Dispatched& d) { w.OnFunctionPage(d.notification, 5); }},
        {K::kName, "6533_voice_Op_tab",
         [](CMainWnd& w, const Dispatched& d) { w.OnFunctionPage(d.notification, 6); }},
        {K::kName, "magic_Op_tab",
         [](CMainWnd& w, const Dispatched& d) { w.OnFunctionPage(d.notification, 7); }},
        {K::kName, "Virtual7.1_Op_tab",
         [](CMainWnd& w, const Dispatched& d) { w.OnFunctionPage(d.notification, 8); }},
    };
    return kRows;
}

// The performance, headset and lighting panels add their sliders here.
std::span<const CMainWnd::Row> CMainWnd::SliderRows() {
    return {};
}

std::span<const CMainWnd::Row> CMainWnd::ComboRows() {
    using K = MatchKind;
    static constexpr Row kRows[] = {
        // A burst of selections makes one profile switch, 400 ms after the last.
        {K::kName, "device_profile_combo",
         [](CMainWnd& w, const Dispatched&) {
             w.SetTimer(w.Root(), kTimerProfileSwitch, kProfileSwitchDelayMs);
         }},
    };
    return kRows;
}

// The key assignment panel applies its combos at once.
std::span<const CMainWnd::Row> CMainWnd::ComboAlsoRows() {
    return {};
}

// The performance, lighting, recoil and macro panels check their edits when left.
std::span<const CMainWnd::Row> CMainWnd::EditRows() {
    return {};
}

// The key assignment panel applies its edits when left.
std::span<const CMainWnd::Row> CMainWnd::EditAlsoRows() {
    return {};
}

void CMainWnd::Notify(const ui::Notification& n) {
    const QString& type = n.type;
    if (Is(type, ui::notify::kTimer)) {
        // While the machine sleeps no timer work runs: the timers keep going and the first
        // expiry after the resume does the work.
        if (awake_ && n.sender != nullptr) {
            if (n.sender == Root())
                OnWindowTimer(static_cast<int>(n.wparam));
            else if (auto* entry = dynamic_cast<CDeviceOptionUI*>(n.sender.data()))
                OnEntryTimer(*entry, static_cast<int>(n.wparam));
        }
        ui::Window::Notify(n);
        return;
    }
    Z7_TRACE("%s", qPrintable(type));
    Z7_TRACE("%s", qPrintable(n.sender_name));
    if (Is(type, ui::notify::kWindowInit)) {
        OnWindowInit();
    } else if (Is(type, ui::notify::kWindowSize)) {
        if (n.sender == Root() && display_changed_) {
            display_changed_ = false;
            FitToDisplay();
        }
    } else if (Is(type, ui::notify::kClick)) {
        static_cast<void>(Dispatch(ClickRows(), *this, n));
    } else if (Is(type, ui::notify::kSelectChanged)) {
        static_cast<void>(Dispatch(SelectRows(), *this, n));
    } else if (Is(type, ui::notify::kValueChanged)) {
        static_cast<void>(Dispatch(SliderRows(), *this, n));
    } else if (Is(type, ui::notify::kItemSelect)) {
        static_cast<void>(Dispatch(ComboRows(), *this, n));
        static_cast<void>(Dispatch(ComboAlsoRows(), *this, n));
    } else if (Is(type, ui::notify::kKillFocus)) {
        static_cast<void>(Dispatch(EditRows(), *this, n));
        static_cast<void>(Dispatch(EditAlsoRows(), *this, n));
    }
    // "colorchanged", "movevaluechanged" and "click_select_end" belong to the lighting and
    // performance panels; "msenter", "msleave", "itemclick" and "textchanged" need nothing.
    ui::Window::Notify(n);
}

void CMainWnd::OnWindowTimer(int id) {
    KillTimer(Root(), id);
    if (id == kTimerFitDisplay) {
        FitToDisplay();
        update();
        // The audio capture process gets its start commands once it exists.
    } else if (id == kTimerProfileSwitch) {
        ProfileSwitch();
    }
}

void CMainWnd::OnEntryTimer(CDeviceOptionUI& entry, int id) {
    devices::CNerioUSBDevice* page = entry.Page();
    if (arrival_ == nullptr || page == nullptr) {
        KillTimer(&entry, id);
        return;
    }
    // Entry timers fire once: the handler asks for the next expiry when it wants one.
    firing_entry_ = &entry;
    firing_id_ = id;
    firing_restarted_ = false;
    firing_started_ = std::chrono::steady_clock::now();
    arrival_->OnEntryTimer(*page, id);
    firing_entry_ = nullptr;
    if (!firing_restarted_)
        KillTimer(&entry, id);
    // The entry names the link the device talks over.
    const DeviceTransceiver& link = page->Transceiver();
    if (link.IsOpen() && entry.ShowLink(link.IsWireless())) {
        Z7_TRACE("window: %s %s", page->TypeName().c_str(),
                 link.IsWireless() ? "through the receiver" : "by cable");
    }
}

void CMainWnd::StartEntryTimer(QWidget* entry, int id, int interval_ms) {
    if (entry == firing_entry_ && id == firing_id_) {
        firing_restarted_ = true;
        // The light frame timer asks for its next expiry every few milliseconds: when the
        // handler took less than the period, the running timer already gives that expiry
        // without being stopped and started.
        int period = 0;
        const auto spent = std::chrono::steady_clock::now() - firing_started_;
        if (TimerActive(entry, id, &period) && period == interval_ms &&
            spent < std::chrono::milliseconds(interval_ms)) {
            return;
        }
    }
    SetTimer(entry, id, interval_ms);
}

void CMainWnd::OnMenuResult(const ui::MenuResult& result) {
    if (result.name == u"exit") {
        Exit();
    } else {
        // "about_menu" and "setwnd_menu" open windows that come with later work.
        Z7_TRACE("menu: %s", qPrintable(result.name));
    }
}

// ---- Title bar, tray, light control ----

void CMainWnd::OnCloseButton() {
    // Secondary windows come with later work; nothing to close yet.
    CloseToTrayOrMinimise();
    if (isHidden())
        SetWindowHiddenFlags(true);
}

void CMainWnd::CloseToTrayOrMinimise() {
    // Without a tray host a hidden window could not be brought back.
    if (tray_ && tray_->isVisible() && QSystemTrayIcon::isSystemTrayAvailable())
        hide();
    else
        showMinimized();
}

void CMainWnd::ToggleFromTray() {
    UpdateNoDeviceLink();
    const bool was_visible = isVisible() && !isMinimized();
    if (was_visible) {
        hide();
        SetWindowHiddenFlags(true);
    } else {
        FitToDisplay();
        showNormal();
        raise();
        activateWindow();
        update();
        SetWindowHiddenFlags(false);
    }
}

void CMainWnd::SetWindowHiddenFlags(bool hidden) {
    if (arrival_ == nullptr)
        return;
    for (PageList list : {PageList::kMouse, PageList::kKeyboard}) {
        for (devices::CNerioUSBDevice* page : arrival_->Pages(list))
            page->SetWindowHidden(hidden);
    }
}

void CMainWnd::ToggleLightControl() {
    SetLightControl(light_control_ == 0 ? 1 : 0, true);
}

void CMainWnd::SetLightControl(int state, bool announce) {
    light_control_ = state;
    if (announce && bus_ != nullptr) {
        bus_->Broadcast(QString::fromLatin1(kSharedMessages[kLightControlAnnouncement].name), 1,
                        state);
    }
    if (QWidget* button = FindControl(QStringLiteral("control_light_status"))) {
        // The language's words for the two states, else the program's own.
        const QString id =
            state ? QStringLiteral("light_control_on") : QStringLiteral("light_control_off");
        if (language_.Text(id).has_value()) {
            ui::SetAttribute(button, QStringLiteral("textid"), id);
        } else {
            ui::SetAttribute(button, QStringLiteral("text"),
                             state ? QStringLiteral("控制灯光") : QStringLiteral("不控制灯光"));
        }
    }
    TellPagesLighting(state != 0 && awake_);
}

void CMainWnd::TellPagesLighting(bool enabled) {
    if (arrival_ == nullptr)
        return;
    // The headset keeps its lighting whoever drives the others.
    for (PageList list : {PageList::kMouse, PageList::kMousePad, PageList::kKeyboard}) {
        for (devices::CNerioUSBDevice* page : arrival_->Pages(list))
            page->SetLightingEnabled(enabled);
    }
}

void CMainWnd::OnPrepareForSleep(bool sleeping) {
    if (sleeping) {
        Z7_TRACE("power: suspend");
        awake_ = false;
        TellPagesLighting(false);
        return;
    }
    Z7_TRACE("power: resume");
    awake_ = true;
    TellPagesLighting(light_control_ != 0);
    while (!deferred_slot_changes_.empty() && awake_) {
        const auto [message, slot] = deferred_slot_changes_.front();
        deferred_slot_changes_.pop_front();
        HandleSlotChange(message, slot);
    }
}

// ---- Pointer and activation ----

void CMainWnd::changeEvent(QEvent* event) {
    ui::Window::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) {
        window_active_ = isActiveWindow();
        pointer_inside_ = window_active_;
        TellPagesPointerInside();
    }
}

void CMainWnd::enterEvent(QEnterEvent* event) {
    ui::Window::enterEvent(event);
    Z7_TRACE("鼠标移入");
    if (!window_active_) {
        pointer_inside_ = true;
        TellPagesPointerInside();
    }
}

void CMainWnd::leaveEvent(QEvent* event) {
    ui::Window::leaveEvent(event);
    Z7_TRACE("鼠标移出");
    if (!window_active_) {
        pointer_inside_ = false;
        TellPagesPointerInside();
    }
}

void CMainWnd::TellPagesPointerInside() {
    if (arrival_ == nullptr)
        return;
    for (PageList list : {PageList::kMouse, PageList::kMousePad, PageList::kKeyboard}) {
        for (devices::CNerioUSBDevice* page : arrival_->Pages(list))
            page->SetPointerInside(pointer_inside_);
    }
}

// ---- Showing, fitting, ending ----

void CMainWnd::closeEvent(QCloseEvent* event) {
    if (exiting_) {
        event->accept();
        return;
    }
    event->ignore();
    CloseToTrayOrMinimise();
}

void CMainWnd::showEvent(QShowEvent* event) {
    ui::Window::showEvent(event);
    if (first_shown_) {
        // After this event the window is painted; the hook's work waits until then.
        QTimer::singleShot(0, this, [hook = std::move(first_shown_)] { hook(); });
        first_shown_ = nullptr;
    }
}

void CMainWnd::UpdateNoDeviceLink() {
    const bool none = VisibleEntryCount() == 0;
    if (QWidget* link = FindControl(QStringLiteral("No_device_Link"))) {
        if (link->isHidden() == none) {
            link->setVisible(none);
            Z7_TRACE("window: No_device_Link %s", none ? "shown" : "hidden");
        }
    }
}

void CMainWnd::OnInstanceMessage(qintptr wparam, qintptr lparam) {
    Z7_TRACE("软件标示 %s，%llxd%llxd", kInstanceMessage, static_cast<long long>(wparam),
             static_cast<long long>(lparam));
    UpdateNoDeviceLink();
    if (const int devices = VisibleEntryCount(); devices == 0)
        Z7_TRACE("window: shown with No_device_Link");
    else
        Z7_TRACE("window: shown with %d devices", devices);
    SetWindowHiddenFlags(false);
    showNormal();
    raise();
    activateWindow();
}

bool CMainWnd::HandleSharedMessage(const QString& name, int wparam, int lparam) {
    if (name == QLatin1String(kInstanceMessage)) {
        OnInstanceMessage(wparam, lparam);
        return true;
    }
    for (int i = 0; i < static_cast<int>(std::size(kSharedMessages)); ++i) {
        if (name != QLatin1String(kSharedMessages[i].name))
            continue;
        Z7_TRACE("shared message %s (%d, %d)", kSharedMessages[i].role, wparam, lparam);
        if (i == kLightControlRequest && wparam == 1 && (lparam == 0 || lparam == 1))
            SetLightControl(lparam, false);
        else if (i == kDeviceListRequest)
            AnswerDeviceList();
        // The settings relay goes to the settings window and the companion commands to their
        // owners once those exist; until then they are taken and dropped.
        return true;
    }
    return false;
}

void CMainWnd::AnswerDeviceList() {
    if (bus_ == nullptr)
        return;
    const auto block = devices::DeviceListBlock();
    bus_->SendDeviceList(QByteArray(reinterpret_cast<const char*>(block.data()),
                                    static_cast<qsizetype>(block.size())));
}

void CMainWnd::FitToDisplay() {
    // Scaled and centred while hidden too: a hidden window keeps its geometry, so it is not
    // shown for the fit.
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    int dpi = 96;
    if (screen != nullptr) {
        const QSize full = screen->geometry().size() * screen->devicePixelRatio();
        dpi = full.width() > 1500 && full.height() > 960 ? 144 : 96;
    }
    const bool changed = dpi != DPI();
    SetAllDPI(dpi);
    CenterWindow();
    // The menu's style sheet is scaled when it is built.
    if (changed)
        BuildTrayMenu();
}

void CMainWnd::BuildTrayMenu() {
    if (!tray_)
        return;
    std::unique_ptr<QMenu> menu = ui::BuildMenu(*this, QStringLiteral("menu.xml"));
    tray_->setContextMenu(menu.get());
    tray_menu_ = std::move(menu);
}

std::pair<int, int> CMainWnd::PrimaryScreenSize() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return {1920, 1080};
    const QSize size = screen->geometry().size() * screen->devicePixelRatio();
    return {size.width(), size.height()};
}

void CMainWnd::Exit() {
    if (exiting_)
        return;
    exiting_ = true;
    Z7_TRACE("退出测试");
    hide();
    if (tray_)
        tray_->hide();
    StopDeviceWork();
    QCoreApplication::quit();
}

void CMainWnd::StopDeviceWork() {
    if (device_work_stopped_)
        return;
    device_work_stopped_ = true;
    // The scan may be waiting for this thread to take an arrival: it is let go first, so that
    // stopping it never waits on a hand-over this thread would have to serve.
    bridge_->Close();
    if (scanner_)
        static_cast<void>(scanner_->Stop());
    if (arrival_) {
        static_cast<void>(arrival_->Synchroniser().Stop());
        arrival_->StopAllThreads();
    }
}

void CMainWnd::OnLogo() {
    if (!options_.home_page.isEmpty())
        QDesktopServices::openUrl(QUrl(options_.home_page));
}

}  // namespace zepho7::app
