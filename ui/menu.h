// Pop-up menus from the skin's menu files:
// <Menu><MenuElement name="exit" text="Exit" textid="..." userdata="..."/><Separator/></Menu>
#pragma once

#include <QMenu>
#include <QPoint>
#include <QString>
#include <memory>

namespace zepho7::ui {

class Window;

// Builds the menu; choosing an item hands its name, user data and text to the owner's
// OnMenuResult. Nullptr when the file cannot be read.
[[nodiscard]] std::unique_ptr<QMenu> BuildMenu(Window& owner, const QString& file);

// Builds and opens the menu at a screen point. `align` tells where the menu lies relative to
// the point: Qt::AlignLeft (extends right, default) or Qt::AlignRight (extends left), Qt::AlignTop
// (extends down, default) or Qt::AlignBottom (extends up). The menu deletes itself on close.
QMenu* PopupMenu(Window& owner, const QString& file, QPoint at, Qt::Alignment align = {});

}  // namespace zepho7::ui
