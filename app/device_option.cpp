#include "app/device_option.h"

#include <QMouseEvent>

#include "devices/catalogue.h"
#include "ui/attributes.h"
#include "ui/language.h"
#include "ui/window.h"

namespace zepho7::app {

namespace {

QString Latin(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CDeviceOptionUI::CDeviceOptionUI(QWidget* parent) : ui::Box(ui::Box::Kind::Horizontal, parent) {}

void CDeviceOptionUI::BindInnerControls() {
    select_ = dynamic_cast<ui::Option*>(ui::Window::FindControl(this, QLatin1String(kSelect)));
    synchro_ = dynamic_cast<ui::Option*>(ui::Window::FindControl(this, QLatin1String(kSynchro)));
    name_ = ui::Window::FindControl(this, QLatin1String(kName));
    if (select_ != nullptr)
        connect(select_, &QAbstractButton::toggled, this, [this] { UpdateLook(); });
    if (synchro_ != nullptr)
        connect(synchro_, &QAbstractButton::toggled, this, [this] { UpdateLook(); });
    UpdateLook();
}

bool CDeviceOptionUI::IsSelected() const {
    return select_ != nullptr && select_->IsSelected();
}

void CDeviceOptionUI::Select() {
    if (select_ != nullptr)
        select_->Selected(true);
}

void CDeviceOptionUI::SetSynchroVisible(bool visible) {
    if (synchro_ != nullptr)
        synchro_->setVisible(visible);
}

void CDeviceOptionUI::SetSynchronised(bool on) {
    if (synchro_ != nullptr)
        synchro_->Selected(on);
}

bool CDeviceOptionUI::Synchronised() const {
    return synchro_ != nullptr && synchro_->IsSelected();
}

void CDeviceOptionUI::SetIcons(uint16_t kind, uint16_t sub_type) {
    kind_ = kind;
    sub_type_ = sub_type;
    const auto icons = devices::IconsForKind(kind, sub_type);
    if (!icons)
        return;
    icons_ = {Latin(icons->synchro_selected), Latin(icons->synchro_normal), Latin(icons->selected),
              Latin(icons->normal)};
    UpdateLook();
}

std::array<QString, 2> CDeviceOptionUI::CurrentImages() const {
    return Synchronised() ? std::array<QString, 2>{icons_[0], icons_[1]}
                          : std::array<QString, 2>{icons_[2], icons_[3]};
}

void CDeviceOptionUI::BindTab(const QString& tab_name, int index, const QString& group) {
    page_index_ = index;
    if (select_ == nullptr)
        return;
    ui::SetAttribute(select_, QStringLiteral("group"), group);
    ui::SetAttribute(select_, QStringLiteral("bindtablayoutname"), tab_name);
    ui::SetAttribute(select_, QStringLiteral("bindtabindex"), QString::number(index));
}

void CDeviceOptionUI::SetPowerSwitch(const QString& control_name, int index) {
    power_switch_ = control_name;
    power_index_ = index;
}

void CDeviceOptionUI::SetNameText(const QString& text_id, const QString& fallback) {
    if (name_ == nullptr)
        return;
    const ui::Window* window = ui::WindowOf(this);
    const bool known = window != nullptr && window->language() != nullptr &&
                       window->language()->Text(text_id).has_value();
    if (known)
        ui::SetAttribute(name_, QStringLiteral("textid"), text_id);
    else
        ui::SetAttribute(name_, QStringLiteral("text"), fallback);
}

void CDeviceOptionUI::UpdateLook() {
    const auto [selected, normal] = CurrentImages();
    if (select_ != nullptr) {
        ui::SetAttribute(select_, QStringLiteral("normalimage"), normal);
        ui::SetAttribute(select_, QStringLiteral("hotimage"), selected);
        ui::SetAttribute(select_, QStringLiteral("selectedimage"), selected);
        ui::SetAttribute(select_, QStringLiteral("selectedhotimage"), selected);
    }
    // The whole entry shows the selection, not only its icon.
    const bool on = IsSelected();
    decor().border_color = on ? QColor(0x22, 0xD3, 0xEE) : QColor(0x23, 0x28, 0x33);
    decor().bk_color = on ? QColor(0x12, 0x30, 0x39) : QColor(0x17, 0x1A, 0x21);
    update();
}

void CDeviceOptionUI::mousePressEvent(QMouseEvent* event) {
    // A click anywhere on the entry selects it, as a click on its icon does.
    if (event->button() == Qt::LeftButton && select_ != nullptr && select_->isEnabled()) {
        select_->Selected(true);
        event->accept();
        return;
    }
    ui::Box::mousePressEvent(event);
}

}  // namespace zepho7::app
