// A recorder's disk or card opened for reading: its ring found, its GOPs walkable in walk
// addressing and its index records converted the way hosts see them. Read-only throughout.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "common/result.h"
#include "format/index_format.h"
#include "format/recorder_medium.h"
#include "format/ring_layout.h"
#include "format/ring_scan.h"
#include "format/stream_walker.h"

namespace fleet::format {

class RingRecording {
  public:
    // Takes the medium and finds its ring; the failure says why not.
    fleet::Status open(RingMedium medium);
    // Opens a device or image file of the kind; anything but a usable medium fails.
    fleet::Status open(MediumKind kind, const std::string& path);
    // Takes the medium with the ring an earlier open of the same device found (its bounds and
    // scan), without reading the ring again; fails when the medium's bounds are not those.
    fleet::Status open_known(RingMedium medium, const RingBounds& bounds, const RingScan& scan);
    void close();
    bool is_open() const { return walk_bytes_ != nullptr; }

    const RingScan& scan() const { return scan_; }
    const RingLayout& layout() const { return scan_.layout; }
    const RingBounds& bounds() const { return medium_.bounds; }
    // A cursor over the recorded GOPs in walk addressing, at their beginning.
    StreamCursor cursor() { return {walk_bytes_.get(), 0, scan_.layout.walk_length(), 0}; }

    // The time index header with the oldest unit found as its first: the medium is never
    // written, so the stored header keeps what the recorder left there.
    IndexHeader time_header() const;
    // Units with their offsets made logical, -1 outside the recorded runs.
    bool time_unit(int64_t n, IndexUnit& out);
    bool event_header(IndexHeader& out);
    bool event_unit(int64_t n, IndexUnit& out);
    bool quick_header(QuickRecord& out);
    bool quick_unit(int64_t n, QuickRecord& out);
    // Records n, n + 1, ... in one read, for readers that go through every one in turn.
    bool quick_units(int64_t n, std::span<QuickRecord> out);

    int device_fd() const { return medium_.device ? medium_.device->fd() : -1; }

  private:
    bool logical_unit(ByteSource* index, int64_t n, IndexUnit& out);

    RingMedium medium_;
    RingScan scan_;
    std::unique_ptr<RingByteSource> walk_bytes_;
};

}  // namespace fleet::format
