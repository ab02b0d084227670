// The program's control classes, registered with the control factory at start-up.
#pragma once

#include <QStringList>

namespace zepho7::ui {
class ControlFactory;
}

namespace zepho7::app {

// Registers every class that exists, in the fixed order; returns the names registered.
QStringList RegisterControls(ui::ControlFactory& factory);

}  // namespace zepho7::app
