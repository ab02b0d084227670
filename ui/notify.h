// Notifications that controls raise to their window, with the toolkit's type names.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

namespace zepho7::ui {

struct Notification {
    QString type;  // "click", "selectchanged", "timer", ...
    QPointer<QWidget> sender;
    QString sender_name;  // the sender's name at the time it raised the notification
    qintptr wparam = 0;
    qintptr lparam = 0;
};

// The chosen item of a pop-up menu, handed to the menu's owner.
struct MenuResult {
    QString name;
    QString user_data;
    QString text;
};

namespace notify {
inline constexpr char kWindowInit[] = "windowinit";
inline constexpr char kWindowSize[] = "windowsize";
inline constexpr char kClick[] = "click";
inline constexpr char kSelectChanged[] = "selectchanged";
inline constexpr char kItemSelect[] = "itemselect";
inline constexpr char kItemClick[] = "itemclick";
inline constexpr char kItemActivate[] = "itemactivate";
inline constexpr char kValueChanged[] = "valuechanged";
inline constexpr char kMoveValueChanged[] = "movevaluechanged";
inline constexpr char kTextChanged[] = "textchanged";
inline constexpr char kKillFocus[] = "killfocus";
inline constexpr char kSetFocus[] = "setfocus";
inline constexpr char kReturn[] = "return";
inline constexpr char kMenu[] = "menu";
inline constexpr char kTimer[] = "timer";
inline constexpr char kCheckClick[] = "checkclick";
inline constexpr char kColorChanged[] = "colorchanged";
inline constexpr char kMouseEnter[] = "msenter";
inline constexpr char kMouseLeave[] = "msleave";
inline constexpr char kDoubleClick[] = "dbclick";
inline constexpr char kClickSelectEnd[] = "click_select_end";
}  // namespace notify

}  // namespace zepho7::ui
