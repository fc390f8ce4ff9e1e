#include "ui/dashboard_panel.h"

#include <QPainter>
#include <QResizeEvent>
#include <map>

#include "gauges/alarm_lamp.h"
#include "gauges/digital_speed_gauge.h"
#include "gauges/g_readout.h"
#include "gauges/speed_bar_gauge.h"
#include "gauges/text_gauge.h"
#include "gauges/tyre_icon.h"
#include "gauges/tyre_repeater.h"
#include "gauges/tyre_text.h"
#include "gauges/unit_outline.h"
#include "gauges/unit_selector.h"
#include "model/dashboard_layout.h"
#include "model/gauge_texts.h"
#include "ui/wave_chart.h"

namespace velmora {

namespace {

const QColor kBackdrop(27, 27, 29);
const QColor kGroupFill(35, 35, 38);
const QColor kGroupEdge(54, 54, 58);
const QColor kTopEdge(58, 58, 58);
const QColor kSpeedTextColour(38, 215, 234);

// The panel's groups on the 2009x326 design: speed, alarm lamps, tyres, readouts and chart.
constexpr QRect kGroups[] = {
    {8, 14, 322, 298}, {343, 18, 230, 296}, {608, 16, 600, 298}, {1258, 24, 722, 278}};

QString text_of(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

}  // namespace

DashboardPanel::DashboardPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("dashboard"));
    build_tyre_display();
    build_gauges();
    wave_chart_ = new WaveChart(this);
    show_ranges();  // the chart starts with the scales the menus mark
    show_speed();
    show_temperature();
    show_tyres();
    place_controls();
}

void DashboardPanel::build_gauges() {
    speed_bar_ = new SpeedBarGauge(dash_id::kSpeedBar, this);
    digital_speed_ = new DigitalSpeedGauge(dash_id::kDigitalSpeed, this);
    // The temperature leaves more room after its text than the speed does.
    speed_text_ = new TextGauge(dash_id::kSpeedText, kSpeedTextColour, 1, this);
    temperature_text_ = new TextGauge(dash_id::kTemperatureText, Qt::white, 2, this);
    g_readout_ = new GReadout(dash_id::kGReadout, this);
    for (int i = 0; i < kAlarmLampCount; ++i) {
        lamps_[i] = new AlarmLamp(dash_id::kFirstAlarm + i, i + 1, this);
    }
}

void DashboardPanel::build_tyre_display() {
    outline_ = new UnitOutline(dash_id::kUnitOutline, this);
    for (int k = 0; k < kVehicleUnits; ++k) {
        selectors_[k] = new UnitSelector(dash_id::kFirstUnitSelector + k, k + 1, this);
        selectors_[k]->on_click = [this](int unit) { select_unit(unit); };
    }
    for (int p = 0; p < kTyrePositions; ++p) {
        tyre_icons_[p] = new TyreIcon(dash_id::kFirstTyreIcon + p, this);
        tyre_texts_[p] = new TyreText(dash_id::kFirstTyreText + p, this);
    }
    repeater_ = new TyreRepeater(dash_id::kRepeater, this);
}

void DashboardPanel::set_g_range(int limit) {
    g_range_ = limit;
    show_ranges();
}

void DashboardPanel::set_speed_range(int limit) {
    speed_range_ = limit;
    show_speed();
    show_ranges();
}

void DashboardPanel::set_temperature_range(int limit) {
    temperature_range_ = limit;
    show_ranges();
}

void DashboardPanel::show_ranges() {
    WaveRanges ranges;
    ranges.g_min = -g_range_;
    ranges.g_max = g_range_;
    ranges.speed_max = speed_range_;
    ranges.temperature_max = temperature_range_;
    wave_chart_->set_ranges(ranges);
}

void DashboardPanel::set_speed_unit(int unit) {
    speed_unit_ = unit;
    show_speed();
}

void DashboardPanel::set_temperature_unit(int unit) {
    temperature_unit_ = unit;
    show_temperature();
}

void DashboardPanel::set_pressure_unit(int unit) {
    pressure_unit_ = unit;
}

void DashboardPanel::set_speed(int shown) {
    speed_ = shown;
    show_speed();
}

void DashboardPanel::set_g_values(double gx, double gy, double gz) {
    g_readout_->set_values(gx, gy, gz);
}

void DashboardPanel::set_temperature(int shown) {
    temperature_ = shown;
    show_temperature();
}

void DashboardPanel::set_alarm_lamps(const std::array<bool, kAlarmLampCount>& lamps) {
    for (int i = 0; i < kAlarmLampCount; ++i) lamps_[i]->set_on(lamps[i]);
}

