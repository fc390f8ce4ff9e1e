// The main window's source state and its reactions to the engine's reports and to the
// playback controls, without any widget: the window renders it through SessionView.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "lang/language_table.h"
#include "model/capture_area.h"
#include "model/device_access.h"
#include "model/engine_api.h"

namespace velmora {

enum class PlayerState { Idle = 0, Opened = 1, Playing = 2, Paused = 3, Shuttle = 4 };
// What to do when the engine next reports the source closed.
enum class PendingAction {
    None = 0,
    OpenDownload = 1,
    OfferKeepDownload = 2,
    OpenChosenFile = 3,
    SearchDisk = 4,
    SearchCard = 5,
    StartRealtime = 6,
    CloseWindow = 7,
    OpenDiskImage = 8,
    OpenCardImage = 9,
    OpenRecordedData = 10  // connect the recorded-data dialog to its recorder
};

// Connect modes of a realtime source as zOpenEx takes them (kivra.h does not name them): 5
// until the first realtime play, 0 after every close.
inline constexpr int kConnectModeAtStart = 5;
inline constexpr int kConnectModeAfterClose = 0;
// After a failed realtime link, modes 0 and 2 leave the source open.
inline bool closes_on_link_failure(int connect_mode) {
    return connect_mode != 0 && connect_mode != 2;
}

// The recorder a network play runs for: its 6-byte address and its name as the engine takes
// them (UTF-8, zero-filled, 32 bytes).
struct SelectedVehicle {
    std::array<uint8_t, 6> address{};
    std::array<char, 32> name{};

    SelectedVehicle() = default;
    SelectedVehicle(const std::array<uint8_t, 6>& vehicle_address, std::string_view name_utf8);
    std::string name_text() const;
    bool operator==(const SelectedVehicle&) const = default;
};

// A realtime play the operator confirmed in the parameter dialog.
struct RealtimeRequest {
    LiveParams params{};
    std::array<uint8_t, 6> address{};
    std::string name;  // UTF-8
    uint8_t capability = 0;
    int open_links = 0;
};

// What the session needs from the window. All calls happen on the GUI thread.
class SessionView {
  public:
    virtual ~SessionView() = default;
    virtual void set_status(
        const std::string& text) = 0;  // fixed texts: "ready..", "playing..", "FF X2" ...
    virtual void show_pause_button(bool pause_shown) = 0;        // play and pause share one place
    virtual void show_audio_on_button(bool audio_on_shown) = 0;  // 10021 shown (audio on) vs 10027
    virtual void set_progress(int position) = 0;                 // progress slider position
    virtual void show_message(const std::string& text) = 0;      // a message box
    virtual bool ask_ok_cancel(const std::string& text) = 0;
    virtual void log(const std::string& text) = 0;     // one operation-log line
    virtual void request_map_refresh(int reason) = 0;  // message 1129
    virtual void run_later(int milliseconds,
                           std::function<void()> action) = 0;  // never blocks the GUI
    virtual void request_close_window() = 0;                   // pending action 7
    virtual void show_recording_buttons(bool recording) = 0;   // 10034 if recording, else 10020
    virtual void telemetry_gate(bool open) = 0;                // signal / reset the telemetry gate
    virtual void telemetry_reset(bool full) = 0;               // full reset (stop) or seek reset
    virtual void telemetry_step() = 0;  // paused: show the telemetry of the GOP a step presents
    virtual void clear_picture() = 0;   // nothing of the source shows
    // The vehicle list's mark: connected (with its connection tag) or not.
    virtual void mark_vehicle(const SelectedVehicle& vehicle, bool on, int connection_type) = 0;
};

// Lives on the GUI thread; engine reports must be moved there before they reach it. Actions
// given to run_later capture the session, so it must outlive them (the window owns both).
class PlayerSession {
  public:
    // `devices` answers before every search whether it could read anything.
    PlayerSession(const EngineApi& engine, SessionView& view, const LanguageTable& texts,
                  const DeviceAccess& devices = system_device_access());
    PlayerState state() const;
    PendingAction pending_action() const;
    std::string status_text() const;  // last text given to set_status
    int fast_forward_level() const;
    int fast_backward_level() const;
    int division() const;
    bool dragging() const;  // read by the progress poller thread (atomic)
    bool audio_on() const;
    // Source opening and closing
    void open_file(const std::string& dvr_path);  // the path chosen in the file dialog
    void search_disk(bool sd_card);               // hard disk (false) or SD card (true)
    // A disk or card image file (or a device path) opened directly instead of searched for;
    // the engine reports the outcome as it does a search's.
    void open_image(const std::string& image_path, bool sd_card);
    void close_source();          // close / stop search
    bool request_close_window();  // true: the window may close now (Idle)
    // Engine reports, already moved to the GUI thread
    void on_play_event(int code, int value);
    void on_disk_event(int source_type, int event);
    void on_link_event(int link, int code, int value);
    void on_error(int error_code, int system_error, int checked_value);
    // Playback controls
    void play();
    void pause();
    void toggle_play_pause();  // Space
    void step_forward();
    void step_backward();
    void fast_forward();
    void fast_backward();
    void stop();
    void arrow_left();
    void arrow_right();
    void next_division();  // channel button
    void select_channel(int width, int height, int x,
                        int y);  // double click in the video area (client coords)
    void audio_on();
    void audio_off();
    void set_volume(int volume);
    void slider_pressed();
    void slider_pointed(int position);
    void slider_released(int position, int minimum, int maximum);
    void seek_to_offset_text(const std::string& decimal_offset);  // message 1140
    // The map page's clicks: a time on the track, a quick index record of a search result.
    void seek_to_time(uint32_t time);
    void play_quick_entry(uint32_t record);
    std::string slider_tooltip() const;  // from the last pointed position

