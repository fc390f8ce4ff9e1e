// The two-slot hand-over between the reader, which decodes GOPs ahead, and the presenting
// side, which shows them frame by frame. At most two GOPs are decoded ahead of the picture.
#pragma once

#include <mutex>

#include "decode/channel_sizes.h"
#include "format/frame_set.h"
#include "kivra/kivra.h"

namespace kivra {

class FrameSetPair {
  public:
    FrameSetPair();  // both slots empty

    // The slot being presented, or null when no slot holds a GOP or a marker. The slot stays
    // valid until release_current() or reset(); the caller reads it without the pair lock.
    // `sizes`, if given, receives the picture size of each of its channels.
    FrameSet* current(ChannelSizes* sizes = nullptr);
    // The presented slot becomes empty and the other one is next.
    void release_current();
    // Moves a parsed GOP into a free slot: the record is copied and the picture and audio
    // buffers change hands, so `set` comes back holding the slot's free buffers. False when
    // both slots are occupied: nothing happens and the reader waits for a release. `sizes`
    // are the channels' picture sizes, kept with it.
    bool put(FrameSet& set, const ChannelSizes& sizes = {});
    // Puts an end-of-data (1) or no-data-yet (2) marker.
    void mark(int kind);
    // Both slots empty, both indices 0 (playback restarts).
    void reset();
    // Number of slots holding a parsed GOP (state ready).
    int ready_count();

  private:
    struct Slot {
        fleet::format::FrameSetStorage set;
        ChannelSizes sizes{};
    };

    bool occupied(int slot) const { return slots_[slot].set->state >= KIVRA_FRAMESET_READY; }
    static bool is_marker(const FrameSet& set) {
        return set.state == KIVRA_FRAMESET_END_OF_DATA || set.state == KIVRA_FRAMESET_NO_DATA_YET;
    }
    void receive(int slot, FrameSet& set, const ChannelSizes& sizes);

    std::mutex lock_;
    Slot slots_[2];
    int read_ = 0;
    int write_ = 0;
};

}  // namespace kivra
