// The GOPs a recorder sent on the realtime link, waiting for the reader. With buffering on,
// the reader gets nothing until P = 10 GOPs are queued (prebuffering, reported in percent),
// and the queue steers the recorder: more when it runs low, slower when it grows, the oldest
// GOPs dropped when it holds 2P. Bounded in every mode: a GOP larger than the reader's buffer
// is never queued, and the count is capped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace kivra::net {

inline constexpr int kPrebufferCount = 10;              // P
inline constexpr size_t kMaxLiveGop = 2 * 1024 * 1024;  // the reader's GOP buffer
inline constexpr size_t kMaxQueuedGops = 4 * kPrebufferCount;

// What a received GOP asks of the link.
struct ReceiveSteps {
    std::optional<int> prebuffer_percent;  // report (0, 3, percent)
    bool ask_more = false;
    bool ask_slower = false;
    bool dropped_too_large = false;
};

struct TakeResult {
    int code = 3;  // LiveFeed::kTaken, kNoData or kClosedOrTooLarge
    bool ask_more = false;
};

class LiveQueue {
  public:
    // Empties the queue; prebuffering starts again when `buffering` is on.
    void restart(bool buffering);
    void clear();
    ReceiveSteps push(std::span<const uint8_t> gop);
    // Copies the oldest GOP into buffer; a GOP that does not fit is dropped (code -3).
    TakeResult take(uint8_t* buffer, size_t capacity, size_t& length);
    size_t size();
    bool prebuffering();

  private:
    void trim();

    std::mutex lock_;
    std::deque<std::vector<uint8_t>> gops_;
    bool buffering_ = false;
    bool prebuffering_ = false;
    int misses_ = 0;
};

}  // namespace kivra::net
