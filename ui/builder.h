// Builds a control tree from a layout file of the skin (schema: docs/skin.md).
#pragma once

#include <QString>
#include <QWidget>

#include "ui/window.h"

namespace zepho7::ui {

class Builder {
  public:
    explicit Builder(Window& window) : window_(window) {}

    // Builds the file's controls under `parent`; the attributes of a root <Window> element go
    // to the window. Returns the first top control, or nullptr when the file cannot be read
    // or holds none. Unknown tags go to `callback`; what it does not create is skipped with
    // its children (one trace line).
    QWidget* Build(const QString& file, QWidget* parent,
                   const Window::CreateCallback& callback = {});
    // The same from text (for tests and generated layouts).
    QWidget* BuildFromText(const QString& xml, QWidget* parent,
                           const Window::CreateCallback& callback = {});

  private:
    Window& window_;
};

}  // namespace zepho7::ui
