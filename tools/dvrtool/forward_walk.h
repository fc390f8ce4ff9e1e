// The whole stream from the beginning, GOP by GOP, in the way every subcommand needs it: a
// place the walker cannot read is described and walked past instead of ending the walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format/stream_walker.h"
#include "recording.h"

namespace dvrtool {

struct WalkedGop {
    int64_t offset = 0;
    int64_t stored = 0;  // total length rounded up to whole blocks
    const uint8_t* data = nullptr;
    size_t length = 0;  // == stored
};

// Bytes [begin, end) that could not be read as a GOP.
struct WalkFailure {
    int64_t begin = 0;
    int64_t end = 0;
    std::string reason;
};

class ForwardWalk {
  public:
    enum Step { kGop, kFailure, kEnd };

    explicit ForwardWalk(Recording& recording);

    // The step's details stay valid until the next call.
    Step next();
    const WalkedGop& gop() const { return gop_; }
    const WalkFailure& failure() const { return failure_; }

    // Blocks in [skipped_from(), where the step found something) were stepped over as not
    // starting a GOP; at kEnd, up to data_end().
    int64_t skipped_from() const { return skipped_from_; }
    int64_t position() const { return cursor_.position; }
    int64_t data_end() const { return cursor_.end; }

  private:
    Recording& recording_;
    fleet::format::StreamCursor cursor_;
    std::vector<uint8_t> storage_;
    fleet::format::WalkBuffer buffer_;
    WalkedGop gop_;
    WalkFailure failure_;
    int64_t skipped_from_ = 0;
};

// Why the walker could not read at `at` (it only says that it could not), and where a walk
// resumes: past `at` always, so a walk ends.
WalkFailure describe_read_failure(Recording& recording, int64_t at, int64_t data_end,
                                  int64_t& resume);

// For subcommands other than verify: tells the user which bytes the walk passed over.
void warn_skipped(const Recording& recording, const WalkFailure& failure);

}  // namespace dvrtool
