// dvrtool telemetry: per-frame values as the info block carries them.
#include <gtest/gtest.h>

#include "format/info_block_writer.h"
#include "pair_builder.h"
#include "run_dvrtool.h"

namespace dvrtool_test {
namespace {

using nlohmann::json;

TEST(DvrtoolTelemetry, JsonLinesCarryTheInfoBlockValues) {
    fleet::test::TempDir dir;
    PairBuilder pair(dir.file("rec"));
    // The rejected first GOP prints nothing but still takes GOP number 0.
    fleet::format::GopPlan rejected = make_gop(kT0, {0}, 1);
    rejected.version = 9;
    pair.add_gop(rejected);

    fleet::format::InfoBlockPlan info;
    info.status = std::vector<fleet::format::StatusRecord>{{"BUS-42", 21, 0x05, 0x02},
                                                           {"BUS-42", -3, 0x00, 0x08}};
    info.speed =
        std::vector<uint16_t>{fleet::format::speed_word(425), fleet::format::speed_word(500)};
    info.position = std::vector<std::string>{"N5130.1234E00007.5678", "N5130.1300E00007.5700"};
    info.gsensor = std::vector<std::array<int8_t, 3>>{{{1, -2, 64}}, {{0, 0, -64}}};
    // Format channel 9 is beyond a FrameSet's eight channels: never listed.
    fleet::format::GopPlan gop = make_gop(kT0 + 1, {0, 2, 9}, 2);
    gop.info = fleet::format::build_info_block(info);
    pair.add_gop(gop);
    pair.finish();

    auto result = dvrtool({"telemetry", pair.dvr(), "--json"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    auto lines = json_lines(result.out);
    ASSERT_EQ(lines.size(), 2u);

    const json& f0 = lines[0];
    EXPECT_EQ(f0["gop"], 1);
    EXPECT_EQ(f0["frame"], 0);
    EXPECT_EQ(f0["time"], kT0 + 1);
    EXPECT_EQ(f0["channels"], json::array({1, 3}));
    EXPECT_EQ(f0["car_id"], "BUS-42");
    EXPECT_EQ(f0["speed"], 42.5);
    EXPECT_EQ(f0["temperature"], 21);
    EXPECT_EQ(f0["gsensor"], json::array({1, -2, 64}));
    EXPECT_EQ(f0["position"], "N5130.1234E00007.5678");
    EXPECT_EQ(f0["flags"], json::array({1, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(f0["tyres_per_group"], nullptr);

    const json& f1 = lines[1];
    EXPECT_EQ(f1["frame"], 1);
    EXPECT_EQ(f1["speed"], 50.0);
    EXPECT_EQ(f1["temperature"], -3);
    EXPECT_EQ(f1["gsensor"], json::array({0, 0, -64}));
    EXPECT_EQ(f1["flags"], json::array({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
}

// Damaged or foreign-encoded texts: every GOP still prints, each odd byte read as Latin-1.
TEST(DvrtoolTelemetry, TextsThatAreNotUtf8StillPrintEveryGop) {
    fleet::test::TempDir dir;
    PairBuilder pair(dir.file("rec"));
    const std::vector<std::pair<std::string, std::string>> texts = {
        {"BUS\xE9\xFF-1",
         "N5130.12\x99"
         "4E00007.5678"},
        {"BUS-42", "N5130.1234E00007.5678"},
        {"\xD4\xC1"
         "B12345",
         "N5130.1234E0000\xC3\xA9.567"},
    };
    for (size_t i = 0; i < texts.size(); ++i) {
        fleet::format::InfoBlockPlan info;
        info.status = std::vector<fleet::format::StatusRecord>{{texts[i].first, 20, 0, 0}};
        info.position = std::vector<std::string>{texts[i].second};
        fleet::format::GopPlan gop = make_gop(kT0 + static_cast<uint32_t>(i), {0}, 1);
        gop.info = fleet::format::build_info_block(info);
        pair.add_gop(gop);
    }
    pair.finish();

    auto result = dvrtool({"telemetry", pair.dvr(), "--json"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    auto lines = json_lines(result.out);
    ASSERT_EQ(lines.size(), 3u);
    const std::pair<const char*, const char*> expected[] = {
        {"BUS\xC3\xA9\xC3\xBF-1",
         "N5130.12\xC2\x99"
         "4E00007.5678"},
        {"BUS-42", "N5130.1234E00007.5678"},
        {"\xC3\x94\xC3\x81"
         "B12345",
         "N5130.1234E0000\xC3\xA9.567"},
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i]["gop"], i);
        EXPECT_EQ(lines[i]["car_id"], expected[i].first) << i;
        EXPECT_EQ(lines[i]["position"], expected[i].second) << i;
    }

    auto info = dvrtool({"info", pair.dvr(), "--json"});
    ASSERT_EQ(info.exit_code, 0) << info.err;
    EXPECT_EQ(json::parse(info.out)["vehicle_id"], "BUS\xC3\xA9\xC3\xBF-1");
}

}  // namespace
}  // namespace dvrtool_test
