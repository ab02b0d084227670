#include "app/scan_bridge.h"

#include <QThread>

namespace zepho7::app {

ScanBridge::ScanBridge() = default;

ScanBridge::~ScanBridge() {
    Close();
}

bool ScanBridge::Call(std::function<void()> work) {
    if (QThread::currentThread() == thread()) {
        if (Closed())
            return false;
        work();
        return true;
    }
    std::unique_lock lock(mutex_);
    if (closed_)
        return false;
    const uint64_t number = next_++;
    // Posted under the lock, so the numbers reach the UI thread in their order.
    QMetaObject::invokeMethod(
        this,
        [this, number, work = std::move(work)] {
            if (!Closed())
                work();
            std::lock_guard done_lock(mutex_);
            finished_ = number + 1;
            done_.notify_all();
        },
        Qt::QueuedConnection);
    done_.wait(lock, [this, number] { return finished_ > number || closed_; });
    return finished_ > number;
}

void ScanBridge::Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    done_.notify_all();
}

bool ScanBridge::Closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

}  // namespace zepho7::app
