// The session's reactions to the engine's reports (moved to the GUI thread by the window).
#include <string>

#include "model/player_session.h"
#include "session_texts.h"

namespace velmora {

namespace {

using namespace session_text;

// Report codes of the engine's play callback.
namespace report {
enum Code : int {
    EndOfData = 0,
    Closed = 5,
    PlayFail = 6,
    PlayOk = 7,
    PauseFail = 8,
    PauseOk = 9,
    StepForwardFailed = 10,
    StepForwardDone = 11,
    StepBackwardFailed = 12,
    StepBackwardDone = 13,
    FastForwardFailed = 14,
    FastForwardDone = 15,
    FastBackwardFailed = 16,
    FastBackwardDone = 17,
    SeekDone = 19,
    StopFailed = 20,
    StopDone = 21,
    SnapshotFailed = 22,
    SnapshotDone = 23,
    PictureNotDrawn = 24,
};
}  // namespace report

constexpr int kErrorNoAudioDevice = 40013;
constexpr int kCheckedNoAudioDevice = 2;
constexpr int kMapRefreshOnPlay = 4;

std::string with_number(const char* prefix, long long value, const char* suffix = "") {
    return prefix + std::to_string(value) + suffix;
}

}  // namespace

void PlayerSession::on_play_event(int code, int value) {
    switch (code) {
        case report::EndOfData:
            if (screen_recording_) {
                view_.stop_screen_recording();
                screen_recording_ = false;
            }
            replay_after_stop_ = true;
            stop();
            return;
        case report::Closed:
            on_closed(value);
            return;
        case report::PlayFail:
            log_text(kPlayFail);
            return;
        case report::PlayOk:
            on_play_done();
            return;
        case report::PauseFail:
            log_text(kPauseFail);
            return;
        case report::PauseOk:
            view_.show_pause_button(false);
            set_status_text("paused..");
            view_.telemetry_gate(false);
            state_ = PlayerState::Paused;
            log_text(kPauseOk);
            return;
        case report::StepForwardFailed:
            log_text(kStepForwardFail);
            return;
        case report::StepForwardDone:
            fast_forward_level_ = 0;
            log_text(kStepForwardOk);
            return;
        case report::StepBackwardFailed:
            log_text(kStepBackwardFail);
            return;
        case report::StepBackwardDone:
            log_text(kStepBackwardOk);
            return;
        case report::FastForwardFailed:
            log_text(kFastForwardFail);
            return;
        case report::FastForwardDone:
            on_fast_done(true);
            return;
        case report::FastBackwardFailed:
            log_text(kFastBackwardFail);
            return;
        case report::FastBackwardDone:
            on_fast_done(false);
            return;
        case report::SeekDone:
            if (seek_after_play_) {
                seek_after_play_ = false;
                view_.telemetry_reset(false);
            }
            return;
        case report::StopFailed:
            log_text(kStopFail);
            return;
        case report::StopDone:
            on_stop_done();
            return;
        case report::SnapshotFailed:
            log_text(kPicCaptureFail);
            message_text(kCaptureFailMsg);
            if (snapshot_finished) snapshot_finished();
            return;
        case report::SnapshotDone:
            log_text(kPicCaptureOk);
            view_.show_message(texts_.text(kPictureSavedTo) + " " + snapshot_path_);
            if (snapshot_finished) snapshot_finished();
            return;
        case report::PictureNotDrawn:
            // No language text describes this; the log line is fixed English.
            view_.log(with_number("channel picture not drawn (", value, ")."));
            return;
        default:
            return;  // 1-4 and 18 are engine-internal; anything else is not a report
    }
}

void PlayerSession::on_play_done() {
    view_.show_pause_button(true);
    dragging_ = false;
    fast_forward_level_ = 0;
    fast_backward_level_ = 0;
    set_status_text("playing..");
    state_ = PlayerState::Playing;
    if (single_screen_) view_.request_map_refresh(kMapRefreshOnPlay);
    view_.telemetry_gate(true);
    log_text(kPlayOk);
    if (seek_after_play_) {
        seek_after_play_ = false;
        send_seek(seek_offset_);
    }
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
    view_.telemetry_gate(true);
    view_.telemetry_reset(true);
    view_.show_pause_button(false);
    view_.set_progress(0);
    set_status_text("opened..");
    state_ = PlayerState::Opened;
    log_text(kStopOk);
    if (close_after_stop_) {
        close_after_stop_ = false;
        close_source();
    }
    if (replay_after_stop_) {
        replay_after_stop_ = false;
        view_.run_later(1000, [this] {
            // A close in the meantime cancels the replay.
            if (state_ == PlayerState::Opened) play_msg(1);
        });
    }
}

void PlayerSession::on_closed(int /*value*/) {
    // Closed network links (values 3 and 4) would also reset the vehicle list entry and the
    // talkback button; neither exists in this build.
    connect_mode_ = 0;
    realtime_stop_ = false;
    division_ = 0;
    close_after_stop_ = false;
    replay_after_stop_ = false;
    seek_after_play_ = false;  // an offset into the closed source means nothing to the next one
    log_text(kCloseOk);
    set_status_text("ready..");
    state_ = PlayerState::Idle;
    run_pending_action();
}

void PlayerSession::on_disk_event(int source_type, int event) {
    const bool hard_disk = source_type == 1;
    switch (event) {
        case 1:
            set_status_text("opened..");
            log_text(hard_disk ? kOpenHddCompleted : kOpenSdCompleted);
            return;
        case 0: {
            const char* key = hard_disk ? kOpenHddFailMsg : kOpenSdFailMsg;
            log_text(key);
            message_text(key);
            return;
        }
        case 2:
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
    if (link != 0)
        on_remote_link_event(code, value);
    else
        on_realtime_link_event(code, value);
}

// The recorded-data dialog that also receives these is not part of this build; only the
// session's own share (log, close, pending open, messages) happens here.
void PlayerSession::on_remote_link_event(int code, int value) {
    switch (code) {
        case 0:
            log_text(kRecordedLinkOk);
            return;
        case 1:
            log_text(kRecordedLinkFail);
            log_socket_error(value);
            return;
        case 2:
            log_text(kRecordedBreakup);
            return;
        case 22:
            log_text(kRecordedLinkFail);
            return;
        case 24:
            log_text(kDownloadCompleted);
            close_source();
            pending_ = PendingAction::OpenDownload;
            return;
        case 25:
            log_text(kDownloadStartFail);
            return;
        case 26:
            message_text(kDownloadFailMsg);
            return;
        default:
            return;
    }
}

void PlayerSession::on_realtime_link_event(int code, int value) {
    switch (code) {
        case 0:
            set_status_text("linked,waiting..");
            log_text(kRealtimeLinkOk);
            return;
        case 1:
            log_text(kRealtimeLinkFail);
            if (value != 0) log_socket_error(value);
            if (connect_mode_ != 0 && connect_mode_ != 2) {
                close_source();
                message_text(kLinkFailMsg);
            }
            return;
        case 2:
            log_text(kRealtimeBreakup);
            if (value != 0) log_socket_error(value);
            close_source();
            message_text(kLinkBreakMsg);
            return;
        case 3:
            set_status_text(with_number("buffering:", value, "%.."));
            if (value == 100) play_msg(10);
            return;
        case 6:
            log_text(kRealtimeLinkFail);
            stop();
            message_text(kDataRequestFailMsg);
            return;
        case 10:
            stop();
            message_text(kDataRefusedMsg);
            return;
        case 98:
            set_status_text("reconnect...");
            return;
        case 99:
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
    if (error_code == kErrorNoAudioDevice && checked_value == kCheckedNoAudioDevice)
        message_text(kPlugSpeaker);
}

}  // namespace velmora
