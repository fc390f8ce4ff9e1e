// Snapshots and screen recording: the names of their files, the commands to the engine and the
// recording buttons' state.
#include <array>
#include <cstring>
#include <string>

#include "model/capture_names.h"
#include "model/player_session.h"
#include "session_texts.h"

namespace velmora {

namespace {

using namespace session_text;

constexpr std::string_view kJpegExtension = ".jpg";
constexpr std::string_view kDvrExtension = ".dvr";
constexpr std::string_view kInxExtension = ".inx";
constexpr size_t kCarIdBytes = 16;

}  // namespace

std::string PlayerSession::vehicle_name() const {
    std::array<char, kCarIdBytes> id{};
    if (engine_.zTellCarId(id.data()) == KIVRA_UNKNOWN) return kUnknownVehicle;
    return std::string(id.data(), strnlen(id.data(), id.size()));
}

std::string PlayerSession::prepare_snapshot_path(const std::string& directory, const std::tm& now) {
    const std::string base =
        unused_base_path(directory, snapshot_stem(vehicle_name(), now), {kJpegExtension});
    snapshot_path_ = base.empty() ? std::string() : base + std::string(kJpegExtension);
    return snapshot_path_;
}

void PlayerSession::take_snapshot(const CaptureArea& area, uint32_t time_stamp,
                                  const std::string& directory, const std::tm& now) {
    if (area.empty()) return;
    const std::string path = prepare_snapshot_path(directory, now);
    if (path.empty()) return on_snapshot_result(false);
    // The engine copies the rectangle and the path before zPlayMSG returns.
    const std::array<int32_t, 4> rect = area.rect();
    engine_.zPlayMSG(KIVRA_CMD_SNAPSHOT, reinterpret_cast<intptr_t>(rect.data()),
                     static_cast<int32_t>(time_stamp), 0, path.c_str());
}

void PlayerSession::snapshot_written(bool written) {
    on_snapshot_result(written);
}

void PlayerSession::on_snapshot_result(bool saved) {
    if (saved) {
        log_text(kPicCaptureOk);
        view_.show_message(texts_.text(kPictureSavedTo) + " " + snapshot_path_);
    } else {
        log_text(kPicCaptureFail);
        message_text(kCaptureFailMsg);
    }
    if (snapshot_finished) snapshot_finished();
}

bool PlayerSession::screen_recording() const {
    return screen_recording_;
}

bool PlayerSession::may_start_screen_recording() const {
    if (screen_recording_) return false;
    return played_since_stop_ || engine_.zTellOpenedType() == KIVRA_SOURCE_REALTIME;
}

void PlayerSession::start_screen_recording(const std::string& directory, const std::tm& now) {
    if (!may_start_screen_recording()) return;
    log_text(kOpenScreenCapture);
    screen_recording_ = true;
    view_.show_recording_buttons(true);
    const std::string base =
        unused_base_path(directory, recording_stem(now), {kDvrExtension, kInxExtension});
    if (!base.empty() && engine_.zSetRecord(base.c_str(), 1)) return;
    // Nothing records, so nothing may look as if it did.
    screen_recording_ = false;
    view_.show_recording_buttons(false);
    log_text(kScreenCaptureFail);
    message_text(kRecordingFileFailed);
}

void PlayerSession::stop_screen_recording() {
    if (!screen_recording_) return;
    screen_recording_ = false;
    engine_.zSetRecord(nullptr, 0);
    view_.show_recording_buttons(false);
    log_text(kCloseScreenCapture);
}

}  // namespace velmora
