// The GOPs a served recorder sends: a download's stretch of the recording once through, with the
// share still to come, and the live picture that plays the whole recording round and round at
// the pace it was recorded.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "format/stream_walker.h"

namespace dvrsim {

struct FedGop {
    std::vector<uint8_t> bytes;  // the GOP as recorded, without the stream's block padding
    uint32_t time = 0;           // its header's time stamp
    uint32_t remaining_percent = 0;
};

// One stretch of the recording, front to back.
class DownloadFeed {
  public:
    explicit DownloadFeed(const fleet::format::StreamCursor& cursor);
    // The next GOP; nullopt at the end of the stretch (also when a read fails there).
    std::optional<FedGop> next();

  private:
    fleet::format::StreamCursor cursor_;
    std::vector<uint8_t> buffer_;
};

// The whole recording, starting over at its end; each GOP comes after the time between its
// time stamp and the previous one's (one second where the stamps go back or jump ahead).
class LiveFeed {
  public:
    explicit LiveFeed(const fleet::format::StreamCursor& cursor);
    // The next GOP and how long after the previous one it is due; nullopt when the recording
    // yields no GOP at all.
    std::optional<FedGop> next(std::chrono::duration<double>& gap);

  private:
    fleet::format::StreamCursor cursor_;
    std::vector<uint8_t> buffer_;
    std::optional<uint32_t> previous_time_;
};

}  // namespace dvrsim
