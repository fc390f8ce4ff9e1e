#include "playback/periodic_timer.h"

namespace kivra {

bool PeriodicTimer::start(std::chrono::milliseconds period, std::function<void()> tick) {
    if (thread_.joinable() || period.count() <= 0) return false;
    tick_ = std::move(tick);
    stopping_ = false;
    thread_ = std::thread([this, period] { run(period); });
    return true;
}

bool PeriodicTimer::stop() {
    if (!thread_.joinable()) return false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
    return true;
}

// Deadlines advance by whole periods, so a slow tick delays the next one without drifting.
void PeriodicTimer::run(std::chrono::milliseconds period) {
    auto deadline = std::chrono::steady_clock::now() + period;
    std::unique_lock<std::mutex> guard(lock_);
    while (!wake_.wait_until(guard, deadline, [this] { return stopping_; })) {
        guard.unlock();
        tick_();
        guard.lock();
        deadline += period;
        auto now = std::chrono::steady_clock::now();
        if (deadline < now) deadline = now;
    }
}

}  // namespace kivra
