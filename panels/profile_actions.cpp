#include "panels/profile_actions.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <optional>

#include "appearance/msg_wnd.h"
#include "base/trace.h"
#include "panels/profile_bar.h"
#include "ui/attributes.h"
#include "ui/window.h"

namespace zepho7::panels {

namespace {

constexpr char kFilter[] = "Profile Files(*.json)";
constexpr char kSpreadButton[] = "profile_fun_spread_btn";
constexpr const char* kButtons[] = {"device_add_btn",
                                    "device_sub_btn",
                                    "device_copy_btn",
                                    "device_import_btn",
                                    "device_export_btn",
                                    "device_reset_btn",
                                    "device_profile_edit_save_btn"};

bool Is(const QString& name, const char* wanted) {
    return name.compare(QLatin1String(wanted), Qt::CaseInsensitive) == 0;
}

std::optional<QString> TestDialogAnswer() {
    if (!qEnvironmentVariableIsSet("ZEPHO7_TEST_FILE_DIALOG"))
        return std::nullopt;
    QString answer = qEnvironmentVariable("ZEPHO7_TEST_FILE_DIALOG");
    Z7_TRACE("file dialog answered \"%s\"", qPrintable(answer));
    return answer;
}

QString Text(QWidget* owner, const char* id, const char* fallback) {
    const ui::Window* window = ui::WindowOf(owner);
    const QString text =
        appearance::LanguageText(window ? window->language() : nullptr, QString::fromLatin1(id));
    return text == QLatin1String(id) ? QString::fromLatin1(fallback) : text;
}

void Tell(QWidget* owner, const char* text_id) {
    appearance::ShowMessageBox(owner, QString::fromLatin1(text_id), appearance::MsgText::kTextId,
                               appearance::MsgButtons::kConfirm);
}

std::filesystem::path ToPath(const QString& file) {
    return std::filesystem::path(file.toStdString());
}

QString StartFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(documents).exists() ? documents : QDir::homePath();
}

ProfileBarAction Rename(CDeviceProfileUI& bar, QWidget* owner) {
    const QString name = bar.GetNameText();
    if (name.isEmpty())
        return ProfileBarAction::kNothing;
    switch (bar.RenameProfile(name)) {
        case storage::RenameResult::kRenamed:
            return ProfileBarAction::kRenamed;
        case storage::RenameResult::kNameInUse:
            Tell(owner, "message_text_5");
            return ProfileBarAction::kNameInUse;
        case storage::RenameResult::kBlank:
            Tell(owner, "message_text_25");
            return ProfileBarAction::kBlankName;
        case storage::RenameResult::kNoProfile:
            break;
    }
    return ProfileBarAction::kNothing;
}

ProfileBarAction Import(CDeviceProfileUI& bar, QWidget* owner) {
    if (bar.GetSelectedIndex() < 0)
        return ProfileBarAction::kNothing;
    const QString file = AskProfileFileToOpen(owner);
    if (file.isEmpty())
        return ProfileBarAction::kNothing;
    const storage::ImportResult result = bar.ImportProfile(ToPath(file));
    switch (result.status) {
        case storage::ImportStatus::kImported:
            return ProfileBarAction::kImported;
        case storage::ImportStatus::kWriteFailed:
            Tell(owner, "message_profile_write_failed");
            return ProfileBarAction::kImportFailed;
        case storage::ImportStatus::kUnreadable:
        case storage::ImportStatus::kNotAProfile:
        case storage::ImportStatus::kWrongKind:
            break;
    }
    Tell(owner, "message_import_refused");
    return ProfileBarAction::kImportRefused;
}

ProfileBarAction Export(CDeviceProfileUI& bar, QWidget* owner) {
    if (bar.GetSelectedIndex() < 0)
        return ProfileBarAction::kNothing;
    const QString file = AskProfileFileToSave(owner, bar.GetNameText());
    if (file.isEmpty())
        return ProfileBarAction::kNothing;
    if (!bar.ExportProfile(ToPath(file))) {
        Tell(owner, "message_profile_write_failed");
        return ProfileBarAction::kExportFailed;
    }
    return ProfileBarAction::kExported;
}

}  // namespace

bool IsProfileBarButton(const QString& name) {
    if (name == QLatin1String(kSpreadButton))
        return true;
    for (const char* button : kButtons) {
        if (Is(name, button))
            return true;
    }
    return false;
}

ProfileBarAction HandleProfileBarClick(CDeviceProfileUI& bar, const QString& name,
                                       QWidget* dialog_parent) {
    QWidget* owner = dialog_parent != nullptr ? dialog_parent : &bar;
    if (name == QLatin1String(kSpreadButton)) {
        bar.ShowMenu(!bar.IsMenuShown());
        return ProfileBarAction::kMenuToggled;
    }
    if (Is(name, "device_add_btn"))
        return bar.AddProfile() >= 0 ? ProfileBarAction::kAdded : ProfileBarAction::kNothing;
    if (Is(name, "device_sub_btn"))
        return bar.DeleteProfile() >= 0 ? ProfileBarAction::kDeleted : ProfileBarAction::kNothing;
    if (Is(name, "device_copy_btn"))
        return bar.CopyProfile() >= 0 ? ProfileBarAction::kCopied : ProfileBarAction::kNothing;
    if (Is(name, "device_profile_edit_save_btn"))
        return Rename(bar, owner);
    if (Is(name, "device_import_btn"))
        return Import(bar, owner);
    if (Is(name, "device_export_btn"))
        return Export(bar, owner);
    if (Is(name, "device_reset_btn")) {
        if (appearance::ShowMessageBox(
                owner, QStringLiteral("message_text_22"), appearance::MsgText::kTextId,
                appearance::MsgButtons::kConfirmCancel) != appearance::CMsgWnd::kConfirmed) {
            return ProfileBarAction::kNothing;
        }
        return bar.ResetProfile() ? ProfileBarAction::kReset : ProfileBarAction::kResetFailed;
    }
    return ProfileBarAction::kNotHandled;
}

QString AskProfileFileToOpen(QWidget* parent) {
    if (auto answer = TestDialogAnswer())
        return *answer;
    return QFileDialog::getOpenFileName(parent,
                                        Text(parent, "profile_import_title", "Import profile"),
                                        StartFolder(), QString::fromLatin1(kFilter));
}

QString AskProfileFileToSave(QWidget* parent, const QString& suggested_name) {
    if (auto answer = TestDialogAnswer())
        return *answer;
    QFileDialog dialog(parent, Text(parent, "profile_export_title", "Export profile"),
                       StartFolder(), QString::fromLatin1(kFilter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Without it a name typed without ".json" would be hidden by the import filter.
    dialog.setDefaultSuffix(QStringLiteral("json"));
    QString suggested = suggested_name.trimmed();
    suggested.replace(QLatin1Char('/'), QLatin1Char('_'));  // a name, never a folder
    if (!suggested.isEmpty())
        dialog.selectFile(suggested + QStringLiteral(".json"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace zepho7::panels
