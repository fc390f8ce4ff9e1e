#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "format/gop_builder.h"
#include "format/gop_header.h"
#include "format/gop_parser.h"
#include "format/info_block_writer.h"
#include "format_test_support.h"

namespace {

using fleet::format::build_gop;
using fleet::format::GopPlan;
using fmt_test::frame;
using fmt_test::get_word;
using fmt_test::GuardedFrameSet;
using fmt_test::record_offsets;
using fmt_test::set_word;

int parse(const std::vector<uint8_t>& gop, GuardedFrameSet& set,
          fleet::format::FrameDecoder* decoder = nullptr) {
    return fleet::format::parse_gop(gop.data(), gop.size(), decoder, set.get());
}

std::vector<uint8_t> iota_bytes(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i);
    return bytes;
}

std::vector<uint8_t> kept_audio(const FrameSet& set) {
    if (!set.has_audio) return {};
    int last = set.frames_per_channel - 1;
    size_t n = static_cast<size_t>(set.audio_chunk_offset[last] + set.audio_chunk_length[last]);
    return {set.audio_buffer, set.audio_buffer + n};
}

// One channel of `frames` frames with an 8-bit mono audio block, announcing `frames`.
fleet::format::GopPlan one_channel_with_audio(int frames, size_t audio_bytes) {
    fleet::format::GopPlan plan;
    plan.channel_count = 1;
    plan.announced_frames = frames;
    plan.frames = fmt_test::interleaved(1, frames);
    plan.audio = {8000, 8, 1, iota_bytes(audio_bytes)};
    return plan;
}

