#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "format/gop_builder.h"
#include "format/gop_parser.h"
#include "format/info_block.h"
#include "format/info_block_writer.h"
#include "format_test_support.h"

namespace {

using fleet::format::build_info_block;
using fleet::format::InfoBlockPlan;
using fleet::format::StatusRecord;
using fleet::format::TyreSection;
using fmt_test::GuardedFrameSet;

constexpr size_t kHead = 4 + 3;  // block word, then the first section's head

void parse(const std::vector<uint8_t>& block, GuardedFrameSet& set, uint32_t version = 3,
           int frames = KIVRA_MAX_FRAMES, bool eight_channel_v3 = false) {
    fleet::format::parse_info_block(block.data(), block.size(),
                                    fleet::format::InfoContext{version, eight_channel_v3, frames},
                                    set.get());
}

std::array<int32_t, 6> summary_of(const FrameSet& set) {
    std::array<int32_t, 6> s;
    std::copy(std::begin(set.tyre_summary), std::end(set.tyre_summary), s.begin());
    return s;
}

TEST(InfoBlock, SpeedWordsCarryTenthsInTheTopBits) {
    struct Row {
        uint16_t word;
        float kmh;
    } rows[] = {{0x5078, 120.5f}, {0x0000, 0.0f}, {0x0FFF, 4095.0f},
                {0x1000, 0.1f},   {0xF001, 2.5f}, {0x9064, 100.9f}};
    fleet::format::InfoBlockPlan plan;
    plan.speed.emplace();
    for (const auto& row : rows) plan.speed->push_back(row.word);
    GuardedFrameSet set;
    parse(fleet::format::build_info_block(plan), set);
    ASSERT_EQ(set->speed_count, static_cast<int32_t>(std::size(rows)));
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_FLOAT_EQ(set->speed[i], rows[i].kmh) << std::hex << rows[i].word;
    }
}

TEST(InfoBlock, StatusRecordsGiveIdentifierTemperatureAndFlags) {
    fleet::format::InfoBlockPlan plan;
    plan.status = std::vector<fleet::format::StatusRecord>{{"ABCDEFGHIJKLMNOP", -5, 0xA5, 0x0A},
                                                           {"OTHER", 100, 0x5A, 0x05}};
    auto block = fleet::format::build_info_block(plan);
    block[kHead + 16] |= 0xF0;  // signal bits 4-7 carry nothing
    GuardedFrameSet set;
    parse(block, set);
    EXPECT_EQ(std::string(set->vehicle_id, 16), std::string("ABCDEFGHIJKLMN\0\0", 16));
    EXPECT_EQ(set->temperature_count, 2);
    EXPECT_EQ(set->temperature[0], -5);
    EXPECT_EQ(set->temperature[1], 100);
    EXPECT_EQ(set->flag_count, 2);
    const uint8_t flags0[12] = {1, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 1};
    const uint8_t flags1[12] = {0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0};
    EXPECT_EQ(0, std::memcmp(set->flags[0], flags0, 12));
    EXPECT_EQ(0, std::memcmp(set->flags[1], flags1, 12));
}

