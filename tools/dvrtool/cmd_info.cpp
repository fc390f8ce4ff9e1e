#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "dvrtool/commands.h"
#include "format/frame_set.h"
#include "format/gop_layout.h"
#include "format/gop_parser.h"
#include "forward_walk.h"
#include "gop_records.h"
#include "h264_probe.h"
#include "messages.h"
#include "recording.h"
#include "report/json_text.h"
#include "time_text.h"

namespace dvrtool {
namespace {

struct AudioFormat {
    int rate = 0;
    int bits = 0;
    int channels = 0;
};

struct Summary {
    std::set<uint32_t> versions;
    std::optional<fleet::format::GopHeader> first_header;  // of the first GOP the layout accepts
    std::array<bool, kFormatChannels> present{};
    std::array<std::vector<uint8_t>, kFormatChannels> first_key;
    std::optional<AudioFormat> audio;
    int64_t gops = 0;
    int64_t frames_per_channel = 0;
    std::optional<std::string> vehicle_id;
    std::optional<PictureSize> picture;
};

void note_records(Summary& s, const uint8_t* gop, const fleet::format::GopLayout& layout) {
    fleet::format::for_each_frame_record(gop, layout, [&](const fleet::format::FrameRecordView& f) {
        auto c = static_cast<size_t>(f.channel);
        s.present[c] = true;
        if (f.key && s.first_key[c].empty()) s.first_key[c].assign(f.data, f.data + f.length);
    });
}

void note_parsed(Summary& s, const FrameSet& set) {
    s.frames_per_channel += set.frames_per_channel;
    if (!s.vehicle_id && set.vehicle_id[0] != '\0') {
        s.vehicle_id = std::string(set.vehicle_id, strnlen(set.vehicle_id, sizeof set.vehicle_id));
    }
}

void add_gop(Summary& s, const WalkedGop& gop, FrameSet& set) {
    ++s.gops;
    auto layout = fleet::format::gop_layout(gop.data, gop.length);
    if (!layout) return;
    const fleet::format::GopHeader& h = layout->header;
    s.versions.insert(h.version());
    if (!s.first_header) s.first_header = h;
    if (!s.audio && h.audio_length() != 0) {
        s.audio = AudioFormat{h.audio_sample_rate(), h.audio_sample_bits(), h.audio_channels()};
    }
    note_records(s, gop.data, *layout);
    if (fleet::format::parse_gop(gop.data, gop.length, nullptr, set) == fleet::format::kParseOk) {
        note_parsed(s, set);
    }
}

// The first key frame of the lowest channel present; later channels are not tried, so a
// file whose first channel does not decode says "unknown".
std::optional<PictureSize> first_picture_size(const Summary& s) {
    for (size_t c = 0; c < s.present.size(); ++c) {
        if (!s.present[c]) continue;
        const auto& unit = s.first_key[c];
        if (unit.empty()) return std::nullopt;
        return decoded_picture_size(unit.data(), unit.size());
    }
    return std::nullopt;
}

std::vector<int> present_channels(const Summary& s) {
    std::vector<int> out;
    for (size_t c = 0; c < s.present.size(); ++c) {
        if (s.present[c]) out.push_back(static_cast<int>(c) + 1);
    }
    return out;
}

std::string resolution_text(const std::optional<PictureSize>& p) {
    if (!p) return "unknown";
    return std::to_string(p->width) + "x" + std::to_string(p->height);
}

// A ring's physical offsets are the recorder's own; the seam exists only with two runs.
nlohmann::ordered_json ring_json(const fleet::format::RingRecording& ring) {
    const fleet::format::RingLayout& r = ring.layout();
    return {{"wrapped", r.wrapped},
            {"oldest_unit", ring.scan().oldest_unit},
            {"start", r.start},
            {"seam", r.wrapped ? nlohmann::ordered_json(r.seam) : nullptr},
            {"end_of_data", r.end_of_data},
            {"length", r.length()}};
}

nlohmann::ordered_json summary_json(const Summary& s, Recording& recording) {
    nlohmann::ordered_json j;
    j["stream_version"] =
        s.first_header ? nlohmann::ordered_json(s.first_header->version()) : nullptr;
    j["stream_versions"] = s.versions;
    j["channels"] = s.first_header ? s.first_header->channel_count() : 0;
    j["channels_present"] = present_channels(s);
    j["resolution"] = resolution_text(s.picture);
    j["width"] = s.picture ? nlohmann::ordered_json(s.picture->width) : nullptr;
    j["height"] = s.picture ? nlohmann::ordered_json(s.picture->height) : nullptr;
    j["audio"] = s.audio ? nlohmann::ordered_json{{"rate", s.audio->rate},
                                                  {"bits", s.audio->bits},
                                                  {"channels", s.audio->channels}}
                         : nlohmann::ordered_json(nullptr);
    j["begin_time"] = recording.begin_time();
    j["end_time"] = recording.end_time();
    j["begin"] = time_text(recording.begin_time());
    j["end"] = time_text(recording.end_time());
    j["length"] = recording.length();
    j["gops"] = s.gops;
    j["frames_per_channel"] = s.frames_per_channel;
    j["vehicle_id"] = s.vehicle_id ? nlohmann::ordered_json(fleet::utf8_text(*s.vehicle_id))
                                   : nlohmann::ordered_json(nullptr);
    if (const auto* ring = recording.ring()) j["ring"] = ring_json(*ring);
    return j;
}

std::string list_text(const std::vector<int>& numbers) {
    return joined_numbers(numbers, " ", "none");
}

std::string versions_text(const std::set<uint32_t>& versions) {
    std::string out;
    for (uint32_t v : versions) out += (out.empty() ? "" : ", ") + std::to_string(v);
    return out.empty() ? "none" : out;
}

std::string audio_text(const std::optional<AudioFormat>& a) {
    if (!a) return "none";
    return std::to_string(a->rate) + " Hz, " + std::to_string(a->bits) + " bits, " +
           std::to_string(a->channels) + (a->channels == 1 ? " channel" : " channels");
}

void print_row(const char* name, const std::string& value) {
    std::printf("%-20s %s\n", name, value.c_str());
}

void print_ring(const fleet::format::RingRecording& ring) {
    const fleet::format::RingLayout& r = ring.layout();
    print_row("ring wrapped", r.wrapped ? "yes" : "no");
    print_row("oldest unit", std::to_string(ring.scan().oldest_unit));
    print_row("ring start", std::to_string(r.start));
    print_row("seam", r.wrapped ? std::to_string(r.seam) : "none");
    print_row("end of data", std::to_string(r.end_of_data));
    print_row("ring length", std::to_string(r.length()) + " bytes");
}

void print_summary(const Summary& s, Recording& recording) {
    print_row("stream version", versions_text(s.versions));
    print_row("channels", std::to_string(s.first_header ? s.first_header->channel_count() : 0));
    print_row("channels present", list_text(present_channels(s)));
    print_row("resolution", resolution_text(s.picture));
    print_row("audio", audio_text(s.audio));
    print_row("begin", time_text(recording.begin_time()));
    print_row("end", time_text(recording.end_time()));
    print_row("length", std::to_string(recording.length()) + " bytes");
    print_row("GOPs", std::to_string(s.gops));
    print_row("frames per channel", std::to_string(s.frames_per_channel));
    print_row("vehicle", s.vehicle_id.value_or("none"));
    if (const auto* ring = recording.ring()) print_ring(*ring);
}

}  // namespace

Outcome run_info(const CommandLine& line) {
    auto opened = open_recording(line);
    if (!opened) return opened.error();
    Recording& recording = **opened;

    Summary summary;
    fleet::format::FrameSetStorage storage;
    ForwardWalk walk(recording);
    for (auto step = walk.next(); step != ForwardWalk::kEnd; step = walk.next()) {
        if (step == ForwardWalk::kFailure) {
            warn_skipped(recording, walk.failure());
        } else {
            add_gop(summary, walk.gop(), storage.get());
        }
    }
    summary.picture = first_picture_size(summary);

    if (line.has("--json")) {
        std::printf("%s\n", summary_json(summary, recording).dump(2).c_str());
    } else {
        print_summary(summary, recording);
    }
    return kExitDone;
}

}  // namespace dvrtool
