#include "ui/controls.h"

#include <QButtonGroup>
#include <QFocusEvent>
#include <QIntValidator>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <cmath>

#include "ui/skin.h"
#include "ui/window.h"

namespace zepho7::ui {

namespace {

bool IsTrue(const QString& value) {
    return value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || value == u'1';
}

}  // namespace

void DrawImage(QPainter& painter, const QWidget* owner, const QString& image, const QRectF& rect,
               qreal opacity) {
    const Window* window = WindowOf(owner);
    if (window == nullptr || image.isEmpty() || rect.isEmpty())
        return;
    const QSize size(static_cast<int>(std::ceil(rect.width())),
                     static_cast<int>(std::ceil(rect.height())));
    const QPixmap pixmap = window->skin().Pixmap(image, size, owner->devicePixelRatioF());
    if (pixmap.isNull())
        return;
    const qreal old = painter.opacity();
    painter.setOpacity(old * opacity);
    painter.drawPixmap(rect.topLeft(), pixmap);
    painter.setOpacity(old);
}

bool Decor::Set(QWidget* owner, const QString& name, const QString& value) {
    if (name == u"bkcolor" || name == u"bordercolor") {
        const QColor colour = ParseColor(value);
        if (!colour.isValid())
            return false;
        (name == u"bkcolor" ? bk_color : border_color) = colour;
    } else if (name == u"bkimage") {
        bk_image = value;
    } else if (name == u"foreimage") {
        fore_image = value;
    } else if (name == u"bordersize") {
        border_size = value.toInt();
    } else if (name == u"borderround") {
        border_round = value.section(u',', 0, 0).toInt();
    } else {
        return false;
    }
    owner->update();
    return true;
}

void Decor::PaintBackground(QPainter& painter, const QWidget* owner) const {
    const QRectF r = owner->rect();
    const qreal radius = Scaled(owner, border_round);
    if (bk_color.isValid() && bk_color.alpha() > 0) {
        painter.setRenderHint(QPainter::Antialiasing, radius > 0);
        painter.setPen(Qt::NoPen);
        painter.setBrush(bk_color);
        painter.drawRoundedRect(r, radius, radius);
    }
    DrawImage(painter, owner, bk_image, r);
    if (border_size > 0 && border_color.isValid()) {
        const qreal w = std::max(1, Scaled(owner, border_size));
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(border_color, w));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(r.adjusted(w / 2, w / 2, -w / 2, -w / 2), radius, radius);
    }
}

void Decor::PaintForeground(QPainter& painter, const QWidget* owner) const {
    if (fore_image.isEmpty())
        return;
    // The foreground image keeps its natural size (scaled to the DPI), centred.
    const Window* window = WindowOf(owner);
    if (window == nullptr)
        return;
    QSizeF size = window->skin().NaturalSize(fore_image);
    if (size.isEmpty())
        return;
    size *= window->Scale();
    size = size.boundedTo(owner->size());
    const QRectF r((owner->width() - size.width()) / 2, (owner->height() - size.height()) / 2,
                   size.width(), size.height());
    DrawImage(painter, owner, fore_image, r);
}

// ---- Box ----

Box::Box(Kind kind, QWidget* parent) : QWidget(parent) {
    // A plain control between others takes the space left over.
    if (kind == Kind::Plain)
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    if (kind != Kind::Plain) {
        layout_ = new QBoxLayout(
            kind == Kind::Horizontal ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom, this);
        layout_->setContentsMargins(0, 0, 0, 0);
        layout_->setSpacing(0);
    }
}

bool Box::SetOwnAttribute(const QString& name, const QString&, const QString& value) {
    return decor_.Set(this, name, value);
}

void Box::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    decor_.PaintBackground(painter, this);
    decor_.PaintForeground(painter, this);
}

// ---- TabLayout ----

TabLayout::TabLayout(QWidget* parent) : QStackedWidget(parent) {}

