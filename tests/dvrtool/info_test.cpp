// dvrtool info: the summary of a small recording.
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/log.h>
}

#include "dvrsim/h264_encoder.h"
#include "format/info_block_writer.h"
#include "pair_builder.h"
#include "run_dvrtool.h"

namespace dvrtool_test {
namespace {

using nlohmann::json;

json info_json(const std::string& dvr) {
    auto result = dvrtool({"info", dvr, "--json"});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    return json::parse(result.out);
}

TEST(DvrtoolInfo, JsonDescribesSmallRecording) {
    fleet::test::TempDir dir;
    PairBuilder pair(dir.file("rec"));
    for (uint32_t i = 0; i < 3; ++i) {
        fleet::format::GopPlan gop = make_gop(kT0 + i, {0, 2}, 2 + static_cast<int>(i));
        gop.audio = {8000, 16, 1, std::vector<uint8_t>(320, 0x11)};
        // Only the second GOP names the vehicle: the first name found is reported.
        if (i == 1) {
            fleet::format::InfoBlockPlan info;
            info.status = std::vector<fleet::format::StatusRecord>(3, {"BUS-42", 20, 0, 0});
            gop.info = fleet::format::build_info_block(info);
        }
        pair.add_gop(gop);
    }
    pair.finish();

    json j = info_json(pair.dvr());
    EXPECT_EQ(j["channels"], 4);
    EXPECT_EQ(j["stream_version"], 3);
    EXPECT_EQ(j["gops"], 3);
    EXPECT_EQ(j["frames_per_channel"], 2 + 3 + 4);
    EXPECT_EQ(j["begin_time"], kT0);
    EXPECT_EQ(j["end_time"], kT0 + 2);
    EXPECT_EQ(j["begin"], "2024-05-01 12:00:00");
    EXPECT_EQ(j["end"], "2024-05-01 12:00:02");
    EXPECT_EQ(j["length"], pair.length());
    EXPECT_EQ(j["channels_present"], json::array({1, 3}));
    EXPECT_EQ(j["audio"], json({{"rate", 8000}, {"bits", 16}, {"channels", 1}}));
    EXPECT_EQ(j["vehicle_id"], "BUS-42");
    // The payloads are not H.264.
    EXPECT_EQ(j["resolution"], "unknown");
    EXPECT_TRUE(j["width"].is_null());
}

std::vector<uint8_t> key_frame(int width, int height) {
    av_log_set_level(AV_LOG_ERROR);  // the encoder's statistics are not test output
    dvrsim::H264Encoder encoder;
    if (!encoder.open({width, height, 1, 25})) return {};
    std::vector<uint8_t> picture(static_cast<size_t>(width * height * 3 / 2), 0x80);
    auto unit = encoder.encode(picture.data(), true);
    return unit ? std::move(*unit) : std::vector<uint8_t>{};
}

TEST(DvrtoolInfo, ResolutionIsTheFirstPresentChannelsPictureWithoutTheBand) {
    std::vector<uint8_t> large = key_frame(352, 296), small = key_frame(176, 152);
    if (large.empty() || small.empty()) GTEST_SKIP() << "no H.264 encoder";
    fleet::test::TempDir dir;
    PairBuilder pair(dir.file("rec"));
    fleet::format::GopPlan gop;
    gop.time = kT0;
    gop.announced_frames = 1;
    // Channel 2 (format 1) comes first in the file but channel 1 is absent: channel 2 counts.
    gop.frames = {{3, true, small}, {1, true, large}};
    pair.add_gop(gop);
    pair.finish();

    json j = info_json(pair.dvr());
    EXPECT_EQ(j["resolution"], "352x288");
    EXPECT_EQ(j["width"], 352);
    EXPECT_EQ(j["height"], 288);
    EXPECT_EQ(j["audio"], nullptr);
    EXPECT_EQ(j["vehicle_id"], nullptr);
}

}  // namespace
}  // namespace dvrtool_test
