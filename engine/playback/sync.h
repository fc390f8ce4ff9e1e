// Small synchronisation pieces the playback threads share.
#pragma once

#include <condition_variable>
#include <mutex>

namespace kivra {

// Stays set until reset; every waiter passes while it is set. stop() ends every wait for
// good (until restart()), so a thread told to end cannot miss it to a reset in between.
class ManualResetEvent {
  public:
    void set() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            set_ = true;
        }
        changed_.notify_all();
    }
    void reset() {
        std::lock_guard<std::mutex> guard(lock_);
        set_ = false;
    }
    bool is_set() {
        std::lock_guard<std::mutex> guard(lock_);
        return set_;
    }
    // Waits `duration` unless the event is stopped first; false when it was stopped.
    template <typename Duration>
    bool sleep_unless_stopped(Duration duration) {
        std::unique_lock<std::mutex> guard(lock_);
        return !changed_.wait_for(guard, duration, [this] { return stopped_; });
    }
    // False when the event was stopped.
    bool wait() {
        std::unique_lock<std::mutex> guard(lock_);
        changed_.wait(guard, [this] { return set_ || stopped_; });
        return !stopped_;
    }
    bool stopped() {
        std::lock_guard<std::mutex> guard(lock_);
        return stopped_;
    }
    void stop() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            stopped_ = true;
        }
        changed_.notify_all();
    }
    void restart() {
        std::lock_guard<std::mutex> guard(lock_);
        stopped_ = false;
        set_ = false;
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool set_ = false;
    bool stopped_ = false;
};

}  // namespace kivra
