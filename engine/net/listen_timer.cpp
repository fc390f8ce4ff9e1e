#include "net/listen_timer.h"

namespace kivra::net {

void ListenTimer::arm(std::chrono::milliseconds after, std::function<void()> action) {
    std::thread previous;
    unsigned armed = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        armed_ = 0;
        previous.swap(thread_);
    }
    changed_.notify_all();
    if (previous.joinable()) previous.join();
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (++arms_ == 0) ++arms_;  // 0 means none armed
        armed = arms_;
        armed_ = armed;
        thread_ = std::thread(&ListenTimer::run, this, std::chrono::steady_clock::now() + after,
                              std::move(action), armed);
    }
}

void ListenTimer::disarm() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        armed_ = 0;
    }
    changed_.notify_all();
}

void ListenTimer::stop() {
    std::thread running;
    {
        std::lock_guard<std::mutex> guard(lock_);
        armed_ = 0;
        running.swap(thread_);
    }
    changed_.notify_all();
    if (running.joinable()) running.join();
}

void ListenTimer::run(std::chrono::steady_clock::time_point deadline, std::function<void()> action,
                      unsigned armed) {
    {
        std::unique_lock<std::mutex> guard(lock_);
        if (changed_.wait_until(guard, deadline, [&] { return armed_ != armed; })) return;
        armed_ = 0;
    }
    action();
}

}  // namespace kivra::net
