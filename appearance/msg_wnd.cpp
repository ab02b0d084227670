#include "appearance/msg_wnd.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <algorithm>

#include "base/trace.h"
#include "ui/attributes.h"
#include "ui/language.h"

namespace zepho7::appearance {

namespace {

constexpr char kLayout[] = "XML_MSG";
constexpr int kDpis[] = {48, 72, 96, 120, 144, 168, 192};

bool Is(const QString& name, const char* wanted) {
    return name.compare(QLatin1String(wanted), Qt::CaseInsensitive) == 0;
}

}  // namespace

QString LanguageText(const ui::Language* language, const QString& id) {
    if (language != nullptr) {
        if (auto text = language->Text(id))
            return *text;
    }
    return id;
}

CMsgWnd::CMsgWnd(const ui::Skin& skin, const ui::ControlFactory& factory,
                 const ui::Language* language, QWidget* owner)
    : ui::Window(skin, factory, owner) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowModality(Qt::ApplicationModal);
    setWindowTitle(QStringLiteral("msgwnd"));
    setObjectName(QStringLiteral("MsgWnd"));
    SetLanguage(language);
}

CMsgWnd::~CMsgWnd() {
    // Destroyed while shown (its owner went away): the modal loop must not wait on it.
    if (loop_ != nullptr)
        loop_->quit();
}

bool CMsgWnd::Prepare(const QString& title, const QString& message, MsgText kind,
                      MsgButtons buttons, int dpi) {
    if (std::find(std::begin(kDpis), std::end(kDpis), dpi) == std::end(kDpis)) {
        Z7_TRACE("MSG_WND DPI SET ERROR");
        dpi = 96;
    }
    message_ = message;
    SetDPI(dpi);  // before the layout is built, so its sizes come out scaled
    if (!Create(QString::fromLatin1(kLayout)))
        return false;
    if (!title.isEmpty())
        ui::SetAttribute(FindControl(QStringLiteral("MessageTitle")), QStringLiteral("text"),
                         title);
    if (QWidget* text = FindControl(QStringLiteral("MessageText")); text && !message.isEmpty()) {
        // An id the language does not know shows as itself rather than as nothing.
        ui::SetAttribute(text, QStringLiteral("text"), message);
        if (kind == MsgText::kTextId)
            ui::SetAttribute(text, QStringLiteral("textid"), message);
    }
    if (QWidget* cancel = FindControl(QStringLiteral("cancel_btn")))
        cancel->setVisible(buttons == MsgButtons::kConfirmCancel);
    if (QWidget* confirm = FindControl(QStringLiteral("confirm_btn")))
        confirm->setVisible(true);
    // Centred over the program window that asks, or on the screen without one.
    const QWidget* over = parentWidget() ? parentWidget()->window() : nullptr;
    if (over != nullptr && over->isVisible()) {
        QRect frame = frameGeometry();
        frame.moveCenter(over->frameGeometry().center());
        move(frame.topLeft());
    } else {
        CenterWindow();
    }
    return true;
}

QString CMsgWnd::MessageText() const {
    const auto* text = Find<QLabel>(QStringLiteral("MessageText"));
    return text ? text->text() : QString();
}

std::optional<int> CMsgWnd::AutoAnswer() {
    const QString answer = qEnvironmentVariable("ZEPHO7_AUTO_ANSWER");
    if (answer == u"confirm")
        return kConfirmed;
    if (answer == u"cancel")
        return kCancelled;
    return std::nullopt;
}

int CMsgWnd::DoModal() {
    if (const auto answer = AutoAnswer()) {
        Z7_TRACE("msgwnd: %s \"%s\" answered %s", qPrintable(message_), qPrintable(MessageText()),
                 *answer == kConfirmed ? "confirm" : "cancel");
        return *answer;
    }
    result_ = kCancelled;
    QPointer<CMsgWnd> self(this);
    QEventLoop loop;
    loop_ = &loop;
    show();
    raise();
    activateWindow();
    loop.exec(QEventLoop::DialogExec);
    if (!self)
        return kCancelled;
    loop_ = nullptr;
    hide();
    return result_;
}

void CMsgWnd::Finish(int result) {
    result_ = result;
    if (loop_ != nullptr)
        loop_->quit();
}

void CMsgWnd::Notify(const ui::Notification& n) {
    if (n.type == QLatin1String(ui::notify::kClick)) {
        if (Is(n.sender_name, "confirm_btn"))
            Finish(kConfirmed);
        else if (Is(n.sender_name, "cancel_btn") || Is(n.sender_name, "closebtn"))
            Finish(kCancelled);
    }
    ui::Window::Notify(n);
}

void CMsgWnd::closeEvent(QCloseEvent* event) {
    Finish(kCancelled);
    event->accept();
}

void CMsgWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Finish(kCancelled);
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Finish(kConfirmed);
    } else {
        ui::Window::keyPressEvent(event);
    }
}

int ShowMessageBox(QWidget* owner, const QString& message, MsgText kind, MsgButtons buttons,
                   const QString& title) {
    ui::Window* window = ui::WindowOf(owner);
    if (window == nullptr) {
        Z7_TRACE("msgwnd: no program window to ask \"%s\"", qPrintable(message));
        return CMsgWnd::AutoAnswer().value_or(CMsgWnd::kCancelled);
    }
    // Owned by the program window, so it goes away with it even while shown.
    QPointer<CMsgWnd> box =
        new CMsgWnd(window->skin(), window->factory(), window->language(), window->window());
    int result = CMsgWnd::kCancelled;
    if (box->Prepare(title, message, kind, buttons, window->DPI())) {
        result = box->DoModal();
    } else {
        Z7_TRACE("msgwnd: layout %s missing", kLayout);
        result = CMsgWnd::AutoAnswer().value_or(CMsgWnd::kCancelled);
    }
    delete box.data();  // null when the owner took it with it
    return result;
}

}  // namespace zepho7::appearance
