// The dashboard's tyre display without widgets: which of the twelve tyre positions show, with
// which picture and texts, the alert of each vehicle unit, the unit being looked at and the
// repeater. The dashboard copies the state into its controls after every change.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "model/telemetry_snapshot.h"

namespace velmora {

inline constexpr int kTyrePositions = 12;  // column + 4 x row; rows run front to rear
inline constexpr int kTyreColumns = 4;     // 0 and 3 outer wheels, 1 and 2 inner (twin) wheels
inline constexpr int kVehicleUnits = 3;    // 1 the tractor, 2 and 3 trailers
inline constexpr int kNoTyreIcon = -1;     // the icon draws nothing
inline constexpr int kTyreNormal = 1;      // a tyre's status and a unit's flag when all is well
inline constexpr int kTyreOverheated = 4;  // the picture the older data gets above 80 C
inline constexpr int kPressureInKpa = 1;

struct TyreSlot {
    int state = kNoTyreIcon;
    bool visible = true;
    std::string line1, line2;  // temperature, pressure (UTF-8)
    bool operator==(const TyreSlot&) const = default;
};

struct TyrePanelState {
    std::array<TyreSlot, kTyrePositions> tyres;
    std::array<bool, kVehicleUnits> unit_alert{};
    std::array<int, kVehicleUnits> layout_types{};  // 0: unit absent
    int current_unit = 1;
    int outline_unit = 1;
    int repeater = -1;
    bool operator==(const TyrePanelState&) const = default;
};

// One record as delivered: int32 reserved, float32 pressure in psi, int32 temperature in C,
// int32 status, little-endian.
struct TyreReading {
    float pressure_psi = 0.0f;
    int32_t temperature_c = 0;
    int32_t status = 0;
};
TyreReading read_tyre_record(const TyreRecordBytes& bytes);

// The positions a layout type shows on a unit (1..3), in the order the unit's records come;
// empty for a type the unit does not know.
std::span<const int> unit_layout(int unit, int type);

// The dashboard's temperature and pressure selectors (1: Fahrenheit, kPa).
struct TyreUnits {
    int temperature = 0;
    int pressure = 0;
};

// Texts of one tyre: "%d%s" in the chosen units, rounded half away from zero.
std::string tyre_temperature_text(int32_t celsius, int unit);
std::string tyre_pressure_text(float psi, int unit);

class TyrePanel {
  public:
    TyrePanel();  // as after reset()

    // Playback data restarts: unit 1, no alerts, no layout types, every icon but positions 1
    // and 2 (the tractor's cab) shown as "no reading", texts empty, repeater 0.
    void reset();
    // summary: the layout types of units 1..3, then their status flags; records packed unit
    // after unit in layout order.
    void update(const std::array<int32_t, kTyreSummaryCount>& summary,
                const std::vector<TyreRecordBytes>& records, TyreUnits units);
    // Older data without layout types: four tyres on positions 0, 3, 8 and 11, the picture
    // chosen by temperature.
    void update_legacy(const std::vector<TyreRecordBytes>& records, TyreUnits units);
    // A new source starts: the next update lays the tyres out again.
    void request_relayout() { relayout_pending_ = true; }
    // A click on unit selector 1..3; acts only while playing and when that unit is present.
    // True when the unit changed.
    bool select_unit(int unit, bool playing);

    const TyrePanelState& state() const { return state_; }

  private:
    // What the icons were last laid out for; a legacy layout has type kLegacyLayout.
    struct LaidOut {
        int unit = 0;
        int type = 0;
        bool operator==(const LaidOut&) const = default;
    };
    static constexpr int kLegacyLayout = -1;

    void update_alerts(const std::array<int32_t, kTyreSummaryCount>& summary,
                       std::span<const TyreRecordBytes> records);
    void lay_out(std::span<const int> positions, LaidOut layout);
    void show_tyre(int position, const TyreReading* reading, TyreUnits units);

    TyrePanelState state_;
    LaidOut laid_out_;
    bool relayout_pending_ = false;
};

}  // namespace velmora