bool TabLayout::SelectItem(int index) {
    if (index < 0 || index >= count())
        return false;
    setCurrentIndex(index);
    return true;
}

bool TabLayout::SetOwnAttribute(const QString& name, const QString&, const QString& value) {
    if (name != u"selectedid")
        return false;
    // The pages may not exist yet while the layout is built; the builder applies it again.
    setProperty("z7_selectedid", value.toInt());
    SelectItem(value.toInt());
    return true;
}

// ---- Button ----

Button::Button(QWidget* parent) : QPushButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QPushButton::clicked, this, [this] { RaiseNotify(this, notify::kClick); });
}

bool Button::SetOwnAttribute(const QString& name, const QString&, const QString& value) {
    QString* slot = nullptr;
    if (name == u"normalimage")
        slot = &normal_image_;
    else if (name == u"hotimage")
        slot = &hot_image_;
    else if (name == u"pushedimage")
        slot = &pushed_image_;
    else if (name == u"disabledimage")
        slot = &disabled_image_;
    else if (name == u"selectedimage")
        slot = &selected_image_;
    else if (name == u"selectedhotimage")
        slot = &selected_hot_image_;
    if (slot != nullptr) {
        *slot = value;
        update();
        return true;
    }
    return decor_.Set(this, name, value);
}

void Button::PaintStatusImage(QPainter& painter) {
    const QString* image = &normal_image_;
    if (!isEnabled() && !disabled_image_.isEmpty())
        image = &disabled_image_;
    else if (isChecked() && hot_ && !selected_hot_image_.isEmpty())
        image = &selected_hot_image_;
    else if (isChecked() && !selected_image_.isEmpty())
        image = &selected_image_;
    else if (isDown() && !pushed_image_.isEmpty())
        image = &pushed_image_;
    else if (hot_ && !hot_image_.isEmpty())
        image = &hot_image_;
    DrawImage(painter, this, *image, rect());
}

void Button::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    decor_.PaintBackground(painter, this);
    PaintStatusImage(painter);
    decor_.PaintForeground(painter, this);
    if (!text().isEmpty())
        painter.drawControl(QStyle::CE_PushButtonLabel, option);
}

void Button::enterEvent(QEnterEvent* event) {
    hot_ = true;
    update();
    QPushButton::enterEvent(event);
}

void Button::leaveEvent(QEvent* event) {
    hot_ = false;
    update();
    QPushButton::leaveEvent(event);
}

// ---- Option ----

Option::Option(QWidget* parent) : Button(parent) {
    setCheckable(true);
    connect(this, &QPushButton::toggled, this, [this](bool on) {
        if (on && bind_index_ >= 0) {
            if (Window* window = WindowOf(this)) {
                if (auto* tab = window->Find<TabLayout>(bind_tab_))
                    tab->SelectItem(bind_index_);
            }
        }
        RaiseNotify(this, notify::kSelectChanged, on ? 1 : 0);
    });
}

bool Option::SetOwnAttribute(const QString& name, const QString& exact, const QString& value) {
    if (name == u"group") {
        if (Window* window = WindowOf(this))
            window->Group(value)->addButton(this);
    } else if (name == u"selected") {
        setChecked(IsTrue(value));
    } else if (name == u"bindtablayoutname") {
        bind_tab_ = value;
    } else if (name == u"bindtabindex") {
        bind_index_ = value.toInt();
    } else {
        return Button::SetOwnAttribute(name, exact, value);
    }
    return true;
}

// ---- Label ----

Label::Label(QWidget* parent) : QLabel(parent) {}

bool Label::SetOwnAttribute(const QString& name, const QString&, const QString& value) {
    if (name == u"wordwrap") {
        setWordWrap(IsTrue(value));
        return true;
    }
    return decor_.Set(this, name, value);
}

void Label::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        decor_.PaintBackground(painter, this);
        decor_.PaintForeground(painter, this);
    }
    QLabel::paintEvent(event);
}

