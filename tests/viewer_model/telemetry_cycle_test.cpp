// The dashboard's display cycle: units, rounding, the map and caption texts, the wave chart and
// the resets.
#include "model/telemetry_cycle.h"

#include <gtest/gtest.h>

#include <cstring>

#include "kivra/kivra.h"
#include "temp_folder.h"

namespace velmora::test {
namespace {

constexpr uint32_t kTime = 1700000000;  // 2023-11-14 22:13:20 UTC
constexpr TelemetryUnits kMetric{0, 0};

TelemetrySnapshot full_snapshot() {
    TelemetrySnapshot snapshot;
    snapshot.time = kTime;
    std::memcpy(snapshot.vehicle_id.data(), "TRUCK-1", 8);
    std::memcpy(snapshot.position.data(), "2459.9952N12130.0000E", kPositionBytes);
    snapshot.g = {127, 0, -127};
    snapshot.speed = 100.0f;
    snapshot.temperature = 37;
    snapshot.flags = {1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 1, 1};
    return snapshot;
}

class TelemetryCycleTest : public ::testing::Test {
  protected:
    TelemetryCycleTest() : texts_(folder_.path().string()), cycle_(texts_) {
        cycle_.set_gate(true);
    }
    TelemetryDisplay run(const TelemetrySnapshot& snapshot, TelemetryUnits units = kMetric) {
        return cycle_.run(snapshot, units);
    }

