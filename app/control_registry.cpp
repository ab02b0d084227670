#include "app/control_registry.h"

#include "app/device_option.h"
#include "panels/power_panel.h"
#include "panels/profile_bar.h"
#include "ui/control_factory.h"
#include "ui/custom_controls.h"

namespace zepho7::app {

namespace {

template <class T>
ui::ControlFactory::Creator Make(const char* reported) {
    return [reported](QWidget* parent) -> QWidget* {
        auto* control = new T(parent);  // owned by `parent`
        ui::SetClassName(control, QString::fromLatin1(reported));
        return control;
    };
}

struct Entry {
    const char* class_name;
    ui::ControlFactory::Creator (*make)();
};

// The registration order. Classes whose panels are not built yet have no creator and are left
// out until they exist.
const Entry kControls[] = {
    {"CCircleProgressUI", [] { return Make<ui::CircleProgress>("CircleProgress"); }},
    {"CChartViewUI", [] { return Make<ui::ChartView>("Control"); }},
    {"CWndUI", [] { return Make<ui::WndHost>("Wnd"); }},
    {"CSelectPanelUI", [] { return Make<ui::SelectPanel>("SelectPanel"); }},
    {"CDeviceKeyButtonUI", [] { return Make<ui::DeviceKeyButton>("DeviceKeyButton"); }},
    {"CCloudShareListItemUI", [] { return Make<ui::CloudShareListItem>("CloudShareListItemUI"); }},
    {"CUpdateInfoListItemUI", nullptr},
    {"CDeviceOptionUI", [] { return Make<CDeviceOptionUI>(CDeviceOptionUI::kClassName); }},
    {"CMpDevicePowerUI", [] { return Make<panels::CMpDevicePowerUI>("MpDevicePower"); }},
    {"CComboEditContainerElementUI", nullptr},
    {"CHandImgButtonUI", [] { return Make<ui::HandImgButton>("HandImgButton"); }},
    {"CHandImgSelectButtonUI", [] { return Make<ui::HandImgSelectButton>("HandImgSelectButton"); }},
    {"CRedioMacroButtonUI", [] { return Make<ui::RedioMacroButton>("RedioMacroButton"); }},
    {"CAudioRecordUI", [] { return Make<ui::AudioRecord>("AudioRecord"); }},
    {"CLightControlUI", nullptr},
    {"CMacroControlUI", nullptr},
    {"CKeySetControlUI", nullptr},
    {"CDeviceProfileUI", [] { return Make<panels::CDeviceProfileUI>("DeviceProfile"); }},
    {"CShootControlUI", nullptr},
    {"CMagicControlUI", nullptr},
    {"CVoice6533ControlUI", nullptr},
    {"CNerioUSBDevice", nullptr},
    {"CNerioMousePadDevice", nullptr},
    {"CNerioHS6533Device", nullptr},
};

}  // namespace

QStringList RegisterControls(ui::ControlFactory& factory) {
    QStringList names;
    for (const Entry& entry : kControls) {
        if (entry.make == nullptr)
            continue;
        factory.Register(QString::fromLatin1(entry.class_name), entry.make());
        names.append(QString::fromLatin1(entry.class_name));
    }
    return names;
}

}  // namespace zepho7::app
