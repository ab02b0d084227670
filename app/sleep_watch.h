// Suspend and resume of the machine, from logind's PrepareForSleep signal on the system bus:
// true just before the system sleeps, false once it has woken up.
#pragma once

#include <QObject>
#include <functional>

namespace zepho7::app {

class SleepWatch : public QObject {
    Q_OBJECT

  public:
    // `on_sleep(true)` before a suspend, `on_sleep(false)` after the resume.
    explicit SleepWatch(std::function<void(bool sleeping)> on_sleep);
    ~SleepWatch() override;

    // Subscribes to the signal. False (one trace line) without a system bus: the program then
    // never learns of a suspend and runs on as if awake.
    bool Start();

  private slots:
    void PrepareForSleep(bool sleeping);

  private:
    std::function<void(bool)> on_sleep_;
    bool connected_ = false;
};

}  // namespace zepho7::app
