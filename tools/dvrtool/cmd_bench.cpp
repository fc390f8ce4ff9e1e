// `bench decode`: the engine's GOP-to-FrameSet path against FFmpeg's decoder alone on the same
// H.264, so a slowdown in parsing, cropping or copying shows as a ratio below 1.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "decode/decoder_bank.h"
#include "dvrtool/commands.h"
#include "format/frame_set.h"
#include "format/gop_layout.h"
#include "forward_walk.h"
#include "messages.h"
#include "recording.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/buffer.h>
#include <libavutil/log.h>
}

namespace dvrtool {
namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

constexpr int kRuns = 3;

// One channel's access units back to back, each followed by the zeroed tail FFmpeg wants
// after its input, so packets can point into it without a copy.
struct Stream {
    Bytes bytes;
    std::vector<size_t> offsets;
    std::vector<int> lengths;
};

struct Loaded {
    std::vector<Bytes> gops;
    std::array<Stream, KIVRA_MAX_CHANNELS> streams;
    int64_t frames = 0;
};

void add_streams(const Bytes& gop, Loaded& loaded) {
    auto layout = fleet::format::gop_layout(gop.data(), gop.size());
    if (!layout) return;
    // The same records the GOP parser hands to its decoder, and no others.
    fleet::format::for_each_frame_record(
        gop.data(), *layout, [&](const fleet::format::FrameRecordView& f) {
            if (f.channel >= KIVRA_MAX_CHANNELS || f.index >= KIVRA_MAX_FRAMES || f.length == 0) {
                return;
            }
            Stream& s = loaded.streams[static_cast<size_t>(f.channel)];
            s.offsets.push_back(s.bytes.size());
            s.lengths.push_back(static_cast<int>(f.length));
            s.bytes.insert(s.bytes.end(), f.data, f.data + f.length);
            s.bytes.insert(s.bytes.end(), AV_INPUT_BUFFER_PADDING_SIZE, 0);
            ++loaded.frames;
        });
}

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Timed {
    double seconds = std::numeric_limits<double>::infinity();
    int64_t pictures = 0;
    double rate() const { return seconds > 0 ? static_cast<double>(pictures) / seconds : 0; }
};

// The engine allocates its FrameSet once per open recording; so does the bench.
fleet::Result<Timed> run_engine(const Loaded& loaded, fleet::format::FrameSetStorage& storage) {
    kivra::DecoderBank bank;
    if (!bank.ready()) return fleet::fail("the engine's H.264 decoders did not open");
    Timed t;
    const auto start = Clock::now();
    for (const Bytes& gop : loaded.gops) {
        const FrameSet& set = storage.get();
        if (bank.parse(gop.data(), gop.size(), storage.get()) != fleet::format::kParseOk) continue;
        for (int c = 0; c < KIVRA_MAX_CHANNELS; ++c) {
            for (int k = 0; k < set.frames_per_channel; ++k) {
                if (set.picture_size[c][k] > 0) ++t.pictures;
            }
        }
    }
    t.seconds = seconds_since(start);
    return t;
}

struct ContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct BufferFree {
    void operator()(AVBufferRef* b) const { av_buffer_unref(&b); }
};

void keep_bytes(void*, uint8_t*) {}

struct Reference {
    std::unique_ptr<AVCodecContext, ContextFree> context;
    std::unique_ptr<AVBufferRef, BufferFree> input;
};

fleet::Result<Timed> run_ffmpeg(Loaded& loaded) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    std::array<Reference, KIVRA_MAX_CHANNELS> refs;
    for (size_t c = 0; c < refs.size(); ++c) {
        Stream& s = loaded.streams[c];
        if (s.offsets.empty()) continue;
        refs[c].context.reset(avcodec_alloc_context3(codec));
        if (!refs[c].context) return fleet::fail("out of memory");
        refs[c].context->thread_count = 1;
        if (avcodec_open2(refs[c].context.get(), codec, nullptr) != 0) {
            return fleet::fail("FFmpeg's H.264 decoder did not open");
        }
        refs[c].input.reset(av_buffer_create(s.bytes.data(), s.bytes.size(), keep_bytes, nullptr,
                                             AV_BUFFER_FLAG_READONLY));
        if (!refs[c].input) return fleet::fail("out of memory");
    }
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(),
                                                          [](AVPacket* p) { av_packet_free(&p); });
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(),
                                                       [](AVFrame* f) { av_frame_free(&f); });
    if (!packet || !frame) return fleet::fail("out of memory");

    Timed t;
    const auto start = Clock::now();
    for (size_t c = 0; c < refs.size(); ++c) {
        AVCodecContext* context = refs[c].context.get();
        if (context == nullptr) continue;
        const Stream& s = loaded.streams[c];
        const auto drain = [&] {
            while (avcodec_receive_frame(context, frame.get()) == 0) {
                ++t.pictures;
                av_frame_unref(frame.get());
            }
        };
        for (size_t i = 0; i < s.offsets.size(); ++i) {
            packet->buf = av_buffer_ref(refs[c].input.get());
            if (packet->buf == nullptr) return fleet::fail("out of memory");
            packet->data = refs[c].input->data + s.offsets[i];
            packet->size = s.lengths[i];
            avcodec_send_packet(context, packet.get());
            av_packet_unref(packet.get());
            drain();
        }
        avcodec_send_packet(context, nullptr);
        drain();
    }
    t.seconds = seconds_since(start);
    return t;
}

