#include "dvrsim/recorder.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "common/le.h"
#include "dvrsim/audio_synth.h"
#include "dvrsim/h264_encoder.h"
#include "dvrsim/picture_painter.h"
#include "dvrsim/rng.h"
#include "dvrsim/truth.h"
#include "dvrsim/tyre_model.h"
#include "dvrsim/vehicle_model.h"
#include "format/file_pair_writer.h"
#include "format/gop_builder.h"
#include "format/gop_header.h"
#include "format/info_block_writer.h"

namespace dvrsim {
namespace {

bool has(const RecordOptions& o, Damage d) {
    return std::find(o.damage.begin(), o.damage.end(), d) != o.damage.end();
}

int max_channels_for(int version) {
    return version <= 1 ? 4 : version == 2 ? 8 : 16;
}

std::string vehicle_id_for(const RecordOptions& o) {
    if (!o.vehicle_id.empty()) return o.vehicle_id.substr(0, 14);
    char text[16];
    std::snprintf(text, sizeof text, "BUS-%04u", static_cast<unsigned>(o.seed % 10000));
    return text;
}

// Which GOPs the damage options touch; -1 where the option is not given.
struct DamagePlan {
    int64_t garbage_before = -1;
    int64_t filler_before = -1;
    int64_t corrupt = -1;
    int64_t truncate = -1;
    int64_t broken_pictures = -1;
    int64_t undecodable = -1;

    explicit DamagePlan(const RecordOptions& o) {
        if (has(o, Damage::Garbage)) garbage_before = std::max(1, o.seconds / 3);
        if (has(o, Damage::ZeroLengthMagic)) filler_before = std::max(1, o.seconds / 4);
        if (has(o, Damage::CorruptHeader)) corrupt = o.seconds / 2;
        if (has(o, Damage::Truncate)) truncate = o.seconds - 1;
        if (has(o, Damage::BrokenPictures)) broken_pictures = o.seconds / 2;
        if (has(o, Damage::Undecodable)) undecodable = o.seconds / 2;
    }
    bool lost(int64_t gop) const { return gop == corrupt || gop == truncate; }
};

std::vector<uint8_t> garbage_blocks(uint64_t seed) {
    Rng rng(seed ^ 0xBAD);
    std::vector<uint8_t> bytes(3 * fleet::format::kBlockSize);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng.next() | 1);  // never a zero block
    return bytes;
}

std::vector<uint8_t> zero_length_magic_block() {
    std::vector<uint8_t> block(fleet::format::kBlockSize, 0);
    fleet::store_u32(block.data(), fleet::format::kGopMagic);  // total length left 0
    return block;
}

// The middle of every picture overwritten with noise: slice headers stay, so the decoder
// takes the pictures and conceals what it cannot decode, complaining as it goes.
void break_pictures(std::vector<fleet::format::FrameRecord>& frames, uint64_t seed) {
    Rng rng(seed ^ 0xB20C3);
    for (auto& frame : frames) {
        const size_t from = frame.data.size() / 3, to = frame.data.size() * 2 / 3;
        for (size_t i = from; i < to; ++i) frame.data[i] = static_cast<uint8_t>(rng.next());
    }
}

// Bytes without a start code carry no unit the decoder could take a picture from.
void make_undecodable(std::vector<fleet::format::FrameRecord>& frames) {
    for (auto& frame : frames) std::fill(frame.data.begin(), frame.data.end(), uint8_t{0xFF});
}

// One encoder per channel, each at its channel's size.
struct ChannelEncoders {
    struct Channel {
        std::unique_ptr<H264Encoder> encoder;
        std::vector<uint8_t> picture;
        int width = 0, height = 0;  // the band included
    };
    std::vector<Channel> channels;