    TempFolder folder_;
    LanguageTable texts_;
    TelemetryCycle cycle_;
};

TEST(TelemetryRoundingTest, HalfAwayFromZero) {
    const std::pair<double, int> cases[] = {{100.4, 100}, {100.5, 101}, {-4.5, -5},
                                            {-4.4, -4},   {4.5, 5},     {-5.0, -5}};
    for (const auto& [value, rounded] : cases) {
        EXPECT_EQ(round_half_away_from_zero(value), rounded) << value;
    }
}

TEST(TelemetryRoundingTest, UtcCalendarTime) {
    EXPECT_EQ(utc_civil_time(kTime), (CivilTime{2023, 11, 14, 22, 13, 20}));
    EXPECT_EQ(utc_civil_time(0), (CivilTime{1970, 1, 1, 0, 0, 0}));
    EXPECT_EQ(utc_civil_time(4294967295u), (CivilTime{2106, 2, 7, 6, 28, 15}));
}

TEST_F(TelemetryCycleTest, FullSnapshotInEveryPart) {
    const TelemetryDisplay display = run(full_snapshot());
    EXPECT_EQ(display.time_text, "2023-11-14 22:13:20");
    EXPECT_EQ(display.plate_text, "TRUCK-1");
    ASSERT_TRUE(display.map.has_value());
    EXPECT_EQ(display.map->position.longitude_text, "121.500000");
    EXPECT_EQ(display.map->position.latitude_text, "24.999920");
    EXPECT_EQ(display.map->time_text, "1700000000");
    EXPECT_EQ(display.caption, "longitude:121.500000,latitude:24.999920");
    ASSERT_TRUE(display.g.has_value());
    EXPECT_DOUBLE_EQ((*display.g)[0], 2.0);
    EXPECT_DOUBLE_EQ((*display.g)[1], 0.0);
    EXPECT_DOUBLE_EQ((*display.g)[2], -2.0);
    EXPECT_EQ(display.speed, 100);
    EXPECT_EQ(display.temperature, 37);
    EXPECT_EQ(display.alarm_lamps,
              (std::array<bool, kAlarmLampCount>{true, false, false, true, false, false, false,
                                                 false, false, true}));
    EXPECT_FALSE(display.clear_wave_history);
    EXPECT_FALSE(display.clear_map);
    EXPECT_FALSE(display.tyres.has_value());
    const WaveSample expected{CivilTime{2023, 11, 14, 22, 13, 20}, 100, 37,
                              std::array<double, 3>{2.0, 0.0, -2.0}};
    EXPECT_EQ(display.appended_sample, expected);
}

TEST_F(TelemetryCycleTest, AbsentSnapshotShowsOnlyLampsAndAnEmptySample) {
    const TelemetryDisplay display = run(TelemetrySnapshot{});
    EXPECT_FALSE(display.time_text || display.plate_text || display.caption || display.map ||
                 display.g || display.speed || display.temperature || display.tyres);
    EXPECT_EQ(display.appended_sample, WaveSample{});
    EXPECT_EQ(display.alarm_lamps, (std::array<bool, kAlarmLampCount>{}));
}

TEST_F(TelemetryCycleTest, SpeedAndTemperatureInTheChosenUnits) {
    const struct {
        float kmh;
        int32_t celsius;
        TelemetryUnits units;
        int speed;
        int temperature;
    } cases[] = {
        {100.0f, 37, {1, 1}, 62, 99},    {100.4f, -5, {0, 0}, 100, -5},
        {100.5f, -20, {0, 1}, 101, -4},  {0.0f, 128, {1, 0}, 0, 128},
        {80.0f, -127, {1, 1}, 50, -197},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kmh);
        TelemetryCycle cycle(texts_);
        cycle.set_gate(true);
        TelemetrySnapshot snapshot;
        snapshot.speed = c.kmh;
        snapshot.temperature = c.celsius;
        cycle.run(snapshot, c.units);  // a changed unit first restarts the chart
        const TelemetryDisplay display = cycle.run(snapshot, c.units);
        EXPECT_EQ(display.speed, c.speed);
        EXPECT_EQ(display.temperature, c.temperature);
        EXPECT_FALSE(display.clear_wave_history);
        EXPECT_EQ(display.appended_sample->speed, c.speed);
        EXPECT_EQ(display.appended_sample->temperature, c.temperature);
    }
}

TEST_F(TelemetryCycleTest, UnitChangeClearsTheChartOnce) {
    const TelemetrySnapshot snapshot = full_snapshot();
    run(snapshot);

    TelemetryDisplay display = run(snapshot, {kSpeedInMph, 0});
    EXPECT_TRUE(display.clear_wave_history);
    EXPECT_EQ(display.speed, 62);  // the speed is shown all the same
    EXPECT_FALSE(display.appended_sample->speed.has_value());
    EXPECT_FALSE(display.appended_sample->time.has_value());
    EXPECT_EQ(display.appended_sample->temperature, 37);

    display = run(snapshot, {kSpeedInMph, 0});
    EXPECT_FALSE(display.clear_wave_history);
    EXPECT_EQ(display.appended_sample->speed, 62);

    display = run(snapshot, {kSpeedInMph, kTemperatureInFahrenheit});
    EXPECT_TRUE(display.clear_wave_history);
    EXPECT_FALSE(display.temperature.has_value());  // not shown in the cycle of the change
    EXPECT_FALSE(display.appended_sample->temperature.has_value());

    display = run(snapshot, {kSpeedInMph, kTemperatureInFahrenheit});
    EXPECT_FALSE(display.clear_wave_history);
    EXPECT_EQ(display.temperature, 99);
}

TEST_F(TelemetryCycleTest, PositionWithoutTimeOrValidTextsShowsLess) {
    TelemetrySnapshot snapshot = full_snapshot();
    snapshot.time = 0;
    TelemetryDisplay display = run(snapshot);
    ASSERT_TRUE(display.map.has_value());
    EXPECT_FALSE(display.map->time_text.has_value());
    EXPECT_FALSE(display.caption.has_value());
    EXPECT_FALSE(display.time_text.has_value());

    snapshot = full_snapshot();
    snapshot.position[4] = ',';
    display = run(snapshot);
    EXPECT_FALSE(display.map.has_value());
    EXPECT_FALSE(display.caption.has_value());
}

TEST_F(TelemetryCycleTest, AbsentGLeavesTheGauges) {
    TelemetrySnapshot snapshot = full_snapshot();
    snapshot.g[0] = kNoGValue;
    const TelemetryDisplay display = run(snapshot);
    EXPECT_FALSE(display.g.has_value());
    EXPECT_FALSE(display.appended_sample->g.has_value());
}

TEST_F(TelemetryCycleTest, TyresByTheirLayout) {
    TelemetrySnapshot snapshot;
    snapshot.tyre_count = 2;
    snapshot.tyres[1][0] = 7;
    snapshot.tyres[2][0] = 9;  // beyond the count
    for (int32_t first : {0, 1}) {
        snapshot.tyre_summary = {first, 2, 3, 4, 5, 6};
        const TelemetryDisplay display = run(snapshot);
        ASSERT_TRUE(display.tyres.has_value());
        EXPECT_EQ(display.tyres->legacy, first < 1);
        EXPECT_EQ(display.tyres->summary, snapshot.tyre_summary);
        ASSERT_EQ(display.tyres->records.size(), 2u);
        EXPECT_EQ(display.tyres->records[1][0], 7);
    }
}

TEST_F(TelemetryCycleTest, FullResetClearsEverythingOnceAndClosesTheGate) {
    run(full_snapshot());
    cycle_.request_full_reset();
    TelemetryDisplay display = run(full_snapshot());
    EXPECT_TRUE(display.forget_snapshot);
    EXPECT_TRUE(display.clear_map);
    EXPECT_TRUE(display.reset_tyres);
    EXPECT_TRUE(display.clear_wave_history);
    EXPECT_EQ(display.time_text, " ");
    EXPECT_EQ(display.plate_text, " ");
    EXPECT_EQ(display.caption, " ");
    EXPECT_EQ(display.g, (std::array<double, 3>{0, 0, 0}));
    EXPECT_EQ(display.speed, 0);
    EXPECT_EQ(display.temperature, 0);
    EXPECT_EQ(display.alarm_lamps, (std::array<bool, kAlarmLampCount>{}));
    EXPECT_FALSE(display.appended_sample.has_value());
    EXPECT_FALSE(display.map.has_value());
    EXPECT_EQ(cycle_.wave_sample(), WaveSample{});
    EXPECT_FALSE(cycle_.gate_open());

    display = run(full_snapshot());  // closed gate: nothing at all
    EXPECT_FALSE(display.forget_snapshot || display.clear_wave_history || display.time_text ||
                 display.alarm_lamps || display.appended_sample);

    cycle_.set_gate(true);  // the next play: a normal cycle, the reset is not repeated
    display = run(full_snapshot());
    EXPECT_FALSE(display.clear_map || display.clear_wave_history || display.forget_snapshot);
    EXPECT_EQ(display.time_text, "2023-11-14 22:13:20");
}

TEST_F(TelemetryCycleTest, SeekResetKeepsTimeAndPlateAndTheGate) {
    run(full_snapshot());
    cycle_.request_seek_reset();
    TelemetryDisplay display = run(full_snapshot());
    EXPECT_TRUE(display.forget_snapshot);
    EXPECT_TRUE(display.clear_wave_history);
    EXPECT_EQ(display.caption, " ");
    EXPECT_EQ(display.alarm_lamps, (std::array<bool, kAlarmLampCount>{}));
    EXPECT_FALSE(display.time_text || display.plate_text || display.map || display.speed ||
                 display.clear_map || display.reset_tyres || display.appended_sample);
    EXPECT_EQ(cycle_.wave_sample(), WaveSample{});
    EXPECT_TRUE(cycle_.gate_open());

    display = run(full_snapshot());
    EXPECT_FALSE(display.clear_wave_history);
    EXPECT_EQ(display.plate_text, "TRUCK-1");
}

TEST_F(TelemetryCycleTest, ClosedGateShowsNothing) {
    cycle_.set_gate(false);
    const TelemetryDisplay display = run(full_snapshot());
    EXPECT_FALSE(display.time_text || display.alarm_lamps || display.appended_sample);
}

TEST_F(TelemetryCycleTest, FeedCycleForgetsTheSnapshotOnReset) {
    TelemetryFeed feed;
    const char id[kVehicleIdBytes] = "VAN";
    feed.record(kTime, id, nullptr, nullptr, 40.0f, 10, nullptr, 0, nullptr, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(run_telemetry_cycle(feed, cycle_, kMetric).speed, 40);
    EXPECT_EQ(feed.snapshot().speed, 40.0f);

    // A later frame without speed keeps the previous one.
    feed.record(kTime + 1, nullptr, nullptr, nullptr, KIVRA_NO_SPEED, KIVRA_NO_TEMPERATURE, nullptr,
                KIVRA_NO_TYRES, nullptr, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(run_telemetry_cycle(feed, cycle_, kMetric).speed, 40);

    cycle_.request_seek_reset();
    run_telemetry_cycle(feed, cycle_, kMetric);
    EXPECT_EQ(feed.snapshot(), TelemetrySnapshot{});
}

}  // namespace
}  // namespace velmora::test
