// The main window's side of the profile bar's buttons: the questions, messages and file
// dialogs around the bar's operations.
//
// Test hook: when the environment variable ZEPHO7_TEST_FILE_DIALOG is set, its value is taken
// as the file the user chose instead of showing a file dialog (an empty value: the dialog was
// cancelled). Message boxes answer through ZEPHO7_AUTO_ANSWER (appearance/msg_wnd.h).
#pragma once

#include <QString>
#include <QWidget>

namespace zepho7::panels {

class CDeviceProfileUI;

enum class ProfileBarAction {
    kNotHandled,     // not one of the bar's buttons
    kNothing,        // handled; nothing changed (limit reached, cancelled, nothing selected)
    kAdded,          // new profile appended; the selection stays
    kDeleted,        // the entry before it is selected and "itemselect" was raised
    kCopied,         // copy appended
    kRenamed,        //
    kNameInUse,      // "message_text_5" shown
    kBlankName,      // "message_text_25" shown
    kReset,          // confirmed and the profile file rewritten: the device must load it now
    kResetFailed,    // confirmed but the file could not be rewritten
    kImported,       // appended
    kImportRefused,  // not a profile of this device kind (the user was told)
    kImportFailed,   // the profile file could not be written (the user was told)
    kExported,       //
    kExportFailed,   // the file could not be written (the user was told)
    kMenuToggled,    // "profile_fun_spread_btn"
};

// Whether a control name is one of the bar's buttons ("profile_fun_spread_btn" exactly, the
// others without regard to case).
[[nodiscard]] bool IsProfileBarButton(const QString& name);

// Runs the click on the bar's button `name`; dialogs and message boxes are owned by the
// program window of `dialog_parent` (the bar's when null). After kReset the caller loads the
// profile into the device; after kDeleted the bar's "itemselect" starts the profile switch.
ProfileBarAction HandleProfileBarClick(CDeviceProfileUI& bar, const QString& name,
                                       QWidget* dialog_parent);

// The file dialogs, filter "Profile Files(*.json)"; an empty text when cancelled.
[[nodiscard]] QString AskProfileFileToOpen(QWidget* parent);
[[nodiscard]] QString AskProfileFileToSave(QWidget* parent, const QString& suggested_name);

}  // namespace zepho7::panels