// ---- Edit ----

Edit::Edit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textEdited, this,
            [this] { RaiseNotify(this, notify::kTextChanged); });
    connect(this, &QLineEdit::returnPressed, this, [this] { RaiseNotify(this, notify::kReturn); });
}

bool Edit::SetOwnAttribute(const QString& name, const QString&, const QString& value) {
    if (name == u"numberonly") {
        number_only_ = IsTrue(value);
    } else if (name == u"min") {
        min_ = value.toInt();
    } else if (name == u"max") {
        max_ = value.toInt();
    } else if (name == u"maxchar") {
        setMaxLength(std::max(1, value.toInt()));
        return true;
    } else if (name == u"readonly") {
        setReadOnly(IsTrue(value));
        return true;
    } else {
        return false;
    }
    UpdateValidator();
    return true;
}

void Edit::UpdateValidator() {
    if (!number_only_) {
        setValidator(nullptr);
        return;
    }
    // Digits only; the range is checked by the owner when the field is left, so that a value
    // can be typed through numbers below the minimum.
    auto* validator = new QIntValidator(0, std::max(0, max_), this);
    setValidator(validator);
}

void Edit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    RaiseNotify(this, notify::kSetFocus);
}

void Edit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    RaiseNotify(this, notify::kKillFocus);
}

// ---- Slider ----

Slider::Slider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QSlider::sliderMoved, this,
            [this](int v) { RaiseNotify(this, notify::kMoveValueChanged, v); });
    connect(this, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove) {
            // The value changes after the action; report the new one.
            QMetaObject::invokeMethod(
                this, [this] { RaiseNotify(this, notify::kValueChanged, value()); },
                Qt::QueuedConnection);
        }
    });
    connect(this, &QSlider::sliderReleased, this,
            [this] { RaiseNotify(this, notify::kValueChanged, value()); });
}

bool Slider::SetOwnAttribute(const QString& name, const QString&, const QString& value) {
    if (name == u"min")
        setMinimum(value.toInt());
    else if (name == u"max")
        setMaximum(value.toInt());
    else if (name == u"value")
        setValue(value.toInt());
    else if (name == u"vertical")
        setOrientation(IsTrue(value) ? Qt::Vertical : Qt::Horizontal);
    else
        return false;
    return true;
}

// ---- Progress ----

Progress::Progress(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(false);
}

bool Progress::SetOwnAttribute(const QString& name, const QString&, const QString& value) {
    if (name == u"min")
        setMinimum(value.toInt());
    else if (name == u"max")
        setMaximum(value.toInt());
    else if (name == u"value")
        setValue(value.toInt());
    else
        return false;
    return true;
}

// ---- Combo ----

Combo::Combo(QWidget* parent) : QComboBox(parent) {
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QComboBox::activated, this,
            [this](int index) { RaiseNotify(this, notify::kItemSelect, index); });
}

bool Combo::SelectItem(int index) {
    if (index < 0 || index >= count())
        return false;
    setCurrentIndex(index);
    return true;
}

bool Combo::SetOwnAttribute(const QString& name, const QString&, const QString& value) {
    if (name == u"item") {
        addItem(value);
    } else if (name == u"selectedid") {
        SelectItem(value.toInt());
    } else if (name == u"editable") {
        setEditable(IsTrue(value));
    } else {
        return false;
    }
    return true;
}

// ---- List ----

List::List(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::currentRowChanged, this,
            [this](int row) { RaiseNotify(this, notify::kItemSelect, row); });
    connect(this, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { RaiseNotify(this, notify::kItemClick, row(item)); });
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { RaiseNotify(this, notify::kItemActivate, row(item)); });
}

bool List::SetOwnAttribute(const QString& name, const QString&, const QString& value) {
    if (name == u"item") {
        addItem(value);
    } else if (name == u"itemhotbordercolor") {
        setProperty("z7_itemhotbordercolor", value);
    } else {
        return false;
    }
    return true;
}