// Inputs 4-7 exist only on eight-channel version 3 recorders.
TEST(InfoBlock, UpperInputFlagsNeedAnEightChannelVersionThreeGop) {
    struct Row {
        uint32_t version;
        int channel_count;
        bool upper;
    } rows[] = {{3, 8, true}, {3, 4, false}, {3, 16, false}, {3, 1, false}, {2, 8, false}};
    fleet::format::InfoBlockPlan info;
    info.status = std::vector<fleet::format::StatusRecord>{{"V", 0, 0xF3, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE("version " + std::to_string(row.version) + ", " +
                     std::to_string(row.channel_count) + " channels");
        fleet::format::GopPlan plan;
        plan.version = row.version;
        plan.channel_count = row.channel_count;
        plan.frames = {fmt_test::frame(0)};
        plan.info = fleet::format::build_info_block(info);
        auto gop = fleet::format::build_gop(plan);
        GuardedFrameSet set;
        ASSERT_EQ(fleet::format::parse_gop(gop.data(), gop.size(), nullptr, set.get()),
                  fleet::format::kParseOk);
        ASSERT_EQ(set->flag_count, 1);
        uint8_t u = row.upper ? 1 : 0;
        const uint8_t expected[12] = {1, 1, 0, 0, u, u, u, u, 0, 0, 0, 0};
        EXPECT_EQ(0, std::memcmp(set->flags[0], expected, 12));
    }
}

TEST(InfoBlock, PositionIsBytesFiveToTwentyFive) {
    const std::string text = "2237.1234N11402.5678E";
    ASSERT_EQ(text.size(), size_t{KIVRA_POSITION_SIZE});
    fleet::format::InfoBlockPlan plan;
    plan.position = std::vector<std::string>{text};
    auto block = fleet::format::build_info_block(plan);
    for (size_t i : {0u, 1u, 2u, 3u, 4u, 26u, 27u, 33u}) block[kHead + i] = '#';
    GuardedFrameSet set;
    parse(block, set);
    ASSERT_EQ(set->position_count, 1);
    EXPECT_EQ(std::string(set->position[0], KIVRA_POSITION_SIZE), text);
}

TEST(InfoBlock, GSensorAxesAreSigned) {
    fleet::format::InfoBlockPlan plan;
    plan.gsensor = std::vector<std::array<int8_t, 3>>{{-127, 0, 127}, {-1, 2, -3}};
    GuardedFrameSet set;
    parse(fleet::format::build_info_block(plan), set);
    ASSERT_EQ(set->gsensor_count, 2);
    EXPECT_EQ(set->gsensor[0].x, -127);
    EXPECT_EQ(set->gsensor[0].z, 127);
    EXPECT_EQ(set->gsensor[1].x, -1);
    EXPECT_EQ(set->gsensor[1].y, 2);
    EXPECT_EQ(set->gsensor[1].z, -3);
}

TEST(InfoBlock, VersionThreeTyreWords) {
    fleet::format::InfoBlockPlan plan;
    plan.tyres = fleet::format::TyreSection{2,
                                            {{fleet::format::tyre_word_v3(7, 0x04, -12, 95),
                                              fleet::format::tyre_word_v3(255, 0x00, 120, 0)}},
                                            0u};
    GuardedFrameSet set;
    parse(fleet::format::build_info_block(plan), set, 3);
    ASSERT_EQ(set->tyre_group_count, 1);
    ASSERT_EQ(set->tyres_per_group, 2);
    const TyreRecord& a = set->tyres[0][0];
    EXPECT_EQ(a.id, 7);
    EXPECT_FLOAT_EQ(a.pressure, 95.0f);
    EXPECT_EQ(a.temperature, -12);
    EXPECT_EQ(a.state, 1);
    const TyreRecord& b = set->tyres[0][1];
    EXPECT_EQ(b.id, 255);
    EXPECT_EQ(b.temperature, 120);
    EXPECT_EQ(b.state, 0);
}

TEST(InfoBlock, VersionThreeTyreStateFromStatusBits) {
    struct Row {
        uint8_t bits;
        int state;
    } rows[] = {{0x00, 0}, {0xFB, 0}, {0x04, 1}, {0x14, 2}, {0x74, 2}, {0x24, 3},
                {0x64, 3}, {0x44, 4}, {0x46, 4}, {0x06, 5}, {0x0C, 1}, {0x8C, 1}};
    fleet::format::TyreSection tyres{static_cast<int>(std::size(rows)),
                                     std::vector<std::vector<uint32_t>>(1), 0u};
    for (const auto& row : rows)
        tyres.groups[0].push_back(fleet::format::tyre_word_v3(1, row.bits, 0, 0));
    fleet::format::InfoBlockPlan plan;
    plan.tyres = tyres;
    GuardedFrameSet set;
    parse(fleet::format::build_info_block(plan), set, 3);
    ASSERT_EQ(set->tyres_per_group, static_cast<int32_t>(std::size(rows)));
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(set->tyres[0][i].state, rows[i].state)
            << "bits 0x" << std::hex << int{rows[i].bits};
    }
}

