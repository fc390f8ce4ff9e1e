// Arithmetic of the progress slider over the time index ring: where a release seeks to, what
// the tooltip says, and which channel a double click picks. No engine or widget involved.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

// The engine's time index, read unit by unit.
class TimeIndexReader {
  public:
    virtual ~TimeIndexReader() = default;
    // First and last unit number of the ring; false when there is no index.
    virtual bool header(uint32_t& first, uint32_t& last) = 0;
    // Time (seconds since 1970) and byte offset of unit n; false when it cannot be read.
    virtual bool unit(uint32_t n, uint32_t& time, int64_t& offset) = 0;
};

// Steps from the first to the last unit along the ring: one less than the units recorded, so a
// single unit spans nothing (counting it as a whole ring sent every position past the index).
uint32_t slider_unit_span(uint32_t first, uint32_t last);
// Whether unit n lies in the recorded part first..last of the ring.
bool unit_in_range(uint32_t n, uint32_t first, uint32_t last);

// "YYYY-MM-DD hh:mm:ss" of seconds since 1970, broken down as UTC.
std::string format_utc(int64_t seconds);

// Byte offset a release of the progress slider at position (range minimum..maximum) seeks to;
// nothing when the position is outside the range or the index cannot be read.
std::optional<int64_t> slider_seek_offset(TimeIndexReader& index, int position, int minimum,
                                          int maximum);

// Tooltip text of slider position 0..100 below 100 (empty when the index cannot tell).
std::string slider_time_text(TimeIndexReader& index, int position);
// Tooltip text at position 100: the end time, empty unless both times are known (positive).
std::string slider_end_text(int32_t begin_time, int32_t end_time);

// Channel 1..8 a double click at (x, y) inside a width x height video area selects; 0 for none.
// screen_count 4: 2 x 2 cells; otherwise division 1 (channels 1-4) or 2 (channels 5-8) as
// 2 x 2 cells, else 3 x 3 cells of which the first eight are channels 1..8.
int channel_at(int screen_count, int division, int width, int height, int x, int y);

}  // namespace velmora
