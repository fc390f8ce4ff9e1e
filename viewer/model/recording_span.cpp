#include "model/recording_span.h"

#include <algorithm>
#include <cmath>

namespace velmora {

std::optional<RecordingSpan> recording_span(fleet::format::IndexReader& reader) {
    fleet::format::IndexHeader header;
    fleet::format::IndexUnit first;
    fleet::format::IndexUnit last;
    if (!reader.time_header(header) || !reader.time_unit(header.first, first) ||
        !reader.time_unit(header.last, last) || last.time < first.time)
        return std::nullopt;
    return RecordingSpan{first.time, last.time};
}

double span_share(const RecordingSpan& span, uint32_t time) {
    if (span.end <= span.begin) return 0.0;
    const uint32_t within = std::clamp(time, span.begin, span.end);
    return static_cast<double>(within - span.begin) / static_cast<double>(span.end - span.begin);
}

uint32_t span_time(const RecordingSpan& span, double share) {
    if (span.end <= span.begin) return span.begin;
    const double within = std::clamp(share, 0.0, 1.0) * (span.end - span.begin);
    return span.begin + static_cast<uint32_t>(std::lround(within));
}

std::optional<std::size_t> nearest_time(const std::vector<uint32_t>& times, uint32_t time) {
    std::optional<std::size_t> best;
    uint32_t best_distance = 0;
    for (std::size_t i = 0; i < times.size(); ++i) {
        if (times[i] == 0) continue;
        const uint32_t distance = times[i] > time ? times[i] - time : time - times[i];
        if (!best || distance < best_distance) {
            best = i;
            best_distance = distance;
        }
    }
    return best;
}

}  // namespace velmora
