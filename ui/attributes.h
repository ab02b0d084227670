// One attribute code for the builder and for run-time changes: SetAttribute(control, name,
// value) does what the same attribute does in a layout file.
#pragma once

#include <QString>
#include <QWidget>

namespace zepho7::ui {

class Window;

// Controls with attributes of their own implement this; what they do not take goes to the
// common attributes.
class AttributeTarget {
  public:
    virtual ~AttributeTarget() = default;
    // `name` is in lower case, except for controls that compare names exactly, which get
    // `exact_name` too. True when the control took the attribute.
    virtual bool SetOwnAttribute(const QString& name, const QString& exact_name,
                                 const QString& value) = 0;
};

// Sets one attribute. False when no control kind knows the name (the value is then ignored).
bool SetAttribute(QWidget* control, const QString& name, const QString& value);

// Re-applies the attributes that depend on the window's DPI (sizes, fonts, images).
void ReapplyScaledAttributes(QWidget* control);

// The class name a control reports ("Button", "DeviceKeyButton", ...).
[[nodiscard]] QString ClassName(const QWidget* control);
void SetClassName(QWidget* control, const QString& name);

// Free-form value of the control ("userdata").
[[nodiscard]] QString UserData(const QWidget* control);

// The program window a control belongs to (nullptr when it is not inside one).
[[nodiscard]] Window* WindowOf(const QWidget* control);
// The DPI scale (dpi / 96) of the control's window; 1 outside a window.
[[nodiscard]] qreal ScaleOf(const QWidget* control);
[[nodiscard]] int Scaled(const QWidget* control, int pixels);

// Raises a notification from `control` to its window; no-op outside a window.
void RaiseNotify(QWidget* control, const char* type, qintptr wparam = 0, qintptr lparam = 0);

}  // namespace zepho7::ui
