#include "format/ring_scan.h"

#include <utility>
#include <vector>

#include "common/le.h"
#include "format/gop_header.h"

namespace fleet::format {
namespace {

// Unit reads by number through a chunk cache: the oldest-unit search may read every unit of a
// full index, one after the other, backwards.
class UnitReader {
  public:
    explicit UnitReader(ByteSource& index)
        : index_(index), chunk_(kChunkUnits * kIndexRecordSize) {}

    bool read(uint32_t n, IndexUnit& out) {
        if (n == 0) return false;
        const int64_t first_in_chunk = static_cast<int64_t>(n) / kChunkUnits * kChunkUnits;
        if (first_in_chunk != chunk_first_ && !load(first_in_chunk)) {
            return read_index_unit(index_, n, out);  // the chunk runs past the index's end
        }
        out = IndexUnit::decode(chunk_.data() + (n - first_in_chunk) * kIndexRecordSize);
        return true;
    }

  private:
    static constexpr int64_t kChunkUnits = 4096;

    bool load(int64_t first) {
        chunk_first_ = -1;
        if (!index_.read_at(first * static_cast<int64_t>(kIndexRecordSize), chunk_.data(),
                            chunk_.size())) {
            return false;
        }
        chunk_first_ = first;
        return true;
    }

    ByteSource& index_;
    std::vector<uint8_t> chunk_;
    int64_t chunk_first_ = -1;
};

struct GopStart {
    int64_t at = 0;
    int64_t stored = 0;
    uint32_t time = 0;
};

// The GOP starting at p, or within the next blocks when p holds none; nothing when a read
// fails, no GOP starts there, or the GOP would run past `limit`.
std::optional<GopStart> find_gop(ByteSource& data, int64_t p, int64_t limit, int blocks) {
    uint8_t block[kBlockSize];
    for (int i = 0; i < blocks && p + kBlockSize <= limit; ++i, p += kBlockSize) {
        if (!data.read_at(p, block, sizeof block)) return std::nullopt;
        if (!is_gop_start(block, sizeof block)) continue;
        const int64_t stored = round_up_block(fleet::load_u32(block + 32));
        if (stored > limit - p) return std::nullopt;
        return GopStart{p, stored, fleet::load_u32(block + 12)};
    }
    return std::nullopt;
}

class RingScanner {
  public:
    RingScanner(ByteSource& data, ByteSource& index, const RingBounds& bounds)
        : data_(data), units_(index), index_(index), bounds_(bounds) {}

    fleet::Result<RingScan> run();

  private:
    bool inside_ring(int64_t offset) const {
        return offset >= bounds_.begin && offset < bounds_.end;
    }
    // A unit whose offset lies off the ring counts as one that cannot be read.
    bool read_ring_unit(uint32_t n, IndexUnit& out) {
        return units_.read(n, out) && inside_ring(out.offset);
    }
    bool consistent(const RingLayout& ring) const {
        if (!inside_ring(ring.start) || ring.end_of_data > bounds_.limit) return false;
        if (!ring.wrapped) return ring.start <= ring.end_of_data;
        return ring.end_of_data >= bounds_.begin && ring.end_of_data <= ring.start &&
               ring.seam > ring.start && ring.seam <= bounds_.limit;
    }
    void find_oldest_unit(int64_t end_of_data);
    std::optional<int64_t> lap_end_after(int64_t from, uint32_t time) const;
    void find_end_of_data();

