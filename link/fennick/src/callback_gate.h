// Whether the host's callbacks for one link or listener may still run, and whether one runs
// now. A close from another thread ends them and waits only for a callback of this same link
// or listener, so a host holding a lock that other links' callbacks take cannot deadlock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace fleet::fennick {

class CallbackGate {
  public:
    // On the io thread, around one callback: false (no callback) once closed.
    bool enter();
    // As enter(), for the last callback: closes the gate in the same step.
    bool enter_last();
    void leave();
    // Ends the callbacks; false when they had ended already. With wait, returns once a running
    // callback has returned; without (on the io thread, where a running callback is the
    // caller's own) at once.
    bool close(bool wait);
    bool is_open() const { return open_; }

  private:
    std::mutex mutex_;
    std::condition_variable idle_;
    std::atomic<bool> open_{true};  // read without the lock to stop loops early
    int running_ = 0;
};

}  // namespace fleet::fennick