    fleet::Status open(const RecordOptions& o) {
        for (int c = 0; c < o.channels; ++c) {
            const Resolution size = resolution_of(o, c);
            Channel channel{
                std::make_unique<H264Encoder>(), {}, size.width, size.height + kCroppedBandRows};
            channel.picture.resize(yuv420p_size(channel.width, channel.height));
            if (auto opened = channel.encoder->open({channel.width, channel.height, o.fps, o.fps});
                !opened) {
                return opened;
            }
            channels.push_back(std::move(channel));
        }
        return {};
    }
};

class Recording {
  public:
    explicit Recording(const RecordOptions& o)
        : o_(o), plan_(o), model_(o.seed, o.fps), vehicle_id_(vehicle_id_for(o)) {}

    fleet::Result<RecordSummary> run();

  private:
    fleet::Status write_gop(int64_t gop);
    fleet::Result<std::vector<fleet::format::FrameRecord>> encode_frames(int64_t gop,
                                                                         uint32_t time);
    std::vector<uint8_t> info_block(const std::vector<VehicleSample>& samples,
                                    const std::vector<TyreFrame>& tyres) const;
    fleet::Status append_filler(const std::vector<uint8_t>& bytes);
    fleet::Status truncate_last_gop();
    fleet::Error write_error(const std::string& path) const;

