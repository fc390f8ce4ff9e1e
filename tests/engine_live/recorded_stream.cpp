#include "recorded_stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>

#include "engine_harness.h"
#include "format/gop_layout.h"
#include "format/stream_walker.h"
#include "present/presenter.h"
#include "process.h"
#include "source/file_source.h"
#include "streams.h"

namespace live_test {
namespace {

// dvrsim records CIF below the recorder's band of rows, which the engine does not show.
constexpr int kPictureWidth = 352;
constexpr int kPictureHeight = 288;

// Every channel's frame data in stream order, across all GOPs.
std::vector<std::vector<Bytes>> channel_units(const std::vector<Bytes>& gops, int channels) {
    std::vector<std::vector<Bytes>> units(static_cast<size_t>(channels));
    for (const Bytes& gop : gops) {
        auto layout = fleet::format::gop_layout(gop.data(), gop.size());
        if (!layout) {
            ADD_FAILURE() << "a recorded GOP does not parse";
            continue;
        }
        fleet::format::for_each_frame_record(
            gop.data(), *layout, [&](const fleet::format::FrameRecordView& frame) {
                if (frame.channel >= channels) return;
                units[static_cast<size_t>(frame.channel)].emplace_back(frame.data,
                                                                       frame.data + frame.length);
            });
    }
    return units;
}

struct CanvasCatcher {
    uint64_t hash = 0;
    int32_t width = 0, height = 0;
    static void size(void* user, int32_t* w, int32_t* h) {
        *w = static_cast<CanvasCatcher*>(user)->width;
        *h = static_cast<CanvasCatcher*>(user)->height;
    }
    static void present(void* user, const KivraCanvas* c) {
        std::vector<uint8_t> rows;
        for (int y = 0; y < c->height; ++y) {
            const uint8_t* row =
                c->pixels + static_cast<size_t>(y) * static_cast<size_t>(c->stride);
            rows.insert(rows.end(), row, row + static_cast<size_t>(c->width) * 4);
        }
        static_cast<CanvasCatcher*>(user)->hash =
            fleet::test::canvas_hash(rows.data(), rows.size());
    }
};

}  // namespace

RecordedStream recorded_stream(const std::string& base, int audio_rate, int audio_bits) {
    RecordedStream stream;
    stream.audio_rate = audio_rate;
    stream.audio_bits = audio_bits;
    kivra::FileSource source;
    const fleet::Status opened = source.open(base + ".dvr", base + ".inx");
    EXPECT_TRUE(opened) << base;
    if (!opened) return stream;
    stream.channels = source.probe().channel_count;
    Bytes bytes(fleet::format::kWalkBufferSize);
    fleet::format::WalkBuffer buffer{bytes.data(), bytes.size(), 0};
    while (source.next(buffer) == fleet::format::kWalkRead) {
        stream.gops.emplace_back(bytes.begin(),
                                 bytes.begin() + static_cast<std::ptrdiff_t>(buffer.length));
    }
    for (const std::string& line :
         fleet::test::split_lines(fleet::test::read_file(base + ".truth.jsonl"))) {
        stream.truth.push_back(nlohmann::ordered_json::parse(line));
    }
    return stream;
}

nlohmann::ordered_json reported_part(nlohmann::ordered_json truth) {
    for (const char* key : {"gop", "frame", "channels"}) truth.erase(key);
    return truth;
}

std::vector<uint64_t> expected_canvases(const std::vector<Bytes>& gops, int channels, int width,
                                        int height) {
    std::vector<std::vector<Bytes>> pictures;
    for (const auto& units : channel_units(gops, channels)) {
        pictures.push_back(decode_test::reference_pictures(units));
    }
    const size_t frames = pictures.empty() ? 0 : pictures[0].size();
    const size_t picture_bytes = static_cast<size_t>(kPictureWidth * kPictureHeight * 3 / 2);
    for (const auto& channel : pictures) {
        EXPECT_EQ(channel.size(), frames) << "channels decode to different frame counts";
        for (const Bytes& picture : channel) EXPECT_EQ(picture.size(), picture_bytes);
    }

    CanvasCatcher catcher{0, width, height};
    KivraVideoTarget target{&catcher, &CanvasCatcher::size, &CanvasCatcher::present};
    kivra::Presenter presenter;
    EXPECT_TRUE(presenter.create(&target));
    const int layout = channels == 8 ? 9 : channels;
    std::vector<uint64_t> canvases;
    for (size_t k = 0; k < frames; ++k) {
        presenter.begin_frame();
        for (int c = 0; c < channels; ++c) {
            const Bytes& picture = pictures[static_cast<size_t>(c)][k];
            if (picture.size() != picture_bytes) continue;
            char label[16];
            std::snprintf(label, sizeof label, "C%d", c + 1);
            presenter.set_label(label, kPictureWidth - 40, kPictureHeight - 20);
            EXPECT_TRUE(
                presenter.present(layout, c, picture.data(), kPictureWidth, kPictureHeight));
        }
        presenter.end_frame();
        canvases.push_back(catcher.hash);
    }
    return canvases;
}

}  // namespace live_test
