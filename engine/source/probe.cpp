#include <cstring>
#include <vector>

#include "format/frame_set.h"
#include "format/gop_parser.h"
#include "source/stored_source.h"

namespace kivra {
namespace {

constexpr int kProbeAttempts = 100;

}  // namespace

ProbeResult probe_stream(fleet::format::StreamCursor& cursor) {
    ProbeResult probe;
    std::vector<uint8_t> bytes(fleet::format::kWalkBufferSize);
    fleet::format::WalkBuffer buffer{bytes.data(), bytes.size(), 0};
    fleet::format::FrameSetStorage set;
    cursor.position = cursor.begin;
    for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
        int result = attempt == 0 ? fleet::format::next_gop(cursor, buffer)
                                  : fleet::format::skip_forward(cursor, attempt, buffer);
        if (result == fleet::format::kWalkEnd || result == fleet::format::kWalkNotOpen) break;
        if (result != fleet::format::kWalkRead) continue;
        if (fleet::format::parse_gop(buffer.data, buffer.length, nullptr, set.get()) !=
            fleet::format::kParseOk)
            continue;
        probe.channel_count = set->channel_count;
        std::memcpy(probe.vehicle_id, set->vehicle_id, sizeof probe.vehicle_id);
        probe.vehicle_id[15] = '\0';
        probe.sample_rate = set->audio_sample_rate;
        probe.sample_bits = set->audio_sample_bits;
        break;
    }
    cursor.position = cursor.begin;
    return probe;
}

}  // namespace kivra