Timed best(const Timed& a, const Timed& b) {
    return b.seconds < a.seconds ? b : a;
}

Outcome bench_decode(const CommandLine& line) {
    auto recording = open_recording(line);
    if (!recording) return recording.error();
    const std::string& dvr_path = (*recording)->name();

    Loaded loaded;
    ForwardWalk walk(**recording);
    for (auto step = walk.next(); step != ForwardWalk::kEnd; step = walk.next()) {
        if (step == ForwardWalk::kFailure) {
            warn_skipped(**recording, walk.failure());
            continue;
        }
        const WalkedGop& g = walk.gop();
        loaded.gops.emplace_back(g.data, g.data + g.length);
        add_streams(loaded.gops.back(), loaded);
    }
    if (loaded.frames == 0) return fleet::fail(dvr_path + ": no video frames to decode");
    const auto channels = std::count_if(loaded.streams.begin(), loaded.streams.end(),
                                        [](const Stream& s) { return !s.offsets.empty(); });

    // A damaged recording would flood the terminal with the decoders' complaints.
    av_log_set_level(AV_LOG_QUIET);
    fleet::format::FrameSetStorage storage;
    Timed engine, ffmpeg;
    // Alternating the two spreads any change in machine load over both.
    for (int run = 0; run < kRuns; ++run) {
        auto engine_run = run_engine(loaded, storage);
        if (!engine_run) return engine_run.error();
        auto ffmpeg_run = run_ffmpeg(loaded);
        if (!ffmpeg_run) return ffmpeg_run.error();
        engine = best(engine, *engine_run);
        ffmpeg = best(ffmpeg, *ffmpeg_run);
    }
    if (engine.pictures != ffmpeg.pictures) {
        warn(dvr_path + ": the engine decoded " + std::to_string(engine.pictures) +
             " pictures, FFmpeg " + std::to_string(ffmpeg.pictures));
    }
    std::printf("%s: %zu GOPs, %lld frames of %lld channels, best of %d runs\n", dvr_path.c_str(),
                loaded.gops.size(), static_cast<long long>(loaded.frames),
                static_cast<long long>(channels), kRuns);
    std::printf("engine %.1f pictures/s\n", engine.rate());
    std::printf("ffmpeg %.1f pictures/s\n", ffmpeg.rate());
    std::printf("ratio %.2f\n", ffmpeg.rate() > 0 ? engine.rate() / ffmpeg.rate() : 0.0);
    return kExitDone;
}

}  // namespace

Outcome run_bench(const CommandLine& line) {
    if (line.operands.empty()) return usage_error("missing the benchmark's name (try 'decode')");
    const std::string& what = line.operands[0];
    if (what != "decode") return usage_error("unknown benchmark '" + what + "' (try 'decode')");
    const size_t operands = names_medium(line) ? 1 : 2;
    if (line.operands.size() < operands) return usage_error("missing FILE");
    if (line.operands.size() > operands) {
        return usage_error("unexpected argument '" + line.operands[operands] + "'");
    }
    CommandLine file_line = line;
    file_line.operands.erase(file_line.operands.begin());
    return bench_decode(file_line);
}

}  // namespace dvrtool
