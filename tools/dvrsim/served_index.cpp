#include "dvrsim/served_index.h"

#include <algorithm>
#include <cstring>

namespace dvrsim {

using fleet::format::kIndexRecordSize;
using fleet::format::kLastUnitNumber;

uint32_t advance_unit(uint32_t number, uint64_t steps) {
    const uint64_t zero_based = (uint64_t{number} - 1 + steps) % kLastUnitNumber;
    return static_cast<uint32_t>(zero_based + 1);
}

ServedIndex::ServedIndex(const fleet::format::IndexHeader& source, std::vector<ServedUnit> units,
                         int64_t walk_end, uint32_t first_number)
    : header_(source), units_(std::move(units)), walk_end_(walk_end) {
    header_.first = first_number;
    header_.last = units_.empty() ? advance_unit(first_number, kLastUnitNumber - 1)
                                  : advance_unit(first_number, units_.size() - 1);
}

std::optional<size_t> ServedIndex::position_of(uint32_t number) const {
    if (number == 0 || number > kLastUnitNumber) return std::nullopt;
    const size_t distance = fleet::format::units_between(header_.first, number) - 1;
    if (distance >= units_.size()) return std::nullopt;
    return distance;
}

std::optional<std::vector<uint8_t>> ServedIndex::records(uint32_t first, uint32_t count,
                                                         size_t max_records) const {
    const auto from = position_of(first);
    if (!from || count == 0 || count > units_.size() - *from) return std::nullopt;
    const size_t taken = std::min<size_t>(count, max_records);
    std::vector<uint8_t> out(taken * kIndexRecordSize);
    for (size_t i = 0; i < taken; ++i) {
        std::memcpy(out.data() + i * kIndexRecordSize, units_[*from + i].record.data(),
                    kIndexRecordSize);
    }
    return out;
}

uint32_t ring_span(uint32_t span) {
    // last - first of two numbers on either side of 0xFFFFF is negative: 1 follows 0xFFFFF.
    return span >= kLastUnitNumber ? span + kLastUnitNumber : span;
}

std::optional<WalkRange> ServedIndex::data_range(uint32_t first, uint32_t span) const {
    span = ring_span(span);
    const auto from = position_of(first);
    if (!from || span >= units_.size() - *from) return std::nullopt;
    const size_t to = *from + span;
    const int64_t begin = units_[*from].walk;
    const int64_t end = to + 1 == units_.size() ? walk_end_ : units_[to].walk;
    if (begin < 0 || end < begin || end > walk_end_) return std::nullopt;
    return WalkRange{begin, end};
}

}  // namespace dvrsim