TEST(GopParser, ChannelCountFollowsVersionAndCode) {
    struct Row {
        uint32_t version, code;
        int channels;
    } rows[] = {{0, 3, 4}, {1, 4, 4},  {2, 1, 8}, {3, 1, 1}, {3, 2, 4},
                {3, 3, 8}, {3, 4, 16}, {3, 0, 0}, {3, 5, 0}, {3, 15, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE("version " + std::to_string(row.version) + " code " +
                     std::to_string(row.code));
        fleet::format::GopPlan plan;
        plan.version = row.version;
        auto gop = fleet::format::build_gop(plan);
        set_word(gop, 0, 2, row.code << 4);
        GuardedFrameSet set;
        ASSERT_EQ(parse(gop, set), fleet::format::kParseOk);
        EXPECT_EQ(set->channel_count, row.channels);
    }
}

TEST(GopParser, AudioRateAndSampleSizeCodes) {
    struct Row {
        uint32_t rate_code;
        int rate;
        uint32_t size_code;
        int bits;
    } rows[] = {{0, 22050, 0, 16}, {1, 8000, 1, 8},   {2, 16000, 2, 32}, {3, 22050, 3, 16},
                {4, 32000, 0, 16}, {5, 44100, 0, 16}, {6, 4000, 0, 16},  {7, 11025, 0, 16}};
    for (const auto& row : rows) {
        SCOPED_TRACE("rate code " + std::to_string(row.rate_code));
        fleet::format::GopPlan plan;
        plan.time = 0x5F000001;
        auto gop = fleet::format::build_gop(plan);
        set_word(gop, 0, 5, row.size_code << 22 | row.rate_code << 25);
        GuardedFrameSet set;
        ASSERT_EQ(parse(gop, set), fleet::format::kParseOk);
        EXPECT_EQ(set->audio_sample_rate, row.rate);
        EXPECT_EQ(set->audio_sample_bits, row.bits);
        EXPECT_EQ(set->gop_time, 0x5F000001u);
    }
}

TEST(GopParser, AudioChannelCodes) {
    const int expected[8] = {1, 1, 2, 4, 8, 16, 1, 1};
    for (uint32_t code = 0; code < 8; ++code) {
        fleet::format::GopHeader h;
        h.word[5] = code << 28 | 0xFFFFF;
        EXPECT_EQ(h.audio_channels(), expected[code]) << "code " << code;
    }
}

// A GOP whose total equals 40 plus audio plus info has no frame records.
TEST(GopParser, HeaderOnlyGopKeepsDefaultFramesPerChannel) {
    struct Row {
        uint32_t version;
        uint32_t word7;
        int frames;
    } rows[] = {{0, 0x28, 16}, {1, 0x28, 16}, {2, 0x28, 15},
                {3, 0x28, 5},  {3, 0x7C, 15}, {3, 0x04, 8}};  // N = 0 plays as eight frames
    for (const auto& row : rows) {
        SCOPED_TRACE("version " + std::to_string(row.version) + " word7 " +
                     std::to_string(row.word7));
        fleet::format::GopPlan plan;
        plan.version = row.version;
        auto gop = fleet::format::build_gop(plan);
        set_word(gop, 0, 5, 12);  // the header's own data length is not walked
        set_word(gop, 0, 7, row.word7);
        GuardedFrameSet set;
        ASSERT_EQ(parse(gop, set), fleet::format::kParseOk);
        EXPECT_EQ(set->frames_per_channel, row.frames);
        for (int c = 0; c < KIVRA_MAX_CHANNELS; ++c) EXPECT_EQ(set->present[c], 0);
    }
}

TEST(GopParser, HeaderOnlyGopTakesAudioRightAfterTheHeader) {
    fleet::format::GopPlan plan;
    plan.announced_frames = 4;
    plan.audio = {8000, 8, 1, iota_bytes(40)};
    auto gop = fleet::format::build_gop(plan);
    ASSERT_EQ(gop.size(), 80u);
    GuardedFrameSet set;
    ASSERT_EQ(parse(gop, set), fleet::format::kParseOk);
    EXPECT_EQ(set->frames_per_channel, 4);
    ASSERT_EQ(set->has_audio, 1);
    EXPECT_EQ(kept_audio(set.get()), iota_bytes(40));
    EXPECT_EQ(set->audio_chunk_offset[3], 30);
    EXPECT_EQ(set->audio_chunk_length[3], 10);
}

TEST(GopParser, FramesPerChannelCountsTheLastRecordsChannel) {
    struct Row {
        std::vector<int> channels;
        int frames;
    } rows[] = {{{0, 1, 0}, 2},
                {{0, 0, 1}, 1},
                {{0, 1, 2, 3, 0, 1, 2, 3}, 2},
                {{2, 2, 2}, 3},
                {{0, 0, 0, 5}, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.channels));
        fleet::format::GopPlan plan;
        for (int c : row.channels) plan.frames.push_back(frame(c));
        GuardedFrameSet set;
        ASSERT_EQ(parse(fleet::format::build_gop(plan), set), fleet::format::kParseOk);
        EXPECT_EQ(set->frames_per_channel, row.frames);
        for (int c = 0; c < KIVRA_MAX_CHANNELS; ++c) {
            bool seen =
                std::find(row.channels.begin(), row.channels.end(), c) != row.channels.end();
            EXPECT_EQ(set->present[c], seen ? 1 : 0) << "channel " << c;
        }
    }
}

TEST(GopParser, PicturesFollowEachOtherInTheChannelBuffer) {
    fleet::format::GopPlan plan;
    plan.frames = {frame(1, true, fmt_test::picture_data(100, 0xA1)),
                   frame(1, false, {0xEE}),  // undecodable: keeps size 0
                   frame(1, false, fmt_test::picture_data(50, 0xA3))};
    fmt_test::ScriptedDecoder decoder;
    GuardedFrameSet set;
    ASSERT_EQ(parse(fleet::format::build_gop(plan), set, &decoder), fleet::format::kParseOk);
    const int32_t offsets[] = {0, 100, 100}, sizes[] = {100, 0, 50};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(set->picture_offset[1][k], offsets[k]) << k;
        EXPECT_EQ(set->picture_size[1][k], sizes[k]) << k;
    }
    EXPECT_EQ(set->picture_buffer[1][99], 0xA1);
    EXPECT_EQ(set->picture_buffer[1][100], 0xA3);
    EXPECT_EQ(set->picture_buffer[1][149], 0xA3);
    EXPECT_EQ(set->picture_width, 16);
    EXPECT_EQ(set->picture_height, 8);
    for (const auto& call : decoder.calls()) EXPECT_EQ(call.channel, 1);
    EXPECT_TRUE(set.intact());
}

