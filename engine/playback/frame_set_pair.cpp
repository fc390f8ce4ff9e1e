#include "playback/frame_set_pair.h"

#include <algorithm>
#include <cstring>

namespace kivra {

FrameSetPair::FrameSetPair() = default;

FrameSet* FrameSetPair::current() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!occupied(0) && !occupied(1)) return nullptr;
    return &slots_[read_].get();
}

void FrameSetPair::release_current() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!occupied(0) && !occupied(1)) return;
    FrameSet& slot = slots_[read_].get();
    slot.state = slot.state == KIVRA_FRAMESET_READY ? KIVRA_FRAMESET_EMPTY : KIVRA_FRAMESET_EMPTY_NEW;
    read_ = 1 - read_;
}

bool FrameSetPair::put(const FrameSet& set) {
    std::lock_guard<std::mutex> guard(lock_);
    int slot;
    if (occupied(0) && occupied(1)) return false;
    if (!occupied(0) && !occupied(1)) {
        read_ = write_ = slot = 0;
    } else {
        slot = is_marker(slots_[write_].get()) ? write_ : 1 - write_;
    }
    receive(slot, set);
    write_ = slot;
    return true;
}

void FrameSetPair::mark(int kind) {
    std::lock_guard<std::mutex> guard(lock_);
    if (occupied(0) && occupied(1)) return;
    if (!occupied(0) && !occupied(1)) {
        read_ = write_ = 0;
        slots_[0]->state = kind;
        return;
    }
    if (is_marker(slots_[write_].get())) return;
    write_ = 1 - write_;
    slots_[write_]->state = kind;
}

void FrameSetPair::reset() {
    std::lock_guard<std::mutex> guard(lock_);
    slots_[0]->state = slots_[1]->state = KIVRA_FRAMESET_EMPTY_NEW;
    read_ = write_ = 0;
}

int FrameSetPair::ready_count() {
    std::lock_guard<std::mutex> guard(lock_);
    return (slots_[0]->state == KIVRA_FRAMESET_READY) + (slots_[1]->state == KIVRA_FRAMESET_READY);
}

// Copies the record and only the picture and audio bytes in use into the slot's own buffers.
void FrameSetPair::receive(int slot, const FrameSet& set) {
    FrameSet& to = slots_[slot].get();
    uint8_t* pictures[KIVRA_MAX_CHANNELS];
    std::memcpy(pictures, to.picture_buffer, sizeof pictures);
    uint8_t* audio = to.audio_buffer;
    std::memcpy(&to, &set, sizeof to);
    std::memcpy(to.picture_buffer, pictures, sizeof pictures);
    to.audio_buffer = audio;

    int frames = std::clamp(set.frames_per_channel, 0, KIVRA_MAX_FRAMES);
    for (int c = 0; c < KIVRA_MAX_CHANNELS; ++c) {
        if (!set.present[c]) continue;
        int32_t used = 0;
        for (int k = 0; k < frames; ++k) {
            used = std::max(used, set.picture_offset[c][k] + set.picture_size[c][k]);
        }
        used = std::clamp(used, 0, KIVRA_PICTURE_CAPACITY);
        std::memcpy(to.picture_buffer[c], set.picture_buffer[c], static_cast<size_t>(used));
    }
    if (set.has_audio && frames > 0) {
        int32_t used = set.audio_chunk_offset[frames - 1] + set.audio_chunk_length[frames - 1];
        used = std::clamp(used, 0, KIVRA_AUDIO_CAPACITY);
        std::memcpy(to.audio_buffer, set.audio_buffer, static_cast<size_t>(used));
    }
    to.state = KIVRA_FRAMESET_READY;
    to.current_frame = 0;
}

}  // namespace kivra
