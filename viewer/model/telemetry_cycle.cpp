#include "model/telemetry_cycle.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace velmora {

namespace {

constexpr const char* kLongitudeKey = "IDC_STATIC_LO";  // "longitude"
constexpr const char* kLatitudeKey = "IDC_STATIC_LA";   // "latitude"
constexpr const char* kBlank = " ";
constexpr double kMphPerKmh = 0.622;

// The sensor's -127..127 spans -2 g..+2 g.
double g_of(int32_t step) {
    return step * 2.0 / 127.0;
}

std::string time_text(const CivilTime& t) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return buffer;
}

std::string plate_text(const std::array<char, kVehicleIdBytes>& id) {
    const std::string_view bytes(id.data(), id.size());
    return std::string(bytes.substr(0, bytes.find('\0')));
}

std::array<bool, kAlarmLampCount> alarm_lamps(const std::array<uint8_t, kFlagBytes>& flags) {
    std::array<bool, kAlarmLampCount> lamps{};
    for (size_t i = 0; i < lamps.size(); ++i) lamps[i] = flags[i] != 0;
    return lamps;
}

TyreUpdate tyre_update(const TelemetrySnapshot& snapshot) {
    TyreUpdate update;
    update.legacy = snapshot.tyre_summary[0] < 1;
    update.summary = snapshot.tyre_summary;
    const size_t count = std::min(static_cast<size_t>(snapshot.tyre_count), kMaxTyreRecords);
    update.records.assign(snapshot.tyres.begin(), snapshot.tyres.begin() + count);
    return update;
}

}  // namespace

int round_half_away_from_zero(double value) {
    return static_cast<int>(std::lround(value));
}

CivilTime utc_civil_time(uint32_t seconds) {
    using namespace std::chrono;
    const sys_seconds instant{std::chrono::seconds{seconds}};
    const sys_days day = floor<days>(instant);
    const year_month_day date{day};
    const hh_mm_ss clock{instant - day};
    return CivilTime{static_cast<int>(date.year()),
                     static_cast<int>(unsigned(date.month())),
                     static_cast<int>(unsigned(date.day())),
                     static_cast<int>(clock.hours().count()),
                     static_cast<int>(clock.minutes().count()),
                     static_cast<int>(clock.seconds().count())};
}

TelemetryCycle::TelemetryCycle(const LanguageTable& texts) : texts_(texts) {}

TelemetryDisplay TelemetryCycle::run(const TelemetrySnapshot& snapshot, TelemetryUnits units) {
    if (!gate_open_) return {};
    if (full_reset_) return full_reset();
    if (seek_reset_) return seek_reset();
    return show(snapshot, units);
}

TelemetryDisplay TelemetryCycle::full_reset() {
    TelemetryDisplay display = seek_reset();
    full_reset_ = false;
    gate_open_ = false;
    display.clear_map = true;
    display.time_text = kBlank;
    display.plate_text = kBlank;
    display.reset_tyres = true;
    display.g = std::array<double, 3>{0, 0, 0};
    display.speed = 0;
    display.temperature = 0;
    return display;
}

TelemetryDisplay TelemetryCycle::seek_reset() {
    seek_reset_ = false;
    TelemetryDisplay display;
    display.forget_snapshot = true;
    display.alarm_lamps = std::array<bool, kAlarmLampCount>{};
    display.caption = kBlank;
    clear_wave(display);
    return display;
}

void TelemetryCycle::clear_wave(TelemetryDisplay& display) {
    sample_ = WaveSample{};
    display.clear_wave_history = true;
}

TelemetryDisplay TelemetryCycle::show(const TelemetrySnapshot& snapshot, TelemetryUnits units) {
    TelemetryDisplay display;
    if (snapshot.time != 0) show_time(snapshot.time, display);
    if (snapshot.vehicle_id[0] != '\0') display.plate_text = plate_text(snapshot.vehicle_id);
    show_position(snapshot, display);
    if (snapshot.g[0] != kNoGValue) {
        display.g =
            std::array<double, 3>{g_of(snapshot.g[0]), g_of(snapshot.g[1]), g_of(snapshot.g[2])};
        sample_.g = display.g;
    }
    if (snapshot.speed >= 0.0f) show_speed(snapshot.speed, units.speed, display);
    if (temperature_present(snapshot.temperature)) {
        show_temperature(snapshot.temperature, units.temperature, display);
    }
    display.appended_sample = sample_;
    display.alarm_lamps = alarm_lamps(snapshot.flags);
    if (snapshot.tyre_count > 0) display.tyres = tyre_update(snapshot);
    return display;
}

void TelemetryCycle::show_time(uint32_t time, TelemetryDisplay& display) {
    const CivilTime civil = utc_civil_time(time);
    display.time_text = time_text(civil);
    sample_.time = civil;
}

void TelemetryCycle::show_position(const TelemetrySnapshot& snapshot,
                                   TelemetryDisplay& display) const {
    const auto position = parse_position(snapshot.position);
    if (!position) return;
    MapPosition map{*position, std::nullopt};
    if (snapshot.time != 0) {
        map.time_text = std::to_string(snapshot.time);
        display.caption = texts_.text(kLongitudeKey) + ":" + position->longitude_text + "," +
                          texts_.text(kLatitudeKey) + ":" + position->latitude_text;
    }
    display.map = std::move(map);
}

void TelemetryCycle::show_speed(float speed, int unit, TelemetryDisplay& display) {
    const double shown = unit == kSpeedInMph ? speed * kMphPerKmh : speed;
    display.speed = round_half_away_from_zero(shown);
    if (unit == units_.speed) {
        sample_.speed = display.speed;
        return;
    }
    // The chart cannot mix units: it starts over in the new one.
    units_.speed = unit;
    clear_wave(display);
}

void TelemetryCycle::show_temperature(int32_t celsius, int unit, TelemetryDisplay& display) {
    const double shown = unit == kTemperatureInFahrenheit ? celsius * 9.0 / 5.0 + 32.0 : celsius;
    const int rounded = round_half_away_from_zero(shown);
    if (unit == units_.temperature) {
        display.temperature = rounded;
        sample_.temperature = rounded;
        return;
    }
    units_.temperature = unit;
    clear_wave(display);
}

TelemetryDisplay run_telemetry_cycle(TelemetryFeed& feed, TelemetryCycle& cycle,
                                     TelemetryUnits units) {
    TelemetryDisplay display = cycle.run(feed.snapshot(), units);
    if (display.forget_snapshot) feed.forget();
    return display;
}

}  // namespace velmora