TEST(GopParser, WithoutDecoderPicturesHaveSizeZero) {
    fleet::format::GopPlan plan;
    plan.frames = {frame(0), frame(2, true, fmt_test::picture_data(100, 1)), frame(2, true)};
    GuardedFrameSet set;
    ASSERT_EQ(parse(fleet::format::build_gop(plan), set), fleet::format::kParseOk);
    EXPECT_EQ(set->present[0], 1);
    EXPECT_EQ(set->present[2], 1);
    EXPECT_EQ(set->picture_size[2][0], 0);
    EXPECT_EQ(set->picture_size[2][1], 0);
    EXPECT_EQ(set->key_frame_index[2], 1);
}

TEST(GopParser, KeyFrameIndexIsTheLastRecordOfKindOne) {
    struct Row {
        const char* name;
        std::vector<uint32_t> kinds;  // of channel 0's records, in order
        int index;
    } rows[] = {
        {"no key frame", {0, 0, 0, 0}, 0},        {"key first", {1, 0, 0, 0}, 0},
        {"last of two keys", {0, 1, 0, 1}, 3},    {"kind 2 is not a key", {1, 2, 0, 0}, 0},
        {"kind 3 is not a key", {0, 1, 3, 3}, 1}, {"kinds 2 and 3 before a key", {2, 3, 1, 0}, 2}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fleet::format::GopPlan plan;
        for (size_t i = 0; i < row.kinds.size(); ++i) plan.frames.push_back(frame(0));
        auto gop = fleet::format::build_gop(plan);
        auto at = record_offsets(plan);
        for (size_t i = 0; i < row.kinds.size(); ++i) {
            set_word(gop, at[i], 7, (get_word(gop, at[i], 7) & ~3u) | row.kinds[i]);
        }
        GuardedFrameSet set;
        ASSERT_EQ(parse(gop, set), fleet::format::kParseOk);
        EXPECT_EQ(set->key_frame_index[0], row.index);
    }
}

TEST(GopParser, KeyFrameIndexIsPerChannel) {
    fleet::format::GopPlan plan;
    plan.frames = {frame(0), frame(1), frame(0, true), frame(1), frame(0), frame(1, true)};
    GuardedFrameSet set;
    ASSERT_EQ(parse(fleet::format::build_gop(plan), set), fleet::format::kParseOk);
    EXPECT_EQ(set->key_frame_index[0], 1);
    EXPECT_EQ(set->key_frame_index[1], 2);
}

