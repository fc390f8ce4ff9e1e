// The stream from its end back to its beginning, one GOP at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "format/stream_walker.h"
#include "forward_walk.h"

namespace dvrtool {

class BackwardWalk {
  public:
    enum Step { kGop, kFailure, kBeginning };

    explicit BackwardWalk(Recording& recording);

    // At kFailure, failure() holds the block that could not be read; the walk steps back
    // past it on the next call.
    Step next();
    const WalkedGop& gop() const { return gop_; }
    const WalkFailure& failure() const { return failure_; }

  private:
    Recording& recording_;
    fleet::format::StreamCursor cursor_;
    std::vector<uint8_t> storage_;
    fleet::format::WalkBuffer buffer_;
    WalkedGop gop_;
    WalkFailure failure_;
};

}  // namespace dvrtool
