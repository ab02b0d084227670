#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QScreen>
#include <QTimer>

#include "app/dbus_service.h"
#include "app/shared_messages.h"
#include "base/trace.h"
#include "ui/attributes.h"
#include "ui/control_factory.h"
#include "ui/language.h"
#include "ui/menu.h"
#include "ui/skin.h"

namespace zepho7::app {

namespace {

// Tags of the layout files that name the program's own controls; each is created through the
// control factory's class "C<tag>UI".
constexpr const char* kControlTags[] = {
    "CircleProgress",      "SelectPanel",         "DeviceKeyButton",  "HandImgButton",
    "AudioRecord",         "HandImgSelectButton", "RedioMacroButton", "ComboEditContainerElement",
    "NerioMousePadDevice", "NerioHS6533Device",   "NerioMouseDevice", "NerioKeyboardDevice",
    "DeviceProfile",       "LightControl",        "MagicControl",     "Voice6533Control",
    "KeySetControl",       "ShootControl"};

}  // namespace

MainWindow::MainWindow(const ui::Skin& skin, const ui::ControlFactory& factory,
                       ui::Language& language)
    : ui::Window(skin, factory), language_(language) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QString::fromUtf8(kWindowTitle));
    setObjectName(QStringLiteral("MainWnd"));
    SetLanguage(&language_);
    resize(800, 572);
}

MainWindow::~MainWindow() {
    if (tray_)
        tray_->hide();
}

QWidget* MainWindow::CreateControl(const QString& tag, QWidget* parent) const {
    for (const char* known : kControlTags) {
        if (tag.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return factory().Create(u'C' + QLatin1String(known) + QStringLiteral("UI"), parent);
    }
    return nullptr;
}

bool MainWindow::CreateMain() {
    return Create(QStringLiteral("XML_MAIN"), [this](const QString& tag, QWidget* parent) {
        return CreateControl(tag, parent);
    });
}

void MainWindow::InitWindow() {
    Z7_TRACE("InitWindow");
    for (int i = 0; i < kTitleBarButtons; ++i)
        title_buttons_[i] = FindControl(QString::fromLatin1(kTitleBarNames[i]));
    const QIcon icon(skin().Path(QStringLiteral("icons/zepho7.svg")));
    setWindowIcon(icon);
    tray_ = std::make_unique<QSystemTrayIcon>(icon);
    tray_->setToolTip(QString::fromUtf8(kWindowTitle));
    tray_menu_ = ui::BuildMenu(*this, QStringLiteral("menu.xml"));
    if (tray_menu_)
        tray_->setContextMenu(tray_menu_.get());
    connect(tray_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    ToggleFromTray();
            });
    tray_->show();
}

void MainWindow::Notify(const ui::Notification& n) {
    if (n.type != QLatin1String(ui::notify::kTimer)) {
        Z7_TRACE("%s", qPrintable(n.type));
        Z7_TRACE("%s", qPrintable(n.sender_name));
    }
    if (n.type == QLatin1String(ui::notify::kWindowInit)) {
        if (bus_ != nullptr) {
            bus_->Broadcast(QString::fromLatin1(kSharedMessages[kLightControlAnnouncement].name), 1,
                            1);
        }
        FitToDisplay();
        hide();  // shown by the instance message once the devices were looked for
    } else if (n.type == QLatin1String(ui::notify::kClick)) {
        const QString& name = n.sender_name;
        if (name.compare(QLatin1String("closebtn"), Qt::CaseInsensitive) == 0) {
            CloseToTrayOrMinimise();
        } else if (name.compare(QLatin1String("nodevice_ok_btn"), Qt::CaseInsensitive) == 0) {
            hide();
        } else if (name.compare(QLatin1String("minbtn"), Qt::CaseInsensitive) == 0) {
            showMinimized();
        } else if (name.compare(QLatin1String("maxbtn"), Qt::CaseInsensitive) == 0) {
            showMaximized();
        } else if (name.compare(QLatin1String("restorebtn"), Qt::CaseInsensitive) == 0) {
            showNormal();
        }
    }
    ui::Window::Notify(n);
}

void MainWindow::OnMenuResult(const ui::MenuResult& result) {
    if (result.name == u"exit") {
        Exit();
    } else {
        // "about_menu" and "setwnd_menu" open windows that come with later work.
        Z7_TRACE("menu: %s", qPrintable(result.name));
    }
}

void MainWindow::Exit() {
    if (exiting_)
        return;
    exiting_ = true;
    Z7_TRACE("退出测试");
    hide();
    if (tray_)
        tray_->hide();
    QCoreApplication::quit();
}

void MainWindow::CloseToTrayOrMinimise() {
    // Without a tray host a hidden window could not be brought back.
    if (tray_ && tray_->isVisible() && QSystemTrayIcon::isSystemTrayAvailable())
        hide();
    else
        showMinimized();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (exiting_) {
        event->accept();
        return;
    }
    event->ignore();
    CloseToTrayOrMinimise();
}

void MainWindow::showEvent(QShowEvent* event) {
    ui::Window::showEvent(event);
    if (first_shown_) {
        // After this event the window is painted; the hook's work waits until then.
        QTimer::singleShot(0, this, [hook = std::move(first_shown_)] { hook(); });
        first_shown_ = nullptr;
    }
}

void MainWindow::UpdateNoDeviceLink() {
    int attached = 0;
    if (QWidget* strip = FindControl(QStringLiteral("device_select_layout"))) {
        for (QObject* child : strip->children()) {
            auto* entry = qobject_cast<QWidget*>(child);
            attached += entry != nullptr && !entry->isHidden() ? 1 : 0;
        }
    }
    if (QWidget* none = FindControl(QStringLiteral("No_device_Link")))
        none->setVisible(attached == 0);
}

void MainWindow::OnInstanceMessage(qintptr wparam, qintptr lparam) {
    Z7_TRACE("软件标示 %s，%llxd%llxd", kInstanceMessage, static_cast<long long>(wparam),
             static_cast<long long>(lparam));
    UpdateNoDeviceLink();
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::ToggleFromTray() {
    UpdateNoDeviceLink();
    if (isVisible() && !isMinimized()) {
        hide();
    } else {
        showNormal();
        raise();
        activateWindow();
    }
}

void MainWindow::SetLightControl(int state) {
    light_control_ = state;
    if (QWidget* button = FindControl(QStringLiteral("control_light_status")))
        ui::SetAttribute(button, QStringLiteral("text"),
                         state ? QStringLiteral("控制灯光") : QStringLiteral("不控制灯光"));
}

bool MainWindow::HandleSharedMessage(const QString& name, int wparam, int lparam) {
    if (name == QLatin1String(kInstanceMessage)) {
        OnInstanceMessage(wparam, lparam);
        return true;
    }
    for (int i = 0; i < static_cast<int>(std::size(kSharedMessages)); ++i) {
        if (name != QLatin1String(kSharedMessages[i].name))
            continue;
        Z7_TRACE("shared message %s (%d, %d)", kSharedMessages[i].role, wparam, lparam);
        if (i == kLightControlRequest && wparam == 1 && (lparam == 0 || lparam == 1))
            SetLightControl(lparam);
        // The settings relay, the device list and the companion commands are answered by the
        // windows and devices that own them once they exist.
        return true;
    }
    return false;
}

void MainWindow::FitToDisplay() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    int dpi = 96;
    if (screen != nullptr) {
        const QSize full = screen->geometry().size();
        dpi = full.width() > 1500 && full.height() > 960 ? 144 : 96;
    }
    SetDPI(dpi);
    CenterWindow();
}

}  // namespace zepho7::app
