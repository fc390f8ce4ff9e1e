// GOPs that announce more than a FrameSet holds. Each case checks what is kept and that
// nothing lands past the FrameSet's arrays or buffers (guard bytes, buffer pointers, and the
// field that follows the array in question).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/gop_builder.h"
#include "format/gop_parser.h"
#include "format/info_block_writer.h"
#include "format_test_support.h"

namespace {

using fleet::format::build_gop;
using fleet::format::GopPlan;
using fmt_test::frame;
using fmt_test::GuardedFrameSet;
using fmt_test::picture_data;
using fmt_test::ScriptedDecoder;

constexpr int32_t kMiB = 0x100000;

int parse(const std::vector<uint8_t>& gop, GuardedFrameSet& set,
          fleet::format::FrameDecoder* decoder = nullptr) {
    return fleet::format::parse_gop(gop.data(), gop.size(), decoder, set.get());
}

TEST(Limits, SixteenChannelGopKeepsChannelsZeroToSeven) {
    fleet::format::GopPlan plan;
    plan.channel_count = 16;
    for (int k = 0; k < 2; ++k) {
        for (int c = 0; c < 16; ++c) {
            plan.frames.push_back(
                frame(c, k == 1, picture_data(64, static_cast<uint8_t>(c * 16 + k))));
        }
    }
    plan.frames.push_back(frame(12, false, picture_data(64, 0xCC)));  // N comes from channel 12
    ScriptedDecoder decoder;
    GuardedFrameSet set;
    ASSERT_EQ(parse(fleet::format::build_gop(plan), set, &decoder), fleet::format::kParseOk);
    EXPECT_EQ(set->channel_count, 16);
    EXPECT_EQ(set->frames_per_channel, 3);
    ASSERT_EQ(decoder.calls().size(), 16u);
    for (const auto& call : decoder.calls()) EXPECT_LT(call.channel, KIVRA_MAX_CHANNELS);
    for (int c = 0; c < KIVRA_MAX_CHANNELS; ++c) {
        SCOPED_TRACE("channel " + std::to_string(c));
        EXPECT_EQ(set->present[c], 1);
        EXPECT_EQ(set->picture_size[c][1], 64);
        EXPECT_EQ(set->picture_size[c][2], 0);
        EXPECT_EQ(set->key_frame_index[c], 1);
        EXPECT_EQ(set.picture_buffer(c)[64], c * 16 + 1);
    }
    EXPECT_TRUE(set.intact());
}

TEST(Limits, FramesBeyondSixteenPerChannelAreDropped) {
    struct Row {
        int frames;
        bool audio;
    } rows[] = {{16, true}, {17, false}, {20, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.frames) + " frames per channel");
        fleet::format::GopPlan plan;
        plan.version = 1;
        plan.announced_frames = row.frames;
        for (int k = 0; k < row.frames; ++k) {
            // Channel 1's picture sizes and key frame past the 16th would show in its arrays.
            plan.frames.push_back(frame(0, k == 0, picture_data(10, 1)));
            plan.frames.push_back(frame(1, k == 0 || k >= 16, picture_data(k >= 16 ? 99 : 20, 2)));
        }
        plan.audio = {8000, 8, 1, std::vector<uint8_t>(64, 7)};
        fleet::format::InfoBlockPlan info;
        info.speed = std::vector<uint16_t>(static_cast<size_t>(row.frames), 0x0001);
        info.gsensor =
            std::vector<std::array<int8_t, 3>>(static_cast<size_t>(row.frames), {1, 2, 3});
        plan.info = fleet::format::build_info_block(info);
        ScriptedDecoder decoder;
        GuardedFrameSet set;
        ASSERT_EQ(parse(fleet::format::build_gop(plan), set, &decoder), fleet::format::kParseOk);
        EXPECT_EQ(set->frames_per_channel, 16);
        EXPECT_EQ(set->has_audio, row.audio ? 1 : 0);
        EXPECT_EQ(decoder.calls().size(), 32u);
        EXPECT_EQ(set->picture_offset[0][15], 150);
        EXPECT_EQ(set->picture_offset[1][0], 0);
        EXPECT_EQ(set->picture_size[1][0], 20);
        EXPECT_EQ(set->picture_offset[1][15], 300);
        EXPECT_EQ(set->picture_size[1][15], 20);
        EXPECT_EQ(set->key_frame_index[1], 0);
        EXPECT_EQ(set->speed_count, 16);
        EXPECT_EQ(set->gsensor_count, 16);
        EXPECT_TRUE(set.intact());
    }
}

