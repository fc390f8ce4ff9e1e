// The session's reactions to the engine's reports (moved to the GUI thread by the window).
#include <string>

#include "model/player_session.h"
#include "session_texts.h"

namespace velmora {

namespace {

using namespace session_text;

constexpr int kMapRefreshOnPlay = 4;
// The realtime link's prebuffering reaches this percentage before play is polled.
constexpr int kPrebufferedPercent = 100;

std::string with_number(const char* prefix, long long value, const char* suffix = "") {
    return prefix + std::to_string(value) + suffix;
}

}  // namespace

void PlayerSession::on_play_event(int code, int value) {
    switch (code) {
        case KIVRA_EVENT_END_OF_DATA:
            stop_screen_recording();
            replay_after_stop_ = true;
            stop();
            return;
        case KIVRA_RESULT_CLOSE_OK:
            on_closed(value);
            return;
        case KIVRA_RESULT_PLAY_FAILED:
            log_text(kPlayFail);
            mark_vehicle_after_play_ = false;
            return;
        case KIVRA_RESULT_PLAY_OK:
            on_play_done();
            return;
        case KIVRA_RESULT_PAUSE_FAILED:
            log_text(kPauseFail);
            return;
        case KIVRA_RESULT_PAUSE_OK:
            view_.show_pause_button(false);
            set_status_text("paused..");
            view_.telemetry_gate(false);
            state_ = PlayerState::Paused;
            log_text(kPauseOk);
            return;
        case KIVRA_RESULT_STEP_FORWARD_FAILED:
            log_text(kStepForwardFail);
            return;
        case KIVRA_RESULT_STEP_FORWARD_OK:
            fast_forward_level_ = 0;
            view_.telemetry_step();
            log_text(kStepForwardOk);
            return;
        case KIVRA_RESULT_STEP_BACKWARD_FAILED:
            log_text(kStepBackwardFail);
            return;
        case KIVRA_RESULT_STEP_BACKWARD_OK:
            view_.telemetry_step();
            log_text(kStepBackwardOk);
            return;
        case KIVRA_RESULT_FAST_FORWARD_FAILED:
            log_text(kFastForwardFail);
            return;
        case KIVRA_RESULT_FAST_FORWARD_OK:
            on_fast_done(true);
            return;
        case KIVRA_RESULT_FAST_BACKWARD_FAILED:
            log_text(kFastBackwardFail);
            return;
        case KIVRA_RESULT_FAST_BACKWARD_OK:
            on_fast_done(false);
            return;
        case KIVRA_RESULT_SEEK_OK:
            if (seek_after_play_) {
                seek_after_play_ = false;
                view_.telemetry_reset(false);
            }
            return;
        case KIVRA_RESULT_STOP_FAILED:
            log_text(kStopFail);
            return;
        case KIVRA_RESULT_STOP_OK:
            on_stop_done();
            return;
        case KIVRA_RESULT_SNAPSHOT_FAILED:
            on_snapshot_result(false);
            return;
        case KIVRA_RESULT_SNAPSHOT_OK:
            on_snapshot_result(true);
            return;
        case KIVRA_EVENT_DRAW_FAILED:
            // No language text describes this; the log line is fixed English.
            view_.log(with_number("channel picture not drawn (", value, ")."));
            return;
        default:
            return;  // read failures, close and seek failures, jumps: nothing to show
    }
}

void PlayerSession::on_play_done() {
    view_.show_pause_button(true);
    dragging_ = false;
    fast_forward_level_ = 0;
    fast_backward_level_ = 0;
    set_status_text("playing..");
    state_ = PlayerState::Playing;
    played_since_stop_ = true;
    if (single_screen_) view_.request_map_refresh(kMapRefreshOnPlay);
    view_.telemetry_gate(true);
    log_text(kPlayOk);
    if (pending_ == PendingAction::CloseWindow) {
        // The window was closed while the play was on its way: the engine keeps only its
        // latest command, so the close sent then may have been overtaken. Close again.
        seek_after_play_ = false;
        close_source();
        return;
    }
    if (seek_after_play_) {
        seek_after_play_ = false;
        send_seek(seek_offset_);
    }
    mark_played_vehicle();
}

void PlayerSession::on_fast_done(bool forward) {
    int& other_level = forward ? fast_backward_level_ : fast_forward_level_;
    const int level = forward ? fast_forward_level_ : fast_backward_level_;
    other_level = 0;
    set_status_text(with_number(forward ? "FF X" : "FB X", 1LL << level));
    state_ = PlayerState::Shuttle;
    view_.show_pause_button(false);
    log_text(forward ? kFastForwardOk : kFastBackwardOk);
}

void PlayerSession::on_stop_done() {
    view_.clear_picture();
    view_.telemetry_gate(true);
    view_.telemetry_reset(true);
    view_.show_pause_button(false);
    view_.set_progress(0);
    set_status_text("opened..");
    state_ = PlayerState::Opened;
    played_since_stop_ = false;
    log_text(kStopOk);
    if (close_after_stop_) {
        close_after_stop_ = false;
        close_source();
    }
    if (replay_after_stop_) {
        replay_after_stop_ = false;
        view_.run_later(1000, [this] {
            // A close in the meantime cancels the replay.
            if (state_ == PlayerState::Opened) play_msg(KIVRA_CMD_PLAY);
        });
    }
}

// This build has no talkback component, so its button stays hidden and nothing stops it here.
void PlayerSession::on_closed(int value) {
    forget_network_vehicle(value);
    mark_vehicle_after_play_ = false;
    connect_mode_ = kConnectModeAfterClose;
    realtime_stop_ = false;
    division_ = 0;
    close_after_stop_ = false;
    replay_after_stop_ = false;
    seek_after_play_ = false;  // an offset into the closed source means nothing to the next one
    played_since_stop_ = false;
    view_.clear_picture();
    log_text(kCloseOk);
    set_status_text("ready..");
    state_ = PlayerState::Idle;
    if (source_closed) source_closed();
    run_pending_action();
}

void PlayerSession::on_disk_event(int source_type, int event) {
    const bool hard_disk = source_type == KIVRA_SOURCE_DISK;
    switch (event) {
        case KIVRA_DISK_OPENED:
            set_status_text("opened..");
            log_text(hard_disk ? kOpenHddCompleted : kOpenSdCompleted);
            return;
        case KIVRA_DISK_OPEN_FAILED: {
            const char* key = hard_disk ? kOpenHddFailMsg : kOpenSdFailMsg;
            log_text(key);
            message_text(key);
            return;
        }
        case KIVRA_DISK_REMOVED:
            // A report overtaken by the operator's own close says nothing new.
            if (state_ == PlayerState::Idle) return;
            close_source();
            log_text(hard_disk ? kHddRemovedLog : kSdRemovedLog);
            message_text(hard_disk ? kHddRemovedMsg : kSdRemovedMsg);
            return;
        default:
            return;
    }
}

void PlayerSession::log_socket_error(int value) {
    view_.log(with_number("Wsock Error: ", value));
}

void PlayerSession::on_link_event(int link, int code, int value) {
    if (link != KIVRA_LINK_REALTIME)
        on_remote_link_event(code, value);
    else
        on_realtime_link_event(code, value);
}

// The session's share of the recorded-data link's reports; the recorded-data dialog takes its
// own (rows, status line, messages) from the window.
void PlayerSession::on_remote_link_event(int code, int value) {
    switch (code) {
        case KIVRA_LINK_CONNECTED:
            log_text(kRecordedLinkOk);
            return;
        case KIVRA_LINK_CONNECT_FAILED:
            log_text(kRecordedLinkFail);
            log_socket_error(value);
            return;
        case KIVRA_LINK_CLOSED:
            log_text(kRecordedBreakup);
            return;
        case KIVRA_LINK_REQUEST_REFUSED:
            log_text(kRecordedLinkFail);
            return;
        case KIVRA_LINK_DOWNLOAD_DONE:
            log_text(kDownloadCompleted);
            // The remote link is open without a state of its own: the session is idle then.
            if (state_ == PlayerState::Idle)
                play_msg(KIVRA_CMD_CLOSE);
            else
                close_source();
            pending_ = PendingAction::OpenDownload;
            return;
        case KIVRA_LINK_DOWNLOAD_REFUSED:
            log_text(kDownloadStartFail);
            return;
        case KIVRA_LINK_DATA_REQUEST_FAILED:
            message_text(kDownloadFailMsg);
            return;
        default:
            return;
    }
}

void PlayerSession::on_realtime_link_event(int code, int value) {
    switch (code) {
        case KIVRA_LINK_CONNECTED:
            set_status_text("linked,waiting..");
            log_text(kRealtimeLinkOk);
            return;
        case KIVRA_LINK_CONNECT_FAILED:
            log_text(kRealtimeLinkFail);
            if (value != 0) log_socket_error(value);
            if (closes_on_link_failure(connect_mode_)) {
                close_source();
                message_text(kLinkFailMsg);
            }
            return;
        case KIVRA_LINK_CLOSED:
            log_text(kRealtimeBreakup);
            if (value != 0) log_socket_error(value);
            close_source();
            message_text(kLinkBreakMsg);
            return;
        case KIVRA_LINK_PREBUFFERING:
            set_status_text(with_number("buffering:", value, "%.."));
            if (value == kPrebufferedPercent) play_msg(KIVRA_CMD_POLL);
            return;
        case KIVRA_LINK_START_REFUSED:
            log_text(kRealtimeLinkFail);
            stop();
            message_text(kDataRequestFailMsg);
            return;
        case KIVRA_LINK_START_DENIED:
            stop();
            message_text(kDataRefusedMsg);
            return;
        case KIVRA_LINK_RECONNECTING:
            set_status_text("reconnect...");
            return;
        case KIVRA_LINK_RECONNECT_FAILED:
            set_status_text("connection failed...");
            return;
        default:
            return;  // 11-13 address a NAT connector this build does not have
    }
}

void PlayerSession::on_error(int error_code, int system_error, int checked_value) {
    view_.log("ErrorCode: " + std::to_string(error_code) +
              "; Windows ErrorCode: " + std::to_string(system_error) +
              "; CheckedValue: " + std::to_string(checked_value) + ".");
    // The engine ended the recording itself (a full disk): the buttons must not claim one runs.
    if (error_code == KIVRA_ERROR_RECORD_WRITE) stop_screen_recording();
    if (error_code == KIVRA_ERROR_OUTPUT_NO_DEVICE &&
        checked_value == KIVRA_CHECKED_NO_AUDIO_DEVICE)
        message_text(kPlugSpeaker);
}

}  // namespace velmora
