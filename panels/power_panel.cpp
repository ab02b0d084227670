#include "panels/power_panel.h"

#include <QMouseEvent>
#include <QProgressBar>
#include <QStyle>
#include <algorithm>
#include <array>
#include <cstring>

#include "ui/attributes.h"
#include "ui/builder.h"
#include "ui/language.h"

namespace zepho7::panels {

namespace {

constexpr int kMouseByCable = 2;  // the only kind whose wireless mark follows the link byte
constexpr int kMousePad = 3;

struct PhoneType {
    uint8_t code;  // byte 5; 0 stands for every other value
    const char* text_id;
    const char* image;
};
constexpr PhoneType kPhoneTypes[] = {
    {1, "Phone_type_iphone", "power/Phone_type_iphone.png"},
    {2, "Phone_type_samsung", "power/Phone_type_samsung.png"},
    {3, "Phone_type_other", "power/Phone_type_other.png"},
    {0, "Phone_type_no_device", "power/Phone_type_no_device.png"},
};

// Status byte offsets.
constexpr std::size_t kLevel = 0;
constexpr std::size_t kCharging = 1;
constexpr std::size_t kWireless = 3;
constexpr std::size_t kPhone = 5;

constexpr int kLowLevel = 20;

}  // namespace

CMpDevicePowerUI::CMpDevicePowerUI(QWidget* parent) : ui::Box(ui::Box::Kind::Horizontal, parent) {
    ui::SetClassName(this, QString::fromLatin1(kClassName));
}

CMpDevicePowerUI* CMpDevicePowerUI::Build(ui::Window& window, QWidget* parent,
                                          const ui::Window::CreateCallback& callback) {
    QWidget* root = ui::Builder(window).Build(
        QString::fromLatin1(kLayoutFile), parent,
        [&callback](const QString& tag, QWidget* owner) -> QWidget* {
            if (tag.compare(QLatin1String(kClassName), Qt::CaseInsensitive) == 0)
                return new CMpDevicePowerUI(owner);  // owned by `owner`
            return callback ? callback(tag, owner) : nullptr;
        });
    auto* panel = dynamic_cast<CMpDevicePowerUI*>(root);
    if (panel == nullptr)
        delete root;  // a layout whose root is something else
    return panel;
}

void CMpDevicePowerUI::SetKindAndSubType(int kind, int sub_type) {
    kind_ = kind;
    sub_type_ = sub_type;
}

void CMpDevicePowerUI::ShowBatteryArea(bool shown) {
    if (QWidget* area = ui::Window::FindControl(this, QStringLiteral("device_power_Layout"))) {
        // Its level bar would make it share the row's free space and spread the display out.
        area->setSizePolicy(QSizePolicy::Fixed, area->sizePolicy().verticalPolicy());
        area->setVisible(shown);
    }
}

void CMpDevicePowerUI::FindControls() {
    const auto find = [this](QPointer<QWidget>& slot, const char* name) {
        if (slot.isNull())
            slot = ui::Window::FindControl(this, QString::fromLatin1(name));
    };
    find(controls_.value, "device_power_value");
    find(controls_.wireless, "device_wuxian_logo");
    find(controls_.progress, "device_Power_progress");
    find(controls_.status, "device_power_status");
    find(controls_.phone, "device_phone_type");
}

void CMpDevicePowerUI::ShowStatus(const uint8_t* bytes, std::size_t length) {
    std::array<uint8_t, 64> status{};
    if (bytes != nullptr)
        std::memcpy(status.data(), bytes, std::min(length, status.size()));
    FindControls();
    QWidget* const value = controls_.value.data();
    QWidget* const mark = controls_.wireless.data();
    QWidget* const progress = controls_.progress.data();
    QWidget* const picture = controls_.status.data();
    QWidget* const phone_picture = controls_.phone.data();
    if (!value || !mark || !progress || !picture || !phone_picture)
        return;

    const int level = status[kLevel];
    if (auto* bar = qobject_cast<QProgressBar*>(progress)) {
        // The bar's value is the used part; it grows from the right over the charge.
        bar->setInvertedAppearance(true);
        // A level above 100 from a confused device must not leave the bar at its old value.
        bar->setValue(std::clamp(100 - level, bar->minimum(), bar->maximum()));
        const bool low = level <= kLowLevel;
        if (bar->property("low").toBool() != low) {
            bar->setProperty("low", low);  // the style sheet colours a low level
            bar->style()->unpolish(bar);
            bar->style()->polish(bar);
        }
    } else {
        ui::SetAttribute(progress, QStringLiteral("value"), QString::number(100 - level));
    }
    ui::SetAttribute(value, QStringLiteral("text"), QString::number(level) + QLatin1Char('%'));

    const bool wireless = status[kWireless] != 0;
    if (kind_ == kMouseByCable)
        mark->setVisible(wireless);

    const char* image = nullptr;
    switch (status[kCharging]) {
        case 0:
            image = "power/powered.png";
            progress->setVisible(true);
            break;
        case 1:
            // Charging on the pad: the charging picture takes the bar's place.
            image = wireless ? "power/wuxian_powering.png" : "power/powering.png";
            progress->setVisible(!wireless);
            break;
        case 2:
            image = "power/power.png";
            progress->setVisible(true);
            break;
        default:
            break;  // a state this program does not know leaves the display as it was
    }
    if (image != nullptr)
        ui::SetAttribute(picture, QStringLiteral("bkimage"), QString::fromLatin1(image));

    if (kind_ == kMousePad) {
        const PhoneType* phone = &kPhoneTypes[std::size(kPhoneTypes) - 1];
        for (const PhoneType& type : kPhoneTypes) {
            if (type.code != 0 && type.code == status[kPhone])
                phone = &type;
        }
        const ui::Window* window = ui::WindowOf(this);
        const QString id = QString::fromLatin1(phone->text_id);
        const auto text =
            window && window->language() ? window->language()->Text(id) : std::optional<QString>();
        phone_picture->setToolTip(text.value_or(id));
        ui::SetAttribute(phone_picture, QStringLiteral("bkimage"),
                         QString::fromLatin1(phone->image));
        phone_picture->setVisible(true);
    }
}

bool CMpDevicePowerUI::Activate() {
    if (!isVisible() || !isEnabled())
        return false;
    ui::RaiseNotify(this, ui::notify::kSelectChanged);
    return true;
}

void CMpDevicePowerUI::mousePressEvent(QMouseEvent* event) {
    // Taken, so that the release comes here too.
    event->setAccepted(event->button() == Qt::LeftButton);
}

void CMpDevicePowerUI::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Activate();
    ui::Box::mouseReleaseEvent(event);
}

}  // namespace zepho7::panels
