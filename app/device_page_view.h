// A device object's view of its page: the DeviceView calls done on the page's Qt widget tree.
// Controls are handed out as numbers (id 0 is the page itself) over a table of guarded
// pointers, so a control that went away reads as "not there" instead of a dangling pointer.
//
// Threads: StartTimer may be called from any thread (it is passed to the UI thread); everything
// else runs on the UI thread.
#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <unordered_map>
#include <vector>

#include "devices/device_view.h"

namespace zepho7::devices {
class CNerioUSBDevice;
}
namespace zepho7::panels {
class CDeviceProfileUI;
}
namespace zepho7::ui {
class Language;
class Window;
}  // namespace zepho7::ui

namespace zepho7::app {

class DevicePageView : public devices::DeviceView {
  public:
    static constexpr int kPreviewFrameMs = 33;

    // `page`: the root of the device page; `entry`: its selector entry, whose control timers
    // the device's periodic work runs on; `power_panel`: its power panel (may be null).
    DevicePageView(ui::Window& window, const ui::Language* language, QWidget* page, QWidget* entry,
                   QWidget* power_panel);
    ~DevicePageView() override;

    // Starts an entry timer on the UI thread; by default the window's SetTimer.
    using TimerStarter = std::function<void(QWidget* entry, int timer_id, int interval_ms)>;
    void SetTimerStarter(TimerStarter starter) { timer_starter_ = std::move(starter); }

    // The device this view serves (for the DPI conversion of the mouse's stage display).
    void SetDevice(const devices::CNerioUSBDevice* device) { device_ = device; }

    // The id of a control (registered on first use); kNoControl for null.
    devices::ControlId IdOf(QWidget* control);
    // The control of an id, or null when it is unknown or gone.
    [[nodiscard]] QWidget* Control(devices::ControlId id) const;
    [[nodiscard]] QWidget* Page() const { return Control(devices::kPageRoot); }

    // DeviceView.
    std::vector<devices::ControlInfo> Children(devices::ControlId parent) override;
    devices::ControlId FindControl(std::string_view name) override;
    bool IsVisible(devices::ControlId control) override;
    void SetLightTint(devices::ControlId control, uint32_t tint, uint8_t level,
                      bool shown) override;
    void SetTooltip(devices::ControlId control, std::string_view title,
                    std::string_view text) override;
    void Repaint(devices::ControlId control) override;
    void SelectTab(devices::ControlId tab, int index) override;
    void StartTimer(int timer_id, int interval_ms) override;
    void SetPowerPanelBattery(bool has_battery) override;
    void ShowPowerStatus(std::span<const uint8_t> status) override;
    void ClearKeyInfo() override;
    void SetKeyInfoRow(int row, std::string_view name, std::string_view text,
                       bool visible) override;
    void ShowKeyInfo() override;
    std::string Text(std::string_view entry) override;
    void ShowAudioLight(const storage::AudioLightRecord& record) override;
    std::optional<storage::AudioLightRecord> ReadAudioLight() override;
    std::optional<std::string> BindProfileBar(
        int kind, const std::filesystem::path& user_folder,
        const std::filesystem::path& default_profile) override;
    void SetOptionSelected(devices::ControlId option, bool selected) override;
    void SetSliderRange(devices::ControlId slider, int minimum, int maximum) override;
    void SetEditMaxValue(devices::ControlId edit, int maximum) override;
    void ShowLightRecord(const storage::LightRecord& record) override;
    void ShowDpiStage(int stage, bool enabled, int position, uint32_t colour) override;
    void ShowActiveDpiStage(int stage) override;

    // The page's profile bar ("DeviceProfileItem"), or null.
    [[nodiscard]] panels::CDeviceProfileUI* ProfileBar();

    // What the key information list holds (for tests and the trace).
    [[nodiscard]] int KeyInfoRows() const { return static_cast<int>(key_rows_.size()); }

  private:
    struct KeyRow {
        QPointer<QWidget> row;
        QPointer<QWidget> name;
        QPointer<QWidget> text;
    };
    QWidget* KeyInfoList();
    void PaintPreviews();
    KeyRow& EnsureKeyRow(int row);
    [[nodiscard]] QString PageName() const;

    ui::Window& window_;
    const ui::Language* language_;
    QPointer<QWidget> entry_;
    QPointer<QWidget> power_panel_;
    QPointer<panels::CDeviceProfileUI> profile_bar_;
    TimerStarter timer_starter_;
    const devices::CNerioUSBDevice* device_ = nullptr;
    std::vector<QPointer<QWidget>> controls_;
    std::unordered_map<const QWidget*, devices::ControlId> ids_;
    // LED previews whose tint changed, painted together at most every kPreviewFrameMs: the light
    // frames come every 5 ms, far more often than a preview needs to be drawn.
    std::vector<QPointer<QWidget>> changed_previews_;
    QTimer preview_timer_;
    QPointer<QWidget> key_list_;
    std::vector<KeyRow> key_rows_;
    int active_dpi_stage_ = -1;
};

}  // namespace zepho7::app
