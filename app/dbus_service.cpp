#include "app/dbus_service.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>

#include "app/shared_messages.h"
#include "base/trace.h"

namespace zepho7::app {

DBusService::DBusService(Handler handler) : handler_(std::move(handler)) {}

DBusService::~DBusService() {
    if (running_) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(QString::fromLatin1(kBusPath));
        bus.unregisterService(QString::fromLatin1(kBusName));
    }
}

bool DBusService::Start() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Z7_TRACE("D-Bus: no session bus, shared messages unavailable");
        return false;
    }
    if (!bus.registerObject(
            QString::fromLatin1(kBusPath), this,
            QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals) ||
        !bus.registerService(QString::fromLatin1(kBusName))) {
        Z7_TRACE("D-Bus: cannot own %s: %s", kBusName, qPrintable(bus.lastError().message()));
        bus.unregisterObject(QString::fromLatin1(kBusPath));
        return false;
    }
    running_ = true;
    return true;
}

void DBusService::Broadcast(const QString& message, int wparam, int lparam) {
    if (running_)
        emit Message(message, wparam, lparam);
}

void DBusService::SendDeviceList(const QByteArray& block) {
    if (running_)
        emit DeviceList(block);
}

void DBusService::Post(const QString& message, int wparam, int lparam) {
    if (!handler_ || !handler_(message, wparam, lparam)) {
        if (calledFromDBus()) {
            sendErrorReply(QStringLiteral("io.zepho7.Zepho7.Error.UnknownMessage"),
                           QStringLiteral("unknown message ") + message);
        }
    }
}

}  // namespace zepho7::app
