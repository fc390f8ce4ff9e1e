#include "format/frame_set.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace kivra {
namespace {

// Decoding writes a GOP's pictures across tens of megabytes; with 4 KiB pages every picture
// touches a hundred pages that the TLB no longer holds. Huge pages, where the system grants
// them, make the copy into the frame set a little cheaper; nothing depends on getting them.
constexpr size_t kHugePage = size_t{1} << 21;

uint8_t* allocate_picture_buffer() {
    static_assert(KIVRA_PICTURE_CAPACITY % kHugePage == 0);
    void* buffer = std::aligned_alloc(kHugePage, KIVRA_PICTURE_CAPACITY);
    if (buffer == nullptr) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
    madvise(buffer, KIVRA_PICTURE_CAPACITY, MADV_HUGEPAGE);
#endif
    return static_cast<uint8_t*>(buffer);
}

}  // namespace

FrameSetStorage::FrameSetStorage() : set_(std::make_unique<FrameSet>()) {
    std::memset(set_.get(), 0, sizeof(FrameSet));
    try {
        for (auto& buffer : set_->picture_buffer) buffer = allocate_picture_buffer();
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
    for (auto* buffer : set_->picture_buffer) std::free(buffer);
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

}  // namespace kivra
