// The wave chart's history: where samples go, what is ignored, the full minute and clearing,
// and the order of times read as UTC whatever the computer's time zone.
#include "model/wave_history.h"

#include <gtest/gtest.h>

#include <ctime>

#include "scoped_env.h"

namespace velmora::test {
namespace {

constexpr uint32_t kStart = 1700000000;  // 2023-11-14 22:13:20 UTC

WaveSample sample_at(const CivilTime& time, int speed) {
    return WaveSample{time, speed, 20, std::array<double, 3>{0.5, -0.5, 1.0}};
}

// The sample `second` seconds after the start, its speed telling which one it is.
WaveSample nth_sample(int second) {
    return sample_at(utc_civil_time(kStart + static_cast<uint32_t>(second)), second);
}

TEST(WaveTimeTest, UtcSecondsOfCalendarTimes) {
    const std::pair<CivilTime, int64_t> cases[] = {
        {{1970, 1, 1, 0, 0, 0}, 0},
        {{2023, 11, 14, 22, 13, 20}, 1700000000},
        {{2024, 2, 29, 12, 0, 0}, 1709208000},
        {{2106, 2, 7, 6, 28, 15}, 4294967295},
        {{1969, 12, 31, 23, 59, 59}, -1},
    };
    for (const auto& [time, seconds] : cases) {
        EXPECT_EQ(utc_seconds(time), seconds) << time.year << "-" << time.month << "-" << time.day;
    }
}

TEST(WaveTimeTest, NoSecondsForTimesThatDoNotExist) {
    const CivilTime cases[] = {
        {2023, 2, 29, 0, 0, 0}, {2023, 4, 31, 0, 0, 0},  {2023, 0, 1, 0, 0, 0},
        {2023, 13, 1, 0, 0, 0}, {2023, 1, 0, 0, 0, 0},   {2023, 1, 1, 24, 0, 0},
        {2023, 1, 1, 0, 60, 0}, {2023, 1, 1, 0, 0, 60},  {2023, 1, 1, -1, 0, 0},
        {40000, 1, 1, 0, 0, 0}, {2023, 1, 257, 0, 0, 0}, {2023, -255, 1, 0, 0, 0},
    };
    for (const CivilTime& time : cases) {
        EXPECT_EQ(utc_seconds(time), std::nullopt)
            << time.year << "-" << time.month << "-" << time.day << " " << time.hour << ":"
            << time.minute << ":" << time.second;
    }
}

TEST(WaveTimeTest, SecondsAreTheInverseOfTheCalendarBreakdown) {
    for (uint32_t seconds : {0u, 59u, 86399u, 951782400u, kStart, 4102444799u, 4294967295u}) {
        EXPECT_EQ(utc_seconds(utc_civil_time(seconds)), int64_t{seconds}) << seconds;
    }
}

TEST(WaveHistoryTest, StartsEmpty) {
    const WaveHistory history;
    EXPECT_TRUE(history.empty());
    EXPECT_EQ(history.newest(), 0);
    for (const WaveSample& slot : history.samples()) EXPECT_EQ(slot, WaveSample{});
}

TEST(WaveHistoryTest, FirstSampleTakesSlotZero) {
    WaveHistory history;
    EXPECT_TRUE(history.append(nth_sample(0)));
    EXPECT_EQ(history.newest(), 0);
    EXPECT_EQ(history.samples()[0], nth_sample(0));
    EXPECT_EQ(history.samples()[1], WaveSample{});
}

TEST(WaveHistoryTest, SampleWithOnlyATimeIsPlaced) {
    WaveHistory history;
    WaveSample time_only;
    time_only.time = utc_civil_time(kStart);
    EXPECT_TRUE(history.append(time_only));
    EXPECT_EQ(history.samples()[0], time_only);
    EXPECT_FALSE(history.empty());
}

// A second sample after a first one: where it goes by its time.
struct SecondSampleCase {
    const char* name;
    CivilTime first;
    CivilTime second;
    int newest;  // where the second sample lands; the first stays in slot 0 unless replaced
};

TEST(WaveHistoryTest, SecondSampleByItsTime) {
    const SecondSampleCase cases[] = {
        {"one second later", {2023, 11, 14, 22, 13, 20}, {2023, 11, 14, 22, 13, 21}, 1},
        {"an hour later", {2023, 11, 14, 22, 13, 20}, {2023, 11, 14, 23, 13, 20}, 1},
        {"same second", {2023, 11, 14, 22, 13, 20}, {2023, 11, 14, 22, 13, 20}, 0},
        {"one second earlier", {2023, 11, 14, 22, 13, 20}, {2023, 11, 14, 22, 13, 19}, 0},
        {"a day earlier", {2023, 11, 14, 22, 13, 20}, {2023, 11, 13, 22, 13, 20}, 0},
        {"into the new year", {2023, 12, 31, 23, 59, 59}, {2024, 1, 1, 0, 0, 0}, 1},
        {"back into the old year", {2024, 1, 1, 0, 0, 0}, {2023, 12, 31, 23, 59, 59}, 0},
        {"into the leap day", {2024, 2, 28, 23, 59, 59}, {2024, 2, 29, 0, 0, 0}, 1},
    };
    for (const SecondSampleCase& c : cases) {
        SCOPED_TRACE(c.name);
        WaveHistory history;
        ASSERT_TRUE(history.append(sample_at(c.first, 1)));
        EXPECT_TRUE(history.append(sample_at(c.second, 2)));
        EXPECT_EQ(history.newest(), c.newest);
        EXPECT_EQ(history.samples()[c.newest], sample_at(c.second, 2));
        if (c.newest == 1) {
            EXPECT_EQ(history.samples()[0], sample_at(c.first, 1));
        }
        EXPECT_EQ(history.samples()[2], WaveSample{});
    }
}

// The samples carry UTC breakdowns. Berlin's clocks skipped from 02:00 to 03:00 on 26 March 2023,
// so 02:30 read as Berlin local time would land after 03:10; read as UTC it is before.
TEST(WaveHistoryTest, OrderIsUtcAcrossALocalClockChange) {
    const CivilTime in_the_skipped_hour{2023, 3, 26, 2, 30, 0};
    const CivilTime after_the_skipped_hour{2023, 3, 26, 3, 10, 0};
    WaveHistory forward;
    WaveHistory backward;
    {
        const fleet::test::ScopedEnv zone("TZ", "Europe/Berlin");
        tzset();
        forward.append(sample_at(in_the_skipped_hour, 1));
        forward.append(sample_at(after_the_skipped_hour, 2));
        backward.append(sample_at(after_the_skipped_hour, 1));
        backward.append(sample_at(in_the_skipped_hour, 2));
    }
    tzset();

    EXPECT_EQ(forward.newest(), 1);
    EXPECT_EQ(forward.samples()[0].speed, 1);
    EXPECT_EQ(forward.samples()[1].speed, 2);
    EXPECT_EQ(backward.newest(), 0);
    EXPECT_EQ(backward.samples()[0].speed, 2);
    EXPECT_EQ(backward.samples()[1], WaveSample{});
}

TEST(WaveHistoryTest, SamplesThatCannotBePlacedAreIgnored) {
    const WaveSample cases[] = {
        WaveSample{},
        WaveSample{std::nullopt, 80, 20, std::array<double, 3>{1.0, 0.0, 0.0}},
        sample_at({2023, 2, 30, 12, 0, 0}, 80),
        sample_at({2023, 13, 1, 12, 0, 0}, 80),
        sample_at({2023, 1, 1, 24, 0, 0}, 80),
    };
    for (const WaveSample& sample : cases) {
        WaveHistory empty;
        EXPECT_FALSE(empty.append(sample));
        EXPECT_EQ(empty, WaveHistory{});

        WaveHistory filled;
        filled.append(nth_sample(0));
        filled.append(nth_sample(1));
        const WaveHistory before = filled;
        EXPECT_FALSE(filled.append(sample));
        EXPECT_EQ(filled, before);
    }
}

TEST(WaveHistoryTest, TheSameSampleAgainChangesNothing) {
    WaveHistory history;
    history.append(nth_sample(0));
    history.append(nth_sample(1));
    const WaveHistory before = history;
    EXPECT_FALSE(history.append(nth_sample(1)));
    EXPECT_EQ(history, before);
}

TEST(WaveHistoryTest, AMinuteFillsEverySlot) {
    WaveHistory history;
    for (int i = 0; i < WaveHistory::kSlots; ++i) ASSERT_TRUE(history.append(nth_sample(i)));
    EXPECT_EQ(history.newest(), 59);
    for (int k = 0; k < WaveHistory::kSlots; ++k) EXPECT_EQ(history.samples()[k], nth_sample(k));
}

TEST(WaveHistoryTest, TheSixtyFirstSampleDropsTheOldest) {
    WaveHistory history;
    for (int i = 0; i <= WaveHistory::kSlots; ++i) ASSERT_TRUE(history.append(nth_sample(i)));
    EXPECT_EQ(history.newest(), 59);
    for (int k = 0; k < WaveHistory::kSlots; ++k) {
        EXPECT_EQ(history.samples()[k], nth_sample(k + 1)) << "slot " << k;
    }
    // Full, a sample of the same second still replaces the newest without shifting.
    const WaveSample replacement = sample_at(*nth_sample(60).time, 999);
    EXPECT_TRUE(history.append(replacement));
    EXPECT_EQ(history.newest(), 59);
    EXPECT_EQ(history.samples()[59], replacement);
    EXPECT_EQ(history.samples()[0], nth_sample(1));
}

TEST(WaveHistoryTest, ClearEmptiesEverySlotAndStartsAtZero) {
    WaveHistory history;
    for (int i = 0; i < 70; ++i) history.append(nth_sample(i));
    history.clear();
    EXPECT_EQ(history, WaveHistory{});
    EXPECT_TRUE(history.empty());
    // An earlier time is placed after a clear: there is no newest sample to compare with.
    EXPECT_TRUE(history.append(nth_sample(3)));
    EXPECT_EQ(history.newest(), 0);
    EXPECT_EQ(history.samples()[0], nth_sample(3));
}

}  // namespace
}  // namespace velmora::test
