#include "net/live_queue.h"

#include <cstring>

#include "source/live_feed.h"

namespace kivra::net {
namespace {

// Empty takes in a row after which prebuffering starts again.
constexpr int kMissesBeforePrebuffering = 2;
// At or below this many queued GOPs the recorder is asked for more.
constexpr size_t kLowWater = 2;

}  // namespace

void LiveQueue::restart(bool buffering) {
    std::lock_guard<std::mutex> guard(lock_);
    gops_.clear();
    buffering_ = buffering;
    prebuffering_ = buffering;
    misses_ = 0;
}

void LiveQueue::clear() {
    std::lock_guard<std::mutex> guard(lock_);
    gops_.clear();
}

ReceiveSteps LiveQueue::push(std::span<const uint8_t> gop) {
    ReceiveSteps steps;
    if (gop.size() > kMaxLiveGop) {
        steps.dropped_too_large = true;
        return steps;
    }
    std::lock_guard<std::mutex> guard(lock_);
    gops_.emplace_back(gop.begin(), gop.end());
    while (gops_.size() > kMaxQueuedGops) gops_.pop_front();
    if (!buffering_) return steps;
    const size_t queued = gops_.size();
    if (prebuffering_) {
        int percent = static_cast<int>(queued * 100 / kPrebufferCount);
        if (percent > 99) {
            prebuffering_ = false;
            percent = 100;
        }
        steps.prebuffer_percent = percent;
        return steps;
    }
    if (queued <= kLowWater) {
        steps.ask_more = true;
        return steps;
    }
    if (queued >= 2 * kPrebufferCount) trim();
    steps.ask_slower = gops_.size() > kPrebufferCount;
    return steps;
}

// Drops the oldest GOPs while no more were dropped than half of those still queued: from
// 20 queued, 7 go.
void LiveQueue::trim() {
    size_t removed = 0;
    do {
        gops_.pop_front();
        ++removed;
    } while (!gops_.empty() && removed <= gops_.size() / 2);
}

TakeResult LiveQueue::take(uint8_t* buffer, size_t capacity, size_t& length) {
    std::lock_guard<std::mutex> guard(lock_);
    TakeResult result;
    result.code = LiveFeed::kNoData;
    if (buffering_ && prebuffering_) {
        misses_ = 0;
        return result;
    }
    if (gops_.empty()) {
        if (buffering_ && ++misses_ >= kMissesBeforePrebuffering) {
            prebuffering_ = true;
            misses_ = 0;
        }
        return result;
    }
    misses_ = 0;
    std::vector<uint8_t> gop = std::move(gops_.front());
    gops_.pop_front();
    result.ask_more = buffering_ && gops_.size() < kLowWater;
    if (gop.size() > capacity) {
        result.code = LiveFeed::kClosedOrTooLarge;
        return result;
    }
    std::memcpy(buffer, gop.data(), gop.size());
    length = gop.size();
    result.code = LiveFeed::kTaken;
    return result;
}

size_t LiveQueue::size() {
    std::lock_guard<std::mutex> guard(lock_);
    return gops_.size();
}

bool LiveQueue::prebuffering() {
    std::lock_guard<std::mutex> guard(lock_);
    return prebuffering_;
}

}  // namespace kivra::net
