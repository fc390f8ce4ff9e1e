// Opening a recorder's data ring: from its time index and the data itself, find the oldest
// valid unit, the seam between the laps and the end of the data.
#pragma once

#include <cstdint>

#include "common/result.h"
#include "format/byte_source.h"
#include "format/index_format.h"
#include "format/ring_layout.h"

namespace fleet::format {

inline constexpr int64_t kDiskRingReserve = 0xA00000;  // the disk's last 10 MiB, past the ring end
inline constexpr int kEndScanBlocks = 101;             // blocks one end-of-data read looks at

// Where a recorder writes. Disk: GOPs start before `end` and may run on to `limit` (the
// partition end), the next lap starts at `begin` = 0. Card: a GOP that does not fit before
// `end` = `limit` (the device end) goes to `begin` = the data area's start.
struct RingBounds {
    int64_t begin = 0;
    int64_t end = 0;
    int64_t limit = 0;
};

RingBounds disk_ring_bounds(int64_t data_partition_length);
RingBounds card_ring_bounds(int64_t data_start, int64_t device_size);

struct RingScan {
    RingLayout layout;
    IndexHeader header;        // as stored
    uint32_t oldest_unit = 0;  // the oldest valid unit: the header's first unless it has wrapped
    uint32_t begin_time = 0;
    uint32_t end_time = 0;
};

// Reads the ring's bounds from the time index and the data; fails when the index cannot be
// read or names no data inside the ring. Nothing is written: the oldest unit is only reported.
fleet::Result<RingScan> scan_ring(ByteSource& data, ByteSource& time_index,
                                  const RingBounds& bounds);

}  // namespace fleet::format
