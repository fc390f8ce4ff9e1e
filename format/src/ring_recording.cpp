#include "format/ring_recording.h"

namespace fleet::format {

fleet::Status RingRecording::open(RingMedium medium) {
    if (is_open()) return fleet::fail("a disk or card is already open");
    if (!medium.data || !medium.time_index) return fleet::fail("no data or time index");
    auto scan = scan_ring(*medium.data, *medium.time_index, medium.bounds);
    if (!scan) return scan.error();
    medium_ = std::move(medium);
    scan_ = *scan;
    walk_bytes_ = std::make_unique<RingByteSource>(*medium_.data, scan_.layout);
    return {};
}

fleet::Status RingRecording::open_known(RingMedium medium, const RingBounds& bounds,
                                        const RingScan& scan) {
    if (is_open()) return fleet::fail("a disk or card is already open");
    if (!medium.data || !medium.time_index) return fleet::fail("no data or time index");
    if (medium.bounds.begin != bounds.begin || medium.bounds.end != bounds.end ||
        medium.bounds.limit != bounds.limit) {
        return fleet::fail("the medium is not the one whose ring was found");
    }
    medium_ = std::move(medium);
    scan_ = scan;
    walk_bytes_ = std::make_unique<RingByteSource>(*medium_.data, scan_.layout);
    return {};
}

fleet::Status RingRecording::open(MediumKind kind, const std::string& path) {
    MediumFound found = find_medium_at(kind, path);
    if (found.verdict != MediumFound::Usable) {
        const char* what = kind == MediumKind::Disk ? "a recorder disk" : "a recorder card";
        return fleet::fail(path + " is not " + what +
                           (found.why.empty() ? std::string() : ": " + found.why));
    }
    return open(std::move(found.medium));
}

void RingRecording::close() {
    walk_bytes_.reset();
    // The readers go before the device they read through.
    medium_.data.reset();
    medium_.time_index.reset();
    medium_.event_index.reset();
    medium_.quick_index.reset();
    medium_.device.reset();
    scan_ = {};
}

IndexHeader RingRecording::time_header() const {
    IndexHeader header = scan_.header;
    header.first = scan_.oldest_unit;
    return header;
}

bool RingRecording::logical_unit(ByteSource* index, int64_t n, IndexUnit& out) {
    if (!is_open() || index == nullptr || !read_index_unit(*index, n, out)) return false;
    out.offset = scan_.layout.logical_of_physical(out.offset).value_or(-1);
    return true;
}

bool RingRecording::time_unit(int64_t n, IndexUnit& out) {
    return logical_unit(medium_.time_index.get(), n, out);
}

bool RingRecording::event_header(IndexHeader& out) {
    return is_open() && medium_.event_index && read_index_header(*medium_.event_index, out);
}

bool RingRecording::event_unit(int64_t n, IndexUnit& out) {
    return logical_unit(medium_.event_index.get(), n, out);
}

bool RingRecording::quick_header(QuickRecord& out) {
    return is_open() && medium_.quick_index &&
           medium_.quick_index->read_at(0, out.data(), out.size());
}

bool RingRecording::quick_unit(int64_t n, QuickRecord& out) {
    return is_open() && medium_.quick_index && read_quick_record(*medium_.quick_index, n, out);
}

bool RingRecording::quick_units(int64_t n, std::span<QuickRecord> out) {
    static_assert(sizeof(QuickRecord) == kQuickRecordSize, "records lie back to back");
    const int64_t record = static_cast<int64_t>(kQuickRecordSize);
    if (!is_open() || !medium_.quick_index || n <= 0 ||
        n > (INT64_MAX - static_cast<int64_t>(out.size_bytes())) / record) {
        return false;
    }
    return medium_.quick_index->read_at(n * record, reinterpret_cast<uint8_t*>(out.data()),
                                        out.size_bytes());
}

}  // namespace fleet::format
