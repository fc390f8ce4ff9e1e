// A SessionView that records what the session asks of the window.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fake_engine.h"
#include "model/player_session.h"

namespace velmora::test {

class RecordingView : public SessionView {
  public:
    void set_status(const std::string& text) override { statuses.push_back(text); }
    void show_pause_button(bool pause_shown) override { pause_button.push_back(pause_shown); }
    void show_audio_on_button(bool audio_on_shown) override {
        audio_button.push_back(audio_on_shown);
    }
    void set_progress(int position) override { progress.push_back(position); }
    void show_message(const std::string& text) override { messages.push_back(text); }
    bool ask_ok_cancel(const std::string& text) override {
        questions.push_back(text);
        return answer_ok;
    }
    void log(const std::string& text) override { logs.push_back(text); }
    void request_map_refresh(int reason) override { map_refreshes.push_back(reason); }
    void run_later(int milliseconds, std::function<void()> action) override {
        later.emplace_back(milliseconds, std::move(action));
    }
    void request_close_window() override { ++close_requests; }
    void show_recording_buttons(bool recording) override {
        // Ordered against the engine's calls, so tests can see what came first.
        fake_engine().calls.emplace_back(recording ? "buttons_recording" : "buttons_idle");
    }
    void telemetry_gate(bool open) override { gates.push_back(open); }
    void telemetry_reset(bool full) override { resets.push_back(full); }
    void telemetry_step() override { ++telemetry_steps; }
    void clear_picture() override { ++pictures_cleared; }
    void mark_vehicle(const SelectedVehicle& vehicle, bool on, int connection_type) override {
        vehicle_marks.push_back({vehicle, on, connection_type});
    }

    // Runs the delayed actions as their timers would, oldest first.
    void run_delayed() {
        auto due = std::move(later);
        later.clear();
        for (auto& [ms, action] : due) action();
    }

    void forget() { *this = RecordingView{answer_ok}; }

    explicit RecordingView(bool ok = true) : answer_ok(ok) {}

    bool answer_ok;
    std::vector<std::string> statuses;
    std::vector<bool> pause_button;
    std::vector<bool> audio_button;
    std::vector<int> progress;
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::vector<std::string> logs;
    std::vector<int> map_refreshes;
    std::vector<std::pair<int, std::function<void()>>> later;
    int close_requests = 0;
    std::vector<bool> gates;
    std::vector<bool> resets;
    int pictures_cleared = 0;
    int telemetry_steps = 0;
    struct VehicleMark {
        SelectedVehicle vehicle;
        bool on;
        int connection_type;
        bool operator==(const VehicleMark&) const = default;
    };
    std::vector<VehicleMark> vehicle_marks;
};

}  // namespace velmora::test
