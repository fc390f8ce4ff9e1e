// The recorder's time index as the remote link received it: record 0 is the index header,
// then the units in the order they came (ring order, from the header's first unit on). Rows
// are 1-based: row r is the r-th received unit, the recorder's unit first + r - 1 along the
// ring (1..0xFFFFF, 0xFFFFF followed by 1).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "format/index_format.h"

namespace kivra::net {

inline constexpr size_t kIndexBufferSize = 1024 * 1024;
inline constexpr int kMaxIndexRows =
    static_cast<int>(kIndexBufferSize / fleet::format::kIndexRecordSize) - 1;

class RemoteIndex {
  public:
    void clear();
    void set_header(const std::array<uint8_t, 16>& header);
    bool has_header() const { return !records_.empty(); }
    fleet::format::IndexHeader header() const;
    // Units to ask for: first..last along the ring, at most what the buffer holds; 0 when the
    // header names no unit of the ring.
    uint32_t units_to_request() const;
    // Appends the whole records of `units` that fit the buffer; the number appended.
    int append_units(std::span<const uint8_t> units);
    int rows() const;
    // Row r's 16 bytes (1 <= r <= rows()).
    std::array<uint8_t, 16> row_bytes(int row) const;
    fleet::format::IndexUnit row_unit(int row) const;
    uint32_t unit_number_of_row(int row) const;

  private:
    std::vector<uint8_t> records_;  // header, then units; at most kIndexBufferSize bytes
};

// The recorder's unit `steps` places after `unit` along the ring.
uint32_t advance_unit(uint32_t unit, uint32_t steps);

}  // namespace kivra::net
