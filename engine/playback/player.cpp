#include "playback/player.h"

#include "kivra/kivra.h"

namespace kivra {

Player::Player(PlayerEvents& events, Presenter& presenter, AudioOut& audio, std::mutex& engine_lock,
               DisplaySettings& display, GopRecorder& recorder)
    : events_(events),
      presenter_(presenter),
      audio_(audio),
      engine_lock_(engine_lock),
      display_(display),
      recorder_(recorder) {
    audio_.set_completion([this](AudioBuffer& buffer) { return on_audio_buffer(buffer); });
}

Player::~Player() {
    halt();
}

void Player::attach(StoredSource* source) {
    source_ = source;
    live_ = nullptr;
    recovery_.ended();
    recorder_.forget_source_position();
}

void Player::attach_live(LiveFeed* feed) {
    attach(nullptr);
    live_ = feed;
    live_recovery_.ended();
    live_offset_ = 0;
    std::lock_guard<std::mutex> guard(poll_lock_);
    poll_ = false;
}

void Player::halt() {
    pause_timer_.stop();
    fast_timer_.stop();
    close_output();
    end_reader();
    pair_.reset();
    status_ = KIVRA_STATUS_OPENED;
}

// ---- output -------------------------------------------------------------------------------

bool Player::start_output() {
    std::lock_guard<std::mutex> guard(output_lock_);
    return start_output_locked();
}

bool Player::start_output_locked() {
    if (!pair_) pair_ = std::make_unique<FrameSetPair>();
    pair_->reset();
    end_seen_ = false;
    reader_wake_.set();
    int checked = 0;
    int result = audio_.start(checked);
    if (result != kAudioStarted) {
        events_.error(result, 0, checked);
        return false;
    }
    output_on_ = true;
    return true;
}

void Player::close_output() {
    std::lock_guard<std::mutex> guard(output_lock_);
    close_output_locked();
}

// No completion runs once the audio output stopped, so nothing presents from the pair after.
void Player::close_output_locked() {
    output_on_ = false;
    if (audio_.is_open()) audio_.stop();
}

// Stops the sound and the reader, then steps the source back over the GOPs decoded ahead, so
// the next read starts at the oldest GOP not yet fully shown.
void Player::stop_output() {
    close_output();
    reader_wake_.reset();
    std::lock_guard<std::mutex> idle(reader_busy_);
    if (!pair_ || source_ == nullptr) return;
    std::vector<uint8_t> bytes(fleet::format::kWalkBufferSize);
    fleet::format::WalkBuffer buffer{bytes.data(), bytes.size(), 0};
    std::lock_guard<std::mutex> guard(engine_lock_);
    for (int i = pair_->ready_count(); i > 0; --i) source_->previous(buffer);
    pair_->reset();
}

// ---- timers --------------------------------------------------------------------------------

bool Player::start_timer(PeriodicTimer& timer, int period_ms, bool fast_timer) {
    return timer.start(std::chrono::milliseconds(period_ms),
                       [this, fast_timer] { on_timer_tick(fast_timer); });
}

bool Player::kill_timer(PeriodicTimer& timer, int error_code) {
    if (timer.stop()) return true;
    events_.error(error_code, 0, -1);
    return false;
}

// ---- commands ------------------------------------------------------------------------------

int Player::play() {
    if (live_ != nullptr) return play_live();
    int from = status_;
    if (from == KIVRA_STATUS_PLAYING) {
        events_.error(KIVRA_ERROR_OUTPUT_ALREADY_RUNNING);
        events_.error(KIVRA_ERROR_PLAY_OUTPUT_START);
        return KIVRA_RESULT_PLAY_FAILED;
    }
    if (from == KIVRA_STATUS_OPENED || from == KIVRA_STATUS_STOPPED) {
        if (!ensure_reader()) {
            events_.error(from == KIVRA_STATUS_OPENED ? KIVRA_ERROR_READER_FROM_OPENED
                                                      : KIVRA_ERROR_READER_FROM_STOPPED);
            return KIVRA_RESULT_PLAY_FAILED;
        }
        if (from == KIVRA_STATUS_OPENED && source_ != nullptr) {
            const ProbeResult& probe = source_->probe();
            if (!audio_.set_format({probe.sample_bits, 1, probe.sample_rate})) {
                events_.error(KIVRA_ERROR_AUDIO_FORMAT_WHILE_OPEN);
                events_.error(KIVRA_ERROR_PLAY_AUDIO_FORMAT);
                return KIVRA_RESULT_PLAY_FAILED;
            }
        }
    } else if (from == KIVRA_STATUS_PAUSED) {
        if (!kill_timer(pause_timer_, KIVRA_ERROR_PAUSE_TIMER_NOT_RUNNING)) {
            events_.error(KIVRA_ERROR_PLAY_STOP_PAUSE_TIMER);
            return KIVRA_RESULT_PLAY_FAILED;
        }
    } else if (!kill_timer(fast_timer_, KIVRA_ERROR_FAST_TIMER_NOT_RUNNING)) {
        events_.error(KIVRA_ERROR_PLAY_STOP_FAST_TIMER);
        return KIVRA_RESULT_PLAY_FAILED;
    }
    if (!start_output()) {
        events_.error(KIVRA_ERROR_PLAY_OUTPUT_START);
        status_ = KIVRA_STATUS_OPENED;
        return KIVRA_RESULT_PLAY_FAILED;
    }
    status_ = KIVRA_STATUS_PLAYING;
    return KIVRA_RESULT_PLAY_OK;
}

int Player::pause() {
    if (status_ != KIVRA_STATUS_PLAYING) {
        events_.error(KIVRA_ERROR_PAUSE_FAILED);
        return KIVRA_RESULT_PAUSE_FAILED;
    }
    stop_output();
    hold_ = true;
    shown_ = false;
    last_read_forward_ = true;
    if (!start_timer(pause_timer_, 20, false)) {
        events_.error(KIVRA_ERROR_PAUSE_TIMER_START);
        events_.error(KIVRA_ERROR_PAUSE_FAILED);
        status_ = KIVRA_STATUS_OPENED;
        return KIVRA_RESULT_PAUSE_FAILED;
    }
    status_ = KIVRA_STATUS_PAUSED;
    return KIVRA_RESULT_PAUSE_OK;
}

int Player::step(bool forward) {
    int failed = forward ? KIVRA_ERROR_STEP_FORWARD_FAILED : KIVRA_ERROR_STEP_BACKWARD_FAILED;
    if (status_ != KIVRA_STATUS_PAUSED) {
        events_.error(failed);
        return forward ? KIVRA_RESULT_STEP_FORWARD_FAILED : KIVRA_RESULT_STEP_BACKWARD_FAILED;
    }
    if (!hold_) {
        events_.error(forward ? KIVRA_ERROR_STEP_FORWARD_PENDING
                              : KIVRA_ERROR_STEP_BACKWARD_PENDING);
        events_.error(failed);
        return forward ? KIVRA_RESULT_STEP_FORWARD_FAILED : KIVRA_RESULT_STEP_BACKWARD_FAILED;
    }
    step_forward_ = forward;
    hold_ = false;
    return forward ? KIVRA_RESULT_STEP_FORWARD_OK : KIVRA_RESULT_STEP_BACKWARD_OK;
}

int Player::fast(bool forward, int speed) {
    int failed_result =
        forward ? KIVRA_RESULT_FAST_FORWARD_FAILED : KIVRA_RESULT_FAST_BACKWARD_FAILED;
    int failed = forward ? KIVRA_ERROR_FAST_FORWARD_FAILED : KIVRA_ERROR_FAST_BACKWARD_FAILED;
    if (speed < KIVRA_FAST_SPEED_MIN || speed > KIVRA_FAST_SPEED_MAX) {
        events_.error(forward ? KIVRA_ERROR_FAST_FORWARD_SPEED : KIVRA_ERROR_FAST_BACKWARD_SPEED);
        return failed_result;
    }
    int from = status_;
    if (from == KIVRA_STATUS_PLAYING) {
        stop_output();
    } else if (from == KIVRA_STATUS_FAST_FORWARD || from == KIVRA_STATUS_FAST_BACKWARD) {
        if (!kill_timer(fast_timer_, KIVRA_ERROR_FAST_TIMER_NOT_RUNNING)) {
            events_.error(failed);
            return failed_result;
        }
    } else {
        events_.error(failed);
        return failed_result;
    }
    fast_forward_ = forward;
    fast_skip_ = 1 << (speed - KIVRA_FAST_SPEED_MIN);
    if (!start_timer(fast_timer_, 500, true)) {
        events_.error(KIVRA_ERROR_FAST_TIMER_START);
        events_.error(failed);
        status_ = KIVRA_STATUS_OPENED;
        return failed_result;
    }
    status_ = forward ? KIVRA_STATUS_FAST_FORWARD : KIVRA_STATUS_FAST_BACKWARD;
    return forward ? KIVRA_RESULT_FAST_FORWARD_OK : KIVRA_RESULT_FAST_BACKWARD_OK;
}

// 0, or the error it reported (outside the engine lock: the host may call back in).
int Player::position(int64_t offset) {
    int error = KIVRA_ERROR_POSITION_NOTHING_OPEN;
    if (source_ != nullptr) {
        std::lock_guard<std::mutex> guard(engine_lock_);
        error = source_->seek(offset);
        // Damage met elsewhere is news again, and is passed from the smallest step.
        if (error == 0) recovery_.ended();
    }
    if (error != 0) events_.error(error);
    return error;
}

int Player::seek(int64_t offset) {
    int64_t length = -1;
    if (source_ != nullptr) {
        std::lock_guard<std::mutex> guard(engine_lock_);
        length = source_->is_open() ? source_->length() : -1;
    }
    if (length < 0) {
        events_.error(KIVRA_ERROR_SEEK_LENGTH_UNKNOWN);
        return KIVRA_RESULT_SEEK_FAILED;
    }
    if (offset < 0 || offset > length) {
        events_.error(KIVRA_ERROR_SEEK_OUT_OF_RANGE);
        return KIVRA_RESULT_SEEK_FAILED;
    }
    int from = status_;
    if (from == KIVRA_STATUS_STOPPED) {
        events_.error(KIVRA_ERROR_SEEK_RESTART);
        return KIVRA_RESULT_SEEK_FAILED;
    }
    if (from == KIVRA_STATUS_PLAYING) {
        // Drop what was decoded ahead, so the picture follows the seek at once.
        close_output();
        reader_wake_.reset();
        std::lock_guard<std::mutex> idle(reader_busy_);
        if (position(offset) != 0) {
            events_.error(KIVRA_ERROR_SEEK_WHILE_PLAYING);
            start_output();
            return KIVRA_RESULT_SEEK_FAILED;
        }
        if (!start_output()) {
            events_.error(KIVRA_ERROR_SEEK_RESTART);
            status_ = KIVRA_STATUS_OPENED;
            return KIVRA_RESULT_SEEK_FAILED;
        }
        return KIVRA_RESULT_SEEK_OK;
    }
    if (from == KIVRA_STATUS_PAUSED || from == KIVRA_STATUS_FAST_FORWARD ||
        from == KIVRA_STATUS_FAST_BACKWARD) {
        PeriodicTimer& timer = from == KIVRA_STATUS_PAUSED ? pause_timer_ : fast_timer_;
        if (!kill_timer(timer, from == KIVRA_STATUS_PAUSED ? KIVRA_ERROR_PAUSE_TIMER_NOT_RUNNING
                                                           : KIVRA_ERROR_FAST_TIMER_NOT_RUNNING)) {
            events_.error(KIVRA_ERROR_SEEK_RESTART);
            return KIVRA_RESULT_SEEK_FAILED;
        }
        status_ = KIVRA_STATUS_OPENED;
    }
    int position_error = from == KIVRA_STATUS_OPENED   ? KIVRA_ERROR_SEEK_FROM_OPENED
                         : from == KIVRA_STATUS_PAUSED ? KIVRA_ERROR_SEEK_WHILE_PAUSED
                                                       : KIVRA_ERROR_SEEK_WHILE_FAST;
    if (position(offset) != 0) {
        events_.error(position_error);
        return KIVRA_RESULT_SEEK_FAILED;
    }
    if (from == KIVRA_STATUS_OPENED && source_ != nullptr) {
        // As play does: the output must run at the recording's rate to keep the pace.
        const ProbeResult& probe = source_->probe();
        audio_.set_format({probe.sample_bits, 1, probe.sample_rate});
    }
    if (!ensure_reader() || !start_output()) {
        events_.error(KIVRA_ERROR_SEEK_RESTART);
        return KIVRA_RESULT_SEEK_FAILED;
    }
    status_ = KIVRA_STATUS_PLAYING;
    return KIVRA_RESULT_SEEK_OK;
}

int Player::stop() {
    if (live_ != nullptr) return stop_live();
    int from = status_;
    bool ok = true;
    if (from == KIVRA_STATUS_PLAYING) {
        stop_output();
    } else if (from == KIVRA_STATUS_PAUSED) {
        ok = kill_timer(pause_timer_, KIVRA_ERROR_PAUSE_TIMER_NOT_RUNNING);
    } else if (from == KIVRA_STATUS_FAST_FORWARD || from == KIVRA_STATUS_FAST_BACKWARD) {
        ok = kill_timer(fast_timer_, KIVRA_ERROR_FAST_TIMER_NOT_RUNNING);
    } else {
        ok = false;
    }
    if (!ok) {
        events_.error(KIVRA_ERROR_STOP_FAILED);
        return KIVRA_RESULT_STOP_FAILED;
    }
    position(0);
    end_reader();  // joined before the pair it writes to goes away
    pair_.reset();
    presenter_.repaint();
    status_ = KIVRA_STATUS_STOPPED;
    return KIVRA_RESULT_STOP_OK;
}

}  // namespace kivra