    ByteSource& data_;
    UnitReader units_;
    ByteSource& index_;
    RingBounds bounds_;
    RingScan scan_;
    IndexUnit last_;
    uint32_t newest_older_lap_unit_ = 0;  // the newest unit the newer lap left, if met
    uint32_t oldest_newer_lap_unit_ = 0;  // the oldest unit written in the newer lap
    bool crossed_ = false;                // the end-of-data scan went over the seam
};

// Walking back from the newest unit, the oldest is the last unit met at or after the end of
// the data before one whose predecessor lies before the end of the data (the newer lap wrote
// over it) or after the unit itself (it belongs to an earlier lap, all written over since).
// The end of the data, not the newest unit's offset, is the mark: an older lap's unit between
// the two lies in bytes the newer lap has already written. Unreadable units are passed over;
// without such a boundary the header's first stays the oldest.
void RingScanner::find_oldest_unit(int64_t end_of_data) {
    const uint32_t first = scan_.header.first;
    const uint32_t count = units_between(first, scan_.header.last);
    uint32_t n = scan_.header.last;
    IndexUnit unit, before;
    bool have_unit = read_ring_unit(n, unit);
    bool in_newer_lap = true;
    int64_t newer_lap_offset = end_of_data;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t p = previous_unit_number(n);
        const bool have_before = read_ring_unit(p, before);
        if (have_unit && unit.offset < end_of_data) {
            // Offsets fall towards the newer lap's start. One that rises again, or one the
            // newer lap wrote over after an older lap's units, belongs to a lap long gone:
            // nothing further back survives.
            if (!in_newer_lap || unit.offset > newer_lap_offset) break;
            oldest_newer_lap_unit_ = n;
            newer_lap_offset = unit.offset;
        }
        if (have_unit && unit.offset >= end_of_data) {
            in_newer_lap = false;
            if (newest_older_lap_unit_ == 0) newest_older_lap_unit_ = n;
            if (have_before && (before.offset < end_of_data || before.offset > unit.offset)) {
                scan_.oldest_unit = n;
                return;
            }
        }
        if (n == first) break;
        n = p;
        unit = before;
        have_unit = have_before;
    }
    // No unit of the older lap survives: the newer lap's oldest is the oldest there is.
    if (newest_older_lap_unit_ == 0 && oldest_newer_lap_unit_ != 0) {
        scan_.oldest_unit = oldest_newer_lap_unit_;
    }
}

// Follows the GOPs of a lap from one known to start at `from`: the lap ends where the next GOP
// would start at or past the ring end, or where no GOP of this lap follows (a card's GOP that
// did not fit went to the ring's beginning).
std::optional<int64_t> RingScanner::lap_end_after(int64_t from, uint32_t time) const {
    int64_t p = from;
    while (p < bounds_.end) {
        auto gop = find_gop(data_, p, bounds_.limit, 1);
        if (!gop || gop->time < time) break;
        time = gop->time;
        p = gop->at + gop->stored;
    }
    return p == from ? std::nullopt : std::optional<int64_t>(p);
}

// Reads GOPs on from the newest unit while they are not older than the one before; the data
// ends where the read that fails, finds nothing or finds an older GOP started. On a wrapped ring,
// when that happens in the lap the newest unit lies in and the ring's beginning holds a GOP that is
// not older, the newer lap has begun there without a unit yet: the scan follows it over the seam.
void RingScanner::find_end_of_data() {
    RingLayout& ring = scan_.layout;
    const int64_t scan_from = round_up_block(last_.offset);
    std::pair<int64_t, uint32_t> before_crossing;  // end of data and time
    int64_t p = scan_from;
    uint32_t time = last_.time;
    ring.end_of_data = p;
    scan_.end_time = time;
    for (;;) {
        std::optional<GopStart> gop;
        if (p < bounds_.end) gop = find_gop(data_, p, bounds_.limit, kEndScanBlocks);
        if (gop && crossed_ && gop->at >= scan_from) {
            // Round to where the scan began: the ring's beginning was this lap's own start.
            crossed_ = false;
            ring.seam = 0;
            ring.end_of_data = before_crossing.first;
            scan_.end_time = before_crossing.second;
            return;
        }
        if (gop && gop->time >= time) {
            time = gop->time;
            p = gop->at + gop->stored;
            ring.end_of_data = p;
            scan_.end_time = time;
            continue;
        }
        if (!ring.wrapped || crossed_ || scan_from == bounds_.begin) return;
        auto next = find_gop(data_, bounds_.begin, bounds_.limit, 1);
        if (!next || next->time < time) return;
        before_crossing = {ring.end_of_data, scan_.end_time};
        ring.seam = p;
        crossed_ = true;
        p = bounds_.begin;
        ring.end_of_data = p;
    }
}

fleet::Result<RingScan> RingScanner::run() {
    if (!read_index_header(index_, scan_.header))
        return fleet::fail("the time index cannot be read");
    const IndexHeader& h = scan_.header;
    if (units_between(h.first, h.last) == 0) {
        return fleet::fail("the time index names no units");
    }
    IndexUnit first;
    if (!units_.read(h.first, first) || !units_.read(h.last, last_)) {
        return fleet::fail("the time index's first or last unit cannot be read");
    }
    RingLayout& ring = scan_.layout;
    ring.wrapped = h.wrapped != 0;
    ring.ring_begin = bounds_.begin;
    ring.ring_end = bounds_.end;
    if (!inside_ring(first.offset) || !inside_ring(last_.offset)) {
        return fleet::fail("the time index points outside the data ring");
    }
    find_end_of_data();
    scan_.oldest_unit = h.first;
    if (ring.wrapped) find_oldest_unit(ring.end_of_data);
    IndexUnit oldest = first;
    if (scan_.oldest_unit != h.first && !read_ring_unit(scan_.oldest_unit, oldest)) {
        return fleet::fail("the oldest unit cannot be read");
    }
    ring.start = oldest.offset;
    scan_.begin_time = oldest.time;
    if (ring.wrapped && ring.start < ring.end_of_data) {
        // No unit of an older lap survives: what is indexed is one run.
        ring.wrapped = false;
    } else if (ring.wrapped && !crossed_) {
        IndexUnit lap_unit = oldest;
        if (newest_older_lap_unit_ != 0) read_ring_unit(newest_older_lap_unit_, lap_unit);
        auto seam = lap_end_after(lap_unit.offset, lap_unit.time);
        if (!seam) return fleet::fail("the older lap's data cannot be read");
        ring.seam = *seam;
    }
    if (!consistent(ring)) return fleet::fail("the time index's units do not describe a ring");
    if (ring.end_of_data < ring.start && !ring.wrapped) {
        return fleet::fail("the time index's units are out of order");
    }
    return scan_;
}

}  // namespace

RingBounds disk_ring_bounds(int64_t data_partition_length) {
    return {0, data_partition_length - kDiskRingReserve, data_partition_length};
}

RingBounds card_ring_bounds(int64_t data_start, int64_t device_size) {
    return {data_start, device_size, device_size};
}

fleet::Result<RingScan> scan_ring(ByteSource& data, ByteSource& time_index,
                                  const RingBounds& bounds) {
    if (bounds.end <= bounds.begin || bounds.limit < bounds.end) {
        return fleet::fail("the data area is too small for a ring");
    }
    RingScanner scanner(data, time_index, bounds);
    return scanner.run();
}

}  // namespace fleet::format
