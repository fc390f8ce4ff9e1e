#include <cstdio>
#include <string>

#include "dvrtool/commands.h"
#include "format/frame_set.h"
#include "format/gop_layout.h"
#include "format/gop_parser.h"
#include "forward_walk.h"
#include "gop_records.h"
#include "messages.h"
#include "recording.h"
#include "report/telemetry_json.h"
#include "time_text.h"

namespace dvrtool {
namespace {

template <typename T, typename Show>
std::string or_dash(const std::optional<T>& v, Show show) {
    return v ? show(*v) : std::string("-");
}

std::string joined(const std::vector<int>& values, const char* separator) {
    return joined_numbers(values, separator, "-");
}

std::string speed_text(double kmh) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", kmh);
    return text;
}

std::string flags_text(const std::array<int, 12>& flags) {
    std::string out;
    for (int f : flags) out += f ? '1' : '0';
    return out;
}

void print_header() {
    std::printf("%6s %5s  %-19s  %-15s  %-14s  %6s  %4s  %-13s  %-21s  %-12s  %s\n", "gop", "frame",
                "time", "channels", "car_id", "km/h", "temp", "gsensor", "position", "flags",
                "tyres");
}

void print_row(const fleet::FrameTelemetry& t) {
    auto number = [](int v) { return std::to_string(v); };
    auto gsensor = [](const std::array<int, 3>& g) { return joined({g[0], g[1], g[2]}, ","); };
    auto text = [](const std::string& s) { return s; };
    std::printf("%6lld %5d  %s  %-15s  %-14s  %6s  %4s  %-13s  %-21s  %-12s  %s\n",
                static_cast<long long>(t.gop), t.frame, time_text(t.time).c_str(),
                joined(t.channels, ",").c_str(), or_dash(t.car_id, text).c_str(),
                or_dash(t.speed, speed_text).c_str(), or_dash(t.temperature, number).c_str(),
                or_dash(t.gsensor, gsensor).c_str(), or_dash(t.position, text).c_str(),
                or_dash(t.flags, flags_text).c_str(), or_dash(t.tyres_per_group, number).c_str());
}

// Frames of a GOP the parser accepts; `records` comes from the same bytes.
void print_gop(const FrameSet& set, const GopRecords& records, int64_t gop, bool json) {
    for (int k = 0; k < set.frames_per_channel; ++k) {
        fleet::FrameTelemetry t = fleet::telemetry_of_frame(set, gop, k);
        t.channels = channels_with_frame(records, k, KIVRA_MAX_CHANNELS);
        if (json) {
            std::printf("%s\n", fleet::to_json(t).dump().c_str());
        } else {
            print_row(t);
        }
    }
}

}  // namespace

Outcome run_telemetry(const CommandLine& line) {
    auto recording = open_recording(line);
    if (!recording) return recording.error();
    const bool json = line.has("--json");
    if (!json) print_header();

    fleet::format::FrameSetStorage storage;
    ForwardWalk walk(**recording);
    int64_t gop_number = 0;
    for (auto step = walk.next(); step != ForwardWalk::kEnd; step = walk.next()) {
        if (step == ForwardWalk::kFailure) {
            warn_skipped(**recording, walk.failure());
            continue;
        }
        const WalkedGop& gop = walk.gop();
        const int64_t number = gop_number++;
        if (fleet::format::parse_gop(gop.data, gop.length, nullptr, storage.get()) !=
            fleet::format::kParseOk) {
            continue;
        }
        // The parser accepted the layout, so it is there to count the records.
        auto layout = fleet::format::gop_layout(gop.data, gop.length);
        print_gop(storage.get(), count_records(gop.data, *layout), number, json);
    }
    return kExitDone;
}

}  // namespace dvrtool