void DashboardPanel::reset_tyres() {
    tyres_.reset();
    show_tyres();
}

void DashboardPanel::update_tyres(const std::array<int32_t, kTyreSummaryCount>& summary,
                                  const std::vector<TyreRecordBytes>& records) {
    tyres_.update(summary, records, tyre_units());
    show_tyres();
}

void DashboardPanel::update_tyres_legacy(const std::vector<TyreRecordBytes>& records) {
    tyres_.update_legacy(records, tyre_units());
    show_tyres();
}

void DashboardPanel::request_relayout() {
    tyres_.request_relayout();
}

void DashboardPanel::append_wave_sample(const WaveSample& sample) {
    if (wave_history_.append(sample)) wave_chart_->set_history(wave_history_);
}

void DashboardPanel::clear_wave_history() {
    wave_history_.clear();
    wave_chart_->set_history(wave_history_);
}

void DashboardPanel::show_speed() {
    speed_bar_->set_frame(speed_bar_frame(speed_, speed_range_));
    digital_speed_->set_text(text_of(digital_speed_text(speed_, speed_unit_)));
    speed_text_->set_text(text_of(speed_gauge_text(speed_, speed_unit_)));
}

void DashboardPanel::show_temperature() {
    temperature_text_->set_text(text_of(temperature_gauge_text(temperature_, temperature_unit_)));
}

// Every control compares and repaints only what changed.
void DashboardPanel::show_tyres() {
    const TyrePanelState& state = tyres_.state();
    for (int p = 0; p < kTyrePositions; ++p) {
        const TyreSlot& slot = state.tyres[p];
        tyre_icons_[p]->set_state(slot.state);
        if (tyre_icons_[p]->isHidden() == slot.visible) tyre_icons_[p]->setVisible(slot.visible);
        tyre_texts_[p]->set_lines(text_of(slot.line1), text_of(slot.line2));
    }
    for (int k = 0; k < kVehicleUnits; ++k) selectors_[k]->set_alert(state.unit_alert[k]);
    outline_->set_unit(state.outline_unit);
    repeater_->set_state(state.repeater);
}

void DashboardPanel::select_unit(int unit) {
    const bool playing = is_playing && is_playing();
    if (!tyres_.select_unit(unit, playing)) return;
    show_tyres();
    update();
}

DashboardPanel::Reading DashboardPanel::reading() const {
    Reading reading;
    reading.speed_frame = speed_bar_->frame();
    reading.digital_speed = digital_speed_->text();
    reading.speed_text = speed_text_->text();
    reading.temperature_text = temperature_text_->text();
    reading.g_rows = g_readout_->rows();
    for (int i = 0; i < kAlarmLampCount; ++i) reading.lamps[i] = lamps_[i]->is_on();
    TyrePanelState& tyres = reading.tyres;
    for (int p = 0; p < kTyrePositions; ++p) {
        tyres.tyres[p] =
            TyreSlot{tyre_icons_[p]->state(), !tyre_icons_[p]->isHidden(),
                     tyre_texts_[p]->line1().toStdString(), tyre_texts_[p]->line2().toStdString()};
    }
    for (int k = 0; k < kVehicleUnits; ++k) tyres.unit_alert[k] = selectors_[k]->alert();
    tyres.layout_types = tyres_.state().layout_types;
    tyres.current_unit = tyres_.state().current_unit;
    tyres.outline_unit = outline_->unit();
    tyres.repeater = repeater_->state();
    return reading;
}

void DashboardPanel::place_controls() {
    const std::map<int, ControlRect> rects = dashboard_layout(width(), height());
    for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const auto placed = rects.find(control->objectName().toInt());
        if (placed == rects.end()) continue;
        const ControlRect& r = placed->second;
        control->setGeometry(r.x, r.y, r.width, r.height);
    }
}

void DashboardPanel::resizeEvent(QResizeEvent* event) {
    place_controls();
    QWidget::resizeEvent(event);
}

// A dark panel with slightly lighter, framed groups, scaled like the controls.
void DashboardPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackdrop);
    painter.setRenderHint(QPainter::Antialiasing);
    const double sx = width() / static_cast<double>(kDashboardDesignWidth);
    const double sy = height() / static_cast<double>(kDashboardDesignHeight);
    const double radius = 8.0 * qMin(sx, sy);
    painter.setPen(QPen(kGroupEdge, 1.0));
    painter.setBrush(kGroupFill);
    for (const QRect& group : kGroups) {
        const QRectF area(group.x() * sx, group.y() * sy, group.width() * sx, group.height() * sy);
        painter.drawRoundedRect(area.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(kTopEdge);
    painter.drawLine(0, 0, width() - 1, 0);
}

}  // namespace velmora
