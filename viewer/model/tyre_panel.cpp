#include "model/tyre_panel.h"

#include <algorithm>
#include <cstring>

#include "model/gauge_texts.h"
#include "model/telemetry_cycle.h"

namespace velmora {

namespace {

constexpr double kKpaPerPsi = 6.895;
constexpr int32_t kLegacyHottestNormal = 80;  // C; above it the older data shows overheated
constexpr std::array<int, 4> kLegacyPositions{0, 3, 8, 11};
constexpr std::array<int, 2> kCabPositions{1, 2};  // the tractor has no tyres under its cab

struct LayoutList {
    size_t count;
    std::array<int, kTyrePositions> positions;
};

// The tractor's layouts, types 1..6.
constexpr std::array<LayoutList, 6> kTractorLayouts{{
    {4, {0, 3, 8, 11}},
    {6, {0, 3, 8, 9, 10, 11}},
    {6, {0, 3, 4, 7, 8, 11}},
    {8, {0, 3, 4, 7, 8, 9, 10, 11}},
    {8, {0, 3, 4, 5, 6, 7, 8, 11}},
    {10, {0, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
}};

// The trailers' layouts, types 1..14: types 1..6 without a front axle, 7..14 with one.
constexpr std::array<LayoutList, 14> kTrailerLayouts{{
    {2, {4, 7}},
    {4, {4, 5, 6, 7}},
    {4, {4, 7, 8, 11}},
    {6, {4, 5, 6, 7, 8, 11}},
    {6, {4, 7, 8, 9, 10, 11}},
    {8, {4, 5, 6, 7, 8, 9, 10, 11}},
    {6, {0, 3, 4, 7, 8, 11}},
    {8, {0, 3, 4, 5, 6, 7, 8, 11}},
    {8, {0, 3, 4, 7, 8, 9, 10, 11}},
    {10, {0, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
    {8, {0, 1, 2, 3, 4, 7, 8, 11}},
    {10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 11}},
    {10, {0, 1, 2, 3, 4, 7, 8, 9, 10, 11}},
    {12, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
}};

int32_t read_int32(const TyreRecordBytes& bytes, size_t offset) {
    int32_t value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

int32_t type_of(const std::array<int32_t, kTyreSummaryCount>& summary, int unit) {
    return summary[unit - 1];
}

int32_t flag_of(const std::array<int32_t, kTyreSummaryCount>& summary, int unit) {
    return summary[kVehicleUnits + unit - 1];
}

// Where a unit's records start in the packed array: after every earlier unit's list.
size_t first_record_of(const std::array<int32_t, kTyreSummaryCount>& summary, int unit) {
    size_t first = 0;
    for (int before = 1; before < unit; ++before) {
        first += unit_layout(before, type_of(summary, before)).size();
    }
    return first;
}

std::span<const TyreRecordBytes> delivered(const std::vector<TyreRecordBytes>& records) {
    return std::span(records).first(std::min(records.size(), kMaxTyreRecords));
}

}  // namespace

TyreReading read_tyre_record(const TyreRecordBytes& bytes) {
    TyreReading reading;
    std::memcpy(&reading.pressure_psi, bytes.data() + 4, sizeof reading.pressure_psi);
    reading.temperature_c = read_int32(bytes, 8);
    reading.status = read_int32(bytes, 12);
    return reading;
}

std::span<const int> unit_layout(int unit, int type) {
    const bool tractor = unit == 1;
    const size_t known = tractor ? kTractorLayouts.size() : kTrailerLayouts.size();
    if (unit < 1 || unit > kVehicleUnits || type < 1 || static_cast<size_t>(type) > known) {
        return {};
    }
    const LayoutList& list = tractor ? kTractorLayouts[type - 1] : kTrailerLayouts[type - 1];
    return std::span(list.positions).first(list.count);
}

std::string tyre_temperature_text(int32_t celsius, int unit) {
    const double shown = unit == kTemperatureInFahrenheit ? celsius * 9.0 / 5.0 + 32.0 : celsius;
    return std::to_string(round_half_away_from_zero(shown)) + temperature_unit_text(unit);
}

std::string tyre_pressure_text(float psi, int unit) {
    const double shown = unit == kPressureInKpa ? psi * kKpaPerPsi : psi;
    return std::to_string(round_half_away_from_zero(shown)) + pressure_unit_text(unit);
}

TyrePanel::TyrePanel() {
    reset();
}

void TyrePanel::reset() {
    state_.current_unit = 1;
    state_.outline_unit = 1;
    state_.unit_alert = {};
    state_.layout_types = {};
    for (TyreSlot& tyre : state_.tyres) tyre = TyreSlot{0, true, {}, {}};
    for (int cab : kCabPositions) state_.tyres[cab] = TyreSlot{kNoTyreIcon, false, {}, {}};
    state_.repeater = 0;
    // Every icon is shown now, so the next update has to lay the tyres out again.
    laid_out_ = LaidOut{};
}

void TyrePanel::update(const std::array<int32_t, kTyreSummaryCount>& summary,
                       const std::vector<TyreRecordBytes>& records, TyreUnits units) {
    const std::span<const TyreRecordBytes> usable = delivered(records);
    update_alerts(summary, usable);
    for (int unit = 1; unit <= kVehicleUnits; ++unit) {
        state_.layout_types[unit - 1] = type_of(summary, unit);
    }
    const int unit = state_.current_unit;
    const LaidOut layout{unit, type_of(summary, unit)};
    const std::span<const int> positions = unit_layout(unit, layout.type);
    if (relayout_pending_ || layout != laid_out_) lay_out(positions, layout);
    const size_t first = first_record_of(summary, unit);
    for (size_t k = 0; k < positions.size(); ++k) {
        const size_t index = first + k;
        if (index < usable.size()) {
            const TyreReading reading = read_tyre_record(usable[index]);
            show_tyre(positions[k], &reading, units);
        } else {
            show_tyre(positions[k], nullptr, units);
        }
    }
    state_.repeater = flag_of(summary, unit);
}

void TyrePanel::update_legacy(const std::vector<TyreRecordBytes>& records, TyreUnits units) {
    const std::span<const TyreRecordBytes> usable = delivered(records);
    state_.layout_types[1] = 0;
    state_.layout_types[2] = 0;
    // The trailers are absent, so they cannot be in alert either.
    state_.unit_alert = {};
    std::array<TyreReading, kLegacyPositions.size()> readings{};
    const size_t count = std::min(usable.size(), readings.size());
    for (size_t k = 0; k < count; ++k) {
        readings[k] = read_tyre_record(usable[k]);
        // This data's status is not trusted: the picture follows the temperature alone.
        readings[k].status =
            readings[k].temperature_c > kLegacyHottestNormal ? kTyreOverheated : kTyreNormal;
        if (readings[k].status != kTyreNormal) state_.unit_alert[0] = true;
    }
    const LaidOut layout{1, kLegacyLayout};
    if (relayout_pending_ || layout != laid_out_) lay_out(kLegacyPositions, layout);
    for (size_t k = 0; k < readings.size(); ++k) {
        show_tyre(kLegacyPositions[k], k < count ? &readings[k] : nullptr, units);
    }
    state_.repeater = 0;
}

bool TyrePanel::select_unit(int unit, bool playing) {
    if (!playing || unit < 1 || unit > kVehicleUnits) return false;
    if (state_.layout_types[unit - 1] < 1) return false;
    const bool changed = unit != state_.current_unit;
    state_.current_unit = unit;
    state_.outline_unit = unit;
    return changed;
}

void TyrePanel::update_alerts(const std::array<int32_t, kTyreSummaryCount>& summary,
                              std::span<const TyreRecordBytes> records) {
    for (int unit = 1; unit <= kVehicleUnits; ++unit) {
        const size_t count = unit_layout(unit, type_of(summary, unit)).size();
        bool alert = false;
        if (count > 0) {
            alert = flag_of(summary, unit) != kTyreNormal;
            const size_t first = first_record_of(summary, unit);
            const size_t end = std::min(first + count, records.size());
            for (size_t i = first; i < end; ++i) {
                if (read_tyre_record(records[i]).status != kTyreNormal) alert = true;
            }
        }
        state_.unit_alert[unit - 1] = alert;
    }
}

void TyrePanel::lay_out(std::span<const int> positions, LaidOut layout) {
    for (TyreSlot& tyre : state_.tyres) {
        tyre.visible = false;
        tyre.line1.clear();
        tyre.line2.clear();
    }
    for (int position : positions) state_.tyres[position].visible = true;
    relayout_pending_ = false;
    laid_out_ = layout;
}

void TyrePanel::show_tyre(int position, const TyreReading* reading, TyreUnits units) {
    TyreSlot& tyre = state_.tyres[position];
    if (reading == nullptr) {
        // Fewer records than the layout has tyres: nothing is known about this one.
        tyre.state = kNoTyreIcon;
        tyre.line1.clear();
        tyre.line2.clear();
        return;
    }
    tyre.state = reading->status;
    tyre.line1 = tyre_temperature_text(reading->temperature_c, units.temperature);
    tyre.line2 = tyre_pressure_text(reading->pressure_psi, units.pressure);
}

}  // namespace velmora
