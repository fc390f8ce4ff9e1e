// What playback needs from a recording on storage: the walkers, positioning and the facts
// learned when it was opened. File pairs, recorder disks and cards implement it.
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
    // Event (16-byte) and quick (128-byte) index records: only recorder disks and cards
    // carry them.
    virtual bool event_index_header(uint8_t*) { return false; }
    virtual bool event_index_unit(int64_t, uint8_t*) { return false; }
    virtual bool quick_index_header(uint8_t*) { return false; }
    virtual bool quick_index_unit(int64_t, uint8_t*) { return false; }
};

// Learns the channel count, vehicle and audio format from the first GOP that parses, trying
// GOPs 0, 2, 5, 9, ... from the cursor's beginning so a damaged start does not hide a good
// recording; the cursor is back at the beginning afterwards. Nothing is decoded: none of these
// depends on the pictures, so opening stays quick.
ProbeResult probe_stream(fleet::format::StreamCursor& cursor);

}  // namespace kivra
