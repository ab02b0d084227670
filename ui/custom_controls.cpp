#include "ui/custom_controls.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "ui/skin.h"
#include "ui/window.h"

namespace zepho7::ui {

namespace {

QRect Spanned(QPoint a, QPoint b) {
    const int left = std::min(a.x(), b.x()), right = std::max(a.x(), b.x());
    const int top = std::min(a.y(), b.y()), bottom = std::max(a.y(), b.y());
    return QRect(QPoint(left, top), QSize(right - left, bottom - top));
}

}  // namespace

// ---- DeviceKeyButton ----

DeviceKeyButton::DeviceKeyButton(QWidget* parent) : Button(parent) {}

bool DeviceKeyButton::SetOwnAttribute(const QString& name, const QString& exact,
                                      const QString& value) {
    if (name == u"lightimage") {
        light_image_ = value;
    } else if (name == u"keysetimage") {
        keyset_image_ = value;
    } else if (name == u"gmnametextcolor") {
        return true;  // accepted, without effect
    } else {
        return Button::SetOwnAttribute(name, exact, value);
    }
    update();
    return true;
}

void DeviceKeyButton::SetLightTint(uint32_t colour, uint32_t level, bool shown) {
    tint_colour_ = colour;
    tint_level_ = level;
    light_shown_ = shown;
}

void DeviceKeyButton::SetKeysetHidden(bool hidden) {
    if (hidden == keyset_hidden_)
        return;
    keyset_hidden_ = hidden;
    update();
}

QColor DeviceKeyButton::TintToColor(uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 16) & 0xFF),
                  static_cast<int>((colour >> 8) & 0xFF));
}

void DeviceKeyButton::PaintStatusImage(QPainter& painter) {
    Button::PaintStatusImage(painter);
    const Window* window = WindowOf(this);
    if (window == nullptr)
        return;
    if (light_shown_ && !light_image_.isEmpty()) {
        const QPixmap light = window->skin().Pixmap(light_image_, size(), devicePixelRatioF());
        if (!light.isNull()) {
            // The light image is the shape; the LED colour fills it.
            QImage tinted = light.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
            QPainter fill(&tinted);
            fill.setCompositionMode(QPainter::CompositionMode_SourceIn);
            fill.fillRect(tinted.rect(), TintToColor(tint_colour_));
            fill.end();
            const qreal old = painter.opacity();
            painter.setOpacity(old * std::min<uint32_t>(tint_level_, 255) / 255.0);
            painter.drawImage(QPointF(0, 0), tinted);
            painter.setOpacity(old);
        }
    }
    if (!keyset_hidden_)
        DrawImage(painter, this, keyset_image_, rect());
}

void DeviceKeyButton::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!isEnabled() || event->button() != Qt::LeftButton)
        return;
    setDown(true);
    update();
    RaiseNotify(this, notify::kDoubleClick);
}

// ---- SelectPanel ----

SelectPanel::SelectPanel(QWidget* parent) : Box(Kind::Vertical, parent) {}

void SelectPanel::mousePressEvent(QMouseEvent* event) {
    Box::mousePressEvent(event);
    if (!isEnabled())
        return;
    pressing_ = true;
    start_ = event->position().toPoint();
}

void SelectPanel::mouseMoveEvent(QMouseEvent* event) {
    Box::mouseMoveEvent(event);
    if (pressing_)
        selecting_ = true;
    if (selecting_) {
        current_ = event->position().toPoint();
        selection_ = Spanned(start_, current_);
        update();
    }
}

void SelectPanel::mouseReleaseEvent(QMouseEvent* event) {
    Box::mouseReleaseEvent(event);
    pressing_ = false;
    if (!selecting_)
        return;
    selecting_ = false;
    start_ = current_;
    for (QObject* object : children()) {
        auto* key = dynamic_cast<DeviceKeyButton*>(object);
        if (key == nullptr || ClassName(key) != u"DeviceKeyButton")
            continue;
        key->SetSelectionMark(key->geometry().intersects(selection_) ? 1 : 0);
    }
    update();
    RaiseNotify(this, notify::kClickSelectEnd);
}

// ---- HandImgButton ----

HandImgButton::HandImgButton(QWidget* parent) : Button(parent) {}

bool HandImgButton::SetOwnAttribute(const QString& name, const QString& exact,
                                    const QString& value) {
    if (name == u"handimage") {
        hand_image_ = value;
        update();
    } else if (name == u"deletenormalimage") {
        delete_normal_ = value;
    } else if (name == u"deletehotimage") {
        delete_hot_ = value;
    } else {
        return Button::SetOwnAttribute(name, exact, value);
    }
    return true;
}

void HandImgButton::PaintStatusImage(QPainter& painter) {
    Button::PaintStatusImage(painter);
    DrawImage(painter, this, hand_image_, rect());
}

