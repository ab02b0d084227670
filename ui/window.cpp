#include "ui/window.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

#include "base/trace.h"
#include "ui/attributes.h"
#include "ui/builder.h"
#include "ui/language.h"
#include "ui/skin.h"

namespace zepho7::ui {

Window::Window(const Skin& skin, const ControlFactory& factory, QWidget* parent)
    : QWidget(parent), skin_(skin), factory_(factory) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

Window::~Window() {
    // The controls, and their timers with them, go after this object's members: the timers
    // must no longer report to them.
    for (const auto& [key, timer] : timers_)
        QObject::disconnect(timer, nullptr, this, nullptr);
}

bool Window::Create(const QString& layout, const CreateCallback& callback) {
    setStyleSheet(skin_.StyleSheet(Scale()));
    setFont(skin_.Font(0, Scale()));
    root_ = Builder(*this).Build(layout, this, callback);
    if (root_ == nullptr)
        return false;
    ApplyFonts();
    if (base_size_.isValid())
        resize(base_size_ * Scale());
    InitWindow();
    SendNotify(root_, QString::fromLatin1(notify::kWindowInit));
    return true;
}

QWidget* Window::FindControl(const QString& name) const {
    return FindControl(this, name);
}

QWidget* Window::FindControl(const QWidget* parent, const QString& name) {
    if (parent == nullptr || name.isEmpty())
        return nullptr;
    return parent->findChild<QWidget*>(name, Qt::FindChildrenRecursively);
}

void Window::SendNotify(QWidget* sender, const QString& type, qintptr wparam, qintptr lparam) {
    Notification n;
    n.type = type;
    n.sender = sender;
    n.sender_name = sender ? sender->objectName() : QString();
    n.wparam = wparam;
    n.lparam = lparam;
    Notify(n);
}

void Window::Notify(const Notification& notification) {
    if (handler_)
        handler_(notification);
}

bool Window::SetTimer(QWidget* control, int id, int period_ms) {
    if (control == nullptr || period_ms <= 0)
        return false;
    const auto key = std::make_pair(static_cast<const QWidget*>(control), id);
    QTimer* timer = nullptr;
    if (auto it = timers_.find(key); it != timers_.end()) {
        timer = it->second;
    } else {
        timer = new QTimer(control);  // ends with its control
        timers_[key] = timer;
        connect(timer, &QObject::destroyed, this, [this, key] { timers_.erase(key); });
        QPointer<QWidget> sender(control);
        connect(timer, &QTimer::timeout, this, [this, sender, id] {
            // Some timers run every few milliseconds: the type name is made once.
            static const QString kType = QString::fromLatin1(notify::kTimer);
            if (sender)
                SendNotify(sender, kType, id);
        });
    }
    timer->start(period_ms);
    return true;
}

bool Window::TimerActive(const QWidget* control, int id, int* period_ms) const {
    const auto it = timers_.find(std::make_pair(control, id));
    if (it == timers_.end() || !it->second->isActive())
        return false;
    if (period_ms != nullptr)
        *period_ms = it->second->interval();
    return true;
}

bool Window::KillTimer(QWidget* control, int id) {
    // The timer object is kept for the next start: some timers are started again every few
    // milliseconds.
    const auto it = timers_.find(std::make_pair(static_cast<const QWidget*>(control), id));
    if (it == timers_.end() || !it->second->isActive())
        return false;
    it->second->stop();
    return true;
}

void Window::SetDPI(int dpi) {
    dpi = std::clamp(dpi, kMinDpi, kMaxDpi);
    if (dpi == dpi_)
        return;
    dpi_ = dpi;
    setUpdatesEnabled(false);
    setStyleSheet(skin_.StyleSheet(Scale()));
    setFont(skin_.Font(0, Scale()));
    for (QWidget* child : findChildren<QWidget*>())
        ReapplyScaledAttributes(child);
    ApplyFonts();
    if (base_size_.isValid())
        resize(base_size_ * Scale());
    setUpdatesEnabled(true);
    update();
}

void Window::ApplyFonts() {
    // Set on every control: with a style sheet, inheritance from the window is unreliable.
    const QFont base = skin_.Font(0, Scale());
    setFont(base);
    for (QWidget* child : findChildren<QWidget*>()) {
        if (!child->property("z7:font").isValid())
            child->setFont(base);
    }
}

void Window::SetAllDPI(int dpi) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* window = dynamic_cast<Window*>(top))
            window->SetDPI(dpi);
    }
}

void Window::ResetDPIAssets() {
    skin_.ClearImageCache();
    for (QWidget* child : findChildren<QWidget*>())
        child->update();
}

void Window::ReloadText() {
    if (language_ != nullptr)
        language_->ReloadText(this);
}

QButtonGroup* Window::Group(const QString& name) {
    QButtonGroup*& group = groups_[name];
    if (group == nullptr) {
        group = new QButtonGroup(this);  // owned by the window
        group->setExclusive(true);
    }
    return group;
}

void Window::CenterWindow() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void Window::SetBaseSize(QSize size) {
    base_size_ = size;
    resize(size * Scale());
}

void Window::OnMenuResult(const MenuResult& result) {
    Z7_TRACE("ui: menu item %s chosen", qPrintable(result.name));
}

void Window::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (root_ != nullptr)
        SendNotify(root_, QString::fromLatin1(notify::kWindowSize), width(), height());
}

void Window::mousePressEvent(QMouseEvent* event) {
    // Frameless windows move by their caption band.
    if (event->button() == Qt::LeftButton && caption_height_ > 0 &&
        event->position().y() < caption_height_ * Scale() && windowHandle() != nullptr) {
        windowHandle()->startSystemMove();
        return;
    }
    QWidget::mousePressEvent(event);
}

}  // namespace zepho7::ui