    // Snapshots and screen recording (player_session_capture.cpp). `now` is the local time
    // the file names are made of.
    // Asks the engine for a JPEG of `area` (canvas pixels) in `directory`, named after the
    // vehicle and `now`, with `time_stamp` written on it (0: none). Nothing for an empty area
    // or when no free name is left.
    void take_snapshot(const CaptureArea& area, uint32_t time_stamp, const std::string& directory,
                       const std::tm& now);
    // A free path for a snapshot the window writes itself (the whole screen); empty when none
    // is left. The path is the one the result message quotes.
    std::string prepare_snapshot_path(const std::string& directory, const std::tm& now);
    // The outcome of a snapshot the window wrote itself: the engine's result would say the same.
    void snapshot_written(bool written);
    // Starts recording what plays into a new file pair in `directory`: only when no recording
    // runs and a play was reported since the last stop, or a realtime source is open. When the
    // engine cannot create the files the buttons go back and a message says so.
    void start_screen_recording(const std::string& directory, const std::tm& now);
    // Finishes a running recording (the stop button, the end of the data).
    void stop_screen_recording();
    bool screen_recording() const;

    // Additions beyond the window's core contract.
    // Play start refreshes the main map only in single-screen layout (the default).
    void set_single_screen(bool single_screen);
    // The picture path of the snapshot in flight, quoted in the "saved" message.
    void set_snapshot_path(const std::string& path);
    // Called after a snapshot result, so the window frees what it prepared for it.
    std::function<void()> snapshot_finished;
    // Called when the engine reports the source closed, before any action parked for that
    // moment runs: what was read from the source no longer describes what is open.
    std::function<void()> source_closed;
    // The file pair of the last finished download (opened by pending action 1, offered by 2).
    void set_downloaded_pair(const std::string& dvr_path, const std::string& inx_path);
    // The connect mode of the running realtime source.
    int connect_mode() const;
    // Whether a seek waits for the next "play ok", and its byte offset.
    std::optional<int64_t> pending_seek() const;

