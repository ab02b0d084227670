#include "app/device_page_view.h"

#include <QBoxLayout>
#include <QFontMetrics>
#include <QStackedWidget>
#include <QThread>
#include <algorithm>

#include "base/trace.h"
#include "devices/mouse_device.h"
#include "panels/power_panel.h"
#include "panels/profile_bar.h"
#include "ui/attributes.h"
#include "ui/controls.h"
#include "ui/custom_controls.h"
#include "ui/language.h"
#include "ui/window.h"

namespace zepho7::app {

namespace {

using devices::ControlId;
using devices::kNoControl;

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) {
    return text.toStdString();
}

constexpr char kKeyInfoList[] = "device_setkeyinfo_list";
constexpr int kKeyRowHeight = 25;
constexpr int kKeyNameWidth = 200;
constexpr int kKeyTextWidth = 180;
constexpr int kDpiStages = 6;

}  // namespace

DevicePageView::DevicePageView(ui::Window& window, const ui::Language* language, QWidget* page,
                               QWidget* entry, QWidget* power_panel)
    : window_(window), language_(language), entry_(entry), power_panel_(power_panel) {
    controls_.emplace_back(page);  // id 0, kPageRoot
    if (page != nullptr)
        ids_[page] = devices::kPageRoot;
    preview_timer_.setSingleShot(true);
    preview_timer_.setInterval(kPreviewFrameMs);
    QObject::connect(&preview_timer_, &QTimer::timeout, [this] { PaintPreviews(); });
}

DevicePageView::~DevicePageView() = default;

ControlId DevicePageView::IdOf(QWidget* control) {
    if (control == nullptr)
        return kNoControl;
    if (const auto it = ids_.find(control); it != ids_.end()) {
        // The address may have been reused by a new control after the old one went away.
        if (controls_[static_cast<size_t>(it->second)] == control)
            return it->second;
        ids_.erase(it);
    }
    const auto id = static_cast<ControlId>(controls_.size());
    controls_.emplace_back(control);
    ids_[control] = id;
    return id;
}

QWidget* DevicePageView::Control(ControlId id) const {
    if (id < 0 || static_cast<size_t>(id) >= controls_.size())
        return nullptr;
    return controls_[static_cast<size_t>(id)];
}

QString DevicePageView::PageName() const {
    const QWidget* page = Page();
    return page != nullptr ? page->objectName() : QString();
}

std::vector<devices::ControlInfo> DevicePageView::Children(ControlId parent) {
    std::vector<devices::ControlInfo> children;
    QWidget* widget = Control(parent);
    if (widget == nullptr)
        return children;
    // A tab layout's pages in their order: showing a page raises it, which reorders the
    // children Qt keeps.
    QList<QObject*> objects;
    if (const auto* tabs = qobject_cast<const QStackedWidget*>(widget)) {
        for (int i = 0; i < tabs->count(); ++i)
            objects.append(tabs->widget(i));
    } else {
        objects = widget->children();
    }
    for (QObject* object : objects) {
        auto* child = qobject_cast<QWidget*>(object);
        // Only controls of the skin: Qt's own inner widgets carry no class name.
        if (child == nullptr || child->isWindow() || ui::ClassName(child).isEmpty())
            continue;
        devices::ControlInfo info;
        info.id = IdOf(child);
        info.class_name = ToUtf8(ui::ClassName(child));
        info.name = ToUtf8(child->objectName());
        info.user_data = ToUtf8(ui::UserData(child));
        info.tooltip = ToUtf8(child->toolTip());
        children.push_back(std::move(info));
    }
    return children;
}

ControlId DevicePageView::FindControl(std::string_view name) {
    QWidget* page = Page();
    if (page == nullptr || name.empty())
        return kNoControl;
    const QString wanted = FromUtf8(name);
    if (page->objectName() == wanted)
        return devices::kPageRoot;
    if (QWidget* found = ui::Window::FindControl(page, wanted))
        return IdOf(found);
    // The power panel lives outside the page.
    if (QWidget* power = power_panel_.data()) {
        if (power->objectName() == wanted)
            return IdOf(power);
        if (QWidget* found = ui::Window::FindControl(power, wanted))
            return IdOf(found);
    }
    return kNoControl;
}

