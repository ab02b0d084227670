// Runs the device scan's calls on the UI thread and makes the scan thread wait for them, the way
// a synchronous window message would, without the dead-lock such a message invites at shut-down.
//
// The scan reports each arrival and removal on its own thread and may continue only once the
// window has handled it. A plain blocking queued call would do that, but at shut-down the UI
// thread stops the scanner and waits for it while the scanner may be waiting for the UI thread:
// each would wait for the other until the stop's time-out. So a waiting call can be given up:
// Close() (UI thread, before the scanner is stopped) wakes every waiting call at once and makes
// every later one return without running; the work of a call given up is dropped, never run
// late. The UI thread therefore never waits for the scan thread while a hand-over is pending.
#pragma once

#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace zepho7::app {

class ScanBridge : public QObject {
  public:
    // Lives on the thread that creates it (the UI thread); its calls run there.
    ScanBridge();
    ~ScanBridge() override;

    // Any thread: runs `work` on the UI thread and returns once it has run (true), or without
    // running it once the bridge is closed (false). On the UI thread itself it runs at once.
    bool Call(std::function<void()> work);

    // UI thread: gives up every waiting call and refuses later ones. Cannot be undone.
    void Close();
    [[nodiscard]] bool Closed() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable done_;
    uint64_t next_ = 0;      // number of the next call
    uint64_t finished_ = 0;  // calls are run in order: every number below this has finished
    bool closed_ = false;
};

}  // namespace zepho7::app
