// Getting past a stretch of the source that cannot be read: a truncated tail, bad sectors.
//
// A failed walk leaves the position at the block that failed, and reading there again fails
// again. So each failure moves the position past it, one block at first and twice as far with
// every further failure in a row (bad sectors come in runs), and the stretch is reported once:
// the next read that does not fail (a GOP, or an end) ends it. Normal play, pause, steps and
// fast play share one recovery, so a stretch met in one mode is not reported again in the
// next.
#pragma once

#include <chrono>
#include <cstdint>

#include "source/stored_source.h"

namespace kivra {

class ReadRecovery {
  public:
    // A read failed. True when it starts a new stretch, which the caller reports.
    bool failed() { return failures_++ == 0; }
    // A read did not fail (a GOP, or an end or beginning): the stretch is over.
    void ended() { failures_ = 0; }

    // Moves the source's position past the failed block, forwards or backwards, within the
    // recording. False when no position is left in that direction (the source cannot seek).
    // Call after failed(), holding the engine lock.
    bool move_past(StoredSource& source, bool forward) const;
    // How long a reader that failed waits before reading again, so a source whose every read
    // fails costs little: 1 ms, doubling with each failure in a row, at most 100 ms.
    std::chrono::milliseconds backoff() const;

  private:
    int64_t skip() const;

    int failures_ = 0;
};

}  // namespace kivra
