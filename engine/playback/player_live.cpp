// Playing a realtime feed: the recorder sends GOPs as it records them, so there is nothing to
// position, pause or step through; play starts the stream and stop ends it. The reader takes
// what the feed holds, and when it holds nothing yet the presenting side keeps asking.
#include <algorithm>
#include <utility>

#include "format/gop_header.h"
#include "kivra/kivra.h"
#include "playback/player.h"
#include "playback/reader_state.h"

namespace kivra {

int Player::play_live() {
    const int from = status_;
    if (from != KIVRA_STATUS_OPENED && from != KIVRA_STATUS_STOPPED) {
        return KIVRA_RESULT_PLAY_FAILED;
    }
    const bool restart = from == KIVRA_STATUS_STOPPED;
    // The host hears why the link failed from the link itself.
    if (restart && !live_.load()->restart_stream()) return KIVRA_RESULT_PLAY_FAILED;
    if (!ensure_reader()) {
        events_.error(restart ? KIVRA_ERROR_REALTIME_READER_FROM_STOPPED
                              : KIVRA_ERROR_REALTIME_READER_FROM_OPENED);
        return KIVRA_RESULT_PLAY_FAILED;
    }
    if (!start_output()) {
        reader_wake_.reset();  // nothing presents: the reader must not take GOPs meanwhile
        events_.error(restart ? KIVRA_ERROR_REALTIME_OUTPUT_FROM_STOPPED
                              : KIVRA_ERROR_REALTIME_OUTPUT_FROM_OPENED);
        status_ = KIVRA_STATUS_OPENED;
        return KIVRA_RESULT_PLAY_FAILED;
    }
    status_ = KIVRA_STATUS_PLAYING;
    return KIVRA_RESULT_PLAY_OK;
}

int Player::stop_live() {
    if (status_ != KIVRA_STATUS_PLAYING) {
        events_.error(KIVRA_ERROR_STOP_FAILED);
        return KIVRA_RESULT_STOP_FAILED;
    }
    stop_output();
    status_ = KIVRA_STATUS_STOPPED;
    end_reader();  // before the stream stops: no take runs while the link closes
    live_.load()->stop_stream();
    presenter_.repaint();
    pair_.reset();
    return KIVRA_RESULT_STOP_OK;
}

// Set and woken under the poll lock, so a reader that found nothing either sees the poll or
// is woken by it.
void Player::poll() {
    if (live_ == nullptr) return;
    std::lock_guard<std::mutex> guard(poll_lock_);
    poll_ = true;
    reader_wake_.set();
}

int Player::take_live(fleet::format::WalkBuffer& buffer) {
    std::lock_guard<std::mutex> guard(engine_lock_);
    buffer.length = 0;
    LiveFeed* feed = live_;
    if (feed == nullptr) return LiveFeed::kClosedOrTooLarge;
    size_t length = 0;
    const int result = feed->take(buffer.data, buffer.capacity, length);
    if (result == LiveFeed::kTaken) buffer.length = std::min(length, buffer.capacity);
    return result;
}

// One take from the feed: a GOP into the pair, or the no-data marker that has the presenting
// side wake this thread again. A failed take (the link closed, or a GOP too large for the
// buffer was dropped) is reported once for a run of them, and the reader waits a little longer
// after each, so a closed link costs neither a core nor a flood of reports.
std::chrono::milliseconds Player::read_live_round(ReaderState& r) {
    if (r.held) return hand_over_held(r);
    // A poll may wake this thread while both slots wait to be shown: a GOP taken now would
    // have nowhere to go.
    if (pair_->ready_count() == 2) {
        reader_wake_.reset();
        return {};
    }
    const int result = take_live(r.buffer);
    if (result == LiveFeed::kNoData) {
        live_recovery_.ended();
        pair_->mark(KIVRA_FRAMESET_NO_DATA_YET);
        std::lock_guard<std::mutex> guard(poll_lock_);
        if (!std::exchange(poll_, false)) reader_wake_.reset();
        return {};
    }
    if (result != LiveFeed::kTaken) {
        if (live_recovery_.failed()) {
            events_.play_event(KIVRA_EVENT_READ_FAILED, KIVRA_READ_FAILED_SOURCE);
        }
        return live_recovery_.backoff();
    }
    live_recovery_.ended();
    r.gop_start = live_offset_;
    live_offset_ += fleet::format::round_up_block(static_cast<int64_t>(r.buffer.length));
    if (r.bank.parse(r.buffer.data, r.buffer.length, r.set.get(), &r.sizes) != 0) {
        events_.play_event(KIVRA_EVENT_READ_FAILED, KIVRA_READ_FAILED_PARSE);
        return {};
    }
    if (sound_format_changes(r.set.get())) {
        r.held = true;
        return hand_over_held(r);
    }
    hand_over_live(r);
    return {};
}

void Player::hand_over_live(ReaderState& r) {
    pair_->put(r.set.get(), r.sizes);
    if (pair_->ready_count() == 2) reader_wake_.reset();
    record(r.buffer, r.set->gop_time, r.gop_start);
}

bool Player::sound_format_changes(const FrameSet& set) const {
    if (!set.has_audio) return false;
    const AudioFormat playing = audio_.format();
    return set.audio_sample_rate != playing.rate || set.audio_sample_bits != playing.bits;
}

// The sound is the clock: a GOP whose audio has another rate or sample size than the output
// plays would run at the wrong pace, so the output is opened again in the GOP's format. The GOP
// waits until every frame decoded before it was shown (the presenting side wakes this thread
// when it frees a slot, and on every buffer once the pair is empty), so none is lost to the
// change. No pause is needed between closing and opening: stopping the output returns only
// after its last completion ran and its buffers were freed, and opening starts from nothing.
std::chrono::milliseconds Player::hand_over_held(ReaderState& r) {
    if (pair_->ready_count() > 0) {
        reader_wake_.reset();
        return {};
    }
    r.held = false;
    {
        std::lock_guard<std::mutex> guard(output_lock_);
        // Closed meanwhile: playback is stopping, and the next play opens the output again.
        if (output_on_) {
            const FrameSet& set = r.set.get();
            close_output_locked();
            if (!audio_.set_format(
                    {set.audio_sample_bits, audio_.format().channels, set.audio_sample_rate})) {
                events_.error(KIVRA_ERROR_PLAY_AUDIO_FORMAT);
            }
            if (!start_output_locked()) reader_wake_.reset();
        }
    }
    hand_over_live(r);
    return {};
}

}  // namespace kivra