void HandImgButton::enterEvent(QEnterEvent* event) {
    Button::enterEvent(event);
    if (isEnabled())
        RaiseNotify(this, notify::kMouseEnter);
}

void HandImgButton::leaveEvent(QEvent* event) {
    Button::leaveEvent(event);
    if (isEnabled())
        RaiseNotify(this, notify::kMouseLeave);
}

// ---- HandImgSelectButton ----

HandImgSelectButton::HandImgSelectButton(QWidget* parent) : Button(parent) {}

bool HandImgSelectButton::SetOwnAttribute(const QString& name, const QString& exact,
                                          const QString& value) {
    if (name == u"handimage") {
        hand_image_ = value;
        const Window* window = WindowOf(this);
        image_size_ = window ? window->skin().NaturalSize(value) : QSize();
        ResetSource();
        update();
        return true;
    }
    if (name == u"cursor")
        return false;  // the common attribute sets the named cursor
    return Button::SetOwnAttribute(name, exact, value);
}

void HandImgSelectButton::ResetSource() {
    if (image_size_.isEmpty()) {
        source_ = {};
        return;
    }
    const qreal scale = ScaleOf(this);
    const QSize view(static_cast<int>(width() / scale), static_cast<int>(height() / scale));
    if (view.width() < image_size_.width() || view.height() < image_size_.height())
        source_ = QRect(QPoint(0, 0), view.boundedTo(image_size_));
    else
        source_ = QRect(QPoint(0, 0), image_size_);
}

void HandImgSelectButton::PaintStatusImage(QPainter& painter) {
    Button::PaintStatusImage(painter);
    const Window* window = WindowOf(this);
    if (window == nullptr || source_.isEmpty())
        return;
    const qreal scale = window->Scale();
    const qreal dpr = devicePixelRatioF();
    const QPixmap image = window->skin().Pixmap(hand_image_, image_size_ * scale, dpr);
    if (image.isNull())
        return;
    const QRectF from(source_.x() * scale * dpr, source_.y() * scale * dpr,
                      source_.width() * scale * dpr, source_.height() * scale * dpr);
    painter.drawPixmap(QRectF(rect()), image, from);
}

void HandImgSelectButton::enterEvent(QEnterEvent* event) {
    Button::enterEvent(event);
    if (isEnabled())
        RaiseNotify(this, notify::kMouseEnter);
}

void HandImgSelectButton::leaveEvent(QEvent* event) {
    Button::leaveEvent(event);
    if (isEnabled())
        RaiseNotify(this, notify::kMouseLeave);
}

void HandImgSelectButton::mousePressEvent(QMouseEvent* event) {
    Button::mousePressEvent(event);
    if (isEnabled()) {
        dragging_ = true;
        last_ = event->position().toPoint();
    }
}

void HandImgSelectButton::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void HandImgSelectButton::mouseMoveEvent(QMouseEvent* event) {
    Button::mouseMoveEvent(event);
    if (!dragging_ || source_.isEmpty())
        return;
    const qreal scale = ScaleOf(this);
    const QPoint now = event->position().toPoint();
    const QPoint delta((now.x() - last_.x()) / scale, (now.y() - last_.y()) / scale);
    last_ = now;
    // The image follows the pointer: the window into it moves the other way, within the image.
    const int x = std::clamp(source_.x() - delta.x(), 0, image_size_.width() - source_.width());
    const int y = std::clamp(source_.y() - delta.y(), 0, image_size_.height() - source_.height());
    source_.moveTo(x, y);
    update();
}

void HandImgSelectButton::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    Button::mouseReleaseEvent(event);
}

void HandImgSelectButton::resizeEvent(QResizeEvent* event) {
    Button::resizeEvent(event);
    ResetSource();
}

// ---- RedioMacroButton ----

RedioMacroButton::RedioMacroButton(QWidget* parent) : Button(parent) {}

bool RedioMacroButton::SetOwnAttribute(const QString& name, const QString& exact,
                                       const QString& value) {
    if (name == u"redioimage") {
        record_image_ = value;
        return true;
    }
    return Button::SetOwnAttribute(name, exact, value);
}

// ---- AudioRecord ----

AudioRecord::AudioRecord(QWidget* parent) : Label(parent) {
    for (int i = 0; i < 256; ++i)
        values_[static_cast<size_t>(i)] = i;
}

void AudioRecord::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (decor_.bk_color.isValid())
        painter.fillRect(rect(), decor_.bk_color);
    const int h = height();
    for (int i = 0; i < kValues && 2 * i < width(); ++i) {
        const int top =
            h - static_cast<int>(static_cast<int64_t>(values_[static_cast<size_t>(i)]) * h / 8192);
        if (top < h - 1)
            painter.fillRect(2 * i, top, 1, h - 1 - top, Qt::black);
    }
}

