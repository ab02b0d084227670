#include "app/sleep_watch.h"

#include <QDBusConnection>

#include "base/trace.h"

namespace zepho7::app {

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSignal = QStringLiteral("PrepareForSleep");

}  // namespace

SleepWatch::SleepWatch(std::function<void(bool)> on_sleep) : on_sleep_(std::move(on_sleep)) {}

SleepWatch::~SleepWatch() {
    if (connected_) {
        QDBusConnection::systemBus().disconnect(kService, kPath, kInterface, kSignal, this,
                                                SLOT(PrepareForSleep(bool)));
    }
}

bool SleepWatch::Start() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        Z7_TRACE("power: no system bus, suspend and resume are not seen");
        return false;
    }
    connected_ =
        bus.connect(kService, kPath, kInterface, kSignal, this, SLOT(PrepareForSleep(bool)));
    if (!connected_)
        Z7_TRACE("power: cannot subscribe to %s", qPrintable(kSignal));
    return connected_;
}

void SleepWatch::PrepareForSleep(bool sleeping) {
    if (on_sleep_)
        on_sleep_(sleeping);
}

}  // namespace zepho7::app
