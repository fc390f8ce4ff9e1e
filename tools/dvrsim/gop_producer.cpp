#include "dvrsim/gop_producer.h"

#include <algorithm>
#include <cstdio>

#include "dvrsim/audio_synth.h"
#include "dvrsim/h264_encoder.h"
#include "dvrsim/picture_painter.h"
#include "dvrsim/rng.h"
#include "dvrsim/truth.h"
#include "dvrsim/tyre_layout.h"
#include "format/gop_header.h"
#include "format/info_block_writer.h"

namespace dvrsim {
namespace {

std::string vehicle_id_for(const RecordOptions& o) {
    if (!o.vehicle_id.empty()) return o.vehicle_id.substr(0, 14);
    char text[16];
    std::snprintf(text, sizeof text, "BUS-%04u", static_cast<unsigned>(o.seed % 10000));
    return text;
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

}  // namespace

// One encoder per channel, each at its channel's size.
struct GopProducer::Encoders {
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

TyreFrame recorded_tyre_frame(const RecordOptions& o, int64_t gop, int frame, int speed_tenths) {
    if (has_units(o.tyre_layout))
        return unit_tyre_frame(o.tyre_layout, o.seed, gop, frame, speed_tenths);
    return tyre_frame(o.seed, gop, frame, speed_tenths, o.stream_version == 3);
}

GopProducer::GopProducer(const RecordOptions& o)
    : o_(o),
      damage_(o),
      model_(o.seed, o.fps, o.origin),
      vehicle_id_(vehicle_id_for(o)),
      encoders_(std::make_unique<Encoders>()) {}

GopProducer::~GopProducer() = default;

fleet::Status GopProducer::open() {
    return encoders_->open(o_);
}

fleet::Result<std::vector<fleet::format::FrameRecord>> GopProducer::encode_frames(int64_t index,
                                                                                  uint32_t time) {
    std::vector<fleet::format::FrameRecord> frames;
    for (int k = 0; k < o_.fps; ++k) {
        for (int c = 0; c < o_.channels; ++c) {
            const int frame_index = static_cast<int>(index * o_.fps + k);
            PictureContent content{c, frame_index, time, k, o_.fps, o_.scene};
            auto& channel = encoders_->channels[static_cast<size_t>(c)];
            paint_picture(channel.picture.data(), channel.width, channel.height, content);
            auto unit = channel.encoder->encode(channel.picture.data(), k == 0);
            if (!unit) return fleet::fail("H.264 encoding failed: " + unit.error().message);
            frames.push_back({c, k == 0, std::move(*unit)});
        }
    }
    return frames;
}

std::vector<uint8_t> GopProducer::info_block(const std::vector<VehicleSample>& samples,
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
    section.words_per_group = static_cast<int>(tyres.front().tyres.size());
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

fleet::Result<ProducedGop> GopProducer::next(int64_t index) {
    const uint32_t time = o_.start_time + static_cast<uint32_t>(index);
    std::vector<VehicleSample> samples;
    std::vector<TyreFrame> tyres;
    for (int k = 0; k < o_.fps; ++k) {
        samples.push_back(model_.step());
        const int speed = samples.back().speed_tenths;
        tyres.push_back(recorded_tyre_frame(o_, index, k, speed));
    }

    fleet::format::GopPlan plan;
    plan.version = static_cast<uint32_t>(o_.stream_version);
    plan.channel_count = o_.channels;
    plan.time = time;
    plan.previous_length = previous_length_;
    plan.announced_frames = o_.fps;
    auto frames = encode_frames(index, time);
    if (!frames) return frames.error();
    plan.frames = std::move(*frames);
    if (index == damage_.broken_pictures) break_pictures(plan.frames, o_.seed);
    if (index == damage_.undecodable) make_undecodable(plan.frames);
    if (o_.audio) {
        plan.audio = {o_.audio_rate, o_.audio_bits, o_.audio_channels,
                      synth_audio_second({o_.audio_rate, o_.audio_bits, o_.audio_channels}, index)};
    }
    if (o_.stream_version >= 1) plan.info = info_block(samples, tyres);

    ProducedGop gop;
    gop.index = index;
    gop.time = time;
    gop.bytes = fleet::format::build_gop(plan);
    if (index == damage_.corrupt) gop.bytes[4] = 0xFE;  // version 254: the parser must reject it
    previous_length_ = static_cast<uint32_t>(gop.bytes.size());
    gop.first_sample = samples.front();
    gop.first_tyres = tyres.front();
    if (!damage_.lost(index)) {
        TruthContext context{index,        time,        o_.stream_version,
                             o_.channels,  vehicle_id_, samples.front().gps_fix,
                             &tyres.back()};
        for (int k = 0; k < o_.fps; ++k) {
            auto i = static_cast<size_t>(k);
            gop.truth_lines.push_back(truth_line(context, k, samples[i], tyres[i]));
        }
    }
    return gop;
}

fleet::Status produce_into(GopProducer& producer, int64_t count, GopSink& sink, bool progress) {
    for (int64_t index = 0; index < count; ++index) {
        auto gop = producer.next(index);
        if (!gop) return gop.error();
        if (auto stored = sink.store(*gop); !stored) return stored;
        if (progress && (index + 1) % 10 == 0) {
            std::fprintf(stderr, "\rdvrsim: %lld/%lld s", static_cast<long long>(index + 1),
                         static_cast<long long>(count));
        }
    }
    if (progress) std::fprintf(stderr, "\r");
    return {};
}

}  // namespace dvrsim
