#include "ui/attributes.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QTextEdit>
#include <QVariant>
#include <cmath>

#include "base/trace.h"
#include "ui/language.h"
#include "ui/skin.h"
#include "ui/window.h"

namespace zepho7::ui {

namespace {

constexpr char kClassProperty[] = "z7_class";
constexpr char kUserDataProperty[] = "z7_userdata";
// Attributes whose effect depends on the DPI keep their raw value in "z7:<name>".
constexpr const char* kScaled[] = {"width",     "height", "minwidth", "minheight",    "maxwidth",
                                   "maxheight", "pos",    "inset",    "childpadding", "font"};

bool IsScaled(const QString& name) {
    for (const char* s : kScaled) {
        if (name == QLatin1String(s))
            return true;
    }
    return false;
}

// "a,b,c,d" as four integers; false unless there are exactly four.
bool ParseRect(const QString& value, int out[4]) {
    const auto parts = QStringView(value).split(u',');
    if (parts.size() != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        out[i] = parts[i].trimmed().toInt(&ok);
        if (!ok)
            return false;
    }
    return true;
}

bool IsTrue(const QString& value) {
    return value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || value == u'1';
}

void SetText(QWidget* control, const QString& text) {
    if (auto* b = qobject_cast<QAbstractButton*>(control)) {
        b->setText(text);
    } else if (auto* l = qobject_cast<QLabel*>(control)) {
        l->setText(text);
    } else if (auto* e = qobject_cast<QLineEdit*>(control)) {
        e->setText(text);
    } else if (auto* r = qobject_cast<QTextEdit*>(control)) {
        r->setPlainText(text);
    } else if (auto* c = qobject_cast<QComboBox*>(control); c != nullptr && c->isEditable()) {
        c->setEditText(text);
    } else {
        control->setProperty("z7_text", text);
    }
}

Qt::Alignment ParseAlign(const QString& value) {
    Qt::Alignment a;
    for (const auto& word : QStringView(value).split(u',')) {
        const auto w = word.trimmed();
        if (w == u"left")
            a |= Qt::AlignLeft;
        else if (w == u"right")
            a |= Qt::AlignRight;
        else if (w == u"center")
            a |= Qt::AlignHCenter;
        else if (w == u"top")
            a |= Qt::AlignTop;
        else if (w == u"bottom")
            a |= Qt::AlignBottom;
        else if (w == u"vcenter")
            a |= Qt::AlignVCenter;
    }
    if (!(a & Qt::AlignVertical_Mask))
        a |= Qt::AlignVCenter;
    return a;
}

bool SetCursorByName(QWidget* control, const QString& value) {
    static const std::pair<const char*, Qt::CursorShape> kCursors[] = {
        {"arrow", Qt::ArrowCursor},        {"ibeam", Qt::IBeamCursor},
        {"wait", Qt::WaitCursor},          {"cross", Qt::CrossCursor},
        {"uparrow", Qt::UpArrowCursor},    {"size", Qt::SizeAllCursor},
        {"icon", Qt::ArrowCursor},         {"sizenwse", Qt::SizeFDiagCursor},
        {"sizenesw", Qt::SizeBDiagCursor}, {"sizewe", Qt::SizeHorCursor},
        {"sizens", Qt::SizeVerCursor},     {"sizeall", Qt::SizeAllCursor},
        {"no", Qt::ForbiddenCursor},       {"hand", Qt::PointingHandCursor}};
    for (const auto& [name, shape] : kCursors) {
        if (value.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
            control->setCursor(shape);
            return true;
        }
    }
    return false;  // other values are ignored
}

bool SetCommon(QWidget* control, const QString& name, const QString& value) {
    const auto px = [control](int v) { return Scaled(control, v); };
    bool ok = false;
    if (name == u"name") {
        control->setObjectName(value);
    } else if (name == u"text") {
        SetText(control, value);
    } else if (name == u"textid") {
        control->setProperty("z7_textid", value);
        if (const Window* window = WindowOf(control); window && window->language()) {
            if (auto text = window->language()->Text(value))
                SetText(control, *text);
        }
    } else if (name == u"tooltip") {
        control->setToolTip(value);
    } else if (name == u"visible") {
        control->setVisible(IsTrue(value));
    } else if (name == u"enabled") {
        control->setEnabled(IsTrue(value));
    } else if (name == u"userdata") {
        control->setProperty(kUserDataProperty, value);
    } else if (name == u"float") {
        control->setProperty("z7_float", IsTrue(value));
    } else if (name == u"class") {
        control->setProperty("class", value);
    } else if (name == u"cursor") {
        SetCursorByName(control, value);
    } else if (name == u"width") {
        const int v = value.toInt(&ok);
        if (ok)
            control->setFixedWidth(px(v));
    } else if (name == u"height") {
        const int v = value.toInt(&ok);
        if (ok)
            control->setFixedHeight(px(v));
    } else if (name == u"minwidth") {
        control->setMinimumWidth(px(value.toInt()));
    } else if (name == u"minheight") {
        control->setMinimumHeight(px(value.toInt()));
    } else if (name == u"maxwidth") {
        control->setMaximumWidth(px(value.toInt()));
    } else if (name == u"maxheight") {
        control->setMaximumHeight(px(value.toInt()));
    } else if (name == u"pos") {
        int r[4];
        if (!ParseRect(value, r))
            return false;
        control->setGeometry(px(r[0]), px(r[1]), px(r[2] - r[0]), px(r[3] - r[1]));
    } else if (name == u"inset" || name == u"childpadding") {
        QLayout* layout = control->layout();
        if (layout == nullptr)
            return true;  // kinds without a layout take it and ignore it
        if (name == u"childpadding") {
            layout->setSpacing(px(value.toInt()));
        } else {
            int r[4];
            if (!ParseRect(value, r))
                return false;
            layout->setContentsMargins(px(r[0]), px(r[1]), px(r[2]), px(r[3]));
        }
    } else if (name == u"font") {
        const Window* window = WindowOf(control);
        if (window == nullptr)
            return true;
        control->setFont(window->skin().Font(value.toInt(), window->Scale()));
    } else if (name == u"textcolor") {
        const QColor colour = ParseColor(value);
        if (!colour.isValid())
            return false;
        QPalette palette = control->palette();
        for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
            palette.setColor(role, colour);
        control->setPalette(palette);
    } else if (name == u"align") {
        if (auto* l = qobject_cast<QLabel*>(control))
            l->setAlignment(ParseAlign(value));
        else if (auto* e = qobject_cast<QLineEdit*>(control))
            e->setAlignment(ParseAlign(value));
    } else if (name == u"bkcolor") {
        const QColor colour = ParseColor(value);
        if (!colour.isValid())
            return false;
        QPalette palette = control->palette();
        palette.setColor(QPalette::Window, colour);
        control->setPalette(palette);
        control->setAutoFillBackground(true);
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool SetAttribute(QWidget* control, const QString& name, const QString& value) {
    if (control == nullptr)
        return false;
    const QString lower = name.toLower();
    if (IsScaled(lower))
        control->setProperty(("z7:" + lower).toLatin1().constData(), value);
    if (auto* own = dynamic_cast<AttributeTarget*>(control);
        own != nullptr && own->SetOwnAttribute(lower, name, value)) {
        return true;
    }
    if (SetCommon(control, lower, value))
        return true;
    Z7_TRACE("ui: %s \"%s\": unknown attribute %s", qPrintable(ClassName(control)),
             qPrintable(control->objectName()), qPrintable(name));
    return false;
}

void ReapplyScaledAttributes(QWidget* control) {
    for (const QByteArray& property : control->dynamicPropertyNames()) {
        if (property.startsWith("z7:")) {
            SetAttribute(control, QString::fromLatin1(property.mid(3)),
                         control->property(property.constData()).toString());
        }
    }
}

QString ClassName(const QWidget* control) {
    return control ? control->property(kClassProperty).toString() : QString();
}

void SetClassName(QWidget* control, const QString& name) {
    control->setProperty(kClassProperty, name);
}

QString UserData(const QWidget* control) {
    return control ? control->property(kUserDataProperty).toString() : QString();
}

Window* WindowOf(const QWidget* control) {
    for (const QWidget* w = control; w != nullptr; w = w->parentWidget()) {
        if (auto* window = dynamic_cast<const Window*>(w))
            return const_cast<Window*>(window);
    }
    return nullptr;
}

qreal ScaleOf(const QWidget* control) {
    const Window* window = WindowOf(control);
    return window ? window->Scale() : 1.0;
}

int Scaled(const QWidget* control, int pixels) {
    return static_cast<int>(std::lround(pixels * ScaleOf(control)));
}

void RaiseNotify(QWidget* control, const char* type, qintptr wparam, qintptr lparam) {
    if (Window* window = WindowOf(control))
        window->SendNotify(control, QString::fromLatin1(type), wparam, lparam);
}

}  // namespace zepho7::ui