TEST(InfoBlock, VersionOneAndTwoTyreWords) {
    // byte0 id << 3, byte1 tenths, byte2 whole pressure, byte3 temperature + 40
    const uint32_t word = 0x25200728 | 0x07;
    for (uint32_t version : {1u, 2u}) {
        SCOPED_TRACE("version " + std::to_string(version));
        fleet::format::InfoBlockPlan plan;
        plan.tyres = fleet::format::TyreSection{
            1, {{word}, {fleet::format::tyre_word_v12(30, 1005, 85)}}, 0x3F0000FFu};
        GuardedFrameSet set;
        parse(fleet::format::build_info_block(plan), set, version);
        ASSERT_EQ(set->tyre_group_count, 2);
        const TyreRecord& a = set->tyres[0][0];
        EXPECT_EQ(a.id, 5);
        EXPECT_FLOAT_EQ(a.pressure, 32.7f);
        EXPECT_EQ(a.temperature, -3);
        EXPECT_EQ(a.state, 0);
        const TyreRecord& b = set->tyres[1][0];
        EXPECT_EQ(b.id, 30);
        EXPECT_FLOAT_EQ(b.pressure, 100.5f);
        EXPECT_EQ(b.temperature, 85);
        // No summary word is read for these versions.
        EXPECT_EQ(summary_of(set.get()), (std::array<int32_t, 6>{}));
    }
}

TEST(InfoBlock, VersionThreeTyreSummary) {
    struct Row {
        uint32_t word;
        std::array<int32_t, 6> summary;
    } rows[] = {{0x00030201, {1, 2, 3, 0, 0, 0}},   {0x01000000, {0, 0, 0, 1, 0, 0}},
                {0x09000000, {0, 0, 0, 2, 0, 0}},   {0x08000000, {0, 0, 0, 0, 0, 0}},
                {0x12000000, {0, 0, 0, 0, 2, 0}},   {0x04000000, {0, 0, 0, 0, 0, 1}},
                {0x3F0000FF, {255, 0, 0, 2, 2, 2}}, {0xC0000000, {0, 0, 0, 0, 0, 0}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.word));
        fleet::format::InfoBlockPlan plan;
        plan.tyres =
            fleet::format::TyreSection{1, {{fleet::format::tyre_word_v3(1, 0x04, 0, 0)}}, row.word};
        GuardedFrameSet set;
        parse(fleet::format::build_info_block(plan), set, 3);
        EXPECT_EQ(summary_of(set.get()), row.summary);
    }
}

TEST(InfoBlock, BlockWordMustCarryTheMagic) {
    struct Row {
        uint32_t magic;  // the section bits are added by the writer
        bool parsed;
    } rows[] = {{0x5A000000, true},  {0x5A000060, true},  {0x5A000080, false}, {0x5B000000, false},
                {0x00000000, false}, {0xDA000000, false}, {0x5A000100, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.magic));
        fleet::format::InfoBlockPlan plan;
        plan.magic = row.magic;
        plan.speed = std::vector<uint16_t>{0x5078};
        plan.status = std::vector<fleet::format::StatusRecord>{{"ID", 20, 1, 1}};
        GuardedFrameSet set;
        parse(fleet::format::build_info_block(plan), set);
        EXPECT_EQ(set->speed_count, row.parsed ? 1 : 0);
        EXPECT_EQ(set->temperature_count, row.parsed ? 1 : 0);
        EXPECT_EQ(set->vehicle_id[0], row.parsed ? 'I' : '\0');
    }
}

TEST(InfoBlock, OnlyAnnouncedSectionsAreRead) {
    fleet::format::InfoBlockPlan plan;
    plan.speed = std::vector<uint16_t>{0x0032};
    plan.gsensor = std::vector<std::array<int8_t, 3>>{{1, 2, 3}};
    GuardedFrameSet set;
    parse(fleet::format::build_info_block(plan), set);
    EXPECT_EQ(set->temperature_count, 0);
    EXPECT_EQ(set->position_count, 0);
    EXPECT_EQ(set->speed_count, 1);
    EXPECT_FLOAT_EQ(set->speed[0], 50.0f);
    EXPECT_EQ(set->gsensor_count, 1);
    EXPECT_EQ(set->gsensor[0].z, 3);
}

