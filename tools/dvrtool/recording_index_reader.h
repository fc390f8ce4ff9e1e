// The finder's reads from what the command line named: the time index from the recording,
// the event and quick indexes from a disk or card (a file pair has neither).
#pragma once

#include <optional>

#include "format/index_find.h"
#include "format/ring_index_reader.h"
#include "recording.h"

namespace dvrtool {

class RecordingIndexReader final : public fleet::format::IndexReader {
  public:
    explicit RecordingIndexReader(Recording& recording);

    bool has_ring() const { return ring_.has_value(); }

    bool time_header(fleet::format::IndexHeader& out) override;
    bool time_unit(uint32_t n, fleet::format::IndexUnit& out) override;
    bool event_header(fleet::format::IndexHeader& out) override;
    bool event_unit(uint32_t n, fleet::format::IndexUnit& out) override;
    bool quick_header(fleet::format::QuickRecord& out) override;
    bool quick_unit(uint32_t n, fleet::format::QuickRecord& out) override;

  private:
    Recording& recording_;
    std::optional<fleet::format::RingIndexReader> ring_;
};

}  // namespace dvrtool
