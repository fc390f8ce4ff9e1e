// Cost of painting dvrsim's test pictures (a 720p picture of each scene), against filling the
// same bytes once as the reference.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "dvrsim/picture_painter.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 728;

dvrsim::PictureContent content_for(int frame, dvrsim::Scene scene) {
    dvrsim::PictureContent content;
    content.channel = frame % 8;
    content.frame_index = frame;
    content.time = 1718000000;
    content.frame_in_second = frame % 25;
    content.fps = 25;
    content.scene = scene;
    return content;
}

void BM_PaintPicture(benchmark::State& state, dvrsim::Scene scene) {
    std::vector<uint8_t> picture(dvrsim::yuv420p_size(kWidth, kHeight));
    int frame = 0;
    for (auto _ : state) {
        dvrsim::paint_picture(picture.data(), kWidth, kHeight, content_for(frame++, scene));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * picture.size()));
}
BENCHMARK_CAPTURE(BM_PaintPicture, flat, dvrsim::Scene::Flat);
BENCHMARK_CAPTURE(BM_PaintPicture, camera, dvrsim::Scene::Camera);

void BM_FillPictureReference(benchmark::State& state) {
    std::vector<uint8_t> picture(dvrsim::yuv420p_size(kWidth, kHeight));
    int frame = 0;
    for (auto _ : state) {
        std::memset(picture.data(), frame++ & 0xFF, picture.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * picture.size()));
}
BENCHMARK(BM_FillPictureReference);

}  // namespace

BENCHMARK_MAIN();
