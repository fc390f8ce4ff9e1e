#include "source/ring_source.h"

#include <cstring>

#include "format/gop_header.h"

namespace kivra {

namespace ff = fleet::format;

namespace {

template <typename Record>
bool copy_out(const Record& record, uint8_t* out) {
    auto bytes = record.encode();
    std::memcpy(out, bytes.data(), bytes.size());
    return true;
}

}  // namespace

fleet::Status RingSource::open(ff::RingMedium medium) {
    if (auto opened = recording_.open(std::move(medium)); !opened) return opened;
    cursor_ = recording_.cursor();
    probe_ = probe_stream(cursor_);
    return {};
}

fleet::Status RingSource::open_known(ff::RingMedium medium, const RingFindings& known) {
    if (auto opened = recording_.open_known(std::move(medium), known.bounds, known.scan); !opened) {
        return opened;
    }
    cursor_ = recording_.cursor();
    probe_ = known.probe;
    return {};
}

void RingSource::close() {
    recording_.close();
    cursor_ = {};
    probe_ = {};
}

int RingSource::next(ff::WalkBuffer& buffer) {
    if (!is_open()) return ff::kWalkNotOpen;
    return ff::next_gop(cursor_, buffer);
}

int RingSource::skip_forward(int n, ff::WalkBuffer& buffer) {
    if (!is_open()) return ff::kWalkNotOpen;
    return ff::skip_forward(cursor_, n, buffer);
}

int RingSource::previous(ff::WalkBuffer& buffer) {
    if (!is_open()) return ff::kWalkNotOpen;
    return ff::previous_gop(cursor_, buffer);
}

int RingSource::skip_backward(int n, ff::WalkBuffer& buffer) {
    if (!is_open()) return ff::kWalkNotOpen;
    return ff::skip_backward(cursor_, n, buffer);
}

// Positions in walk addressing, where GOPs lie back to back, so a position never lands in the
// stale bytes between the laps.
int RingSource::seek(int64_t logical) {
    if (!is_open() || logical < 0 || logical > recording_.layout().length()) return seek_error_;
    const int64_t walk = ff::round_up_block(recording_.layout().walk_of_logical(logical));
    if (walk > cursor_.end) return seek_error_;
    cursor_.position = walk;
    return 0;
}

int64_t RingSource::tell() const {
    return is_open() ? recording_.layout().logical_of_walk(cursor_.position) : -1;
}

bool RingSource::time_index_header(uint8_t* out16) {
    return is_open() && out16 != nullptr && copy_out(recording_.time_header(), out16);
}

bool RingSource::time_index_unit(int64_t n, uint8_t* out16) {
    ff::IndexUnit unit;
    return out16 != nullptr && recording_.time_unit(n, unit) && copy_out(unit, out16);
}

bool RingSource::event_index_header(uint8_t* out16) {
    ff::IndexHeader header;
    return out16 != nullptr && recording_.event_header(header) && copy_out(header, out16);
}

bool RingSource::event_index_unit(int64_t n, uint8_t* out16) {
    ff::IndexUnit unit;
    return out16 != nullptr && recording_.event_unit(n, unit) && copy_out(unit, out16);
}

bool RingSource::quick_index_header(uint8_t* out128) {
    ff::QuickRecord record;
    if (out128 == nullptr || !recording_.quick_header(record)) return false;
    std::memcpy(out128, record.data(), record.size());
    return true;
}

bool RingSource::quick_index_unit(int64_t n, uint8_t* out128) {
    ff::QuickRecord record;
    if (out128 == nullptr || !recording_.quick_unit(n, record)) return false;
    std::memcpy(out128, record.data(), record.size());
    return true;
}

}  // namespace kivra
