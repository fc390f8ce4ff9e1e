// The vehicle dashboard below the control bar: speed as bar graph, large number and text, the
// G-sensor readout, the temperature, ten alarm lamps, the tyre display of up to three vehicle
// units with their selectors and repeater, and the history chart. Values arrive already in the
// display units; the panel only formats them and repaints what changed. GUI thread only.
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "model/telemetry_cycle.h"
#include "model/tyre_panel.h"
#include "model/wave_history.h"

namespace velmora {

class AlarmLamp;
class DigitalSpeedGauge;
class GReadout;
class SpeedBarGauge;
class TextGauge;
class TyreIcon;
class TyreRepeater;
class TyreText;
class UnitOutline;
class UnitSelector;
class WaveChart;

class DashboardPanel : public QWidget {
    Q_OBJECT
  public:
    // What the controls show.
    struct Reading {
        int speed_frame = 0;
        QString digital_speed, speed_text, temperature_text;
        std::array<QString, 3> g_rows;
        std::array<bool, kAlarmLampCount> lamps{};
        TyrePanelState tyres;
    };

    explicit DashboardPanel(QWidget* parent = nullptr);

    // The chart's scales (the speed range also sets the bar graph's top).
    void set_g_range(int limit);
    void set_speed_range(int limit);
    void set_temperature_range(int limit);

    void set_speed_unit(int unit);        // 1 = miles per hour
    void set_temperature_unit(int unit);  // 1 = Fahrenheit
    void set_pressure_unit(int unit);     // 1 = kPa; tyres follow at their next update
    int speed_unit() const { return speed_unit_; }
    int temperature_unit() const { return temperature_unit_; }
    int pressure_unit() const { return pressure_unit_; }

    void set_speed(int shown);  // already in the display unit
    void set_g_values(double gx, double gy, double gz);
    void set_temperature(int shown);  // already in the display unit
    void set_alarm_lamps(const std::array<bool, kAlarmLampCount>& lamps);

    void reset_tyres();
    // The layout types of units 1..3, then their status flags; records packed unit after unit.
    void update_tyres(const std::array<int32_t, kTyreSummaryCount>& summary,
                      const std::vector<TyreRecordBytes>& records);
    void update_tyres_legacy(const std::vector<TyreRecordBytes>& records);
    void request_relayout();  // a new source starts

    void append_wave_sample(const WaveSample& sample);
    void clear_wave_history();

    // Unit selector clicks act only while this says the engine plays.
    std::function<bool()> is_playing;

    Reading reading() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void build_gauges();
    void build_tyre_display();
    void place_controls();
    void show_speed();
    void show_temperature();
    void show_ranges();
    void show_tyres();
    void select_unit(int unit);
    TyreUnits tyre_units() const { return {temperature_unit_, pressure_unit_}; }

    int g_range_ = 2;
    int speed_range_ = 150;
    int temperature_range_ = 50;
    int speed_unit_ = 0;
    int temperature_unit_ = 0;
    int pressure_unit_ = 0;
    int speed_ = 0;
    int temperature_ = 0;
    TyrePanel tyres_;
    WaveHistory wave_history_;  // the chart gets a copy after every change

    UnitOutline* outline_ = nullptr;  // first, so the tyre icons lie over it
    SpeedBarGauge* speed_bar_ = nullptr;
    DigitalSpeedGauge* digital_speed_ = nullptr;
    TextGauge* speed_text_ = nullptr;
    TextGauge* temperature_text_ = nullptr;
    GReadout* g_readout_ = nullptr;
    std::array<AlarmLamp*, kAlarmLampCount> lamps_{};
    std::array<UnitSelector*, kVehicleUnits> selectors_{};
    std::array<TyreIcon*, kTyrePositions> tyre_icons_{};
    std::array<TyreText*, kTyrePositions> tyre_texts_{};
    TyreRepeater* repeater_ = nullptr;
    WaveChart* wave_chart_ = nullptr;
};

}  // namespace velmora
