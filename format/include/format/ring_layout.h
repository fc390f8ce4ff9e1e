// A recorder's data ring (hard disk or SD card): where the recorded runs lie and the three
// addressings over them. Physical offsets are unit offsets as the recorder stores them (from the
// data partition start on a disk, from the device start on a card). Logical offsets are what
// hosts see: counted from the oldest recorded byte through the ring. Walk offsets are the GOPs
// back to back, the seam between the two laps closed up, which is what the walkers move in.
#pragma once

#include <cstdint>
#include <optional>

#include "format/byte_source.h"

namespace fleet::format {

struct RingLayout {
    bool wrapped = false;
    int64_t start = 0;  // the oldest recorded byte: the offset of the oldest valid unit
    int64_t ring_begin = 0;
    int64_t ring_end = 0;
    // Wrapped only: where the older lap's last GOP ends. A disk recorder starts GOPs until one
    // starts at or past the ring end, so this may lie past it; on a card a GOP that would not
    // fit goes to the ring's beginning, so this may lie before it.
    int64_t seam = 0;
    int64_t end_of_data = 0;

    // Logical length: (ring_end - start) + (end_of_data - ring_begin) wrapped, else
    // end_of_data - start.
    int64_t length() const;
    // Run 1 is [start, ring_end] (unwrapped: [start, end_of_data]), run 2 [ring_begin,
    // end_of_data]; bounds inclusive. Nullopt outside both runs.
    std::optional<int64_t> logical_of_physical(int64_t physical) const;
    // Nullopt for logical < 0 or > length.
    std::optional<int64_t> physical_of_logical(int64_t logical) const;

    int64_t walk_length() const;
    // Both clamp into range; a logical offset inside the part of run 1 past the seam (a card's
    // stale tail) maps to the seam, a walk offset inside the disk's reserve to the ring end.
    int64_t walk_of_logical(int64_t logical) const;
    int64_t logical_of_walk(int64_t walk) const;
    int64_t physical_of_walk(int64_t walk) const;
    // Where run 1 ends in walk and in logical addressing.
    int64_t first_run_walk() const;
    int64_t first_run_logical() const;
};

// The recorded GOPs read in walk addressing from the device's physical one.
class RingByteSource final : public ByteSource {
  public:
    RingByteSource(ByteSource& device, const RingLayout& layout)
        : device_(device), layout_(layout) {}
    bool read_at(int64_t walk, uint8_t* dest, size_t n) override;

  private:
    ByteSource& device_;
    RingLayout layout_;
};

}  // namespace fleet::format
