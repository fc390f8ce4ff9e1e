// Where the dashboard's controls sit: every control's rectangle is designed on a 2009x326 panel
// and scaled to the panel's size, truncating at every step so that a run of equal items keeps
// its gaps. Keyed by control id; no widgets.
#pragma once

#include <map>

namespace velmora {

inline constexpr int kDashboardDesignWidth = 2009;
inline constexpr int kDashboardDesignHeight = 326;

namespace dash_id {
inline constexpr int kSpeedBar = 12000;
inline constexpr int kSpeedText = 12001;
inline constexpr int kDigitalSpeed = 12002;
inline constexpr int kFirstAlarm = 12003;  // ..12012, positions 1..10
inline constexpr int kTemperatureText = 12013;
inline constexpr int kGReadout = 12014;
inline constexpr int kWaveChart = 12016;
inline constexpr int kFirstTyreIcon = 12017;  // ..12028, positions 0..11
inline constexpr int kFirstTyreText = 12037;  // ..12048, positions 0..11
inline constexpr int kUnitOutline = 33001;
inline constexpr int kFirstUnitSelector = 33002;  // ..33004, units 1..3
inline constexpr int kRepeater = 33006;
}  // namespace dash_id

struct ControlRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const ControlRect&) const = default;
};

// Every placed control's rectangle on a panel of the given size (exactly the design at
// 2009x326).
std::map<int, ControlRect> dashboard_layout(int width, int height);

}  // namespace velmora
