// Presenting frames: one frame per finished audio buffer in normal play, one GOP's key
// frames per timer tick while paused, stepping or fast.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "decode/decoder_bank.h"
#include "decode/yv12_crop.h"
#include "kivra/kivra.h"
#include "playback/frame_audio.h"
#include "playback/player.h"

namespace kivra {
namespace {

constexpr PictureSize kFallbackSize{352, 280};  // CIF without the recorder's top rows

// Which cell channel c goes to, or false when it is not shown.
bool choose_cell(int c, int channels, int full_screen, int division, int& layout, int& position) {
    if (full_screen > 0) {
        layout = 1;
        position = 0;
        return c + 1 == full_screen;
    }
    if (channels == 8) {
        if (division == 1 || division == 2) {
            int first = division == 1 ? 0 : 4;
            layout = 4;
            position = c - first;
            return c >= first && c < first + 4;
        }
        layout = 9;
        position = c;
        return true;
    }
    // Recordings with more channels than the grid holds show their first eight.
    layout = channels > 8 ? 9 : channels;
    position = c;
    return true;
}

}  // namespace

// The size channel c is drawn at: its own in this GOP; else the size it was last drawn at, so
// a GOP in which none of its pictures decoded shows a black cell with its label rather than
// nothing; else CIF, the smallest size recorders write.
PictureSize Player::drawing_size(int c, const ChannelSizes& sizes) {
    PictureSize& drawn = drawn_sizes_[static_cast<size_t>(c)];
    if (sizes[static_cast<size_t>(c)].known()) drawn = sizes[static_cast<size_t>(c)];
    return drawn.known() ? drawn : kFallbackSize;
}

void Player::present_frame(const FrameSet& set, const ChannelSizes& sizes, int frame,
                           bool key_frames) {
    int channels = std::min(set.channel_count, KIVRA_MAX_CHANNELS);
    int full_screen = display_.full_screen, division = display_.division;
    presenter_.begin_frame();
    for (int c = 0; c < channels; ++c) {
        if (!set.present[c]) continue;
        int layout = 0, position = 0;
        if (!choose_cell(c, set.channel_count, full_screen, division, layout, position)) continue;
        const PictureSize size = drawing_size(c, sizes);
        int k = key_frames ? set.key_frame_index[c] : frame;
        // A picture of another size than the channel's (its size changed within the GOP) would
        // be read with the wrong rows: it shows black instead.
        const uint8_t* picture = nullptr;
        if (k >= 0 && k < KIVRA_MAX_FRAMES && set.picture_size[c][k] > 0 &&
            static_cast<size_t>(set.picture_size[c][k]) == yv12_size(size.width, size.height)) {
            picture = set.picture_buffer[c] + set.picture_offset[c][k];
        }
        char label[16];
        std::snprintf(label, sizeof label, "C%d", c + 1);
        presenter_.set_label(label, size.width - 40, size.height - 20);
        if (!presenter_.present(layout, position, picture, size.width, size.height)) {
            events_.play_event(KIVRA_EVENT_DRAW_FAILED, 0);
        }
    }
    presenter_.end_frame();
}

bool Player::on_audio_buffer(AudioBuffer& buffer) {
    buffer.length = 0;
    FrameSetPair* pair = pair_.get();
    if (pair == nullptr) return true;
    ChannelSizes sizes;
    FrameSet* set = pair->current(&sizes);
    if (set == nullptr || set->state == KIVRA_FRAMESET_NO_DATA_YET) {
        // Nothing decoded yet: make sure the reader is on it.
        reader_wake_.set();
        return true;
    }
    if (set->state == KIVRA_FRAMESET_END_OF_DATA) {
        if (!end_seen_.exchange(true)) events_.end_of_data();
        return false;
    }
    int k = set->current_frame;
    if (set->channel_count != display_.screen_count) display_.screen_count = set->channel_count;
    fill_frame_audio(*set, k, audio_.format(), display_.voice_on, display_.gain, buffer);
    present_frame(*set, sizes, k, false);
    events_.frame_info(*set, k);
    set->current_frame = k + 1;
    if (set->current_frame >= set->frames_per_channel) {
        pair->release_current();
        reader_wake_.set();
    }
    return true;
}

// A GOP moved over forwards leaves the position after it, backwards at its start: a step in
// the other direction first passes over the GOP on screen, so every step shows a new GOP.
// A read that fails moves the position on past the failed block, as normal play does, so the
// next tick does not fail on it again; `report` is set for the first failure of a stretch.
int Player::read_for_timer(bool fast_timer, fleet::format::WalkBuffer& buffer, bool& report) {
    report = false;
    std::lock_guard<std::mutex> guard(engine_lock_);
    if (source_ == nullptr) return fleet::format::kWalkNotOpen;
    int result = fleet::format::kWalkNotOpen;
    bool forward = true;
    if (fast_timer) {
        forward = fast_forward_;
        result = forward ? source_->skip_forward(fast_skip_, buffer)
                         : source_->skip_backward(fast_skip_, buffer);
    } else {
        forward = hold_ ? true : step_forward_.load();
        bool turn = forward != last_read_forward_ && shown_;
        last_read_forward_ = forward;
        if (forward) {
            result = turn ? source_->skip_forward(1, buffer) : source_->next(buffer);
        } else {
            result = turn ? source_->skip_backward(1, buffer) : source_->previous(buffer);
        }
    }
    if (result != fleet::format::kWalkReadError) {
        recovery_.ended();
        return result;
    }
    report = recovery_.failed();
    return recovery_.move_past(*source_, forward) ? result : fleet::format::kWalkEnd;
}

void Player::on_timer_tick(bool fast_timer) {
    std::lock_guard<std::mutex> presenting(audio_.lock());
    bool stepping = !fast_timer && !hold_;
    if (!fast_timer && !stepping && shown_) {
        // The paused picture is on screen; draw it again only when the layout changed.
        if (redraw_.exchange(false) && timer_set_) {
            present_frame(timer_set_->get(), timer_sizes_, 0, true);
        }
        return;
    }

    if (!timer_set_) {
        timer_set_ = std::make_unique<fleet::format::FrameSetStorage>();
        timer_bytes_.resize(fleet::format::kWalkBufferSize);
    }
    fleet::format::WalkBuffer buffer{timer_bytes_.data(), timer_bytes_.size(), 0};
    bool report = false;
    int result = read_for_timer(fast_timer, buffer, report);
    if (stepping) hold_ = true;
    if (report) events_.play_event(KIVRA_EVENT_READ_FAILED, KIVRA_READ_FAILED_SOURCE);

    if (result == fleet::format::kWalkRead) {
        // A fresh decoder bank: any GOP's key frames decode without history.
        DecoderBank bank;
        FrameSet& set = timer_set_->get();
        if (bank.parse(buffer.data, buffer.length, set, &timer_sizes_) != 0) {
            // The failed parse left the set half written: a redraw must not show it.
            timer_set_.reset();
            events_.play_event(KIVRA_EVENT_READ_FAILED, KIVRA_READ_FAILED_PARSE);
            return;
        }
        shown_ = true;
        if (set.channel_count != display_.screen_count) display_.screen_count = set.channel_count;
        present_frame(set, timer_sizes_, 0, true);
        events_.frame_info(set, 0);
    } else if (result == fleet::format::kWalkEnd) {
        events_.play_event(KIVRA_EVENT_END_OF_DATA, 0);
    }
}

}  // namespace kivra
