// One copy per user: the first copy holds a lock file and listens on a local socket in the
// user's runtime folder; a later copy asks it over that socket to come to the front.
#pragma once

#include <QLocalServer>
#include <QString>
#include <functional>
#include <memory>

namespace zepho7::app {

class SingleInstance {
  public:
    // `folder` empty: $XDG_RUNTIME_DIR, or /tmp/zepho7-<uid> (created 0700) without it.
    explicit SingleInstance(QString folder = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True for the first copy: it then serves `on_raise` requests. When the lock cannot be
    // made at all the program runs as if it were the only copy (true, no server).
    [[nodiscard]] bool Acquire(std::function<void()> on_raise);
    // A later copy: asks the first one to come to the front. True when it answered.
    [[nodiscard]] bool AskFirstToRaise(int timeout_ms) const;

    [[nodiscard]] const QString& SocketPath() const noexcept { return socket_path_; }

  private:
    QString socket_path_;
    QString lock_path_;
    int lock_fd_ = -1;
    std::unique_ptr<QLocalServer> server_;
    std::function<void()> on_raise_;
};

}  // namespace zepho7::app
