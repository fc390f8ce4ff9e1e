// Ownership of a FrameSet's buffers: eight picture buffers and one audio buffer, allocated
// once at creation so parsing a GOP never allocates.
#pragma once

#include <memory>

#include "kivra/kivra.h"

namespace fleet::format {

class FrameSetStorage {
  public:
    FrameSetStorage();  // state KIVRA_FRAMESET_EMPTY_NEW
    ~FrameSetStorage();
    FrameSetStorage(const FrameSetStorage&) = delete;
    FrameSetStorage& operator=(const FrameSetStorage&) = delete;

    FrameSet& get() { return *set_; }
    const FrameSet& get() const { return *set_; }
    FrameSet* operator->() { return set_.get(); }
    const FrameSet* operator->() const { return set_.get(); }

  private:
    void release_buffers();

    std::unique_ptr<FrameSet> set_;
};

// Clears every field but the buffer pointers.
void reset_frame_set(FrameSet& set);

}  // namespace fleet::format
