// The recorded time a Find list is drawn across: from the time of the time index's first unit to
// that of its last, and the arithmetic of a strip laid over it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "format/index_find.h"

namespace velmora {

struct RecordingSpan {
    uint32_t begin = 0;  // seconds since 1970
    uint32_t end = 0;
    bool operator==(const RecordingSpan&) const = default;
};

// Nothing without a time index, or when its last unit is older than its first.
std::optional<RecordingSpan> recording_span(fleet::format::IndexReader& reader);

// Where `time` lies across the span, 0..1, clamped; 0 for a span of one moment.
double span_share(const RecordingSpan& span, uint32_t time);
// The time at a share 0..1 of the span (clamped), to the nearest second.
uint32_t span_time(const RecordingSpan& span, double share);

// The position of the time nearest to `time` (the first of equally near ones); times of 0 are
// unknown and never chosen. Nothing when no time is known.
std::optional<std::size_t> nearest_time(const std::vector<uint32_t>& times, uint32_t time);

}  // namespace velmora
