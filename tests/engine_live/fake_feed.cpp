#include "fake_feed.h"

#include <cstring>

namespace live_test {

void FakeFeed::push(Bytes gop) {
    std::lock_guard<std::mutex> guard(lock_);
    queue_.push_back(std::move(gop));
}

void FakeFeed::push(const std::vector<Bytes>& gops) {
    for (const Bytes& gop : gops) push(gop);
}

void FakeFeed::hold(bool holding) {
    std::lock_guard<std::mutex> guard(lock_);
    holding_ = holding;
}

void FakeFeed::close() {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = true;
}

void FakeFeed::fail_restarts(bool fail) {
    std::lock_guard<std::mutex> guard(lock_);
    fail_restarts_ = fail;
}

FeedCounts FakeFeed::counts() {
    std::lock_guard<std::mutex> guard(lock_);
    return counts_;
}

bool FakeFeed::wait_until(const std::function<bool(const FeedCounts&)>& done,
                          std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, timeout, [&] { return done(counts_); });
}

int FakeFeed::answer(int result) {
    if (result == kTaken) ++counts_.taken;
    if (result == kNoData) ++counts_.no_data;
    if (result == kClosedOrTooLarge) ++counts_.failed;
    changed_.notify_all();
    return result;
}

int FakeFeed::take(uint8_t* buffer, size_t capacity, size_t& length) {
    std::lock_guard<std::mutex> guard(lock_);
    if (closed_) return answer(kClosedOrTooLarge);
    if (holding_ || queue_.empty()) return answer(kNoData);
    Bytes gop = std::move(queue_.front());
    queue_.pop_front();
    if (gop.size() > capacity) return answer(kClosedOrTooLarge);
    std::memcpy(buffer, gop.data(), gop.size());
    length = gop.size();
    return answer(kTaken);
}

bool FakeFeed::restart_stream() {
    std::lock_guard<std::mutex> guard(lock_);
    ++counts_.restarts;
    changed_.notify_all();
    return !fail_restarts_;
}

void FakeFeed::stop_stream() {
    std::lock_guard<std::mutex> guard(lock_);
    ++counts_.stops;
    queue_.clear();
    changed_.notify_all();
}

}  // namespace live_test
