// The toolkit's own kinds of control, on Qt widgets. Buttons, labels and containers paint the
// skin's images themselves (background, state images, foreground) so that SVG images stay
// sharp at every DPI.
#pragma once

#include <QBoxLayout>
#include <QColor>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTextEdit>
#include <QWidget>

#include "ui/attributes.h"

namespace zepho7::ui {

// Background colour, background image, border and foreground image shared by the painted kinds.
struct Decor {
    QColor bk_color;
    QString bk_image;
    QString fore_image;
    QColor border_color;
    int border_size = 0;  // 96-DPI pixels
    int border_round = 0;

    // Takes the attribute when it is one of the decor's; repaints `owner`.
    bool Set(QWidget* owner, const QString& name, const QString& value);
    void PaintBackground(QPainter& painter, const QWidget* owner) const;
    void PaintForeground(QPainter& painter, const QWidget* owner) const;
};

// Draws a skin image over `rect` (scaled to it, rendered sharp for the widget's screen).
void DrawImage(QPainter& painter, const QWidget* owner, const QString& image, const QRectF& rect,
               qreal opacity = 1.0);

// Plain control, and the horizontal and vertical layouts. Children with float="true" are placed
// by their "pos" instead of the layout.
class Box : public QWidget, public AttributeTarget {
  public:
    enum class Kind { Plain, Horizontal, Vertical };
    Box(Kind kind, QWidget* parent);
    [[nodiscard]] QBoxLayout* BoxLayout() const noexcept { return layout_; }
    [[nodiscard]] Decor& decor() noexcept { return decor_; }
    bool SetOwnAttribute(const QString& name, const QString& exact, const QString& value) override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QBoxLayout* layout_ = nullptr;
    Decor decor_;
};

class TabLayout : public QStackedWidget, public AttributeTarget {
  public:
    explicit TabLayout(QWidget* parent);
    // Selects page `index`; false when there is no such page.
    bool SelectItem(int index);
    bool SetOwnAttribute(const QString& name, const QString& exact, const QString& value) override;
};

// Button with state images: normal, hot, pushed, disabled, and for options selected and
// selected-hot. Raises "click".
class Button : public QPushButton, public AttributeTarget {
  public:
    explicit Button(QWidget* parent);
    bool SetOwnAttribute(const QString& name, const QString& exact, const QString& value) override;
    [[nodiscard]] Decor& decor() noexcept { return decor_; }
    [[nodiscard]] bool IsHot() const noexcept { return hot_; }

  protected:
    // The state image stage; derived controls draw over it.
    virtual void PaintStatusImage(QPainter& painter);
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

    QString normal_image_, hot_image_, pushed_image_, disabled_image_, selected_image_,
        selected_hot_image_;
    Decor decor_;
    bool hot_ = false;
};

// A selectable button; options of one group exclude each other. Raises "selectchanged" on every
// change of its selected state and selects page "bindtabindex" of tab layout
// "bindtablayoutname" when selected.
class Option : public Button {
  public:
    explicit Option(QWidget* parent);
    bool SetOwnAttribute(const QString& name, const QString& exact, const QString& value) override;
    void Selected(bool selected) { setChecked(selected); }
    [[nodiscard]] bool IsSelected() const { return isChecked(); }

  private:
    QString bind_tab_;
    int bind_index_ = -1;
};

class Label : public QLabel, public AttributeTarget {
  public:
    explicit Label(QWidget* parent);
    bool SetOwnAttribute(const QString& name, const QString& exact, const QString& value) override;
    [[nodiscard]] Decor& decor() noexcept { return decor_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    Decor decor_;
};

// Line edit: "numberonly", "min", "max", "maxchar", "readonly". Raises "textchanged",
// "return", "setfocus" and "killfocus".
class Edit : public QLineEdit, public AttributeTarget {
  public:
    explicit Edit(QWidget* parent);
    bool SetOwnAttribute(const QString& name, const QString& exact, const QString& value) override;

  protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void UpdateValidator();
    bool number_only_ = false;
    int min_ = 0;
    int max_ = 0x7fffffff;
};

// Slider: "valuechanged" when a value is set by the user (released, keys, clicks),
// "movevaluechanged" while it is dragged.
class Slider : public QSlider, public AttributeTarget {
  public:
    explicit Slider(QWidget* parent);
    bool SetOwnAttribute(const QString& name, const QString& exact, const QString& value) override;
};

class Progress : public QProgressBar, public AttributeTarget {
  public:
    explicit Progress(QWidget* parent);
    bool SetOwnAttribute(const QString& name, const QString& exact, const QString& value) override;
};

// Combo box; its <Item text=".." userdata=".."/> children are its entries. Raises "itemselect".
class Combo : public QComboBox, public AttributeTarget {
  public:
    explicit Combo(QWidget* parent);
    bool SetOwnAttribute(const QString& name, const QString& exact, const QString& value) override;
    bool SelectItem(int index);
};

// List; <Item text=".."/> children. Raises "itemselect", "itemclick" and "itemactivate".
class List : public QListWidget, public AttributeTarget {
  public:
    explicit List(QWidget* parent);
    bool SetOwnAttribute(const QString& name, const QString& exact, const QString& value) override;
};

// Multi-line edit. Raises "textchanged", "setfocus" and "killfocus".
class RichEdit : public QTextEdit, public AttributeTarget {
  public:
    explicit RichEdit(QWidget* parent);
    bool SetOwnAttribute(const QString& name, const QString& exact, const QString& value) override;

  protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

// Hue/saturation field with a brightness strip; a pick raises "colorchanged" with the colour
// as 0xRRGGBB in wparam.
class ColorPalette : public QWidget, public AttributeTarget {
  public:
    explicit ColorPalette(QWidget* parent);
    bool SetOwnAttribute(const QString& name, const QString& exact, const QString& value) override;
    [[nodiscard]] QColor SelectColor() const noexcept { return color_; }
    void SetSelectColor(const QColor& color);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    void PickAt(QPointF pos, bool raise);
    [[nodiscard]] QRectF FieldRect() const;
    [[nodiscard]] QRectF StripRect() const;
    QColor color_{255, 0, 0};
    bool in_strip_ = false;
};

}  // namespace zepho7::ui
