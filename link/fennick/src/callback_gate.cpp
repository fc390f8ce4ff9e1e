#include "callback_gate.h"

namespace fleet::fennick {

bool CallbackGate::enter() {
    std::lock_guard lock(mutex_);
    if (!open_) return false;
    ++running_;
    return true;
}

bool CallbackGate::enter_last() {
    std::lock_guard lock(mutex_);
    if (!open_) return false;
    open_ = false;
    ++running_;
    return true;
}

void CallbackGate::leave() {
    {
        std::lock_guard lock(mutex_);
        --running_;
    }
    idle_.notify_all();
}

bool CallbackGate::close(bool wait) {
    std::unique_lock lock(mutex_);
    const bool was_open = open_;
    open_ = false;
    if (wait) idle_.wait(lock, [this] { return running_ == 0; });
    return was_open;
}

}  // namespace fleet::fennick