// The decoder only ever sees the part of the channel buffer that is still free.
TEST(Limits, PictureThatWouldOverflowTheChannelBufferKeepsSizeZero) {
    const int32_t claimed[] = {3 * kMiB, 3 * kMiB, 3 * kMiB, 2 * kMiB, 1};
    const int32_t sizes[] = {3 * kMiB, 3 * kMiB, 0, 2 * kMiB, 0};
    const int32_t offsets[] = {0, 3 * kMiB, 6 * kMiB, 6 * kMiB, 8 * kMiB};
    for (bool lying : {false, true}) {
        SCOPED_TRACE(lying ? "decoder reports more than it was given" : "decoder declines");
        fleet::format::GopPlan plan;
        plan.channel_count = 8;
        for (int k = 0; k < 5; ++k) {
            plan.frames.push_back(frame(
                5, k == 0,
                picture_data(static_cast<uint32_t>(claimed[k]), static_cast<uint8_t>(k + 1))));
        }
        ScriptedDecoder decoder(lying);
        GuardedFrameSet set;
        ASSERT_EQ(parse(fleet::format::build_gop(plan), set, &decoder), fleet::format::kParseOk);
        for (int k = 0; k < 5; ++k) {
            EXPECT_EQ(set->picture_offset[5][k], offsets[k]) << k;
            EXPECT_EQ(set->picture_size[5][k], sizes[k]) << k;
        }
        ASSERT_EQ(decoder.calls().size(), 4u);
        const uint8_t* buffer = set.picture_buffer(5);
        for (size_t i = 0; i < 4; ++i) {
            const auto& call = decoder.calls()[i];
            EXPECT_EQ(call.dest, buffer + offsets[i]) << i;
            EXPECT_EQ(call.capacity, static_cast<size_t>(KIVRA_PICTURE_CAPACITY - offsets[i])) << i;
        }
        EXPECT_EQ(buffer[KIVRA_PICTURE_CAPACITY - 1], 4);
        EXPECT_TRUE(set.intact());
    }
}

TEST(Limits, KeptAudioOverOneMebibyteIsDropped) {
    struct Row {
        const char* name;
        int bits, channels;
        size_t block;
        bool audio;
    } rows[] = {
        {"mono, exactly 1 MiB", 8, 1, KIVRA_AUDIO_CAPACITY, true},
        {"mono, one byte over", 8, 1, KIVRA_AUDIO_CAPACITY + 1, false},
        {"16-bit stereo keeping exactly 1 MiB", 16, 2, 2 * KIVRA_AUDIO_CAPACITY, true},
        {"16-bit stereo keeping one sample over", 16, 2, 2 * KIVRA_AUDIO_CAPACITY + 4, false},
        {"8-bit four channels with a partial frame", 8, 4, 4 * KIVRA_AUDIO_CAPACITY + 3, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fleet::format::GopPlan plan;
        plan.channel_count = 1;
        plan.announced_frames = 2;
        plan.frames = fmt_test::interleaved(1, 2);
        plan.audio = {8000, row.bits, row.channels, std::vector<uint8_t>(row.block, 0x3C)};
        GuardedFrameSet set;
        ASSERT_EQ(parse(fleet::format::build_gop(plan), set), fleet::format::kParseOk);
        EXPECT_EQ(set->has_audio, row.audio ? 1 : 0);
        if (row.audio) {
            EXPECT_EQ(set->audio_chunk_offset[1] + set->audio_chunk_length[1],
                      KIVRA_AUDIO_CAPACITY);
        }
        EXPECT_TRUE(set.intact());
    }
}

// Tyre words past the 36th of a group are skipped; the next group and, after the last
// group, the summary show whether they were written anyway.
TEST(Limits, TyreWordsBeyondThirtySixPerGroupAreSkipped) {
    constexpr int kWords = 40;
    fleet::format::TyreSection tyres{kWords, {}, 0x00000007u};
    for (int g = 0; g < KIVRA_MAX_FRAMES; ++g) {
        tyres.groups.emplace_back();
        for (int w = 0; w < kWords; ++w) {
            tyres.groups.back().push_back(fleet::format::tyre_word_v3(w + 1, 0x04, 0, g));
        }
    }
    fleet::format::InfoBlockPlan info;
    info.tyres = tyres;
    fleet::format::GopPlan plan;
    plan.frames = fmt_test::interleaved(1, KIVRA_MAX_FRAMES);
    plan.info = fleet::format::build_info_block(info);
    GuardedFrameSet set;
    ASSERT_EQ(parse(fleet::format::build_gop(plan), set), fleet::format::kParseOk);
    ASSERT_EQ(set->frames_per_channel, KIVRA_MAX_FRAMES);
    EXPECT_EQ(set->tyres_per_group, KIVRA_MAX_TYRES);
    EXPECT_EQ(set->tyre_group_count, KIVRA_MAX_FRAMES);
    for (int g = 0; g < KIVRA_MAX_FRAMES; ++g) {
        SCOPED_TRACE("group " + std::to_string(g));
        EXPECT_EQ(set->tyres[g][0].id, 1);
        EXPECT_FLOAT_EQ(set->tyres[g][0].pressure, static_cast<float>(g));
        EXPECT_EQ(set->tyres[g][KIVRA_MAX_TYRES - 1].id, KIVRA_MAX_TYRES);
    }
    EXPECT_EQ(set->tyre_summary[0], 7);
    for (int i = 1; i < 6; ++i) EXPECT_EQ(set->tyre_summary[i], 0) << i;
    EXPECT_EQ(set->flag_count, 0);
    EXPECT_TRUE(set.intact());
}

}  // namespace
