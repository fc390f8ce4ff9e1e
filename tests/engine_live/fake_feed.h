// A realtime feed without a network: GOPs pushed by the test, answers chosen by it, and a count
// of what playback asked for.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "source/live_feed.h"

namespace live_test {

using Bytes = std::vector<uint8_t>;

struct FeedCounts {
    int taken = 0;    // GOPs handed over
    int no_data = 0;  // kNoData answers
    int failed = 0;   // kClosedOrTooLarge answers
    int stops = 0;
    int restarts = 0;
};

class FakeFeed final : public kivra::LiveFeed {
  public:
    explicit FakeFeed(int channels = 4) : channels_(channels) {}

    void push(Bytes gop);
    void push(const std::vector<Bytes>& gops);
    // While holding (prebuffering), every take answers kNoData.
    void hold(bool holding);
    // A closed link: every take fails from now on.
    void close();
    void fail_restarts(bool fail);
    FeedCounts counts();
    bool wait_until(const std::function<bool(const FeedCounts&)>& done,
                    std::chrono::milliseconds timeout);

    // kivra::LiveFeed. A queued GOP larger than the buffer is dropped, as the link does.
    int take(uint8_t* buffer, size_t capacity, size_t& length) override;
    bool restart_stream() override;
    void stop_stream() override;  // empties the queue, as the link does
    int channel_count() const override { return channels_; }

  private:
    int answer(int result);  // counts and signals; under lock_

    const int channels_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Bytes> queue_;
    bool holding_ = false;
    bool closed_ = false;
    bool fail_restarts_ = false;
    FeedCounts counts_;
};

}  // namespace live_test
