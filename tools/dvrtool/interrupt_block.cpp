#include "interrupt_block.h"

#include <pthread.h>

namespace dvrtool {

namespace {
bool take_pending(const sigset_t& set) {
    const timespec now{0, 0};
    return sigtimedwait(&set, nullptr, &now) == SIGINT;
}
}  // namespace

InterruptBlock::InterruptBlock() {
    sigemptyset(&interrupt_);
    sigaddset(&interrupt_, SIGINT);
    pthread_sigmask(SIG_BLOCK, &interrupt_, &previous_);
}

InterruptBlock::~InterruptBlock() {
    // The work is over: a late Ctrl-C must not kill the program as the mask is restored.
    while (take_pending(interrupt_)) {
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

bool InterruptBlock::poll() {
    if (!taken_) taken_ = take_pending(interrupt_);
    return taken_;
}

}  // namespace dvrtool
