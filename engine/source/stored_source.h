// What playback needs from a recording on storage: the walkers, positioning and the facts
// learned when it was opened. File pairs implement it now; disks and cards will too.
#pragma once

#include <cstdint>

#include "format/stream_walker.h"

namespace kivra {

// What the probe at open learned from the first GOP that parses.
struct ProbeResult {
    int channel_count = -1;
    char vehicle_id[16] = {};
    int sample_rate = 22050;
    int sample_bits = 16;
};

class StoredSource {
  public:
    virtual ~StoredSource() = default;

    virtual bool is_open() const = 0;
    // Walkers: WalkResult codes.
    virtual int next(fleet::format::WalkBuffer& buffer) = 0;
    virtual int skip_forward(int n, fleet::format::WalkBuffer& buffer) = 0;
    virtual int previous(fleet::format::WalkBuffer& buffer) = 0;
    virtual int skip_backward(int n, fleet::format::WalkBuffer& buffer) = 0;
    // 0, or the engine error code of the failure.
    virtual int seek(int64_t logical) = 0;
    virtual int64_t tell() const = 0;  // -1 when not open
    virtual int64_t length() const = 0;
    virtual uint32_t begin_time() const = 0;
    virtual uint32_t end_time() const = 0;
    virtual const ProbeResult& probe() const = 0;
    // 16-byte time-index records; unit numbers from 1.
    virtual bool time_index_header(uint8_t* out16) = 0;
    virtual bool time_index_unit(int64_t n, uint8_t* out16) = 0;
};

}  // namespace kivra