    const RecordOptions& o_;
    DamagePlan plan_;
    VehicleModel model_;
    std::string vehicle_id_;
    ChannelEncoders encoders_;
    fleet::format::FilePairWriter writer_;
    std::ofstream truth_;
    uint32_t previous_length_ = 0;
    int64_t last_gop_length_ = 0;
    int64_t truth_lines_ = 0;
};

fleet::Result<std::vector<fleet::format::FrameRecord>> Recording::encode_frames(int64_t gop,
                                                                                uint32_t time) {
    std::vector<fleet::format::FrameRecord> frames;
    for (int k = 0; k < o_.fps; ++k) {
        for (int c = 0; c < o_.channels; ++c) {
            const int frame_index = static_cast<int>(gop * o_.fps + k);
            PictureContent content{c, frame_index, time, k, o_.fps, o_.scene};
            auto& channel = encoders_.channels[static_cast<size_t>(c)];
            paint_picture(channel.picture.data(), channel.width, channel.height, content);
            auto unit = channel.encoder->encode(channel.picture.data(), k == 0);
            if (!unit) return fleet::fail("H.264 encoding failed: " + unit.error().message);
            frames.push_back({c, k == 0, std::move(*unit)});
        }
    }
    return frames;
}

std::vector<uint8_t> Recording::info_block(const std::vector<VehicleSample>& samples,
                                           const std::vector<TyreFrame>& tyres) const {
    fleet::format::InfoBlockPlan plan;
    plan.status.emplace();
    plan.speed.emplace();
    plan.gsensor.emplace();
    if (samples.front().gps_fix) plan.position.emplace();
    for (const auto& s : samples) {
        plan.status->push_back({vehicle_id_, s.temperature, s.inputs, s.signals});
        plan.speed->push_back(fleet::format::speed_word(s.speed_tenths));
        plan.gsensor->push_back({static_cast<int8_t>(s.gsensor[0]),
                                 static_cast<int8_t>(s.gsensor[1]),
                                 static_cast<int8_t>(s.gsensor[2])});
        if (plan.position) {
            plan.position->push_back(latitude_text(s.latitude) + longitude_text(s.longitude));
        }
    }
    fleet::format::TyreSection section;
    section.words_per_group = kTyreCount;
    for (const auto& frame : tyres) {
        std::vector<uint32_t> words;
        for (const auto& r : frame.tyres) words.push_back(encode_tyre(r, o_.stream_version == 3));
        section.groups.push_back(std::move(words));
    }
    if (o_.stream_version == 3) {
        const TyreFrame& last = tyres.back();
        section.summary =
            fleet::format::tyre_summary_word(last.summary_values, last.summary_states);
    }
    plan.tyres = std::move(section);
    return fleet::format::build_info_block(plan);
}

fleet::Error Recording::write_error(const std::string& path) const {
    return fleet::fail("cannot write " + path + ": " + std::strerror(errno));
}

fleet::Status Recording::append_filler(const std::vector<uint8_t>& bytes) {
    if (!writer_.append_filler(bytes.data(), bytes.size())) return write_error(o_.base + ".dvr");
    return {};
}

fleet::Status Recording::write_gop(int64_t gop) {
    if (gop == plan_.garbage_before) {
        if (auto written = append_filler(garbage_blocks(o_.seed)); !written) return written;
    }
    if (gop == plan_.filler_before) {
        if (auto written = append_filler(zero_length_magic_block()); !written) return written;
    }
    uint32_t time = o_.start_time + static_cast<uint32_t>(gop);
    std::vector<VehicleSample> samples;
    std::vector<TyreFrame> tyres;
    for (int k = 0; k < o_.fps; ++k) {
        samples.push_back(model_.step());
        tyres.push_back(
            tyre_frame(o_.seed, gop, k, samples.back().speed_tenths, o_.stream_version == 3));
    }

    fleet::format::GopPlan plan;
    plan.version = static_cast<uint32_t>(o_.stream_version);
    plan.channel_count = o_.channels;
    plan.time = time;
    plan.previous_length = previous_length_;
    plan.announced_frames = o_.fps;
    auto frames = encode_frames(gop, time);
    if (!frames) return frames.error();
    plan.frames = std::move(*frames);
    if (gop == plan_.broken_pictures) break_pictures(plan.frames, o_.seed);
    if (gop == plan_.undecodable) make_undecodable(plan.frames);
    if (o_.audio) {
        plan.audio = {o_.audio_rate, o_.audio_bits, o_.audio_channels,
                      synth_audio_second({o_.audio_rate, o_.audio_bits, o_.audio_channels}, gop)};
    }
    if (o_.stream_version >= 1) plan.info = info_block(samples, tyres);

    std::vector<uint8_t> bytes = fleet::format::build_gop(plan);
    if (gop == plan_.corrupt) bytes[4] = 0xFE;  // version 254: the parser must reject it
    if (!writer_.append_gop(bytes.data(), bytes.size(), time)) return write_error(o_.base + ".dvr");
    previous_length_ = static_cast<uint32_t>(bytes.size());
    last_gop_length_ = static_cast<int64_t>(bytes.size());

    if (!plan_.lost(gop)) {
        TruthContext context{gop,          time,        o_.stream_version,
                             o_.channels,  vehicle_id_, samples.front().gps_fix,
                             &tyres.back()};
        for (int k = 0; k < o_.fps; ++k) {
            auto i = static_cast<size_t>(k);
            truth_ << truth_line(context, k, samples[i], tyres[i]) << '\n';
            ++truth_lines_;
        }
    }
    return {};
}

fleet::Status Recording::truncate_last_gop() {
    std::string path = o_.base + ".dvr";
    int64_t cut = writer_.stream_length() - fleet::format::round_up_block(last_gop_length_) +
                  last_gop_length_ / 2;
    if (::truncate(path.c_str(), static_cast<off_t>(cut)) != 0) {
        return fleet::fail("cannot truncate " + path + ": " + std::strerror(errno));
    }
    return {};
}

fleet::Result<RecordSummary> Recording::run() {
    if (auto opened = encoders_.open(o_); !opened) return opened.error();
    std::string dvr = o_.base + ".dvr", inx = o_.base + ".inx", truth = o_.base + ".truth.jsonl";
    if (!writer_.create(dvr, inx)) {
        return fleet::fail("cannot create " + dvr + " / " + inx + ": " + std::strerror(errno));
    }
    truth_.open(truth, std::ios::trunc);
    if (!truth_) return fleet::fail("cannot create " + truth + ": " + std::strerror(errno));

    for (int64_t gop = 0; gop < o_.seconds; ++gop) {
        if (auto written = write_gop(gop); !written) return written.error();
        if (o_.progress && (gop + 1) % 10 == 0) {
            std::fprintf(stderr, "\rdvrsim: %lld/%d s", static_cast<long long>(gop + 1),
                         o_.seconds);
        }
    }
    if (o_.progress) std::fprintf(stderr, "\r");
    RecordSummary summary;
    summary.gops = writer_.gop_count();
    summary.stream_bytes = writer_.stream_length();
    summary.frames = truth_lines_;
    if (!writer_.finish()) {
        return fleet::fail("cannot finish " + dvr + ": " + std::strerror(errno));
    }
    truth_.close();
    if (!truth_) return fleet::fail("cannot write " + truth);
    if (plan_.truncate >= 0) {
        if (auto cut = truncate_last_gop(); !cut) return cut.error();
    }
    return summary;
}

}  // namespace

