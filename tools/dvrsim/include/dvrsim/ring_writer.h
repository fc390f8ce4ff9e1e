// A recorder writing GOPs around a ring: each GOP at a 512-byte boundary where the last one
// ended, back to the ring's start when the next one may not go there, over the oldest data.
#pragma once

#include <cstdint>
#include <vector>

#include "common/result.h"
#include "dvrsim/device_plan.h"
#include "dvrsim/gop_producer.h"
#include "dvrsim/image_file.h"
#include "dvrsim/index_writer.h"
#include "dvrsim/truth_spool.h"

namespace dvrsim {

struct PlacedGop {
    int64_t index = 0;  // seconds since the recording began
    uint32_t time = 0;
    int64_t physical = 0;  // in unit-offset terms
    int64_t length = 0;    // the header's total length
    int64_t stored = 0;    // padded to 512
    int64_t lap = 0;       // how often the ring had wrapped when it was written
    SpooledLines truth;
    int64_t end() const { return physical + stored; }
};

// Where the writing stopped.
struct RingEnd {
    int64_t laps = 0;         // times the recorder went back to the ring's start
    int64_t end_of_data = 0;  // the end of the newest GOP
    int64_t seam = -1;        // the end of the last GOP of the lap before; -1 before a wrap
};

// A GOP a reader still finds in sequence: one of the newest lap, or one of the lap before
// that lies after the end of the data.
bool is_valid(const PlacedGop& gop, const RingEnd& end);

RingEnd ring_end_of(const std::vector<PlacedGop>& gops);

// Writes a GOP padded with zeros to 512 bytes.
fleet::Status write_gop_at(ImageFile& image, int64_t offset, const std::vector<uint8_t>& bytes);

class RingSink final : public GopSink {
  public:
    RingSink(ImageFile& image, const DevicePlan& plan, IndexWriter& index, TruthSpool& spool)
        : image_(image), plan_(plan), index_(index), spool_(spool), cursor_(plan.ring_begin) {}

    fleet::Status store(const ProducedGop& gop) override;
    const std::vector<PlacedGop>& gops() const { return gops_; }

  private:
    bool fits_at(int64_t at, int64_t stored) const;

    ImageFile& image_;
    const DevicePlan& plan_;
    IndexWriter& index_;
    TruthSpool& spool_;
    int64_t cursor_;
    int64_t lap_ = 0;
    std::vector<PlacedGop> gops_;
};

}  // namespace dvrsim
