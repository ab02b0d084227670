// The main window: title bar, device selector strip, device pages, notification-area icon.
// Device arrival and the panels come later; this is the frame they live in.
#pragma once

#include <QSystemTrayIcon>
#include <functional>
#include <memory>

#include "ui/window.h"

class QMenu;

namespace zepho7::ui {
class ControlFactory;
class Language;
class Skin;
}  // namespace zepho7::ui

namespace zepho7::app {

class DBusService;

class MainWindow : public ui::Window {
  public:
    static constexpr int kTitleBarButtons = 9;
    static constexpr const char* kTitleBarNames[kTitleBarButtons] = {
        "closebtn",    "maxbtn",   "restorebtn",   "minbtn", "skinbtn",
        "gamemodebtn", "cloudbtn", "smarteyesbtn", "setbtn"};

    MainWindow(const ui::Skin& skin, const ui::ControlFactory& factory, ui::Language& language);
    ~MainWindow() override;

    // Builds the window from "XML_MAIN" (hidden).
    bool CreateMain();

    // Brings the window to the front, restored, with "No_device_Link" shown when no device is
    // attached (from a second start, the D-Bus instance message or the first device scan).
    void OnInstanceMessage(qintptr wparam, qintptr lparam);
    // The one way out: "exit" of the tray menu and SIGTERM.
    void Exit();
    // A shared message by name (D-Bus); false when the name is unknown.
    bool HandleSharedMessage(const QString& name, int wparam, int lparam);

    void SetBus(DBusService* bus) { bus_ = bus; }
    // Runs once, after the window was first shown.
    void SetFirstShownHook(std::function<void()> hook) { first_shown_ = std::move(hook); }

    [[nodiscard]] int LightControlState() const noexcept { return light_control_; }
    [[nodiscard]] QSystemTrayIcon* Tray() const noexcept { return tray_.get(); }
    // What closing does now: hide to the tray when a tray host exists, else minimise.
    void CloseToTrayOrMinimise();

  protected:
    void InitWindow() override;
    void Notify(const ui::Notification& notification) override;
    void OnMenuResult(const ui::MenuResult& result) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void FitToDisplay();
    void ToggleFromTray();
    void UpdateNoDeviceLink();
    void SetLightControl(int state);
    QWidget* CreateControl(const QString& tag, QWidget* parent) const;

    ui::Language& language_;
    QWidget* title_buttons_[kTitleBarButtons] = {};
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::unique_ptr<QMenu> tray_menu_;
    DBusService* bus_ = nullptr;
    std::function<void()> first_shown_;
    int light_control_ = 1;
    bool exiting_ = false;
};

}  // namespace zepho7::app
