// The program on the D-Bus session bus: it owns io.zepho7.Zepho7 and carries the shared
// messages as a method (into the program) and a signal (out of it). See docs/dbus.md.
#pragma once

#include <QByteArray>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <functional>

namespace zepho7::app {

class DBusService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.zepho7.Zepho7")

  public:
    // Receives a posted message by its name; false for a name the program does not know.
    using Handler = std::function<bool(const QString& message, int wparam, int lparam)>;

    explicit DBusService(Handler handler);
    ~DBusService() override;

    // Registers the object and the name. False (one trace line) without a session bus or
    // when the name is taken; the program runs on without these messages.
    bool Start();
    [[nodiscard]] bool Running() const noexcept { return running_; }

    // Sends a message to every listener (the Windows program broadcast it to all windows).
    void Broadcast(const QString& message, int wparam, int lparam);
    // Answers a device-list request: the block goes out as the signal DeviceList.
    void SendDeviceList(const QByteArray& block);

  public slots:
    Q_SCRIPTABLE void Post(const QString& message, int wparam, int lparam);

  signals:
    Q_SCRIPTABLE void Message(const QString& message, int wparam, int lparam);
    Q_SCRIPTABLE void DeviceList(const QByteArray& block);

  private:
    Handler handler_;
    bool running_ = false;
};

}  // namespace zepho7::app
