// The telemetry on screen: the display cycle twice a second while playing, the resets after
// stop and seek, and one cycle after a step while paused.
#include <QTimer>

#include "engine_bridge.h"
#include "model/telemetry_cycle.h"
#include "skin/skin_static.h"
#include "ui/dashboard_panel.h"
#include "ui/main_window.h"
#include "ui/map_view.h"

namespace velmora {

namespace {

constexpr int kCycleMs = 500;
// A step's GOP is presented a little after its result: poll the feed until its frames settle.
constexpr int kStepPollMs = 40;
constexpr int kStepPollLimit = 50;  // 2 s, then show whatever arrived

QString text_of(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

}  // namespace

void MainWindow::build_telemetry() {
    telemetry_cycle_ = std::make_unique<TelemetryCycle>(*ctx_.texts);
    telemetry_feed().forget();
    telemetry_timer_ = new QTimer(this);
    telemetry_timer_->setInterval(kCycleMs);
    connect(telemetry_timer_, &QTimer::timeout, this, &MainWindow::run_telemetry_cycle);
    step_timer_ = new QTimer(this);
    step_timer_->setInterval(kStepPollMs);
    connect(step_timer_, &QTimer::timeout, this, &MainWindow::poll_step_frames);
}

void MainWindow::telemetry_gate(bool open) {
    telemetry_cycle_->set_gate(open);
    if (!open) {
        telemetry_timer_->stop();
        return;
    }
    if (!telemetry_timer_->isActive()) telemetry_timer_->start();
    // The first cycle runs at once, after whatever reset the same report asks for.
    QMetaObject::invokeMethod(this, &MainWindow::run_telemetry_cycle, Qt::QueuedConnection);
}

void MainWindow::telemetry_reset(bool full) {
    if (full) {
        telemetry_cycle_->request_full_reset();
    } else {
        telemetry_cycle_->request_seek_reset();
    }
    if (telemetry_cycle_->gate_open()) {
        QMetaObject::invokeMethod(this, &MainWindow::run_telemetry_cycle, Qt::QueuedConnection);
    }
}

void MainWindow::telemetry_step() {
    step_frames_ = telemetry_feed().frames();
    step_polls_ = 0;
    step_timer_->start();
}

// Runs one cycle once the stepped GOP's frames have arrived and stopped coming.
void MainWindow::poll_step_frames() {
    const uint64_t frames = telemetry_feed().frames();
    const bool settled = frames != step_frames_ && frames == last_step_poll_frames_;
    last_step_poll_frames_ = frames;
    if (!settled && ++step_polls_ < kStepPollLimit) return;
    step_timer_->stop();
    if (telemetry_cycle_->gate_open()) return;  // playing again: the beat shows it
    telemetry_cycle_->set_gate(true);
    run_telemetry_cycle();
    telemetry_cycle_->set_gate(false);
}

void MainWindow::run_telemetry_cycle() {
    const TelemetryUnits units{dashboard_->speed_unit(), dashboard_->temperature_unit()};
    show_telemetry(velmora::run_telemetry_cycle(telemetry_feed(), *telemetry_cycle_, units));
    if (!telemetry_cycle_->gate_open()) telemetry_timer_->stop();
}

void MainWindow::show_telemetry(const TelemetryDisplay& display) {
    if (display.clear_map) {
        map_plate_.clear();
        map_view_->call(QStringLiteral("ClearAll_N"));
    }
    if (display.time_text) time_->set_text(text_of(*display.time_text));
    if (display.plate_text) {
        plate_->set_text(text_of(*display.plate_text));
        if (!display.clear_map) map_plate_ = *display.plate_text;
    }
    if (display.map && display.map->time_text) {
        const GpsPosition& p = display.map->position;
        map_view_->call(QStringLiteral("AddGLatLng_N"),
                        {text_of(map_plate_), text_of(*display.map->time_text),
                         text_of(p.latitude_text), text_of(p.longitude_text)});
    }
    if (display.caption) map_caption_->set_text(text_of(*display.caption));
    show_gauges(display);
    if (display.reset_tyres) {
        dashboard_->reset_tyres();
        dashboard_->request_relayout();  // the next source may have another tyre layout
    }
    if (display.tyres) {
        if (display.tyres->legacy) {
            dashboard_->update_tyres_legacy(display.tyres->records);
        } else {
            dashboard_->update_tyres(display.tyres->summary, display.tyres->records);
        }
    }
}

void MainWindow::show_gauges(const TelemetryDisplay& display) {
    if (display.g) {
        const auto& g = *display.g;
        dashboard_->set_g_values(g[0], g[1], g[2]);
    }
    if (display.speed) dashboard_->set_speed(*display.speed);
    if (display.temperature) dashboard_->set_temperature(*display.temperature);
    if (display.clear_wave_history) dashboard_->clear_wave_history();
    if (display.appended_sample) dashboard_->append_wave_sample(*display.appended_sample);
    if (display.alarm_lamps) dashboard_->set_alarm_lamps(*display.alarm_lamps);
}

}  // namespace velmora