    // Network play (player_session_network.cpp).
    // The configuration's "RunMode": chooses connect modes and is the realtime fallback flag.
    void set_run_mode(int run_mode);
    // The connector handed to the engine for relayed links (unbound_connector until set).
    void set_connector(KivraConnector connector);
    // Before a realtime play's dialog: whatever is open is stopped and closed, and the
    // vehicle list and the selected vehicle are reset as a closed realtime link would leave
    // them, even when nothing was open.
    void prepare_realtime_play();
    // The parameters were confirmed: the connect mode is chosen and the source opened, or,
    // while the old source is still closing, the play waits for its close.
    void start_realtime_play(const RealtimeRequest& request);
    // Runs `connect` (the recorded-data dialog's connect step) at once when nothing is open,
    // else after the open source has closed.
    void request_recorded_play(std::function<void()> connect);
    void select_vehicle(const SelectedVehicle& vehicle);
    void clear_selected_vehicle();
    const SelectedVehicle& selected_vehicle() const { return selected_; }
    // The parameters of the running (or last prepared) realtime play.
    const LiveParams& live_params() const { return live_params_; }
    bool marks_vehicle_after_play() const { return mark_vehicle_after_play_; }

  private:
    void set_status_text(const std::string& text);
    void log_text(const char* key);
    void message_text(const char* key);
    void play_msg(KivraCommand command, intptr_t first = 0, int32_t second = 0, int32_t third = 0);
    void send_seek(int64_t offset);
    void seek_to(int64_t offset);
    bool can_play() const;
    bool is_playing_state() const;

    void open_chosen_file();
    bool open_file_pair(const std::string& dvr_path, const std::string& inx_path);
    bool search_allowed();
    void start_search(bool sd_card);
    void start_image(bool sd_card);
    void begin_disk_open(bool sd_card);
    void open_download();
    void offer_keep_download();
    void run_pending_action();

    void on_closed(int value);
    void on_stop_done();
    void on_play_done();
    void on_fast_done(bool forward);
    void on_remote_link_event(int code, int value);
    void open_realtime();
    void forget_network_vehicle(int close_value);
    void mark_played_vehicle();
    void run_parked_realtime();
    void run_parked_recorded();
    void on_realtime_link_event(int code, int value);
    void log_socket_error(int value);
    void on_snapshot_result(bool saved);
    bool may_start_screen_recording() const;
    std::string vehicle_name() const;

    const EngineApi& engine_;
    SessionView& view_;
    const LanguageTable& texts_;
    const DeviceAccess& devices_;

    PlayerState state_ = PlayerState::Idle;
    PendingAction pending_ = PendingAction::None;
    std::string status_;
    int fast_forward_level_ = 0;
    int fast_backward_level_ = 0;
    int division_ = 0;
    std::atomic<bool> dragging_{false};
    bool audio_on_ = true;
    bool close_after_stop_ = false;
    bool replay_after_stop_ = false;
    bool seek_after_play_ = false;
    int64_t seek_offset_ = 0;
    bool screen_recording_ = false;
    bool played_since_stop_ = false;  // a play was reported after the last stop or open
    bool single_screen_ = true;
    int connect_mode_ = kConnectModeAtStart;
    bool realtime_stop_ = false;
    int pointed_position_ = 0;
    std::string chosen_path_;
    std::string image_path_;
    std::string snapshot_path_;
    std::string downloaded_dvr_;
    std::string downloaded_inx_;
    // Network play
    int run_mode_ = 0;
    KivraConnector connector_;
    SelectedVehicle selected_;
    LiveParams live_params_{};
    bool mark_vehicle_after_play_ = false;
    RealtimeRequest parked_realtime_;
    int parked_connect_mode_ = 0;
    std::function<void()> parked_recorded_connect_;
};

}  // namespace velmora
