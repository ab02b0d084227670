// A background thread with a cooperative stop and a bounded wait for it. A thread that does not
// end in time is reported and kept: it is never killed (that would leave locks and state half
// changed) and never detached while it may still touch its owner. The owner's destructor waits
// for it to end.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

namespace zepho7::devices {

enum class StopOutcome {
    kEnded,     // the thread ended within the wait (or was not running)
    kTimedOut,  // still running after the wait; kept until it ends
};

class WorkerThread {
  public:
    WorkerThread() = default;
    // Requests a stop and waits for the thread, however long that takes.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts `body`. A previous thread still running is asked to stop and waited for first.
    void Start(std::function<void(std::stop_token)> body);
    // Requests a stop without waiting (so that several threads can be asked at once and then
    // waited for one by one).
    void RequestStop();
    // Requests a stop, waits up to `wait` and traces the outcome with the program's fixed lines.
    StopOutcome Stop(std::chrono::milliseconds wait);
    [[nodiscard]] bool Running() const;

    // For the body: waits `duration` or until a stop is requested; true when stopping.
    bool SleepFor(std::stop_token token, std::chrono::microseconds duration);

  private:
    void Join();

    mutable std::mutex mutex_;
    std::condition_variable done_cv_;
    bool running_ = false;
    std::mutex sleep_mutex_;
    std::condition_variable_any sleep_cv_;
    std::jthread thread_;
};

}  // namespace zepho7::devices