// ---- CircleProgress ----

CircleProgress::CircleProgress(QWidget* parent) : Progress(parent) {}

bool CircleProgress::SetOwnAttribute(const QString& name, const QString& exact,
                                     const QString& value) {
    QColor* slot = nullptr;
    if (name == u"bkcolor")
        slot = &bk_color_;
    else if (name == u"forecolor")
        slot = &fore_color_;
    else if (name == u"innercolor")
        slot = &inner_color_;
    if (slot == nullptr)
        return Progress::SetOwnAttribute(name, exact, value);
    const QColor colour = ParseColor(value);
    if (colour.isValid())
        *slot = colour;
    update();
    return true;
}

int CircleProgress::SweepDegrees() const {
    const int range = maximum() - minimum();
    if (range <= 0)
        return 0;
    return static_cast<int>(static_cast<double>(value()) / range * 360.0);
}

void CircleProgress::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF r = rect();
    painter.setBrush(bk_color_);
    painter.drawEllipse(r);
    // Qt counts angles counter-clockwise from 3 o'clock: the bottom is -90, clockwise negative.
    painter.setBrush(fore_color_);
    painter.drawPie(r, -90 * 16, -SweepDegrees() * 16);
    const qreal inset = Scaled(this, 10);
    painter.setBrush(inner_color_);
    painter.drawEllipse(r.adjusted(inset, inset, -inset, -inset));
}

// ---- WndHost ----

WndHost::WndHost(QWidget* parent) : QWidget(parent) {}

void WndHost::Attach(QWidget* hosted) {
    hosted_ = hosted;
    if (hosted != nullptr && hosted->isWindow())
        hosted->setAttribute(Qt::WA_ShowWithoutActivating);
    Sync();
}

void WndHost::Sync() {
    QWidget* hosted = hosted_.data();
    if (hosted == nullptr)
        return;
    QRect target = rect();
    QWidget* parent = hosted->parentWidget();
    if (parent != nullptr)
        target.moveTopLeft(mapTo(window(), QPoint(0, 0)) - parent->mapTo(window(), QPoint(0, 0)));
    else
        target.moveTopLeft(mapToGlobal(QPoint(0, 0)));
    hosted->setGeometry(target);
    hosted->setVisible(isVisible());
}

void WndHost::moveEvent(QMoveEvent*) {
    Sync();
}
void WndHost::resizeEvent(QResizeEvent*) {
    Sync();
}
void WndHost::showEvent(QShowEvent*) {
    Sync();
}
void WndHost::hideEvent(QHideEvent*) {
    Sync();
}

// ---- ChartView ----

ChartView::ChartView(QWidget* parent) : Box(Kind::Plain, parent) {}

bool ChartView::SetOwnAttribute(const QString& name, const QString& exact, const QString& value) {
    if (exact == u"view")
        view = value;
    else if (exact == u"shadowimage")
        shadow_image = value;
    else if (exact == u"pillarimage")
        pillar_image = value;
    else if (exact == u"shadowimageheight")
        shadow_image_height = value.toInt();
    else if (exact == u"pillarimagewidth")
        pillar_image_width = value.toInt();
    else if (exact == u"showhtml")
        show_html = value == u"true";
    else if (exact == u"showtext")
        show_text = value == u"true";
    else if (exact == u"font")
        font = value.toInt();
    else
        return Box::SetOwnAttribute(name, exact, value);
    return true;
}

// ---- CloudShareListItem ----

CloudShareListItem::CloudShareListItem(QWidget* parent) : Box(Kind::Horizontal, parent) {}

void CloudShareListItem::SetSelected(bool selected) {
    selected_ = selected;
    update();
}

void CloudShareListItem::paintEvent(QPaintEvent* event) {
    Box::paintEvent(event);
    if (!hot_ || selected_)
        return;
    for (const QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
        const QColor colour = ParseColor(w->property("z7_itemhotbordercolor").toString());
        if (colour.isValid()) {
            QPainter painter(this);
            painter.setPen(colour);
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
            return;
        }
    }
}

void CloudShareListItem::enterEvent(QEnterEvent* event) {
    hot_ = true;
    update();
    Box::enterEvent(event);
}

void CloudShareListItem::leaveEvent(QEvent* event) {
    hot_ = false;
    update();
    Box::leaveEvent(event);
}

void CloudShareListItem::mouseDoubleClickEvent(QMouseEvent*) {
    RaiseNotify(this, notify::kItemActivate);
}

void CloudShareListItem::contextMenuEvent(QContextMenuEvent* event) {
    RaiseNotify(this, notify::kMenu, event->globalPos().x(), event->globalPos().y());
}

}  // namespace zepho7::ui
