// The message box: a small modal window built from the skin's "XML_MSG" layout, with a title,
// a text (a language text id or plain text) and "confirm_btn" alone or with "cancel_btn".
//
// Test hook: when the environment variable ZEPHO7_AUTO_ANSWER is "confirm" or "cancel", every
// message box is built but not shown and answers at once, so tests and unattended runs never
// wait for a person. A trace line tells which: msgwnd: <id or text> "<shown text>" answered
// confirm|cancel.
#pragma once

#include <QString>
#include <optional>

#include "ui/window.h"

class QEventLoop;

namespace zepho7::appearance {

enum class MsgButtons { kConfirm = 0, kConfirmCancel = 1 };
enum class MsgText { kTextId, kPlain };

class CMsgWnd : public ui::Window {
  public:
    static constexpr int kConfirmed = 1;
    static constexpr int kCancelled = 0;

    CMsgWnd(const ui::Skin& skin, const ui::ControlFactory& factory, const ui::Language* language,
            QWidget* owner);
    ~CMsgWnd() override;

    // Builds the layout and fills it. A non-empty title goes into "MessageTitle"; the message
    // into "MessageText" (resolved through the language when it is a text id). `dpi` must be
    // one of 48, 72, ..., 192; other values are traced and replaced by 96. False when the
    // layout cannot be read.
    bool Prepare(const QString& title, const QString& message, MsgText kind, MsgButtons buttons,
                 int dpi);
    // Shows the window modally until a button or closing ends it: 1 for "confirm_btn", 0 for
    // "cancel_btn", "closebtn", Escape or closing. Answers at once under ZEPHO7_AUTO_ANSWER.
    int DoModal();

    // The shown message text (after Prepare).
    [[nodiscard]] QString MessageText() const;
    // The answer ZEPHO7_AUTO_ANSWER asks for, read on every call; nullopt when unset or unknown.
    [[nodiscard]] static std::optional<int> AutoAnswer();

  protected:
    void Notify(const ui::Notification& notification) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Finish(int result);

    QString message_;  // as given: a text id or plain text
    QEventLoop* loop_ = nullptr;
    int result_ = kCancelled;
};

// Asks with a message box owned by `owner`'s program window, whose skin, factory, language and
// DPI it uses. Returns 1 when confirmed, 0 otherwise (also when `owner` is in no program window
// or the layout is missing).
int ShowMessageBox(QWidget* owner, const QString& message, MsgText kind = MsgText::kTextId,
                   MsgButtons buttons = MsgButtons::kConfirm, const QString& title = {});

// The language text of an id, or the id itself when the language does not know it.
[[nodiscard]] QString LanguageText(const ui::Language* language, const QString& id);

}  // namespace zepho7::appearance
