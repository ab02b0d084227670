// The main window's device side: the controls its layouts name, the device pages and their
// selector entries, the scan's reports and the devices' messages.
#include <QFile>

#include "app/device_option.h"
#include "app/device_page_view.h"
#include "app/main_window.h"
#include "app/scan_bridge.h"
#include "base/trace.h"
#include "devices/mouse_device.h"
#include "panels/power_panel.h"
#include "ui/attributes.h"
#include "ui/builder.h"
#include "ui/control_factory.h"
#include "ui/controls.h"
#include "ui/language.h"
#include "ui/skin.h"

namespace zepho7::app {

namespace {

using devices::CNerioUSBDevice;
using devices::PageList;

QString Latin(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Tags of the layout files that name the program's own controls; each is created through the
// control factory's class "C<tag>UI".
constexpr const char* kControlTags[] = {
    "CircleProgress", "SelectPanel",         "DeviceKeyButton",  "HandImgButton",
    "AudioRecord",    "HandImgSelectButton", "RedioMacroButton", "ComboEditContainerElement",
    "DeviceProfile",  "LightControl",        "MagicControl",     "Voice6533Control",
    "KeySetControl",  "ShootControl",        "DeviceOption",     "MpDevicePower"};

// Root tags of the device page layouts: the page is a container of that class.
constexpr const char* kPageTags[] = {"NerioMousePadDevice", "NerioHS6533Device", "NerioMouseDevice",
                                     "NerioKeyboardDevice"};

// Tags that stand for a panel's layout file, built in place.
struct PanelFile {
    const char* tag;
    const char* file;
};
constexpr PanelFile kPanelFiles[] = {
    {"DeviceProfileUI", "XML/CustomControlXML/DeviceProfile.xml"},
    {"LightSetControlUI", "XML/CustomControlXML/LightControl.xml"},
    {"Voice6533SetControlUI", "XML/CustomControlXML/Voice6533Control.xml"},
    {"MagicSetControlUI", "XML/CustomControlXML/MagicControl.xml"},
    {"KeySetControlUI", "XML/CustomControlXML/KeySetControl.xml"},
    {"MacroSetControlUI", "XML/CustomControlXML/MacroControl.xml"},
    {"ShootKeySetControlUI", "XML/CustomControlXML/ShootControl.xml"},
    {"VirtualSetControlUI", "XML/CustomControlXML/VirtualSet.xml"},
};

constexpr char kPowerPanelLayout[] = "XML/CustomControlXML/MpDevicePower.xml";
constexpr char kSelectorStrip[] = "device_select_layout";
constexpr char kPageTabs[] = "device_switch";

}  // namespace

// ---- The builder callback ----

QWidget* CMainWnd::CreateControl(const QString& tag, QWidget* parent) {
    for (const char* known : kControlTags) {
        if (tag.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return factory().Create(u'C' + QLatin1String(known) + QStringLiteral("UI"), parent);
    }
    for (const char* page : kPageTags) {
        if (tag.compare(QLatin1String(page), Qt::CaseInsensitive) == 0) {
            auto* box = new ui::Box(ui::Box::Kind::Vertical, parent);  // owned by `parent`
            ui::SetClassName(box, QLatin1String(page));
            return box;
        }
    }
    for (const PanelFile& panel : kPanelFiles) {
        if (tag.compare(QLatin1String(panel.tag), Qt::CaseInsensitive) != 0)
            continue;
        if (!QFile::exists(skin().Path(QLatin1String(panel.file))))
            return nullptr;
        auto* box = new ui::Box(ui::Box::Kind::Vertical, parent);  // owned by `parent`
        ui::SetClassName(box, QLatin1String(panel.tag));
        ui::Builder(*this).Build(
            QLatin1String(panel.file), box,
            [this](const QString& inner, QWidget* into) { return CreateControl(inner, into); });
        return box;
    }
    return nullptr;
}

void CMainWnd::ApplyBaseFont(QWidget* root) {
    // As the window does for its own controls at creation: every control without a font of
    // its own gets the base font (with a style sheet, inheriting it is unreliable).
    const QFont base = skin().Font(0, Scale());
    if (!root->property("z7:font").isValid())
        root->setFont(base);
    for (QWidget* child : root->findChildren<QWidget*>()) {
        if (!child->property("z7:font").isValid())
            child->setFont(base);
    }
}

// ---- Pages and entries ----

std::unique_ptr<CNerioUSBDevice> CMainWnd::CreatePage(int type_row, int config_slot, int sub_type) {
    if (type_row < 0 || type_row >= static_cast<int>(devices::kDeviceTypes.size()))
        return nullptr;
    const devices::DeviceTypeInfo& row = devices::kDeviceTypes[static_cast<size_t>(type_row)];
    const QString page_file = Latin(row.page_layout);
    // Only the mouse has a page so far; the other kinds get theirs with their panels.
    if (row.kind != devices::kKindMouse || !QFile::exists(skin().Path(page_file))) {
        Z7_TRACE("window: no page for %s", row.type_name.data());
        return nullptr;
    }
    auto* power_tabs = Find<ui::TabLayout>(Latin(row.power_control_name));
    QWidget* strip = FindControl(QLatin1String(kSelectorStrip));
    auto* page_tabs = Find<ui::TabLayout>(QLatin1String(kPageTabs));
    if (power_tabs == nullptr || strip == nullptr || page_tabs == nullptr)
        return nullptr;

    const auto callback = [this](const QString& tag, QWidget* parent) {
        return CreateControl(tag, parent);
    };
    ui::Builder builder(*this);
    QWidget* power = builder.Build(QLatin1String(kPowerPanelLayout), power_tabs, callback);
    QWidget* built_entry = builder.Build(Latin(row.selector_layout), strip, callback);
    QWidget* page = builder.Build(page_file, page_tabs, callback);
    auto* entry = dynamic_cast<CDeviceOptionUI*>(built_entry);
    if (power == nullptr || entry == nullptr || page == nullptr) {
        Z7_TRACE("window: the layouts of %s cannot be built", row.type_name.data());
        delete power;
        delete built_entry;
        delete page;
        return nullptr;
    }
    for (QWidget* made : {power, static_cast<QWidget*>(entry), page})
        ApplyBaseFont(made);

    // The power panel.
    SetUpPowerPanel(power, row.kind, sub_type);
    const int power_index = power_tabs->indexOf(power);
    const int page_index = page_tabs->indexOf(page);

    // The device object and its view, set up in the device's order.
    auto device = std::make_unique<devices::CNerioMouseDevice>(options_.folders);
    auto view = std::make_unique<DevicePageView>(*this, &language_, page, entry, power);
    DevicePageView* v = view.get();
    v->SetDevice(device.get());
    v->SetTimerStarter([this](QWidget* e, int id, int ms) { StartEntryTimer(e, id, ms); });
    device->SetView(std::move(view));
    device->SetPageLayoutFile(std::string(row.page_layout));
    device->SetHost(this);
    device->SetKeyCount(row.key_count);
    device->SetLedCount(row.led_count);
    device->SetTypeRow(type_row);
    device->SetHasBattery(row.has_battery);
    device->SetLogoPreviewLed(row.logo_preview_led);
    device->SetProfileId(std::string());
    device->SetTypeName(std::string(row.type_name));
    device->SetPowerPanel(v->IdOf(power));
    device->SetIdentity(slots_.Get(config_slot));
    device->SetTypeIndex(row.type_index);
    device->SetLightDataName(std::string(row.light_data_name));
    device->SetSelectorEntry(v->IdOf(entry));
    device->BuildPage();
    // A page made while another program drives the lighting (or while asleep) leaves it too.
    if (light_control_ == 0 || !awake_)
        device->SetLightingEnabled(false);

    // The entry: hidden until its device attaches.
    entry->setObjectName(Latin(row.type_name) + QStringLiteral("_device_option"));
    entry->BindInnerControls();
    entry->SetSynchroVisible(false);
    entry->BindTab(QLatin1String(kPageTabs), page_index, Latin(row.header_tab_name));
    entry->SetPowerSwitch(Latin(row.power_control_name), power_index);
    entry->SetIcons(row.kind, static_cast<uint16_t>(sub_type));
    entry->SetAttached(false);
    const auto icons = devices::IconsForKind(row.kind, static_cast<uint16_t>(sub_type));
    entry->SetNameText(icons ? Latin(icons->name_text) : QString(), Latin(row.type_name));
    entry->LinkPage(device.get());
    Z7_TRACE("window: page %s made (page %d, power panel %d)", row.type_name.data(), page_index,
             power_index);
    return device;
}

void CMainWnd::SetUpPowerPanel(QWidget* panel, int kind, int sub_type) {
    if (auto* power = dynamic_cast<panels::CMpDevicePowerUI*>(panel))
        power->SetKindAndSubType(kind, sub_type);
}

std::vector<CDeviceOptionUI*> CMainWnd::Entries() const {
    std::vector<CDeviceOptionUI*> entries;
    QWidget* strip = FindControl(QLatin1String(kSelectorStrip));
    if (strip == nullptr)
        return entries;
    // Strip order is the layout's order.
    if (QLayout* layout = strip->layout()) {
        for (int i = 0; i < layout->count(); ++i) {
            if (auto* entry = dynamic_cast<CDeviceOptionUI*>(layout->itemAt(i)->widget()))
                entries.push_back(entry);
        }
    }
    return entries;
}

CDeviceOptionUI* CMainWnd::EntryOf(const CNerioUSBDevice& page) const {
    for (CDeviceOptionUI* entry : Entries()) {
        if (entry->Page() == &page)
            return entry;
    }
    return nullptr;
}

CNerioUSBDevice* CMainWnd::CurrentDevice() const {
    for (CDeviceOptionUI* entry : Entries()) {
        if (entry->IsSelected() && entry->IsAttached())
            return entry->Page();
    }
    return nullptr;
}

bool CMainWnd::EntryVisible(const CNerioUSBDevice& page) const {
    const CDeviceOptionUI* entry = EntryOf(page);
    return entry != nullptr && entry->IsAttached();
}

bool CMainWnd::EntrySelected(const CNerioUSBDevice& page) const {
    const CDeviceOptionUI* entry = EntryOf(page);
    return entry != nullptr && entry->IsSelected();
}

int CMainWnd::VisibleEntryCount() const {
    int count = 0;
    for (const CDeviceOptionUI* entry : Entries())
        count += entry->IsAttached() ? 1 : 0;
    return count;
}

void CMainWnd::ShowPowerPanelOf(const CDeviceOptionUI& entry) {
    auto* power = Find<ui::TabLayout>(entry.PowerSwitchName());
    if (power == nullptr)
        return;
    if (entry.PowerPanelIndex() < 0) {
        power->hide();
    } else {
        power->show();
        power->SelectItem(entry.PowerPanelIndex());
    }
}

void CMainWnd::ShowEntry(CNerioUSBDevice& page, bool visible, bool select) {
    CDeviceOptionUI* entry = EntryOf(page);
    if (entry == nullptr)
        return;
    if (entry->IsAttached() != visible)
        Z7_TRACE("window: entry %s %s", page.TypeName().c_str(), visible ? "shown" : "hidden");
    entry->SetAttached(visible);
    if (select) {
        if (auto* pages = Find<ui::TabLayout>(QLatin1String(kPageTabs)))
            pages->SelectItem(entry->PageIndex());
        ShowPowerPanelOf(*entry);
        entry->Select();
    }
    int shown = 0;
    int marked = 0;
    for (const CDeviceOptionUI* e : Entries()) {
        if (e->IsAttached()) {
            ++shown;
            marked += e->Synchronised() ? 1 : 0;
        }
    }
    if (shown == 0) {
        if (auto* power = Find<ui::TabLayout>(QStringLiteral("device_power_switch")))
            power->SelectItem(0);
        if (auto* pages = Find<ui::TabLayout>(QLatin1String(kPageTabs)))
            pages->SelectItem(0);
    }
    UpdateNoDeviceLink();
    // Synchronised lighting needs two devices: the pages offer it only then.
    if (arrival_ != nullptr) {
        for (int list = 0; list < devices::kPageListCount; ++list) {
            for (CNerioUSBDevice* p : arrival_->Pages(static_cast<PageList>(list))) {
                if (auto* v = dynamic_cast<DevicePageView*>(p->View())) {
                    if (QWidget* same =
                            ui::Window::FindControl(v->Page(), QStringLiteral("deng_same_mode")))
                        same->setVisible(shown > 1);
                }
                if (shown <= 1)
                    p->SetSynchronised(false);
            }
        }
    }
    if (marked <= 1) {
        for (CDeviceOptionUI* e : Entries())
            e->SetSynchronised(false);
    }
}

void CMainWnd::SelectFirstVisibleEntry() {
    for (CDeviceOptionUI* entry : Entries()) {
        if (entry->IsAttached() && entry->Page() != nullptr) {
            ShowEntry(*entry->Page(), true, true);
            return;
        }
    }
}

void CMainWnd::SelectNeighbour(int direction) {
    const std::vector<CDeviceOptionUI*> entries = Entries();
    int selected = -1;
    for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
        if (entries[static_cast<size_t>(i)]->IsSelected()) {
            selected = i;
            break;
        }
    }
    if (selected < 0)
        return;
    for (int i = selected + direction; i >= 0 && i < static_cast<int>(entries.size());
         i += direction) {
        CDeviceOptionUI* entry = entries[static_cast<size_t>(i)];
        if (entry->IsAttached() && entry->Page() != nullptr) {
            ShowEntry(*entry->Page(), true, true);
            return;
        }
    }
}

void CMainWnd::OnDeviceSelected() {
    for (CDeviceOptionUI* entry : Entries()) {
        if (entry->IsSelected()) {
            ShowPowerPanelOf(*entry);
            return;
        }
    }
}

void CMainWnd::OnSettingsSubPage(const ui::Notification& n, int page) {
    if (n.wparam != 1 || n.sender == nullptr)
        return;
    // The page the option belongs to: the sender's ancestor that is a page of "device_switch".
    QWidget* root = n.sender;
    while (root != nullptr && root->parentWidget() != nullptr &&
           root->parentWidget()->objectName() != QLatin1String(kPageTabs)) {
        root = root->parentWidget();
    }
    if (root == nullptr)
        return;
    auto* tabs = dynamic_cast<ui::TabLayout*>(
        ui::Window::FindControl(root, QStringLiteral("mouse_device_seting_layout")));
    if (tabs == nullptr)
        return;
    if (page >= tabs->count())
        page = 0;
    tabs->SelectItem(page);
    if (auto* option = dynamic_cast<ui::Option*>(ui::Window::FindControl(
            root, QStringLiteral("mouse_device_seting_option_") + QString::number(page)))) {
        option->Selected(true);
    }
}

void CMainWnd::OnFunctionPage(const ui::Notification& n, int page) {
    if (n.wparam != 1)
        return;
    if (CNerioUSBDevice* device = CurrentDevice()) {
        device->SelectFunctionPage(page);
        TellProfileBarFunctionPage(page);
    }
}

void CMainWnd::OnSameMode() {
    if (CNerioUSBDevice* device = CurrentDevice(); device != nullptr && arrival_ != nullptr)
        arrival_->SameMode(*device);
}

void CMainWnd::OnSelectedDeviceLeft() {
    // The secondary windows, the input hook and the macro recorder come with later work.
    Z7_TRACE("window: the selected device left");
}

void CMainWnd::RaiseWindow() {
    // Before the scan's first pass the window is not shown yet; the pass shows it.
    if (first_pass_done_ && !exiting_)
        OnInstanceMessage(0, 0);
}

// ---- Messages from the devices and the scan ----

void CMainWnd::PostDeviceMessage(int message, intptr_t first, intptr_t second) {
    QMetaObject::invokeMethod(
        this, [this, message, first, second] { HandleDeviceMessage(message, first, second); },
        Qt::QueuedConnection);
}

void CMainWnd::HandleDeviceMessage(int message, intptr_t first, intptr_t second) {
    if (!awake_ || exiting_ || arrival_ == nullptr)
        return;
    if (message == devices::kMessageShowEntry) {
        arrival_->OnShowEntry(static_cast<int>(first), second != 0);
    } else if (message == devices::kMessagePowerStatus) {
        // The power panel shows the status it was given; the window has nothing more to do.
        Z7_TRACE("window: power status %lld", static_cast<long long>(first));
    }
}

void CMainWnd::OnDeviceArrived(int slot_index) {
    Z7_TRACE("window: slot %d arrived", slot_index);
    static_cast<void>(bridge_->Call(
        [this, slot_index] { HandleSlotChange(devices::kMessageConnected, slot_index); }));
}

void CMainWnd::OnDeviceRemoved(int slot_index) {
    Z7_TRACE("window: slot %d removed", slot_index);
    static_cast<void>(bridge_->Call(
        [this, slot_index] { HandleSlotChange(devices::kMessageDisconnected, slot_index); }));
}

void CMainWnd::OnFirstPass() {
    // Posted, as the scan need not wait for the window to show.
    QMetaObject::invokeMethod(
        this,
        [this] {
            first_pass_done_ = true;
            Z7_TRACE("window: the first device scan is done");
            if (!exiting_)
                OnInstanceMessage(0, 0);
        },
        Qt::QueuedConnection);
}

void CMainWnd::HandleSlotChange(int message, int slot_index) {
    if (exiting_ || arrival_ == nullptr)
        return;
    if (!awake_) {
        // Kept for the resume: a device the scan claimed must still get its page then.
        deferred_slot_changes_.emplace_back(message, slot_index);
        Z7_TRACE("window: slot %d change kept for the resume", slot_index);
        return;
    }
    if (message == devices::kMessageConnected)
        arrival_->OnConnected(slot_index);
    else
        arrival_->OnDisconnected(slot_index);
}

}  // namespace zepho7::app
