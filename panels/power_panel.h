// The power panel of a device page: battery level, charging state, wireless link and, on the
// mousepad, the kind of phone on its charging surface. The device hands it the bytes of its
// power status reply.
#pragma once

#include <QPointer>
#include <cstddef>
#include <cstdint>

#include "ui/controls.h"
#include "ui/window.h"

namespace zepho7::panels {

class CMpDevicePowerUI : public ui::Box {
  public:
    // The panel's layout; its root element is <MpDevicePower>.
    static constexpr char kLayoutFile[] = "XML/CustomControlXML/MpDevicePower.xml";
    static constexpr char kClassName[] = "MpDevicePower";

    explicit CMpDevicePowerUI(QWidget* parent);

    // Builds a panel from its layout into `parent` (the main window's "device_power_switch");
    // tags the panel's layout does not know go to `callback`. Nullptr when the layout is
    // missing or its root is not a power panel.
    static CMpDevicePowerUI* Build(ui::Window& window, QWidget* parent,
                                   const ui::Window::CreateCallback& callback = {});

    // kind: the catalogue's device kind (2 mouse by cable, 3 mousepad, ...).
    void SetKindAndSubType(int kind, int sub_type);
    [[nodiscard]] int Kind() const noexcept { return kind_; }
    [[nodiscard]] int SubType() const noexcept { return sub_type_; }

    // Shows or hides the whole power display ("device_power_Layout").
    void ShowBatteryArea(bool shown);

    // Shows a power status reply: byte 0 level in percent, byte 1 charging state (0 on battery,
    // 1 charging, 2 full), byte 3 wireless link, byte 5 phone type on a mousepad. At most 64
    // bytes are taken; missing bytes read as 0. Nothing changes unless all five display
    // controls exist.
    void ShowStatus(const uint8_t* bytes, std::size_t length);

    // Raises "selectchanged" for the panel (a click on it).
    bool Activate();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    struct Controls {
        QPointer<QWidget> value, wireless, progress, status, phone;
    };
    // Looks the display controls up on first use and keeps them (missing ones are looked for
    // again next time).
    void FindControls();

    Controls controls_;
    bool found_ = false;
    int kind_ = 0;
    int sub_type_ = 0;
};

}  // namespace zepho7::panels
