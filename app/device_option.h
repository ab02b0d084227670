// A device's entry in the selector strip ("DeviceOption"): its option "device_select" selects the
// device's page, the option "synchro_device_select" marks the device for synchronised lighting
// and the label "device_select_name" names it. The entry's control timers drive the device's
// periodic work (light frames, first read, power status, receiver link), so each entry is tied
// to its device page both ways. Visible means attached.
#pragma once

#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>

#include "ui/controls.h"

namespace zepho7::devices {
class CNerioUSBDevice;
}

namespace zepho7::app {

class CDeviceOptionUI : public ui::Box {
  public:
    static constexpr char kClassName[] = "DeviceOption";
    static constexpr char kSelect[] = "device_select";
    static constexpr char kSynchro[] = "synchro_device_select";
    static constexpr char kName[] = "device_select_name";
    static constexpr char kState[] = "device_select_state";

    explicit CDeviceOptionUI(QWidget* parent);

    // Looks up the inner controls once the layout file has built them.
    void BindInnerControls();

    // Attached means shown.
    void SetAttached(bool attached) { setVisible(attached); }
    [[nodiscard]] bool IsAttached() const { return !isHidden(); }
    [[nodiscard]] bool IsSelected() const;
    // Selects the option (its page and the window's reaction follow from the notification).
    void Select();

    // The synchronise mark.
    void SetSynchroVisible(bool visible);
    void SetSynchronised(bool on);
    [[nodiscard]] bool Synchronised() const;

    // The four images by device kind and sub-type; an unknown pad sub-type keeps them.
    void SetIcons(uint16_t kind, uint16_t sub_type);
    [[nodiscard]] uint16_t Kind() const noexcept { return kind_; }
    [[nodiscard]] uint16_t SubType() const noexcept { return sub_type_; }
    // The selected / normal image in use now (for tests).
    [[nodiscard]] std::array<QString, 2> CurrentImages() const;

    // "device_select" shows page `index` of `tab_name`; it belongs to option group `group`.
    void BindTab(const QString& tab_name, int index, const QString& group);
    [[nodiscard]] int PageIndex() const noexcept { return page_index_; }

    void SetPowerSwitch(const QString& control_name, int index);
    [[nodiscard]] const QString& PowerSwitchName() const noexcept { return power_switch_; }
    [[nodiscard]] int PowerPanelIndex() const noexcept { return power_index_; }

    // The link the device talks over now; true when that changed what the entry shows.
    bool ShowLink(bool wireless);

    // The name text: a language text id and the text shown when the language lacks it.
    void SetNameText(const QString& text_id, const QString& fallback);

    void LinkPage(devices::CNerioUSBDevice* page) { page_ = page; }
    [[nodiscard]] devices::CNerioUSBDevice* Page() const noexcept { return page_; }

    [[nodiscard]] ui::Option* SelectOption() const { return select_; }

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void UpdateLook();

    QPointer<ui::Option> select_;
    QPointer<ui::Option> synchro_;
    QPointer<QWidget> name_;
    // Synchronised and selected, synchronised, selected, normal.
    std::array<QString, 4> icons_ = {
        QStringLiteral("common/device_ico/unknow_device_synchro_selected.png"),
        QStringLiteral("common/device_ico/unknow_device_synchro_normal.png"),
        QStringLiteral("common/device_ico/unknow_device_selected.png"),
        QStringLiteral("common/device_ico/unknow_device_normal.png")};
    uint16_t kind_ = 0;
    uint16_t sub_type_ = 0;
    int page_index_ = -1;
    QString power_switch_;
    int power_index_ = -1;
    int link_ = -1;  // -1 not shown yet, 0 cable, 1 receiver
    devices::CNerioUSBDevice* page_ = nullptr;
};

}  // namespace zepho7::app
