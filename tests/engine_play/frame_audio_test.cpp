// Frames without sound: how long the silence queued for one lasts, and how many frames a GOP
// without frame records plays.
#include <gtest/gtest.h>

#include <vector>

#include "format/frame_set.h"
#include "format/gop_builder.h"
#include "format/gop_parser.h"
#include "playback/frame_audio.h"

namespace kivra {
namespace {

// Normal play is paced by the sound: a frame without audio still queues one frame's length of
// silence, so video keeps real time. (Half a frame, as the recorder's formula of channels x
// bits x rate / 16 / N gives, would play silent stretches at twice their speed.)
TEST(FrameAudio, SilenceLastsOneFrame) {
    const struct {
        AudioFormat format;
        int frames;
        size_t bytes;
    } rows[] = {
        {{16, 1, 8000}, 16, 1000},  // 16000 bytes a second over 16 frames
        {{16, 1, 22050}, 15, 2940},
        {{8, 1, 8000}, 15, 534},                // 533.3 bytes, kept even
        {{16, 1, 8000}, 0, 2000},               // no frame count: eight frames
        {{16, 2, 44100}, 1, kAudioBufferSize},  // a second would not fit one buffer
    };
    for (const auto& row : rows) {
        EXPECT_EQ(silence_length(row.format, row.frames), row.bytes)
            << row.format.bits << " bits, " << row.format.rate << " Hz, N = " << row.frames;
    }
}

// A GOP with no frame records that announces no frame count (N = 0) plays as eight frames of
// silence: its audio cannot be cut into zero chunks.
TEST(FrameAudio, GopWithoutFrameCountPlaysEightFramesWithoutAudio) {
    fleet::format::GopPlan plan;
    plan.version = 3;
    plan.channel_count = 4;
    plan.time = 1773475200;
    plan.announced_frames = 0;
    plan.audio = {8000, 16, 1, std::vector<uint8_t>(16000, 0x11)};
    const std::vector<uint8_t> gop = fleet::format::build_gop(plan);
    fleet::format::FrameSetStorage set;
    ASSERT_EQ(fleet::format::parse_gop(gop.data(), gop.size(), nullptr, set.get()),
              fleet::format::kParseOk);
    EXPECT_EQ(set->frames_per_channel, 8);
    EXPECT_EQ(set->has_audio, 0);
    EXPECT_EQ(set->gop_time, plan.time);
}

}  // namespace
}  // namespace kivra
