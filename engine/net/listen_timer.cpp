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
    join_or_keep(std::move(previous));
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
    std::thread running, ending;
    {
        std::lock_guard<std::mutex> guard(lock_);
        armed_ = 0;
        running.swap(thread_);
        ending.swap(ending_);
    }
    changed_.notify_all();
    for (std::thread* thread : {&running, &ending}) {
        if (!thread->joinable()) continue;
        // Only a host stopping from inside the action gets here with its own thread.
        if (thread->get_id() == std::this_thread::get_id()) {
            thread->detach();
        } else {
            thread->join();
        }
    }
}

void ListenTimer::join_or_keep(std::thread thread) {
    if (!thread.joinable()) return;
    std::thread earlier;
    if (thread.get_id() == std::this_thread::get_id()) {
        std::lock_guard<std::mutex> guard(lock_);
        earlier.swap(ending_);
        ending_ = std::move(thread);
    } else {
        thread.join();
    }
    // An earlier kept thread has run its action to the end by now or is about to.
    if (earlier.joinable()) earlier.join();
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
