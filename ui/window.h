// A window built from a skin layout: finds its controls by name, receives their notifications,
// runs control timers, scales itself to a DPI and shows language texts.
#pragma once

#include <QButtonGroup>
#include <QHash>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <utility>

#include "ui/notify.h"

namespace zepho7::ui {

class ControlFactory;
class Language;
class Skin;

class Window : public QWidget {
  public:
    // Turns a tag the factory does not know into a control owned by `parent` (or nullptr).
    using CreateCallback = std::function<QWidget*(const QString& tag, QWidget* parent)>;
    using NotifyHandler = std::function<void(const Notification&)>;

    static constexpr int kMinDpi = 48;
    static constexpr int kMaxDpi = 192;

    Window(const Skin& skin, const ControlFactory& factory, QWidget* parent = nullptr);
    ~Window() override;

    // Builds the content from a layout file (an id of "res.xml" or a path in the skin folder),
    // runs InitWindow and raises "windowinit" (sender: the root control). False when the file
    // cannot be read or has no root control.
    bool Create(const QString& layout, const CreateCallback& callback = {});

    [[nodiscard]] const Skin& skin() const noexcept { return skin_; }
    [[nodiscard]] const ControlFactory& factory() const noexcept { return factory_; }
    [[nodiscard]] QWidget* Root() const noexcept { return root_; }

    // The first control of that name (depth first), or nullptr.
    [[nodiscard]] QWidget* FindControl(const QString& name) const;
    [[nodiscard]] static QWidget* FindControl(const QWidget* parent, const QString& name);
    template <class T>
    [[nodiscard]] T* Find(const QString& name) const {
        return dynamic_cast<T*>(FindControl(name));
    }

    // Delivers a notification to Notify at once.
    void SendNotify(QWidget* sender, const QString& type, qintptr wparam = 0, qintptr lparam = 0);
    // Called by Notify's default implementation.
    void SetNotifyHandler(NotifyHandler handler) { handler_ = std::move(handler); }

    // A timer on a control: every `period_ms` the window gets "timer" with `id` as wparam.
    // Setting the same id again restarts it. Timers end with their control.
    bool SetTimer(QWidget* control, int id, int period_ms);
    bool KillTimer(QWidget* control, int id);
    // Whether the timer runs, and its period.
    [[nodiscard]] bool TimerActive(const QWidget* control, int id, int* period_ms = nullptr) const;

    // Scales sizes, fonts and images of the window and its controls to `dpi` (48..192).
    void SetDPI(int dpi);
    [[nodiscard]] int DPI() const noexcept { return dpi_; }
    [[nodiscard]] qreal Scale() const noexcept { return dpi_ / 96.0; }
    // Every program window at once.
    static void SetAllDPI(int dpi);
    // Renders the images again (after the skin's files changed).
    void ResetDPIAssets();

    // Texts: controls with "textid" resolve through this language (may be nullptr).
    void SetLanguage(const Language* language) { language_ = language; }
    [[nodiscard]] const Language* language() const noexcept { return language_; }
    void ReloadText();

    // The exclusive group of options of that name (created on first use).
    QButtonGroup* Group(const QString& name);

    void CenterWindow();
    // The window's size in 96-DPI pixels (the layout's "size"); scaled by SetDPI.
    void SetBaseSize(QSize size);
    [[nodiscard]] QSize BaseSize() const noexcept { return base_size_; }
    // Height of the band at the top that moves the window when dragged (96-DPI pixels).
    void SetCaptionHeight(int height) { caption_height_ = height; }

    // The owner side of pop-up menus (ui/menu.h).
    virtual void OnMenuResult(const MenuResult& result);

  protected:
    // After the controls exist, before "windowinit".
    virtual void InitWindow() {}
    virtual void Notify(const Notification& notification);

    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void ApplyFonts();

    const Skin& skin_;
    const ControlFactory& factory_;
    const Language* language_ = nullptr;
    QWidget* root_ = nullptr;
    NotifyHandler handler_;
    std::map<std::pair<const QWidget*, int>, QTimer*> timers_;
    QHash<QString, QButtonGroup*> groups_;
    int dpi_ = 96;
    QSize base_size_;
    int caption_height_ = 0;
};

}  // namespace zepho7::ui