bool DevicePageView::IsVisible(ControlId id) {
    // Visible as the control itself and its containers up to the page say, whether or not the
    // page (or the window) is on screen now: a tab layout's other pages count as visible, as
    // the page shows them when they are selected.
    const QWidget* page = Page();
    for (const QWidget* w = Control(id); w != nullptr; w = w->parentWidget()) {
        if (w == page)
            return true;
        const bool tab_page = qobject_cast<const QStackedWidget*>(w->parentWidget()) != nullptr;
        if (!tab_page && w->isHidden())
            return false;
    }
    // Outside the page (the power panel, the selector entry): its own flag.
    const QWidget* control = Control(id);
    return control != nullptr && !control->isHidden();
}

void DevicePageView::SetLightTint(ControlId id, uint32_t tint, uint8_t level, bool shown) {
    auto* button = dynamic_cast<ui::DeviceKeyButton*>(Control(id));
    if (button == nullptr)
        return;
    // The light thread's colours come every few milliseconds; only a change is painted.
    if (button->TintColour() == tint && button->TintLevel() == level &&
        button->LightShown() == shown) {
        return;
    }
    button->SetLightTint(tint, level, shown);
    if (std::find(changed_previews_.begin(), changed_previews_.end(), button) ==
        changed_previews_.end()) {
        changed_previews_.emplace_back(button);
    }
    if (!preview_timer_.isActive())
        preview_timer_.start();
}

void DevicePageView::PaintPreviews() {
    for (const QPointer<QWidget>& preview : changed_previews_) {
        if (QWidget* widget = preview.data())
            widget->update();
    }
    changed_previews_.clear();
}

void DevicePageView::SetTooltip(ControlId id, std::string_view title, std::string_view text) {
    QWidget* control = Control(id);
    if (control == nullptr)
        return;
    QString tip;
    if (!title.empty())
        tip = QStringLiteral("<b>") + FromUtf8(title).toHtmlEscaped() + QStringLiteral("</b>");
    if (!text.empty()) {
        if (!tip.isEmpty())
            tip += QStringLiteral("<br>");
        tip += FromUtf8(text).toHtmlEscaped().replace(u'\n', QStringLiteral("<br>"));
    }
    control->setToolTip(tip);
}

void DevicePageView::Repaint(ControlId id) {
    if (QWidget* control = Control(id))
        control->update();
}

void DevicePageView::SelectTab(ControlId tab, int index) {
    if (auto* layout = dynamic_cast<ui::TabLayout*>(Control(tab)))
        layout->SelectItem(index);
}

void DevicePageView::StartTimer(int timer_id, int interval_ms) {
    QWidget* entry = entry_.data();
    if (entry == nullptr)
        return;
    ui::Window* window = &window_;
    TimerStarter start = timer_starter_;
    if (!start) {
        start = [window](QWidget* e, int id, int ms) { window->SetTimer(e, id, ms); };
    }
    if (QThread::currentThread() == entry->thread()) {
        start(entry, timer_id, interval_ms);
        return;
    }
    // A notification thread: the timer belongs to the UI thread. The entry is the context, so
    // nothing runs once it is gone; the window outlives every entry.
    QPointer<QWidget> guarded(entry);
    QMetaObject::invokeMethod(
        entry,
        [start, guarded, timer_id, interval_ms] {
            if (QWidget* e = guarded.data())
                start(e, timer_id, interval_ms);
        },
        Qt::QueuedConnection);
}

// ---- The power panel and the profile bar ----

void DevicePageView::SetPowerPanelBattery(bool has_battery) {
    if (auto* panel = dynamic_cast<panels::CMpDevicePowerUI*>(power_panel_.data()))
        panel->ShowBatteryArea(has_battery);
}

void DevicePageView::ShowPowerStatus(std::span<const uint8_t> status) {
    if (auto* panel = dynamic_cast<panels::CMpDevicePowerUI*>(power_panel_.data()))
        panel->ShowStatus(status.data(), status.size());
}

