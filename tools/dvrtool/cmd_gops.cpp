#include <cstdio>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "backward_walk.h"
#include "dvrtool/commands.h"
#include "format/gop_layout.h"
#include "forward_walk.h"
#include "gop_records.h"
#include "messages.h"
#include "recording.h"
#include "time_text.h"

namespace dvrtool {
namespace {

struct GopLine {
    int64_t offset = 0;
    int64_t stored = 0;
    fleet::format::GopHeader header;
    std::optional<std::string> rejected;
    GopRecords records;
};

GopLine describe(const WalkedGop& gop, const Recording& recording) {
    GopLine line{recording.shown_offset(gop.offset),
                 gop.stored,
                 fleet::format::GopHeader::read(gop.data),
                 std::nullopt,
                 {}};
    auto layout = fleet::format::gop_layout(gop.data, gop.length);
    if (!layout) {
        line.rejected = "bad header";
        return line;
    }
    line.records = count_records(gop.data, *layout);
    if (line.records.frames < 0) line.rejected = "frame record runs past the frame area";
    return line;
}

std::string key_frames_text(const GopRecords& r) {
    std::string out;
    for (int c = 0; c < kFormatChannels; ++c) {
        if (r.per_channel[static_cast<size_t>(c)] == 0) continue;
        if (!out.empty()) out += ' ';
        out += std::to_string(c + 1);
        out += ':';
        out += std::to_string(r.key_frames[static_cast<size_t>(c)]);
    }
    return out.empty() ? "-" : out;
}

void print_text(const GopLine& g) {
    const fleet::format::GopHeader& h = g.header;
    std::printf("%12lld %8lld  %s", static_cast<long long>(g.offset),
                static_cast<long long>(g.stored), time_text(h.time()).c_str());
    if (g.rejected) {
        std::printf("  rejected: %s\n", g.rejected->c_str());
        return;
    }
    std::printf(" %3u %3d %3d %8u %6u  %s\n", h.version(), h.channel_count(), g.records.frames,
                h.audio_length(), h.info_length(), key_frames_text(g.records).c_str());
}

void print_json(const GopLine& g) {
    const fleet::format::GopHeader& h = g.header;
    nlohmann::ordered_json j{{"offset", g.offset},
                             {"stored", g.stored},
                             {"time", h.time()},
                             {"time_text", time_text(h.time())}};
    if (g.rejected) {
        j["rejected"] = *g.rejected;
    } else {
        nlohmann::ordered_json keys = nlohmann::ordered_json::object();
        for (int c = 0; c < kFormatChannels; ++c) {
            if (g.records.per_channel[static_cast<size_t>(c)] == 0) continue;
            keys[std::to_string(c + 1)] = g.records.key_frames[static_cast<size_t>(c)];
        }
        j["version"] = h.version();
        j["channel_count"] = h.channel_count();
        j["frames"] = g.records.frames;
        j["audio_bytes"] = h.audio_length();
        j["info_bytes"] = h.info_length();
        j["key_frames"] = keys;
    }
    std::printf("%s\n", j.dump().c_str());
}

template <typename Walk>
void list_gops(Walk& walk, const Recording& recording, bool json) {
    if (!json) {
        std::printf("%12s %8s  %-19s %3s %3s %3s %8s %6s  %s\n", "offset", "stored", "time", "ver",
                    "ch", "N", "audio", "info", "key frames (channel:count)");
    }
    for (;;) {
        auto step = walk.next();
        if (step == Walk::kFailure) {
            warn_skipped(recording, walk.failure());
            continue;
        }
        if (step != Walk::kGop) return;
        GopLine line = describe(walk.gop(), recording);
        json ? print_json(line) : print_text(line);
    }
}

}  // namespace

Outcome run_gops(const CommandLine& line) {
    auto recording = open_recording(line);
    if (!recording) return recording.error();
    const bool json = line.has("--json");
    if (line.has("--backward")) {
        BackwardWalk walk(**recording);
        list_gops(walk, **recording, json);
    } else {
        ForwardWalk walk(**recording);
        list_gops(walk, **recording, json);
    }
    return kExitDone;
}

}  // namespace dvrtool
