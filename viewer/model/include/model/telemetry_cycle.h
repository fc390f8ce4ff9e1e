// The dashboard's display cycle (every 500 ms while the gate is open): the telemetry snapshot
// turned into what the dashboard widgets, the map and the wave chart are to show. No widgets.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lang/language_table.h"
#include "model/telemetry_position.h"
#include "model/telemetry_snapshot.h"

namespace velmora {

inline constexpr int kAlarmLampCount = 10;
inline constexpr int kSpeedInMph = 1;
inline constexpr int kTemperatureInFahrenheit = 1;

// The dashboard's unit selectors: 0 km/h and Celsius.
struct TelemetryUnits {
    int speed = 0;
    int temperature = 0;
};

struct CivilTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool operator==(const CivilTime&) const = default;
};

// One point of the wave chart; a value is set only when the cycle had it.
struct WaveSample {
    std::optional<CivilTime> time;
    std::optional<int> speed;
    std::optional<int> temperature;
    std::optional<std::array<double, 3>> g;  // in g
    bool operator==(const WaveSample&) const = default;
};

struct MapPosition {
    GpsPosition position;
    // Set when the frame has a time: the map's time text ("%u") and a new map point.
    std::optional<std::string> time_text;
};

struct TyreUpdate {
    bool legacy = false;  // first summary value below 1: the older tyre layout
    std::array<int32_t, kTyreSummaryCount> summary{};
    std::vector<TyreRecordBytes> records;
};

// What one cycle does; an empty optional or false leaves that part of the dashboard alone.
struct TelemetryDisplay {
    bool clear_map = false;
    bool reset_tyres = false;
    bool clear_wave_history = false;
    std::optional<std::string> time_text;
    std::optional<std::string> plate_text;  // the map shows the vehicle too
    std::optional<std::string> caption;
    std::optional<MapPosition> map;
    std::optional<std::array<double, 3>> g;  // in g
    std::optional<int> speed;
    std::optional<int> temperature;
    std::optional<WaveSample> appended_sample;
    std::optional<std::array<bool, kAlarmLampCount>> alarm_lamps;
    std::optional<TyreUpdate> tyres;
    bool forget_snapshot = false;  // the caller makes its snapshot absent
};

// Half away from zero, so -4.5 C shows as -5 like 4.5 shows as 5 (adding 0.5 and truncating
// would turn -5 into -4).
int round_half_away_from_zero(double value);

// The calendar time of UTC seconds; never a local-time conversion, so the chart's time matches
// the time text whatever the computer's zone.
CivilTime utc_civil_time(uint32_t seconds);

class TelemetryCycle {
  public:
    explicit TelemetryCycle(const LanguageTable& texts);

    // The session opens the gate on play and stop results and closes it on pause.
    void set_gate(bool open) { gate_open_ = open; }
    bool gate_open() const { return gate_open_; }
    void request_full_reset() { full_reset_ = true; }  // after stop
    void request_seek_reset() { seek_reset_ = true; }  // after a seek

    // Nothing while the gate is closed. A pending reset takes the cycle (a full one before a
    // seek one) and the snapshot is not shown.
    TelemetryDisplay run(const TelemetrySnapshot& snapshot, TelemetryUnits units);

    const WaveSample& wave_sample() const { return sample_; }

  private:
    TelemetryDisplay full_reset();
    TelemetryDisplay seek_reset();
    TelemetryDisplay show(const TelemetrySnapshot& snapshot, TelemetryUnits units);
    void show_time(uint32_t time, TelemetryDisplay& display);
    void show_position(const TelemetrySnapshot& snapshot, TelemetryDisplay& display) const;
    void show_speed(float speed, int unit, TelemetryDisplay& display);
    void show_temperature(int32_t celsius, int unit, TelemetryDisplay& display);
    void clear_wave(TelemetryDisplay& display);

    const LanguageTable& texts_;
    bool gate_open_ = false;
    bool full_reset_ = false;
    bool seek_reset_ = false;
    TelemetryUnits units_;  // the units of the previous cycle
    WaveSample sample_;
};

// One cycle over the feed: copies the snapshot out, runs the cycle and forgets the snapshot
// when a reset asks for it.
TelemetryDisplay run_telemetry_cycle(TelemetryFeed& feed, TelemetryCycle& cycle,
                                     TelemetryUnits units);

}  // namespace velmora