// Records for frames the GOP does not have are passed over so later sections line up.
TEST(InfoBlock, RecordsBeyondTheFrameCountAreConsumedNotKept) {
    fleet::format::InfoBlockPlan plan;
    plan.status = std::vector<fleet::format::StatusRecord>(5, {"VEH", 1, 0, 0});
    plan.speed = std::vector<uint16_t>{10, 11, 12, 13, 14};
    plan.position = std::vector<std::string>(3, "0000.0000N00000.0000E");
    plan.gsensor = std::vector<std::array<int8_t, 3>>{{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}};
    plan.tyres = fleet::format::TyreSection{2, {{1, 2}, {3, 4}, {5, 6}, {7, 8}}, 0x00000042u};
    GuardedFrameSet set;
    parse(fleet::format::build_info_block(plan), set, 3, 2);
    EXPECT_EQ(set->temperature_count, 2);
    EXPECT_EQ(set->flag_count, 2);
    EXPECT_EQ(set->speed_count, 2);
    EXPECT_FLOAT_EQ(set->speed[1], 11.0f);
    EXPECT_FLOAT_EQ(set->speed[2], 0.0f);
    EXPECT_EQ(set->position_count, 2);
    EXPECT_EQ(set->gsensor_count, 2);
    EXPECT_EQ(set->gsensor[1].x, 2);
    EXPECT_EQ(set->gsensor[2].x, 0);
    EXPECT_EQ(set->tyre_group_count, 2);
    EXPECT_EQ(set->tyres[1][1].id, 4);
    EXPECT_EQ(set->tyres[2][0].id, 0);
    EXPECT_EQ(set->tyre_summary[0], 0x42);
}

// A section cut short keeps its complete records and ends the block.
TEST(InfoBlock, TruncatedSectionKeepsCompleteRecords) {
    fleet::format::InfoBlockPlan plan;
    plan.speed = std::vector<uint16_t>{1, 2, 3};
    plan.gsensor = std::vector<std::array<int8_t, 3>>{{1, 1, 1}, {2, 2, 2}};
    const auto block = fleet::format::build_info_block(plan);
    ASSERT_EQ(block.size(), 22u);
    struct Row {
        size_t length;
        int speeds, gsensors;
    } rows[] = {{22, 3, 2}, {21, 3, 1}, {16, 3, 0}, {14, 3, 0},
                {12, 2, 0}, {6, 0, 0},  {3, 0, 0},  {0, 0, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE("length " + std::to_string(row.length));
        GuardedFrameSet set;
        fleet::format::parse_info_block(block.data(), row.length,
                                        fleet::format::InfoContext{3, false, 16}, set.get());
        EXPECT_EQ(set->speed_count, row.speeds);
        EXPECT_EQ(set->gsensor_count, row.gsensors);
    }
}

TEST(InfoBlock, TruncatedTyreSectionKeepsCompleteGroups) {
    fleet::format::InfoBlockPlan plan;
    plan.tyres = fleet::format::TyreSection{2, {{1, 2}, {3, 4}, {5, 6}}, 0x00000042u};
    const auto block = fleet::format::build_info_block(plan);
    ASSERT_EQ(block.size(), 4u + 4u + 3 * 8 + 4);
    struct Row {
        size_t length;
        int groups;
        int32_t summary0;
    } rows[] = {{block.size(), 3, 0x42},
                {block.size() - 1, 3, 0},
                {8 + 16 + 4, 2, 0},
                {8 + 8, 1, 0},
                {8 + 4, 0, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE("length " + std::to_string(row.length));
        GuardedFrameSet set;
        fleet::format::parse_info_block(block.data(), row.length,
                                        fleet::format::InfoContext{3, false, 16}, set.get());
        EXPECT_EQ(set->tyre_group_count, row.groups);
        EXPECT_EQ(set->tyre_summary[0], row.summary0);
        if (row.groups > 0) {
            EXPECT_EQ(set->tyres_per_group, 2);
            EXPECT_EQ(set->tyres[row.groups - 1][1].id, 2 * row.groups);
        }
    }
}

}  // namespace
