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

bool RingIndexReader::quick_unit(uint32_t n, QuickRecord& out) {
    const bool alone = n >= alone_first_ && n - alone_first_ < alone_count_;
    if (alone || n < ahead_first_ || n - ahead_first_ >= ahead_.size()) {
        if (alone || !read_ahead(n)) return ring_.quick_unit(n, out);
    }
    out = ahead_[n - ahead_first_];
    return true;
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
