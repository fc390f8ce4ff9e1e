#include "playback/frame_set_pair.h"

#include <cstring>

namespace kivra {

FrameSetPair::FrameSetPair() = default;

FrameSet* FrameSetPair::current(ChannelSizes* sizes) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!occupied(0) && !occupied(1)) return nullptr;
    if (sizes != nullptr) *sizes = slots_[read_].sizes;
    return &slots_[read_].set.get();
}

void FrameSetPair::release_current() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!occupied(0) && !occupied(1)) return;
    FrameSet& slot = slots_[read_].set.get();
    slot.state =
        slot.state == KIVRA_FRAMESET_READY ? KIVRA_FRAMESET_EMPTY : KIVRA_FRAMESET_EMPTY_NEW;
    read_ = 1 - read_;
}

bool FrameSetPair::put(FrameSet& set, const ChannelSizes& sizes) {
    std::lock_guard<std::mutex> guard(lock_);
    int slot;
    if (occupied(0) && occupied(1)) return false;
    if (!occupied(0) && !occupied(1)) {
        read_ = write_ = slot = 0;
    } else {
        slot = is_marker(slots_[write_].set.get()) ? write_ : 1 - write_;
    }
    receive(slot, set, sizes);
    write_ = slot;
    return true;
}

void FrameSetPair::mark(int kind) {
    std::lock_guard<std::mutex> guard(lock_);
    if (occupied(0) && occupied(1)) return;
    if (!occupied(0) && !occupied(1)) {
        read_ = write_ = 0;
        slots_[0].set->state = kind;
        return;
    }
    if (is_marker(slots_[write_].set.get())) return;
    write_ = 1 - write_;
    slots_[write_].set->state = kind;
}

void FrameSetPair::reset() {
    std::lock_guard<std::mutex> guard(lock_);
    slots_[0].set->state = slots_[1].set->state = KIVRA_FRAMESET_EMPTY_NEW;
    read_ = write_ = 0;
}

int FrameSetPair::ready_count() {
    std::lock_guard<std::mutex> guard(lock_);
    return (slots_[0].set->state == KIVRA_FRAMESET_READY) +
           (slots_[1].set->state == KIVRA_FRAMESET_READY);
}

// Both sides own buffers of the same sizes, so handing them over saves copying every picture
// of the GOP once more.
void FrameSetPair::receive(int slot, FrameSet& set, const ChannelSizes& sizes) {
    slots_[slot].sizes = sizes;
    FrameSet& to = slots_[slot].set.get();
    uint8_t* pictures[KIVRA_MAX_CHANNELS];
    std::memcpy(pictures, to.picture_buffer, sizeof pictures);
    uint8_t* audio = to.audio_buffer;
    std::memcpy(&to, &set, sizeof to);
    std::memcpy(set.picture_buffer, pictures, sizeof pictures);
    set.audio_buffer = audio;
    to.state = KIVRA_FRAMESET_READY;
    to.current_frame = 0;
}

}  // namespace kivra
