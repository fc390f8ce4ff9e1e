// A periodic tick on its own thread. Ticks never overlap, and after stop() returns no tick
// runs any more.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace kivra {

class PeriodicTimer {
  public:
    ~PeriodicTimer() { stop(); }

    // False when the timer already runs or the period is not positive.
    bool start(std::chrono::milliseconds period, std::function<void()> tick);
    // False when it was not running. Must not be called from the tick itself.
    bool stop();
    bool running() const { return thread_.joinable(); }

  private:
    void run(std::chrono::milliseconds period);

    std::function<void()> tick_;
    std::thread thread_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopping_ = false;
};

}  // namespace kivra
