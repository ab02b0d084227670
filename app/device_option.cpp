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
    if (ui::Option* select = select_.data())
        connect(select, &QAbstractButton::toggled, this, [this] { UpdateLook(); });
    if (ui::Option* synchro = synchro_.data())
        connect(synchro, &QAbstractButton::toggled, this, [this] { UpdateLook(); });
    UpdateLook();
}

bool CDeviceOptionUI::IsSelected() const {
    const ui::Option* select = select_.data();
    return select != nullptr && select->IsSelected();
}

void CDeviceOptionUI::Select() {
    if (ui::Option* select = select_.data())
        select->Selected(true);
}

void CDeviceOptionUI::SetSynchroVisible(bool visible) {
    if (ui::Option* synchro = synchro_.data())
        synchro->setVisible(visible);
}

void CDeviceOptionUI::SetSynchronised(bool on) {
    if (ui::Option* synchro = synchro_.data())
        synchro->Selected(on);
}

bool CDeviceOptionUI::Synchronised() const {
    const ui::Option* synchro = synchro_.data();
    return synchro != nullptr && synchro->IsSelected();
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
    ui::Option* select = select_.data();
    if (select == nullptr)
        return;
    ui::SetAttribute(select, QStringLiteral("group"), group);
    ui::SetAttribute(select, QStringLiteral("bindtablayoutname"), tab_name);
    ui::SetAttribute(select, QStringLiteral("bindtabindex"), QString::number(index));
}

void CDeviceOptionUI::SetPowerSwitch(const QString& control_name, int index) {
    power_switch_ = control_name;
    power_index_ = index;
}

void CDeviceOptionUI::SetNameText(const QString& text_id, const QString& fallback) {
    QWidget* name = name_.data();
    if (name == nullptr)
        return;
    const ui::Window* window = ui::WindowOf(this);
    const bool known = window != nullptr && window->language() != nullptr &&
                       window->language()->Text(text_id).has_value();
    if (known)
        ui::SetAttribute(name, QStringLiteral("textid"), text_id);
    else
        ui::SetAttribute(name, QStringLiteral("text"), fallback);
}

bool CDeviceOptionUI::ShowLink(bool wireless) {
    const int link = wireless ? 1 : 0;
    if (link == link_)
        return false;
    link_ = link;
    if (QWidget* state = ui::Window::FindControl(this, QLatin1String(kState))) {
        ui::SetAttribute(state, QStringLiteral("text"),
                         wireless ? QStringLiteral("2.4 GHz") : QStringLiteral("USB"));
        ui::SetAttribute(state, QStringLiteral("textid"),
                         wireless ? QStringLiteral("device_link_receiver")
                                  : QStringLiteral("device_link_cable"));
    }
    return true;
}

void CDeviceOptionUI::UpdateLook() {
    const auto [selected, normal] = CurrentImages();
    if (ui::Option* select = select_.data()) {
        ui::SetAttribute(select, QStringLiteral("normalimage"), normal);
        ui::SetAttribute(select, QStringLiteral("hotimage"), selected);
        ui::SetAttribute(select, QStringLiteral("selectedimage"), selected);
        ui::SetAttribute(select, QStringLiteral("selectedhotimage"), selected);
    }
    // The whole entry shows the selection, not only its icon.
    const bool on = IsSelected();
    decor().border_color = on ? QColor(0x22, 0xD3, 0xEE) : QColor(0x23, 0x28, 0x33);
    decor().bk_color = on ? QColor(0x12, 0x30, 0x39) : QColor(0x17, 0x1A, 0x21);
    update();
}

void CDeviceOptionUI::mousePressEvent(QMouseEvent* event) {
    // A click anywhere on the entry selects it, as a click on its icon does.
    ui::Option* select = select_.data();
    if (event->button() == Qt::LeftButton && select != nullptr && select->isEnabled()) {
        select->Selected(true);
        event->accept();
        return;
    }
    ui::Box::mousePressEvent(event);
}

}  // namespace zepho7::app
