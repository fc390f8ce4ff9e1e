#include "net/remote_index.h"

#include <algorithm>
#include <cstring>

namespace kivra::net {
namespace {

constexpr size_t kRecord = fleet::format::kIndexRecordSize;

}  // namespace

uint32_t advance_unit(uint32_t unit, uint32_t steps) {
    const uint32_t ring = fleet::format::kLastUnitNumber;
    return static_cast<uint32_t>((uint64_t{unit} - 1 + steps) % ring) + 1;
}

void RemoteIndex::clear() {
    records_.clear();
}

void RemoteIndex::set_header(const std::array<uint8_t, 16>& header) {
    records_.assign(header.begin(), header.end());
}

fleet::format::IndexHeader RemoteIndex::header() const {
    if (records_.size() < kRecord) return {};
    return fleet::format::IndexHeader::decode(records_.data());
}

uint32_t RemoteIndex::units_to_request() const {
    const auto h = header();
    const uint32_t count = fleet::format::units_between(h.first, h.last);
    return std::min(count, static_cast<uint32_t>(kMaxIndexRows));
}

int RemoteIndex::append_units(std::span<const uint8_t> units) {
    if (records_.empty()) return 0;
    const size_t room = kIndexBufferSize - records_.size();
    const size_t bytes = std::min(room, units.size()) / kRecord * kRecord;
    records_.insert(records_.end(), units.begin(), units.begin() + static_cast<ptrdiff_t>(bytes));
    return static_cast<int>(bytes / kRecord);
}

int RemoteIndex::rows() const {
    return records_.empty() ? 0 : static_cast<int>(records_.size() / kRecord) - 1;
}

std::array<uint8_t, 16> RemoteIndex::row_bytes(int row) const {
    std::array<uint8_t, 16> bytes{};
    if (row >= 1 && row <= rows()) {
        std::memcpy(bytes.data(), records_.data() + static_cast<size_t>(row) * kRecord, kRecord);
    }
    return bytes;
}

fleet::format::IndexUnit RemoteIndex::row_unit(int row) const {
    const auto bytes = row_bytes(row);
    return fleet::format::IndexUnit::decode(bytes.data());
}

uint32_t RemoteIndex::unit_number_of_row(int row) const {
    return advance_unit(header().first, static_cast<uint32_t>(row - 1));
}

}  // namespace kivra::net