panels::CDeviceProfileUI* DevicePageView::ProfileBar() {
    if (profile_bar_ == nullptr) {
        if (QWidget* page = Page()) {
            profile_bar_ = dynamic_cast<panels::CDeviceProfileUI*>(
                ui::Window::FindControl(page, QStringLiteral("DeviceProfileItem")));
        }
    }
    return profile_bar_.data();
}

std::optional<std::string> DevicePageView::BindProfileBar(
    int kind, const std::filesystem::path& user_folder,
    const std::filesystem::path& default_profile) {
    panels::CDeviceProfileUI* bar = ProfileBar();
    if (bar == nullptr)
        return std::nullopt;
    bar->SetDeviceKind(kind);
    bar->SetFolders(user_folder, default_profile);
    if (!bar->InitProfiles())
        Z7_TRACE("window: the profile list of %s cannot be written", qPrintable(PageName()));
    bar->SelectTab(1);
    return bar->GetCurrentUuid();
}

// ---- The key information list ----

QWidget* DevicePageView::KeyInfoList() {
    if (key_list_ == nullptr) {
        if (QWidget* page = Page())
            key_list_ = ui::Window::FindControl(page, QString::fromLatin1(kKeyInfoList));
    }
    return key_list_;
}

DevicePageView::KeyRow& DevicePageView::EnsureKeyRow(int row) {
    QWidget* list = KeyInfoList();
    while (static_cast<int>(key_rows_.size()) <= row) {
        KeyRow made;
        if (list != nullptr) {
            // A row: 25 pixels high, hidden until filled, the key's name in white and its
            // function in blue, cut with an ellipsis when it does not fit.
            auto* line = new ui::Box(ui::Box::Kind::Horizontal, list);  // owned by the list
            ui::SetClassName(line, QStringLiteral("HorizontalLayout"));
            ui::SetAttribute(line, QStringLiteral("height"), QString::number(kKeyRowHeight));
            line->setAttribute(Qt::WA_TransparentForMouseEvents);
            line->hide();
            ui::Window* window = &window_;
            const auto label = [line, window](int width, const char* colour) {
                auto* l = new ui::Label(line);  // owned by the row
                ui::SetClassName(l, QStringLiteral("Label"));
                ui::SetAttribute(l, QStringLiteral("width"), QString::number(width));
                ui::SetAttribute(l, QStringLiteral("textcolor"), QString::fromLatin1(colour));
                l->setFont(window->font());
                line->BoxLayout()->addWidget(l);
                return l;
            };
            made.name = label(kKeyNameWidth, "#FFFFFFFF");
            made.text = label(kKeyTextWidth, "#FF0099FF");
            line->BoxLayout()->addStretch(1);
            // Rows go before whatever fills the rest of the list.
            if (auto* layout = qobject_cast<QBoxLayout*>(list->layout()))
                layout->insertWidget(static_cast<int>(key_rows_.size()), line);
            made.row = line;
        }
        key_rows_.push_back(made);
    }
    return key_rows_[static_cast<size_t>(row)];
}

void DevicePageView::ClearKeyInfo() {
    // The rows are kept for the next fill; an empty list shows none of them.
    for (KeyRow& row : key_rows_) {
        if (QWidget* line = row.row.data())
            line->hide();
    }
}

void DevicePageView::SetKeyInfoRow(int row, std::string_view name, std::string_view text,
                                   bool visible) {
    if (row < 0 || row > 255)
        return;
    KeyRow& line = EnsureKeyRow(row);
    if (auto* label = qobject_cast<QLabel*>(line.name.data()))
        label->setText(FromUtf8(name));
    if (auto* label = qobject_cast<QLabel*>(line.text.data())) {
        const QString full = FromUtf8(text);
        const QFontMetrics metrics(label->font());
        label->setText(metrics.elidedText(full, Qt::ElideRight, label->maximumWidth()));
        label->setToolTip(full);
    }
    if (QWidget* shown = line.row.data())
        shown->setVisible(visible);
}

