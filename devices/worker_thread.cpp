#include "devices/worker_thread.h"

#include "base/trace.h"

namespace zepho7::devices {

WorkerThread::~WorkerThread() {
    Join();
}

void WorkerThread::Join() {
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
}

void WorkerThread::Start(std::function<void(std::stop_token)> body) {
    Join();
    {
        std::lock_guard lock(mutex_);
        running_ = true;
    }
    thread_ = std::jthread([this, body = std::move(body)](std::stop_token token) {
        body(token);
        std::lock_guard lock(mutex_);
        running_ = false;
        done_cv_.notify_all();
    });
}

void WorkerThread::RequestStop() {
    if (thread_.joinable())
        thread_.request_stop();
}

StopOutcome WorkerThread::Stop(std::chrono::milliseconds wait) {
    if (!thread_.joinable())
        return StopOutcome::kEnded;
    thread_.request_stop();
    bool ended = false;
    {
        std::unique_lock lock(mutex_);
        ended = done_cv_.wait_for(lock, wait, [this] { return !running_; });
    }
    if (!ended) {
        Z7_TRACE("线程退出：：对象处于非激发状态，超时\n");
        Z7_TRACE("thread still running after %lld ms; kept until it ends\n",
                 static_cast<long long>(wait.count()));
        return StopOutcome::kTimedOut;
    }
    thread_.join();
    Z7_TRACE("线程退出：：对象处于激发状态\n");
    return StopOutcome::kEnded;
}

bool WorkerThread::Running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

bool WorkerThread::SleepFor(std::stop_token token, std::chrono::microseconds duration) {
    std::unique_lock lock(sleep_mutex_);
    sleep_cv_.wait_for(lock, token, duration, [] { return false; });
    return token.stop_requested();
}

}  // namespace zepho7::devices