// ---- RichEdit ----

RichEdit::RichEdit(QWidget* parent) : QTextEdit(parent) {
    setAcceptRichText(false);
    connect(this, &QTextEdit::textChanged, this,
            [this] { RaiseNotify(this, notify::kTextChanged); });
}

bool RichEdit::SetOwnAttribute(const QString& name, const QString&, const QString& value) {
    if (name == u"readonly") {
        setReadOnly(IsTrue(value));
        return true;
    }
    return false;
}

void RichEdit::focusInEvent(QFocusEvent* event) {
    QTextEdit::focusInEvent(event);
    RaiseNotify(this, notify::kSetFocus);
}

void RichEdit::focusOutEvent(QFocusEvent* event) {
    QTextEdit::focusOutEvent(event);
    RaiseNotify(this, notify::kKillFocus);
}

// ---- ColorPalette ----

ColorPalette::ColorPalette(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::CrossCursor);
}

bool ColorPalette::SetOwnAttribute(const QString& name, const QString&, const QString& value) {
    if (name != u"color")
        return false;
    const QColor colour = ParseColor(value);
    if (colour.isValid())
        SetSelectColor(colour);
    return true;
}

void ColorPalette::SetSelectColor(const QColor& color) {
    color_ = color;
    update();
}

QRectF ColorPalette::FieldRect() const {
    const qreal strip = std::max(8.0, height() * 0.12);
    return QRectF(0, 0, width(), height() - strip - 4);
}

QRectF ColorPalette::StripRect() const {
    const QRectF field = FieldRect();
    return QRectF(0, field.bottom() + 4, width(), height() - field.height() - 4);
}

void ColorPalette::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF field = FieldRect();
    QLinearGradient hue(field.topLeft(), field.topRight());
    for (int i = 0; i <= 6; ++i)
        hue.setColorAt(i / 6.0, QColor::fromHsvF(i == 6 ? 0 : i / 6.0, 1, 1));
    painter.fillRect(field, hue);
    QLinearGradient white(field.topLeft(), field.bottomLeft());
    white.setColorAt(0, QColor(255, 255, 255, 0));
    white.setColorAt(1, QColor(255, 255, 255, 255));
    painter.fillRect(field, white);
    const QRectF strip = StripRect();
    QLinearGradient value(strip.topLeft(), strip.topRight());
    QColor full = color_.toHsv();
    full.setHsv(full.hsvHue() < 0 ? 0 : full.hsvHue(), full.hsvSaturation(), 255);
    value.setColorAt(0, Qt::black);
    value.setColorAt(1, full);
    painter.fillRect(strip, value);
}

void ColorPalette::PickAt(QPointF pos, bool raise) {
    const QRectF field = FieldRect();
    const QRectF strip = StripRect();
    QColor hsv = color_.toHsv();
    const auto clamp01 = [](qreal v) { return std::clamp(v, 0.0, 1.0); };
    if (in_strip_) {
        hsv.setHsvF(std::max<qreal>(0, hsv.hsvHueF()), hsv.hsvSaturationF(),
                    clamp01((pos.x() - strip.left()) / strip.width()));
    } else {
        const qreal h = clamp01((pos.x() - field.left()) / field.width());
        const qreal s = 1.0 - clamp01((pos.y() - field.top()) / field.height());
        hsv.setHsvF(h >= 1.0 ? 0.0 : h, s, hsv.valueF() > 0 ? hsv.valueF() : 1.0);
    }
    color_ = hsv.toRgb();
    update();
    if (raise)
        RaiseNotify(this, notify::kColorChanged, static_cast<qintptr>(color_.rgb() & 0xFFFFFF));
}

void ColorPalette::mousePressEvent(QMouseEvent* event) {
    in_strip_ = StripRect().contains(event->position());
    PickAt(event->position(), true);
}

void ColorPalette::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton)
        PickAt(event->position(), true);
}

}  // namespace zepho7::ui
