// Ctrl-C as a request the program takes when it is ready, not a signal that lands anywhere.
// SIGINT is blocked from construction on; threads started afterwards (the engine's, the
// extraction library's) inherit the block, so no system call of theirs is cut short by it and
// the request is only ever taken by poll().
#pragma once

#include <signal.h>

namespace dvrtool {

class InterruptBlock {
  public:
    InterruptBlock();   // blocks SIGINT in the calling thread
    ~InterruptBlock();  // drops a Ctrl-C not taken, then restores the signal mask
    InterruptBlock(const InterruptBlock&) = delete;
    InterruptBlock& operator=(const InterruptBlock&) = delete;

    // True once a Ctrl-C has come (it is taken now or was taken by an earlier poll).
    bool poll();

  private:
    sigset_t interrupt_{};
    sigset_t previous_{};
    bool taken_ = false;
};

}  // namespace dvrtool
