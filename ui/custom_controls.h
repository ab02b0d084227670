// The program's own controls on top of the toolkit's kinds (key pictures, selection panel,
// hand images, spectrum bars, ring progress, hosted window, chart, list item).
#pragma once

#include <QPointer>
#include <QRect>
#include <array>
#include <cstdint>

#include "ui/controls.h"

namespace zepho7::ui {

// A key picture / LED preview. Tint colour byte order, from the lowest byte up: red, blue,
// green (0x00GGBBRR); the light image is filled with that colour at opacity level / 255.
class DeviceKeyButton : public Button {
  public:
    explicit DeviceKeyButton(QWidget* parent);
    bool SetOwnAttribute(const QString& name, const QString& exact, const QString& value) override;

    // Stores the values; repaints nothing (the page repaints its previews).
    void SetLightTint(uint32_t colour, uint32_t level, bool shown);
    // Repaints only when the flag changes.
    void SetKeysetHidden(bool hidden);
    void SetSelectionMark(uint32_t mark) { selection_mark_ = mark; }
    [[nodiscard]] uint32_t GetSelectionMark() const noexcept { return selection_mark_; }

    [[nodiscard]] uint32_t TintColour() const noexcept { return tint_colour_; }
    [[nodiscard]] uint32_t TintLevel() const noexcept { return tint_level_; }
    [[nodiscard]] bool LightShown() const noexcept { return light_shown_; }
    [[nodiscard]] bool KeysetHidden() const noexcept { return keyset_hidden_; }
    // The colour the tint value stands for.
    [[nodiscard]] static QColor TintToColor(uint32_t colour);

  protected:
    void PaintStatusImage(QPainter& painter) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    QString light_image_;
    QString keyset_image_;
    bool light_shown_ = false;
    uint32_t tint_colour_ = 255;
    uint32_t tint_level_ = 200;
    bool keyset_hidden_ = true;
    uint32_t selection_mark_ = 0;
};

// Vertical layout with rubber-band selection of its DeviceKeyButton children; raises
// "click_select_end" when a selection ends. The band is not drawn.
class SelectPanel : public Box {
  public:
    explicit SelectPanel(QWidget* parent);
    [[nodiscard]] QRect SelectionRect() const noexcept { return selection_; }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool pressing_ = false;
    bool selecting_ = false;
    bool captured_ = false;
    QPoint start_, current_;
    QRect selection_;
};

// Button with a hand image drawn over it; "msenter"/"msleave".
class HandImgButton : public Button {
  public:
    explicit HandImgButton(QWidget* parent);
    bool SetOwnAttribute(const QString& name, const QString& exact, const QString& value) override;
    [[nodiscard]] const QString& DeleteNormalImage() const noexcept { return delete_normal_; }
    [[nodiscard]] const QString& DeleteHotImage() const noexcept { return delete_hot_; }

  protected:
    void PaintStatusImage(QPainter& painter) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    QString hand_image_, delete_normal_, delete_hot_;
};

// Shows a window of its own size into a larger image; dragging pans it.
class HandImgSelectButton : public Button {
  public:
    explicit HandImgSelectButton(QWidget* parent);
    bool SetOwnAttribute(const QString& name, const QString& exact, const QString& value) override;
    // The part of the image shown, in image pixels.
    [[nodiscard]] QRect Source() const noexcept { return source_; }

  protected:
    void PaintStatusImage(QPainter& painter) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ResetSource();
    QString hand_image_;
    QSize image_size_;
    QRect source_;
    bool dragging_ = false;
    QPoint last_;
};

class RedioMacroButton : public Button {
  public:
    explicit RedioMacroButton(QWidget* parent);
    bool SetOwnAttribute(const QString& name, const QString& exact, const QString& value) override;
    [[nodiscard]] const QString& RecordImage() const noexcept { return record_image_; }

  private:
    QString record_image_;
};

// Spectrum bars: one black bar per value, 2 pixels apart.
class AudioRecord : public Label {
  public:
    static constexpr int kValues = 500;
    explicit AudioRecord(QWidget* parent);
    [[nodiscard]] std::array<int32_t, kValues>& Values() noexcept { return values_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::array<int32_t, kValues> values_{};
};

// Ring progress starting at the bottom, clockwise.
class CircleProgress : public Progress {
  public:
    explicit CircleProgress(QWidget* parent);
    bool SetOwnAttribute(const QString& name, const QString& exact, const QString& value) override;
    // The swept angle in whole degrees.
    [[nodiscard]] int SweepDegrees() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor bk_color_{60, 64, 72};
    QColor fore_color_{34, 211, 238};
    QColor inner_color_{255, 255, 255};
};

// Keeps another widget over itself: moved to its rectangle, shown and hidden with it.
class WndHost : public QWidget {
  public:
    explicit WndHost(QWidget* parent);
    void Attach(QWidget* hosted);
    [[nodiscard]] QWidget* Hosted() const noexcept { return hosted_; }

  protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void Sync();
    QPointer<QWidget> hosted_;
};

// Chart view: takes its attributes (names compared exactly); draws its background only.
class ChartView : public Box {
  public:
    explicit ChartView(QWidget* parent);
    bool SetOwnAttribute(const QString& name, const QString& exact, const QString& value) override;

    QString view, shadow_image, pillar_image;
    int shadow_image_height = 0, pillar_image_width = 0, font = -1;
    bool show_html = false, show_text = false;
};

// List item that draws a one-pixel frame while hot and not selected, in the colour of the
// nearest ancestor's "itemhotbordercolor". Raises "itemactivate" and "menu".
class CloudShareListItem : public Box {
  public:
    explicit CloudShareListItem(QWidget* parent);
    void SetSelected(bool selected);
    [[nodiscard]] bool IsHot() const noexcept { return hot_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    bool hot_ = false;
    bool selected_ = false;
};

}  // namespace zepho7::ui
