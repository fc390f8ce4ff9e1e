#include "format/frame_set.h"

#include <cstring>
#include <new>

namespace fleet::format {

FrameSetStorage::FrameSetStorage() : set_(std::make_unique<FrameSet>()) {
    std::memset(set_.get(), 0, sizeof(FrameSet));
    try {
        for (auto& buffer : set_->picture_buffer) buffer = new uint8_t[KIVRA_PICTURE_CAPACITY];
        set_->audio_buffer = new uint8_t[KIVRA_AUDIO_CAPACITY];
    } catch (...) {
        release_buffers();
        throw;
    }
    set_->state = KIVRA_FRAMESET_EMPTY_NEW;
}

FrameSetStorage::~FrameSetStorage() {
    release_buffers();
}

void FrameSetStorage::release_buffers() {
    for (auto* buffer : set_->picture_buffer) delete[] buffer;
    delete[] set_->audio_buffer;
}

void reset_frame_set(FrameSet& set) {
    uint8_t* pictures[KIVRA_MAX_CHANNELS];
    std::memcpy(pictures, set.picture_buffer, sizeof pictures);
    uint8_t* audio = set.audio_buffer;
    std::memset(&set, 0, sizeof set);
    std::memcpy(set.picture_buffer, pictures, sizeof pictures);
    set.audio_buffer = audio;
}

}  // namespace fleet::format