fleet::Status check_options(const RecordOptions& o) {
    using fleet::fail;
    if (o.base.empty()) return fail("--out is required");
    if (o.stream_version < 0 || o.stream_version > 3) return fail("--stream-version must be 0..3");
    if (o.channels != 1 && o.channels != 4 && o.channels != 8 && o.channels != 16) {
        return fail("--channels must be 1, 4, 8 or 16");
    }
    if (o.channels > max_channels_for(o.stream_version)) {
        return fail("stream version " + std::to_string(o.stream_version) + " holds at most " +
                    std::to_string(max_channels_for(o.stream_version)) + " channels");
    }
    if (o.resolutions.size() > static_cast<size_t>(o.channels)) {
        return fail("--resolution names more sizes than there are channels");
    }
    int max_fps = o.stream_version == 3 ? 15 : 16;  // version 3 stores twice the count in 5 bits
    if (o.fps < 1 || o.fps > max_fps) {
        return fail("--fps must be 1.." + std::to_string(max_fps) + " for this stream version");
    }
    if (o.seconds < 1 || o.seconds > 86400) return fail("--seconds must be 1..86400");
    if (fleet::format::audio_rate_code_for(o.audio_rate) == 0 && o.audio_rate != 22050) {
        return fail("--audio-rate must be one of 4000 8000 11025 16000 22050 32000 44100");
    }
    if (o.audio_bits != 8 && o.audio_bits != 16) return fail("--audio-bits must be 8 or 16");
    if (o.audio_channels != 1 && o.audio_channels != 2) {
        return fail("--audio-channels must be 1 or 2");
    }
    bool needs_two = has(o, Damage::Garbage) || has(o, Damage::ZeroLengthMagic);
    if (needs_two && o.seconds < 2) return fail("this damage needs at least 2 seconds");
    return {};
}

fleet::Result<RecordSummary> record(const RecordOptions& options) {
    if (auto checked = check_options(options); !checked) return checked.error();
    Recording recording(options);
    return recording.run();
}

bool parse_damage(const std::string& name, Damage& out) {
    static const struct {
        const char* name;
        Damage damage;
    } kNames[] = {{"garbage", Damage::Garbage},
                  {"corrupt-header", Damage::CorruptHeader},
                  {"truncate", Damage::Truncate},
                  {"zero-length-magic", Damage::ZeroLengthMagic},
                  {"broken-pictures", Damage::BrokenPictures},
                  {"undecodable", Damage::Undecodable}};
    for (const auto& entry : kNames) {
        if (name == entry.name) {
            out = entry.damage;
            return true;
        }
    }
    return false;
}

namespace {

bool parse_resolution(const std::string& name, Resolution& out) {
    if (name == "cif")
        out = {352, 288};
    else if (name == "d1")
        out = {720, 480};
    else if (name == "720p")
        out = {1280, 720};
    else
        return false;
    return true;
}

}  // namespace

bool parse_resolutions(const std::string& names, std::vector<Resolution>& out) {
    std::vector<Resolution> sizes;
    size_t from = 0;
    for (;;) {
        const size_t comma = names.find(',', from);
        Resolution size;
        if (!parse_resolution(names.substr(from, comma - from), size)) return false;
        sizes.push_back(size);
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    out = std::move(sizes);
    return true;
}

Resolution resolution_of(const RecordOptions& options, int channel) {
    if (options.resolutions.empty()) return Resolution{};
    const size_t last = options.resolutions.size() - 1;
    return options.resolutions[std::min(static_cast<size_t>(channel), last)];
}

bool parse_scene(const std::string& name, Scene& out) {
    if (name == "flat")
        out = Scene::Flat;
    else if (name == "camera")
        out = Scene::Camera;
    else
        return false;
    return true;
}

}  // namespace dvrsim