void DevicePageView::ShowKeyInfo() {
    if (QWidget* list = KeyInfoList()) {
        list->show();
        list->update();
    }
    int shown = 0;
    for (const KeyRow& row : key_rows_) {
        const QWidget* line = row.row.data();
        shown += line != nullptr && !line->isHidden() ? 1 : 0;
    }
    Z7_TRACE("page %s: key information, %d rows shown", qPrintable(PageName()), shown);
}

std::string DevicePageView::Text(std::string_view entry) {
    const QString id = FromUtf8(entry);
    if (language_ != nullptr) {
        if (const auto text = language_->Text(id))
            return ToUtf8(*text);
    }
    return std::string(entry);  // an entry the language does not know shows as its name
}

// ---- Lighting panel: it keeps the audio light record once it exists ----

void DevicePageView::ShowAudioLight(const storage::AudioLightRecord& record) {
    static_cast<void>(record);
}

std::optional<storage::AudioLightRecord> DevicePageView::ReadAudioLight() {
    return std::nullopt;  // no panel: the device keeps its own record
}

void DevicePageView::ShowLightRecord(const storage::LightRecord& record) {
    static_cast<void>(record);
}

// ---- Controls of the panels ----

void DevicePageView::SetOptionSelected(ControlId id, bool selected) {
    if (auto* option = dynamic_cast<ui::Option*>(Control(id)))
        option->Selected(selected);
}

void DevicePageView::SetSliderRange(ControlId id, int minimum, int maximum) {
    if (auto* slider = qobject_cast<QSlider*>(Control(id)))
        slider->setRange(minimum, maximum);
}

void DevicePageView::SetEditMaxValue(ControlId id, int maximum) {
    if (QWidget* edit = Control(id))
        ui::SetAttribute(edit, QStringLiteral("max"), QString::number(maximum));
}

// ---- DPI stages: the page shows each stage's resolution and marks the active one ----

void DevicePageView::ShowDpiStage(int stage, bool enabled, int position, uint32_t colour) {
    if (stage < 0 || stage >= kDpiStages)
        return;
    QWidget* page = Page();
    const QString n = QString::number(stage);
    QWidget* value = ui::Window::FindControl(page, QStringLiteral("dpi_stage_value_") + n);
    QWidget* mark = ui::Window::FindControl(page, QStringLiteral("dpi_stage_colour_") + n);
    QWidget* box = ui::Window::FindControl(page, QStringLiteral("dpi_stage_") + n);
    if (value == nullptr)
        return;
    QString text = QStringLiteral("—");
    if (const auto* mouse = dynamic_cast<const devices::CNerioMouseDevice*>(device_);
        mouse != nullptr && mouse->Info().dpi_step != 0) {
        text = QString::number(devices::SliderToDpi(mouse->Info(), position));
    }
    ui::SetAttribute(value, QStringLiteral("text"), text);
    if (mark != nullptr)
        ui::SetAttribute(mark, QStringLiteral("bkcolor"),
                         QStringLiteral("#%1").arg(colour, 8, 16, QLatin1Char('0')));
    if (box != nullptr)
        box->setEnabled(enabled);
}

void DevicePageView::ShowActiveDpiStage(int stage) {
    QWidget* page = Page();
    for (int i = 0; i < kDpiStages; ++i) {
        auto* box = dynamic_cast<ui::Box*>(
            ui::Window::FindControl(page, QStringLiteral("dpi_stage_") + QString::number(i)));
        if (box == nullptr)
            continue;
        const bool active = i == stage;
        ui::SetAttribute(box, QStringLiteral("bordercolor"),
                         active ? QStringLiteral("#FF22D3EE") : QStringLiteral("#FF2A2F3A"));
        ui::SetAttribute(box, QStringLiteral("bkcolor"),
                         active ? QStringLiteral("#FF123039") : QStringLiteral("#FF171A21"));
    }
    if (stage != active_dpi_stage_) {
        active_dpi_stage_ = stage;
        Z7_TRACE("page %s: active DPI stage %d", qPrintable(PageName()), stage);
    }
}

}  // namespace zepho7::app
