// The main window's profile work: the profile bar's buttons, the profile switch after a
// selection in the bar, the profile reset and "default_btn". The bar does the file side; here
// the device loads the profile and is written with it.
#include "app/device_page_view.h"
#include "app/main_window.h"
#include "appearance/msg_wnd.h"
#include "base/trace.h"
#include "devices/mouse_device.h"
#include "panels/profile_actions.h"
#include "panels/profile_bar.h"

namespace zepho7::app {

using devices::CNerioUSBDevice;

panels::CDeviceProfileUI* CMainWnd::ProfileBarOf(CNerioUSBDevice& device) {
    auto* view = dynamic_cast<DevicePageView*>(device.View());
    return view != nullptr ? view->ProfileBar() : nullptr;
}

void CMainWnd::OnProfileBarClick(const QString& name) {
    CNerioUSBDevice* device = CurrentDevice();
    panels::CDeviceProfileUI* bar = device != nullptr ? ProfileBarOf(*device) : nullptr;
    if (bar == nullptr)
        return;
    const panels::ProfileBarAction action = panels::HandleProfileBarClick(*bar, name, this);
    Z7_TRACE("window: profile bar %s -> %d", qPrintable(name), static_cast<int>(action));
    // A deleted profile's bar raised "itemselect": timer 1055 switches the device.
    if (action == panels::ProfileBarAction::kReset)
        ResetDeviceToProfile(*device);
}

devices::LightWriteRequest CMainWnd::ProfileWriteRequest() const {
    const auto [width, height] = PrimaryScreenSize();
    return devices::LightWriteRequest{
        .block = 0, .block0_value = 0, .caller_value = 1, .width = width, .height = height};
}

bool CMainWnd::WriteDeviceMacros(CNerioUSBDevice& device) {
    const std::vector<int> macros = device.ListMacros();
    const int result = device.WriteMacros(macros);
    if (result == devices::kMacrosWritten)
        return true;
    if (result == devices::kMacrosLinkFailed) {
        appearance::ShowMessageBox(this, QStringLiteral("message_text_7"));
        return true;
    }
    // Too many events for the device's macro memory (a count to remove), or a refusal: the key
    // table is not written, since its macro keys would point at macros the device lacks.
    QString text = appearance::LanguageText(
        language(), result > 0 ? QStringLiteral("message_text_16")
                               : QStringLiteral("message_macro_write_failed"));
    // The language texts are printf formats with one %d.
    text.replace(QStringLiteral("%d"), QString::number(result));
    appearance::ShowMessageBox(this, text, appearance::MsgText::kPlain);
    Z7_TRACE("window: macros not written (%d); key table left as it is", result);
    return false;
}

void CMainWnd::ProfileSwitch() {
    CNerioUSBDevice* device = CurrentDevice();
    panels::CDeviceProfileUI* bar = device != nullptr ? ProfileBarOf(*device) : nullptr;
    if (bar == nullptr)
        return;
    bar->SelectProfile(bar->GetSelectedIndex(), false);
    device->SetProfileId(bar->GetCurrentUuid());
    Z7_TRACE("window: profile switch to %s", device->ProfileId().c_str());
    device->LoadProfile();
    device->RevalidateMacroAssignments();
    device->RefreshPanels();
    static_cast<void>(device->WriteLightSettings(ProfileWriteRequest()));
    if (WriteDeviceMacros(*device))
        static_cast<void>(device->WriteCurrentKeyAssignments(0));
}

void CMainWnd::ResetDeviceToProfile(CNerioUSBDevice& device) {
    device.LoadProfile();
    device.RefreshPanels();
    static_cast<void>(device.WriteLightSettings(ProfileWriteRequest()));
    // The audio-lighting styles return to their defaults with the music lighting.
    if (device.Kind() == devices::kKindMouse || device.Kind() == devices::kKindKeyboard) {
        if (WriteDeviceMacros(device))
            static_cast<void>(device.WriteCurrentKeyAssignments(0));
    }
    // Nothing is left to save in the key assignment panel.
    for (const char* name : {"key_butt_keysave", "key_butt_keycancel", "key_butt_prosave"}) {
        if (QWidget* button = FindControl(QString::fromLatin1(name)))
            button->setEnabled(false);
    }
}

void CMainWnd::OnDefaultButton() {
    CNerioUSBDevice* device = CurrentDevice();
    if (device == nullptr ||
        appearance::ShowMessageBox(this, QStringLiteral("message_text_22"),
                                   appearance::MsgText::kTextId,
                                   appearance::MsgButtons::kConfirmCancel) != 1) {
        return;
    }
    device->ReloadProfile();
    static_cast<void>(device->WriteCurrentKeyAssignments(0));
    static_cast<void>(device->WriteLightSettings(ProfileWriteRequest()));
}

void CMainWnd::TellProfileBarFunctionPage(int page) {
    // Function pages count from 1, the bar's tabs from 0: the clicked tab stays marked.
    if (CNerioUSBDevice* device = CurrentDevice()) {
        if (panels::CDeviceProfileUI* bar = ProfileBarOf(*device))
            bar->SelectTab(page - 1);
    }
}

}  // namespace zepho7::app