// Version 3 announces twice the frame count; other versions announce it as is.
TEST(GopParser, AudioIsDroppedWhenFramesDifferFromTheAnnouncedNumber) {
    struct Row {
        uint32_t version;
        uint32_t field;  // word 7 bits 2-6
        bool audio;
    } rows[] = {{3, 6, true}, {3, 7, true},  {3, 3, false}, {3, 12, false},
                {1, 3, true}, {1, 6, false}, {2, 3, true},  {0, 2, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE("version " + std::to_string(row.version) + " field " +
                     std::to_string(row.field));
        fleet::format::GopPlan plan = one_channel_with_audio(3, 30);
        plan.version = row.version;
        auto gop = fleet::format::build_gop(plan);
        set_word(gop, 0, 7, (get_word(gop, 0, 7) & 3u) | row.field << 2);
        GuardedFrameSet set;
        ASSERT_EQ(parse(gop, set), fleet::format::kParseOk);
        EXPECT_EQ(set->frames_per_channel, 3);
        EXPECT_EQ(set->has_audio, row.audio ? 1 : 0);
    }
}

// Of interleaved audio only the second channel is kept.
TEST(GopParser, AudioKeepsTheSecondInterleavedChannel) {
    struct Row {
        const char* name;
        int bits, channels;
        size_t block;
        std::vector<uint8_t> kept;
    } rows[] = {
        {"16-bit mono", 16, 1, 12, iota_bytes(12)},
        {"16-bit stereo: right", 16, 2, 12, {2, 3, 6, 7, 10, 11}},
        {"16-bit stereo, partial last frame", 16, 2, 14, {2, 3, 6, 7, 10, 11}},
        {"8-bit two channels", 8, 2, 10, {1, 3, 5, 7, 9}},
        {"8-bit four channels", 8, 4, 9, {1, 5}},
        {"16-bit four channels", 16, 4, 16, {2, 3, 10, 11}},
        {"32-bit stereo", 32, 2, 16, {4, 5, 6, 7, 12, 13, 14, 15}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fleet::format::GopPlan plan = one_channel_with_audio(1, row.block);
        plan.audio.bits = row.bits;
        plan.audio.channels = row.channels;
        GuardedFrameSet set;
        ASSERT_EQ(parse(fleet::format::build_gop(plan), set), fleet::format::kParseOk);
        ASSERT_EQ(set->has_audio, 1);
        EXPECT_EQ(set->audio_sample_bits, row.bits);
        EXPECT_EQ(kept_audio(set.get()), row.kept);
        EXPECT_TRUE(set.intact());
    }
}

TEST(GopParser, AudioIsCutIntoOneChunkPerFrame) {
    struct Row {
        int bits;
        size_t block;
        int frames;
        std::vector<int32_t> offsets, lengths;
    } rows[] = {
        {16, 100, 3, {0, 32, 64}, {32, 32, 36}},
        {8, 10, 4, {0, 2, 4, 6}, {2, 2, 2, 4}},
        {16, 6, 4, {0, 0, 0, 0}, {0, 0, 0, 6}},
        {32, 64, 2, {0, 32}, {32, 32}},
        {16, 40, 1, {0}, {40}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.bits) + "-bit, " + std::to_string(row.block) + " bytes, " +
                     std::to_string(row.frames) + " frames");
        fleet::format::GopPlan plan = one_channel_with_audio(row.frames, row.block);
        plan.audio.bits = row.bits;
        GuardedFrameSet set;
        ASSERT_EQ(parse(fleet::format::build_gop(plan), set), fleet::format::kParseOk);
        ASSERT_EQ(set->has_audio, 1);
        EXPECT_EQ(
            std::vector<int32_t>(set->audio_chunk_offset, set->audio_chunk_offset + row.frames),
            row.offsets);
        EXPECT_EQ(
            std::vector<int32_t>(set->audio_chunk_length, set->audio_chunk_length + row.frames),
            row.lengths);
    }
}

// The frame walk ends at the audio block even when the audio starts like a frame record.
TEST(GopParser, AudioThatLooksLikeARecordIsNotWalked) {
    fleet::format::GopPlan plan = one_channel_with_audio(2, 80);
    plan.audio.pcm =
        fleet::format::build_gop(fleet::format::GopPlan{});  // a 40-byte header-only GOP
    plan.audio.pcm.resize(80);
    GuardedFrameSet set;
    ASSERT_EQ(parse(fleet::format::build_gop(plan), set), fleet::format::kParseOk);
    EXPECT_EQ(set->frames_per_channel, 2);
    EXPECT_EQ(set->has_audio, 1);
    EXPECT_EQ(set->audio_buffer[0], 0xFF);
}

TEST(GopParser, VersionZeroHasNoTelemetryWhateverTheInfoField) {
    fleet::format::InfoBlockPlan info;
    info.speed = std::vector<uint16_t>{0x5078, 0x0032};
    struct Row {
        uint32_t version;
        int speeds;
    } rows[] = {{0, 0}, {1, 2}, {2, 2}, {3, 2}};
    for (const auto& row : rows) {
        SCOPED_TRACE("version " + std::to_string(row.version));
        fleet::format::GopPlan plan;
        plan.version = row.version;
        plan.frames = fmt_test::interleaved(4, 2);
        plan.announced_frames = 2;
        plan.info = fleet::format::build_info_block(info);
        auto gop = fleet::format::build_gop(plan);
        ASSERT_NE(get_word(gop, 0, 6) >> 16, 0u);
        GuardedFrameSet set;
        ASSERT_EQ(parse(gop, set), fleet::format::kParseOk);
        EXPECT_EQ(set->frames_per_channel, 2);
        EXPECT_EQ(set->speed_count, row.speeds);
    }
}

TEST(GopParser, RejectsMalformedGops) {
    using Mutate = std::function<void(std::vector<uint8_t>&, const std::vector<size_t>&)>;
    struct Row {
        const char* name;
        Mutate mutate;
        size_t cut;  // bytes withheld from the end of the buffer
        int result;
    };
    fleet::format::InfoBlockPlan info;
    info.speed = std::vector<uint16_t>{1, 2};
    fleet::format::GopPlan plan = one_channel_with_audio(2, 16);
    plan.info = fleet::format::build_info_block(info);
    const auto valid = fleet::format::build_gop(plan);
    const auto at = record_offsets(plan);
    const uint32_t total = static_cast<uint32_t>(valid.size());
    const uint32_t info_length = static_cast<uint32_t>(plan.info.size());
    auto none = [](std::vector<uint8_t>&, const std::vector<size_t>&) {};
    const Row rows[] = {
        {"valid", none, 0, fleet::format::kParseOk},
        {"no magic", [](auto& g, auto&) { set_word(g, 0, 0, 0x1FE); }, 0,
         fleet::format::kParseRejected},
        {"version 4", [](auto& g, auto&) { set_word(g, 0, 1, 4); }, 0,
         fleet::format::kParseRejected},
        {"version bits 24-31 ignored", [](auto& g, auto&) { set_word(g, 0, 1, 0xFF000003); }, 0,
         fleet::format::kParseOk},
        {"buffer shorter than the GOP", none, 1, fleet::format::kParseRejected},
        {"buffer shorter than a header", none, valid.size() - 39, fleet::format::kParseRejected},
        {"total below a header", [](auto& g, auto&) { set_word(g, 0, 8, 39); }, 0,
         fleet::format::kParseRejected},
        {"total zero", [](auto& g, auto&) { set_word(g, 0, 8, 0); }, 0,
         fleet::format::kParseRejected},
        {"frame data runs into the audio",
         [](auto& g, auto& r) { set_word(g, r[1], 5, get_word(g, r[1], 5) + 1); }, 0,
         fleet::format::kParseRejected},
        {"frame data length at its maximum",
         [](auto& g, auto& r) { set_word(g, r[0], 5, 0xFFFFF); }, 0, fleet::format::kParseRejected},
        {"audio and info longer than the GOP",
         [=](auto& g, auto&) { set_word(g, 0, 9, total - 40 - info_length + 1); }, 0,
         fleet::format::kParseRejected},
        {"audio and info exactly fill the GOP",
         [=](auto& g, auto&) { set_word(g, 0, 9, total - 40 - info_length); }, 0,
         fleet::format::kParseOk},
        {"audio length wraps 32 bits", [](auto& g, auto&) { set_word(g, 0, 9, 0xFFFFFFFF); }, 0,
         fleet::format::kParseRejected},
        {"info length beyond the GOP", [](auto& g, auto&) { set_word(g, 0, 6, 0xFFFFu << 16); }, 0,
         fleet::format::kParseRejected},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto gop = valid;
        row.mutate(gop, at);
        GuardedFrameSet set;
        EXPECT_EQ(fleet::format::parse_gop(gop.data(), gop.size() - row.cut, nullptr, set.get()),
                  row.result);
        EXPECT_TRUE(set.intact());
    }
    GuardedFrameSet set;
    EXPECT_EQ(fleet::format::parse_gop(nullptr, 100, nullptr, set.get()),
              fleet::format::kParseRejected);
}

}  // namespace
