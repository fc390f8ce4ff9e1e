// Small synchronisation pieces the playback threads share.
#pragma once

#include <condition_variable>
#include <mutex>

namespace kivra {

// Stays set until reset; every waiter passes while it is set.
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
    void wait() {
        std::unique_lock<std::mutex> guard(lock_);
        changed_.wait(guard, [this] { return set_; });
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool set_ = false;
};

}  // namespace kivra
