// The finder's reads from an open disk or card. A quick search reads every quick record in
// ring order, so they are read ahead a megabyte at a time instead of one 128-byte read each.
#pragma once

#include <cstdint>
#include <vector>

#include "format/index_find.h"
#include "format/ring_recording.h"

namespace fleet::format {

class RingIndexReader final : public IndexReader {
  public:
    explicit RingIndexReader(RingRecording& ring) : ring_(ring) {}

    // First is the oldest unit still recorded, as the ring's host sees it.
    bool time_header(IndexHeader& out) override;
    bool time_unit(uint32_t n, IndexUnit& out) override { return ring_.time_unit(n, out); }
    bool event_header(IndexHeader& out) override { return ring_.event_header(out); }
    bool event_unit(uint32_t n, IndexUnit& out) override { return ring_.event_unit(n, out); }
    bool quick_header(QuickRecord& out) override { return ring_.quick_header(out); }
    bool quick_unit(uint32_t n, QuickRecord& out) override;
    std::span<const QuickRecord> quick_units(uint32_t n, uint32_t count) override;

  private:
    bool read_ahead(uint32_t n);
    // Whether record n is in the block read ahead, reading the block that starts at n if not.
    bool ahead_holds(uint32_t n);

    RingRecording& ring_;
    std::vector<QuickRecord> ahead_;  // records ahead_first_, ahead_first_ + 1, ...
    uint32_t ahead_first_ = 0;
    uint32_t alone_first_ = 0, alone_count_ = 0;  // a block that could not be read whole
};

}  // namespace fleet::format
