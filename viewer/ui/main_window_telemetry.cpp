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
// A step's GOP is presented a little after its result (or, with a busy window, before it is
// read): one cycle at once, and one more when the feed records the next frame.
constexpr int kStepPollMs = 40;
constexpr int kStepPollLimit = 25;  // 1 s

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
    step_timer_->stop();  // playing: the beat shows every GOP
    if (!telemetry_timer_->isActive()) telemetry_timer_->start();
    // The first cycle runs at once, after whatever reset the same report asks for.
    QMetaObject::invokeMethod(this, &MainWindow::run_telemetry_cycle, Qt::QueuedConnection);
}

// A stop clears the dashboard at once. A seek's reset waits for the beat: the engine seeks on
// its own thread, and clearing now could let a frame from before the seek in again.
void MainWindow::telemetry_reset(bool full) {
    if (!full) {
        telemetry_cycle_->request_seek_reset();
        return;
    }
    step_timer_->stop();
    telemetry_cycle_->request_full_reset();
    if (telemetry_cycle_->gate_open()) {
        QMetaObject::invokeMethod(this, &MainWindow::run_telemetry_cycle, Qt::QueuedConnection);
    }
}

void MainWindow::telemetry_step() {
    step_frames_ = telemetry_feed().frames();
    step_polls_ = 0;
    run_paused_cycle();
    step_timer_->start();
}

void MainWindow::poll_step_frames() {
    const bool arrived = telemetry_feed().frames() != step_frames_;
    if (!arrived && ++step_polls_ < kStepPollLimit) return;
    step_timer_->stop();
    if (arrived) run_paused_cycle();
}

// One cycle with the gate closed, as pausing left it.
void MainWindow::run_paused_cycle() {
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
        last_map_point_.clear();
        map_view_->call(QStringLiteral("ClearAll_N"));
    }
    if (display.time_text) time_->set_text(text_of(*display.time_text));
    if (display.plate_text) {
        plate_->set_text(text_of(*display.plate_text));
        if (!display.clear_map) map_plate_ = *display.plate_text;
    }
    if (display.map && display.map->time_text)
        show_map_point(display.map->position, *display.map->time_text);
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

// Twice a second the same GOP is often still on screen: the track gets each point once.
void MainWindow::show_map_point(const GpsPosition& position, const std::string& time_text) {
    const QStringList point{text_of(map_plate_), text_of(time_text),
                            text_of(position.latitude_text), text_of(position.longitude_text)};
    if (point == last_map_point_) return;
    last_map_point_ = point;
    map_view_->call(QStringLiteral("AddGLatLng_N"), point);
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
