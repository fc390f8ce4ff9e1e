// The progress computation and the poller thread.
#include "model/progress_poller.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "fake_engine.h"

namespace velmora::test {
namespace {

struct ProgressCase {
    int64_t position;
    int64_t total;
    int slider;
};

class Progress : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(Progress, IsTheTruncatedPercentage) {
    EXPECT_EQ(progress_position(GetParam().position, GetParam().total), GetParam().slider);
}

INSTANTIATE_TEST_SUITE_P(Cases, Progress,
                         ::testing::Values(ProgressCase{-1, -1, 0},  // nothing open
                                           ProgressCase{50, 0, 0},   // no length yet
                                           ProgressCase{50, -5, 0}, ProgressCase{-5, 100, 0},
                                           ProgressCase{0, 100, 0}, ProgressCase{50, 200, 25},
                                           ProgressCase{1, 3, 33}, ProgressCase{2, 3, 66},
                                           ProgressCase{199, 200, 99}, ProgressCase{300, 200, 100},
                                           ProgressCase{int64_t{1} << 40, int64_t{1} << 41, 50}));

class Published {
  public:
    void add(int value) {
        std::lock_guard lock(mutex_);
        values_.push_back(value);
        changed_.notify_all();
    }
    bool wait_for_count(size_t count, std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return values_.size() >= count; });
    }
    std::vector<int> values() {
        std::lock_guard lock(mutex_);
        return values_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int> values_;
};

TEST(ProgressPollerTest, PublishesAtOnceAndStopsWithoutWaitingOutTheInterval) {
    const EngineApi api = make_fake_engine_api();
    fake_engine().read_position = 30;
    fake_engine().total_length = 120;
    Published published;
    ProgressPoller poller(
        api, [] { return false; }, [&](int value) { published.add(value); }, 60'000);
    poller.start();
    ASSERT_TRUE(published.wait_for_count(1, std::chrono::seconds(5)));
    const auto before_stop = std::chrono::steady_clock::now();
    poller.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before_stop, std::chrono::seconds(2));
    EXPECT_FALSE(poller.running());
    EXPECT_EQ(published.values(), std::vector<int>{25});
}

TEST(ProgressPollerTest, PollsRepeatedlyAndSkipsWhileDragging) {
    const EngineApi api = make_fake_engine_api();
    fake_engine().read_position = 10;
    fake_engine().total_length = 100;
    std::atomic<bool> dragging{true};
    std::atomic<int> asked{0};
    Published published;
    ProgressPoller poller(
        api,
        [&] {
            ++asked;
            return dragging.load();
        },
        [&](int value) { published.add(value); }, 5);
    poller.start();
    while (asked.load() < 5) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(published.values().empty());
    dragging = false;
    ASSERT_TRUE(published.wait_for_count(3, std::chrono::seconds(5)));
    poller.stop();
    for (int value : published.values()) EXPECT_EQ(value, 10);
}

}  // namespace
}  // namespace velmora::test
