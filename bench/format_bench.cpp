// Cost of turning a GOP into a FrameSet (frame walk, audio split, telemetry; decoding is
// measured with the engine), against copying the same bytes once as the reference.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "format/frame_set.h"
#include "format/gop_builder.h"
#include "format/gop_parser.h"
#include "format/info_block_writer.h"

namespace {

// An 8-channel GOP of 15 frames per channel with stereo audio and a full info block.
std::vector<uint8_t> sample_gop() {
    constexpr int kFrames = 15, kChannels = 8;
    fleet::format::GopPlan plan;
    plan.version = 3;
    plan.channel_count = kChannels;
    plan.announced_frames = kFrames;
    for (int k = 0; k < kFrames; ++k) {
        for (int c = 0; c < kChannels; ++c) {
            plan.frames.push_back({c, k == 0, std::vector<uint8_t>(k == 0 ? 12000 : 2500, 0x5A)});
        }
    }
    plan.audio = {16000, 16, 2, std::vector<uint8_t>(64000, 0x11)};
    fleet::format::InfoBlockPlan info;
    info.status.emplace(kFrames, fleet::format::StatusRecord{"BUS-0042", 21, 0x13, 0x05});
    info.speed.emplace(kFrames, fleet::format::speed_word(654));
    info.position.emplace(kFrames, "2232.1234N11404.5678E");
    info.gsensor.emplace(kFrames, std::array<int8_t, 3>{3, -2, 64});
    fleet::format::TyreSection tyres;
    tyres.words_per_group = 6;
    tyres.groups.assign(kFrames,
                        std::vector<uint32_t>(6, fleet::format::tyre_word_v3(1, 0, 30, 110)));
    tyres.summary = 0x06;
    info.tyres = tyres;
    plan.info = fleet::format::build_info_block(info);
    return fleet::format::build_gop(plan);
}

void BM_ParseGop(benchmark::State& state) {
    std::vector<uint8_t> gop = sample_gop();
    fleet::format::FrameSetStorage set;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            fleet::format::parse_gop(gop.data(), gop.size(), nullptr, set.get()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gop.size()));
}
BENCHMARK(BM_ParseGop);

void BM_CopyGopReference(benchmark::State& state) {
    std::vector<uint8_t> gop = sample_gop();
    std::vector<uint8_t> copy(gop.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), gop.data(), gop.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gop.size()));
}
BENCHMARK(BM_CopyGopReference);

}  // namespace

BENCHMARK_MAIN();
