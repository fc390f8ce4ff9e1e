#include "playback/player.h"

#include "playback/error_codes.h"

namespace kivra {

Player::Player(PlayerEvents& events, Presenter& presenter, AudioOut& audio,
               std::mutex& engine_lock, DisplaySettings& display, GopRecorder& recorder)
    : events_(events),
      presenter_(presenter),
      audio_(audio),
      engine_lock_(engine_lock),
      display_(display),
      recorder_(recorder) {
    audio_.set_completion([this](AudioBuffer& buffer) { return on_audio_buffer(buffer); });
}

Player::~Player() { halt(); }

void Player::attach(StoredSource* source) { source_ = source; }

void Player::halt() {
    pause_timer_.stop();
    fast_timer_.stop();
    if (audio_.is_open()) audio_.stop();
    end_reader();
    pair_.reset();
    status_ = kStatusOpened;
}

// ---- output -------------------------------------------------------------------------------

bool Player::start_output() {
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
    return true;
}

// Stops the sound and the reader, then steps the source back over the GOPs decoded ahead, so
// the next read starts at the oldest GOP not yet fully shown.
void Player::stop_output() {
    if (audio_.is_open()) audio_.stop();
    reader_wake_.reset();
    std::lock_guard<std::mutex> idle(reader_busy_);
    if (!pair_ || source_ == nullptr) return;
    std::vector<uint8_t> bytes(kWalkBufferSize);
    WalkBuffer buffer{bytes.data(), bytes.size(), 0};
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
    int from = status_;
    if (from == kStatusPlaying) {
        events_.error(kErrOutputAlreadyOpen);
        events_.error(kErrPlayOutputStart);
        return kResultPlayFailed;
    }
    if (from == kStatusOpened || from == kStatusStopped) {
        if (!ensure_reader()) {
            events_.error(from == kStatusOpened ? kErrReaderFromOpened : kErrReaderFromStopped);
            return kResultPlayFailed;
        }
        if (from == kStatusOpened && source_ != nullptr) {
            const ProbeResult& probe = source_->probe();
            if (!audio_.set_format({probe.sample_bits, 1, probe.sample_rate})) {
                events_.error(kErrAudioFormatWhileOpen);
                events_.error(kErrPlayAudioFormat);
                return kResultPlayFailed;
            }
        }
    } else if (from == kStatusPaused) {
        if (!kill_timer(pause_timer_, kErrPauseTimerNotRunning)) {
            events_.error(kErrPlayStopPauseTimer);
            return kResultPlayFailed;
        }
    } else if (!kill_timer(fast_timer_, kErrFastTimerNotRunning)) {
        events_.error(kErrPlayStopFastTimer);
        return kResultPlayFailed;
    }
    if (!start_output()) {
        events_.error(kErrPlayOutputStart);
        status_ = kStatusOpened;
        return kResultPlayFailed;
    }
    status_ = kStatusPlaying;
    return kResultPlayed;
}

int Player::pause() {
    if (status_ != kStatusPlaying) {
        events_.error(kErrPauseFailed);
        return kResultPauseFailed;
    }
    stop_output();
    hold_ = true;
    shown_ = false;
    last_read_forward_ = true;
    if (!start_timer(pause_timer_, 20, false)) {
        events_.error(kErrPauseTimerStart);
        events_.error(kErrPauseFailed);
        status_ = kStatusOpened;
        return kResultPauseFailed;
    }
    status_ = kStatusPaused;
    return kResultPaused;
}

int Player::step(bool forward) {
    int failed = forward ? kErrStepForwardFailed : kErrStepBackwardFailed;
    if (status_ != kStatusPaused) {
        events_.error(failed);
        return forward ? kResultStepForwardFailed : kResultStepBackwardFailed;
    }
    if (!hold_) {
        events_.error(forward ? kErrStepForwardPending : kErrStepBackwardPending);
        events_.error(failed);
        return forward ? kResultStepForwardFailed : kResultStepBackwardFailed;
    }
    step_forward_ = forward;
    hold_ = false;
    return forward ? kResultSteppedForward : kResultSteppedBackward;
}

int Player::fast(bool forward, int speed) {
    int failed_result = forward ? kResultFastForwardFailed : kResultFastBackwardFailed;
    int failed = forward ? kErrFastForwardFailed : kErrFastBackwardFailed;
    if (speed < 1 || speed > 7) {
        events_.error(forward ? kErrFastForwardSpeed : kErrFastBackwardSpeed);
        return failed_result;
    }
    int from = status_;
    if (from == kStatusPlaying) {
        stop_output();
    } else if (from == kStatusFastForward || from == kStatusFastBackward) {
        if (!kill_timer(fast_timer_, kErrFastTimerNotRunning)) {
            events_.error(failed);
            return failed_result;
        }
    } else {
        events_.error(failed);
        return failed_result;
    }
    fast_forward_ = forward;
    fast_skip_ = 1 << (speed - 1);
    if (!start_timer(fast_timer_, 500, true)) {
        events_.error(kErrFastTimerStart);
        events_.error(failed);
        status_ = kStatusOpened;
        return failed_result;
    }
    status_ = forward ? kStatusFastForward : kStatusFastBackward;
    return forward ? kResultFastForward : kResultFastBackward;
}

int Player::position(int64_t offset) {
    if (source_ == nullptr) return kErrPositionNothingOpen;
    std::lock_guard<std::mutex> guard(engine_lock_);
    int error = source_->seek(offset);
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
        events_.error(kErrSeekLengthUnknown);
        return kResultSeekFailed;
    }
    if (offset < 0 || offset > length) {
        events_.error(kErrSeekOutOfRange);
        return kResultSeekFailed;
    }
    int from = status_;
    if (from == kStatusStopped) {
        events_.error(kErrSeekRestart);
        return kResultSeekFailed;
    }
    if (from == kStatusPlaying) {
        // Drop what was decoded ahead, so the picture follows the seek at once.
        if (audio_.is_open()) audio_.stop();
        reader_wake_.reset();
        std::lock_guard<std::mutex> idle(reader_busy_);
        if (position(offset) != 0) {
            events_.error(kErrSeekWhilePlaying);
            start_output();
            return kResultSeekFailed;
        }
        if (!start_output()) {
            events_.error(kErrSeekRestart);
            status_ = kStatusOpened;
            return kResultSeekFailed;
        }
        return kResultSeeked;
    }
    if (from == kStatusPaused || from == kStatusFastForward || from == kStatusFastBackward) {
        PeriodicTimer& timer = from == kStatusPaused ? pause_timer_ : fast_timer_;
        if (!kill_timer(timer, from == kStatusPaused ? kErrPauseTimerNotRunning
                                                       : kErrFastTimerNotRunning)) {
            events_.error(kErrSeekRestart);
            return kResultSeekFailed;
        }
        status_ = kStatusOpened;
    }
    int position_error = from == kStatusOpened ? kErrSeekFromOpened
                         : from == kStatusPaused ? kErrSeekWhilePaused
                                                 : kErrSeekWhileFast;
    if (position(offset) != 0) {
        events_.error(position_error);
        return kResultSeekFailed;
    }
    if (from == kStatusOpened && source_ != nullptr) {
        // As play does: the output must run at the recording's rate to keep the pace.
        const ProbeResult& probe = source_->probe();
        audio_.set_format({probe.sample_bits, 1, probe.sample_rate});
    }
    if (!ensure_reader() || !start_output()) {
        events_.error(kErrSeekRestart);
        return kResultSeekFailed;
    }
    status_ = kStatusPlaying;
    return kResultSeeked;
}

int Player::stop() {
    int from = status_;
    bool ok = true;
    if (from == kStatusPlaying) {
        stop_output();
    } else if (from == kStatusPaused) {
        ok = kill_timer(pause_timer_, kErrPauseTimerNotRunning);
    } else if (from == kStatusFastForward || from == kStatusFastBackward) {
        ok = kill_timer(fast_timer_, kErrFastTimerNotRunning);
    } else {
        ok = false;
    }
    if (!ok) {
        events_.error(kErrStopFailed);
        return kResultStopFailed;
    }
    position(0);
    end_reader();  // joined before the pair it writes to goes away
    pair_.reset();
    presenter_.repaint();
    status_ = kStatusStopped;
    return kResultStopped;
}

}  // namespace kivra
