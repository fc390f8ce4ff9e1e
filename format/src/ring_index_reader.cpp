#include "format/ring_index_reader.h"

#include <algorithm>

namespace fleet::format {
namespace {

constexpr uint32_t kRecordsAhead = (1 << 20) / kQuickRecordSize;

}  // namespace

bool RingIndexReader::time_header(IndexHeader& out) {
    if (!ring_.is_open()) return false;
    out = ring_.time_header();
    return true;
}

bool RingIndexReader::ahead_holds(uint32_t n) {
    const bool alone = n >= alone_first_ && n - alone_first_ < alone_count_;
    if (alone) return false;
    return (n >= ahead_first_ && n - ahead_first_ < ahead_.size()) || read_ahead(n);
}

bool RingIndexReader::quick_unit(uint32_t n, QuickRecord& out) {
    if (!ahead_holds(n)) return ring_.quick_unit(n, out);
    out = ahead_[n - ahead_first_];
    return true;
}

std::span<const QuickRecord> RingIndexReader::quick_units(uint32_t n, uint32_t count) {
    if (!ahead_holds(n)) return IndexReader::quick_units(n, count);
    const size_t at = n - ahead_first_;
    return std::span<const QuickRecord>(ahead_).subspan(
        at, std::min<size_t>(count, ahead_.size() - at));
}

// The block stops at the ring's last unit: the record after it is unit 1, not the next one.
bool RingIndexReader::read_ahead(uint32_t n) {
    if (n == 0 || n > kLastUnitNumber) return false;
    ahead_.resize(std::min(kRecordsAhead, kLastUnitNumber - n + 1));
    ahead_first_ = n;
    if (ring_.quick_units(n, ahead_)) return true;
    // Near the end of the index a whole block may not fit: its records are read alone.
    alone_first_ = n;
    alone_count_ = static_cast<uint32_t>(ahead_.size());
    ahead_.clear();
    return false;
}

}  // namespace fleet::format
