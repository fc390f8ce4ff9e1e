// AudioOut's cycle on the clock backend, which every machine has: pace, order, idling and
// stopping.
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "audio_test_support.h"

namespace kivra {
namespace {

using namespace std::chrono_literals;
using test::Clock;
using test::NumberedProducer;

constexpr AudioFormat kTenthFormat{16, 1, 8000};  // 1600 bytes = 1/10 s
constexpr size_t kTenth = 1600;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto tv = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return tv(usage.ru_utime) + tv(usage.ru_stime);
}

class ClockOut : public ::testing::Test {
  protected:
    void SetUp() override { setenv("KIVRA_AUDIO", "clock", 1); }

    int start() {
        int checked = 12345;
        const int result = out.start(checked);
        EXPECT_EQ(checked, 0);
        return result;
    }

    test::EnvGuard env;  // first: restored after `out` is gone
    AudioOut out;
};

TEST_F(ClockOut, DefaultsBeforeStart) {
    const AudioFormat f = out.format();
    EXPECT_EQ(f.bits, 16);
    EXPECT_EQ(f.channels, 1);
    EXPECT_EQ(f.rate, 22050);
    EXPECT_FALSE(out.is_open());
    EXPECT_STREQ(out.backend(), "none");
    EXPECT_FALSE(out.stop());
}

TEST_F(ClockOut, TwentyTenthsTakeTwoSecondsInOrderOneAtATime) {
    NumberedProducer producer(20, kTenth);
    out.set_completion(producer.completion());
    ASSERT_TRUE(out.set_format(kTenthFormat));
    const auto begin = Clock::now();
    ASSERT_EQ(start(), kAudioStarted);
    EXPECT_STREQ(out.backend(), "clock");
    EXPECT_TRUE(out.is_open());

    // 4 empty buffers + 20 numbered ones; the last 4 completions return false.
    ASSERT_TRUE(test::wait_for([&] { return producer.calls() >= 24; }, 10s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(producer.calls(), 24) << "the cycle should have run dry";

    const auto events = producer.events();
    ASSERT_EQ(events.size(), 24u);
    std::set<const uint8_t*> first_four;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(events[i].length, 0u);
        EXPECT_NE(events[i].data, nullptr);
        first_four.insert(events[i].data);
    }
    EXPECT_EQ(first_four.size(), 4u) << "four distinct buffers";
    EXPECT_EQ(test::played_numbers(events), test::one_to(20));
    EXPECT_EQ(producer.most_at_once(), 1);

    // 20 x 0.1 s of sound after the four 10 ms silences of the empty buffers.
    const double took = seconds(events.back().when - begin);
    EXPECT_GT(took, 2.04 * 0.9);
    EXPECT_LT(took, 2.04 * 1.1);
    EXPECT_TRUE(out.stop());
}

TEST_F(ClockOut, IdleCycleStaysCheap) {
    std::atomic<int> calls{0};
    out.set_completion([&](AudioBuffer& buffer) {
        ++calls;
        buffer.length = 0;
        return true;
    });
    const double cpu_before = cpu_seconds();
    ASSERT_EQ(start(), kAudioStarted);
    std::this_thread::sleep_for(1s);
    const int idle_calls = calls.load();
    const double cpu = cpu_seconds() - cpu_before;
    EXPECT_TRUE(out.stop());
    EXPECT_GT(idle_calls, 20) << "the idle cycle should keep going";
    EXPECT_LE(idle_calls, 500);
    EXPECT_LT(cpu, 0.3);
}

TEST_F(ClockOut, StopWhileCompletionsRunThenStartAgain) {
    std::atomic<int> calls{0};
    std::atomic<bool> inside{false};
    out.set_completion([&](AudioBuffer& buffer) {
        inside = true;
        ++calls;
        std::this_thread::sleep_for(2ms);
        buffer.length = 160;  // 10 ms at 8000 Hz
        inside = false;
        return true;
    });
    ASSERT_TRUE(out.set_format(kTenthFormat));
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const int before = calls.load();
        ASSERT_EQ(start(), kAudioStarted);
        ASSERT_TRUE(test::wait_for([&] { return calls.load() >= before + 10; }, 5s));
        EXPECT_TRUE(out.stop());
        EXPECT_FALSE(out.is_open());
        EXPECT_FALSE(inside.load());
        const int after_stop = calls.load();
        std::this_thread::sleep_for(200ms);
        EXPECT_EQ(calls.load(), after_stop) << "completion called after stop()";
        EXPECT_FALSE(out.stop());
    }
}

TEST_F(ClockOut, StopWaitsForTheRunningCompletion) {
    std::atomic<bool> entered{false};
    std::atomic<bool> left{false};
    out.set_completion([&](AudioBuffer&) {
        if (!entered.exchange(true)) {
            std::this_thread::sleep_for(150ms);
            left = true;
        }
        return false;
    });
    ASSERT_EQ(start(), kAudioStarted);
    ASSERT_TRUE(test::wait_for([&] { return entered.load(); }, 5s));
    EXPECT_TRUE(out.stop());
    EXPECT_TRUE(left.load());
}

TEST_F(ClockOut, OpenOutputRefusesSecondStartAndFormatChange) {
    ASSERT_EQ(start(), kAudioStarted);
    EXPECT_EQ(start(), KIVRA_ERROR_OUTPUT_ALREADY_RUNNING);
    EXPECT_FALSE(out.set_format(kTenthFormat));
    EXPECT_EQ(out.format().rate, 22050);
    EXPECT_TRUE(out.stop());
    EXPECT_TRUE(out.set_format(kTenthFormat));
    EXPECT_EQ(out.format().rate, 8000);
}

TEST_F(ClockOut, RejectsFormatsNoBackendPlays) {
    const AudioFormat bad[] = {
        {24, 2, 44100}, {0, 1, 8000}, {16, 0, 8000}, {16, 9, 8000}, {16, 1, 0}, {8, 1, -8000},
    };
    for (const AudioFormat& f : bad) {
        EXPECT_FALSE(out.set_format(f)) << f.bits << " bits, " << f.channels << " ch, " << f.rate;
    }
    EXPECT_EQ(out.format().bits, 16);
    for (const AudioFormat& f : {AudioFormat{8, 1, 8000}, AudioFormat{32, 8, 384000}}) {
        EXPECT_TRUE(out.set_format(f));
    }
}

TEST_F(ClockOut, HoldingTheLockHoldsCompletionsBack) {
    std::atomic<int> calls{0};
    out.set_completion([&](AudioBuffer& buffer) {
        ++calls;
        buffer.length = 0;
        return true;
    });
    ASSERT_EQ(start(), kAudioStarted);
    ASSERT_TRUE(test::wait_for([&] { return calls.load() >= 8; }, 5s));
    {
        std::lock_guard guard(out.lock());
        const int held = calls.load();
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(calls.load(), held);
    }
    const int released = calls.load();
    EXPECT_TRUE(test::wait_for([&] { return calls.load() > released; }, 5s));
    EXPECT_TRUE(out.stop());
}

TEST_F(ClockOut, OversizedLengthIsCutToTheBuffer) {
    // 8 x 32-bit at 384 kHz: a full buffer is about 8 ms.
    ASSERT_TRUE(out.set_format({32, 8, 384000}));
    std::mutex mutex;
    std::vector<size_t> lengths;
    out.set_completion([&](AudioBuffer& buffer) {
        std::lock_guard guard(mutex);
        lengths.push_back(buffer.length);
        if (lengths.size() > 8) return false;
        buffer.length = kAudioBufferSize + 100;
        return true;
    });
    ASSERT_EQ(start(), kAudioStarted);
    ASSERT_TRUE(test::wait_for(
        [&] {
            std::lock_guard guard(mutex);
            return lengths.size() >= 12;
        },
        5s));
    EXPECT_TRUE(out.stop());
    std::lock_guard guard(mutex);
    for (size_t i = 4; i < lengths.size(); ++i) EXPECT_EQ(lengths[i], kAudioBufferSize);
}

// A producer that stalls lets the clock fall behind; what it gives afterwards must still
// take its real time, give or take the small catch-up the output allows.
TEST_F(ClockOut, LateProducerIsNotCaughtUpInABurst) {
    ASSERT_TRUE(out.set_format(kTenthFormat));
    std::mutex mutex;
    std::vector<Clock::time_point> queued(64);
    std::vector<Clock::time_point> finished(64);
    uint32_t next = 1;
    uint32_t first_after_stall = 0;
    out.set_completion([&](AudioBuffer& buffer) {
        std::lock_guard guard(mutex);
        uint32_t number = 0;
        std::memcpy(&number, buffer.data, sizeof number);
        if (buffer.length > 0) finished[number] = Clock::now();
        if (next == 8) {
            std::this_thread::sleep_for(600ms);  // the other three play out meanwhile
            first_after_stall = next;
        }
        if (next >= 20) return false;
        std::memcpy(buffer.data, &next, sizeof next);
        buffer.length = kTenth;
        queued[next++] = Clock::now();
        return true;
    });
    ASSERT_EQ(start(), kAudioStarted);
    ASSERT_TRUE(test::wait_for(
        [&] {
            std::lock_guard guard(mutex);
            return first_after_stall != 0 && finished[first_after_stall + 3] != Clock::time_point{};
        },
        10s));
    EXPECT_TRUE(out.stop());
    std::lock_guard guard(mutex);
    // Four tenths queued from the stall on: 0.4 s of sound, at most 50 ms of it made up.
    const double took = seconds(finished[first_after_stall + 3] - queued[first_after_stall]);
    EXPECT_GT(took, 0.3);
    EXPECT_LT(took, 1.0);
}

TEST_F(ClockOut, DestructionStopsTheCycle) {
    auto calls = std::make_shared<std::atomic<int>>(0);
    {
        AudioOut local;
        local.set_completion([calls](AudioBuffer& buffer) {
            ++*calls;
            buffer.length = 0;
            return true;
        });
        int checked = 0;
        ASSERT_EQ(local.start(checked), kAudioStarted);
        ASSERT_TRUE(test::wait_for([&] { return calls->load() >= 4; }, 5s));
    }
    const int after = calls->load();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(calls->load(), after);
}

TEST_F(ClockOut, WithoutCompletionTheEmptyBuffersRunDry) {
    ASSERT_EQ(start(), kAudioStarted);
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(out.is_open());
    EXPECT_TRUE(out.stop());
}

}  // namespace
}  // namespace kivra
