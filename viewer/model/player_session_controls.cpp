// The playback controls: each turns into engine commands; the state moves only with the
// engine's reports.
#include <algorithm>
#include <charconv>

#include "model/engine_time_index.h"
#include "model/player_session.h"
#include "model/seek_math.h"
#include "session_texts.h"

namespace velmora {

namespace {

using namespace session_text;

constexpr int32_t kFourScreens = 4;
constexpr int kDivisionCount = KIVRA_DIVISION_LAST_FOUR + 1;

// Levels run 1..7 and then start again at 1.
int next_fast_level(int level) {
    return (level == KIVRA_FAST_SPEED_MAX ? 0 : level) + 1;
}

}  // namespace

bool PlayerSession::is_playing_state() const {
    return state_ == PlayerState::Playing || state_ == PlayerState::Paused ||
           state_ == PlayerState::Shuttle;
}

// While a disk or card search runs the source is "open" but has nothing to play yet.
bool PlayerSession::can_play() const {
    const bool state_allows = state_ == PlayerState::Opened || state_ == PlayerState::Paused ||
                              state_ == PlayerState::Shuttle;
    return state_allows && status_ != "opening hdd.." && status_ != "opening sd..";
}

void PlayerSession::play() {
    if (can_play()) play_msg(KIVRA_CMD_PLAY);
}

void PlayerSession::pause() {
    if (state_ == PlayerState::Playing) play_msg(KIVRA_CMD_PAUSE);
}

void PlayerSession::toggle_play_pause() {
    if (state_ == PlayerState::Playing)
        pause();
    else
        play();
}

void PlayerSession::step_forward() {
    play_msg(KIVRA_CMD_STEP_FORWARD);
}
void PlayerSession::step_backward() {
    play_msg(KIVRA_CMD_STEP_BACKWARD);
}

void PlayerSession::fast_forward() {
    if (state_ != PlayerState::Playing && state_ != PlayerState::Shuttle) return;
    fast_forward_level_ = next_fast_level(fast_forward_level_);
    play_msg(KIVRA_CMD_FAST_FORWARD, fast_forward_level_);
}

void PlayerSession::fast_backward() {
    if (state_ != PlayerState::Playing && state_ != PlayerState::Shuttle) return;
    fast_backward_level_ = next_fast_level(fast_backward_level_);
    play_msg(KIVRA_CMD_FAST_BACKWARD, fast_backward_level_);
}

void PlayerSession::stop() {
    if (!is_playing_state()) return;
    // The first stop of a realtime source closes it instead; the close stops it first.
    if (connect_mode_ == kConnectModeAfterClose || realtime_stop_ ||
        engine_.zTellOpenedType() != KIVRA_SOURCE_REALTIME) {
        play_msg(KIVRA_CMD_STOP);
        return;
    }
    realtime_stop_ = true;
    close_source();
}

void PlayerSession::arrow_left() {
    if (state_ == PlayerState::Playing)
        play_msg(KIVRA_CMD_JUMP, KIVRA_JUMP_BACK);
    else if (state_ == PlayerState::Paused)
        step_backward();
}

void PlayerSession::arrow_right() {
    if (state_ == PlayerState::Playing)
        play_msg(KIVRA_CMD_JUMP, KIVRA_JUMP_AHEAD);
    else if (state_ == PlayerState::Paused)
        step_forward();
}

void PlayerSession::next_division() {
    if (engine_.zTellFullScreenIdx() != KIVRA_FULL_SCREEN_GRID)
        engine_.zSetFullScreen(KIVRA_FULL_SCREEN_GRID);
    division_ = (division_ + 1) % kDivisionCount;
    engine_.zSetDivStatus(division_);
}

void PlayerSession::select_channel(int width, int height, int x, int y) {
    const int32_t screen_count = engine_.zTellScreenNum();
    if (screen_count == KIVRA_UNKNOWN) return;
    if (engine_.zTellFullScreenIdx() != KIVRA_FULL_SCREEN_GRID) {
        engine_.zSetFullScreen(KIVRA_FULL_SCREEN_GRID);
        return;
    }
    const int32_t division =
        screen_count == kFourScreens ? KIVRA_DIVISION_ALL : engine_.zTellDivStatus();
    const int channel = channel_at(screen_count, division, width, height, x, y);
    if (channel > 0) engine_.zSetFullScreen(channel);
}

void PlayerSession::audio_on() {
    engine_.zOpenVoice();
    audio_on_ = true;
    view_.show_audio_on_button(true);
    log_text(kOpenAudio);
}

void PlayerSession::audio_off() {
    engine_.zCloseVoice();
    audio_on_ = false;
    view_.show_audio_on_button(false);
    log_text(kCloseAudio);
}

void PlayerSession::set_volume(int volume) {
    engine_.zSetVoiceVolume(std::clamp(volume, 0, 100));
}

// ---- Seeking -------------------------------------------------------------------------------

void PlayerSession::slider_pressed() {
    dragging_ = true;
}

void PlayerSession::slider_pointed(int position) {
    pointed_position_ = position;
}

void PlayerSession::slider_released(int position, int minimum, int maximum) {
    EngineTimeIndex index(engine_);
    if (const auto offset = slider_seek_offset(index, position, minimum, maximum)) seek_to(*offset);
    // Also after a failed index read: a flag left set would freeze the progress slider.
    dragging_ = false;
}

void PlayerSession::seek_to_offset_text(const std::string& decimal_offset) {
    int64_t offset = -1;
    const char* begin = decimal_offset.data();
    const char* end = begin + decimal_offset.size();
    const auto [parsed_end, error] = std::from_chars(begin, end, offset);
    if (error != std::errc() || parsed_end != end) return;
    if (offset < 0 || offset >= engine_.zTellTotalLen()) return;
    seek_to(offset);
    dragging_ = false;
}

void PlayerSession::seek_to(int64_t offset) {
    view_.telemetry_reset(false);
    if (state_ == PlayerState::Playing) {
        send_seek(offset);
        return;
    }
    seek_after_play_ = true;
    seek_offset_ = offset;
    play();
}

void PlayerSession::send_seek(int64_t offset) {
    const auto bits = static_cast<uint64_t>(offset);
    play_msg(KIVRA_CMD_SEEK, 0, static_cast<int32_t>(static_cast<uint32_t>(bits)),
             static_cast<int32_t>(static_cast<uint32_t>(bits >> 32)));
}

std::string PlayerSession::slider_tooltip() const {
    const int position = pointed_position_;
    if (position < 0 || position > 100) return {};
    if (position == 100) return slider_end_text(engine_.zTellBegTime(), engine_.zTellEndTime());
    EngineTimeIndex index(engine_);
    return slider_time_text(index, position);
}

}  // namespace velmora
