#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QThread>

#include "base/trace.h"

namespace zepho7::app {

namespace {

QString RuntimeFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return QString::fromLocal8Bit(runtime);
    const QString folder = QStringLiteral("/tmp/zepho7-%1").arg(::getuid());
    ::mkdir(folder.toLocal8Bit().constData(), 0700);
    return folder;
}

}  // namespace

SingleInstance::SingleInstance(QString folder) {
    if (folder.isEmpty())
        folder = RuntimeFolder();
    socket_path_ = folder + QStringLiteral("/zepho7.sock");
    lock_path_ = folder + QStringLiteral("/zepho7.lock");
}

SingleInstance::~SingleInstance() {
    if (server_) {
        server_->close();
        server_.reset();
    }
    if (lock_fd_ >= 0)
        ::close(lock_fd_);  // releases the lock
}

bool SingleInstance::Acquire(std::function<void()> on_raise) {
    lock_fd_ = ::open(lock_path_.toLocal8Bit().constData(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    if (lock_fd_ < 0) {
        Z7_TRACE("single instance: cannot open %s; running as the only copy",
                 qPrintable(lock_path_));
        return true;
    }
    if (::flock(lock_fd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(lock_fd_);
        lock_fd_ = -1;
        return false;
    }
    // The lock is ours, so a socket left behind by a copy that crashed can go.
    on_raise_ = std::move(on_raise);
    QLocalServer::removeServer(socket_path_);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socket_path_)) {
        Z7_TRACE("single instance: cannot listen on %s: %s", qPrintable(socket_path_),
                 qPrintable(server_->errorString()));
        return true;
    }
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] {
        while (QLocalSocket* peer = server_->nextPendingConnection()) {
            QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            QObject::connect(peer, &QLocalSocket::readyRead, peer, [this, peer] {
                if (!peer->canReadLine())
                    return;
                const QByteArray line = peer->readLine().trimmed();
                if (line == "raise") {
                    if (on_raise_)
                        on_raise_();
                    peer->write("ok\n");
                    peer->flush();
                }
                peer->disconnectFromServer();
            });
        }
    });
    return true;
}

bool SingleInstance::AskFirstToRaise(int timeout_ms) const {
    const QDeadlineTimer deadline(timeout_ms);
    QLocalSocket socket;
    // The first copy may hold the lock but not listen yet: try again until the deadline.
    while (true) {
        socket.connectToServer(socket_path_);
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime())))
            break;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    socket.write("raise\n");
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
        return false;
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() ||
            !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return false;
    }
    return socket.readLine().trimmed() == "ok";
}

}  // namespace zepho7::app
