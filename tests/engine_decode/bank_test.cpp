// DecoderBank under the GOP parser: four interleaved channels, as recorders write them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "decode/decoder_bank.h"
#include "format/frame_set.h"
#include "format/gop_builder.h"
#include "streams.h"

namespace decode_test {
namespace {

using fleet::format::FrameSetStorage;
using kivra::DecoderBank;

constexpr int kChannels = 4;
constexpr int kGops = 2;
constexpr int kFrames = 6;
constexpr int kWidth = 352, kHeight = 296;
constexpr int32_t kPictureSize = 352 * 288 * 3 / 2;

struct Recording {
    std::array<std::vector<Bytes>, kChannels> units;     // per channel, all GOPs
    std::array<std::vector<Bytes>, kChannels> expected;  // libavcodec's pictures
};

const Recording& recording() {
    static const Recording r = [] {
        Recording made;
        for (int c = 0; c < kChannels; ++c) {
            made.units[c] = encode_channel(c, kWidth, kHeight, kGops, kFrames);
            made.expected[c] = reference_pictures(made.units[c]);
        }
        return made;
    }();
    return r;
}

// Frame data for channel c's k-th record of GOP g; the intact recording by default.
using Substitute = std::function<Bytes(int c, int g, int k)>;

Bytes intact(int c, int g, int k) {
    return recording().units[c][static_cast<size_t>(g * kFrames + k)];
}

Bytes build(int g, const Substitute& data = intact) {
    fleet::format::GopPlan plan;
    plan.channel_count = kChannels;
    plan.announced_frames = kFrames;
    plan.time = 1718000000u + static_cast<uint32_t>(g);
    for (int k = 0; k < kFrames; ++k) {
        for (int c = 0; c < kChannels; ++c) plan.frames.push_back({c, k == 0, data(c, g, k)});
    }
    return fleet::format::build_gop(plan);
}

Bytes picture(const FrameSet& set, int c, int k) {
    const uint8_t* at = set.picture_buffer[c] + set.picture_offset[c][k];
    return Bytes(at, at + set.picture_size[c][k]);
}

void expect_channel_intact(const FrameSet& set, int c, int g) {
    SCOPED_TRACE("channel " + std::to_string(c));
    for (int k = 0; k < kFrames; ++k) {
        EXPECT_EQ(set.picture_offset[c][k], k * kPictureSize) << "frame " << k;
        ASSERT_EQ(set.picture_size[c][k], kPictureSize) << "frame " << k;
        EXPECT_TRUE(picture(set, c, k) ==
                    recording().expected[c][static_cast<size_t>(g * kFrames + k)])
            << "frame " << k << " differs from libavcodec's";
    }
}

TEST(DecoderBank, DecodesEveryChannelOfEveryGopAgainAndAgain) {
    DecoderBank bank;
    ASSERT_TRUE(bank.ready());
    fleet::format::FrameSetStorage storage;
    const std::vector<Bytes> gops = {build(0), build(1)};
    for (int pass = 0; pass < 2; ++pass) {
        for (int g = 0; g < kGops; ++g) {
            SCOPED_TRACE("pass " + std::to_string(pass) + ", GOP " + std::to_string(g));
            const Bytes& gop = gops[static_cast<size_t>(g)];
            ASSERT_EQ(bank.parse(gop.data(), gop.size(), storage.get()), fleet::format::kParseOk);
            const FrameSet& set = storage.get();
            EXPECT_EQ(set.frames_per_channel, kFrames);
            EXPECT_EQ(set.picture_width, kWidth);
            EXPECT_EQ(set.picture_height, kHeight - kivra::kCroppedRows);
            for (int c = 0; c < KIVRA_MAX_CHANNELS; ++c) {
                EXPECT_EQ(set.present[c], c < kChannels ? 1 : 0) << "channel " << c;
                if (c < kChannels) expect_channel_intact(set, c, g);
            }
        }
    }
}

struct DamageCase {
    const char* name;
    int channel;
    Substitute damaged;  // what that channel's records of the first GOP hold instead
};

const DamageCase kDamage[] = {
    {"garbage bytes", 2,
     [](int, int, int k) { return garbage(2000 + 300 * static_cast<size_t>(k), 11u + k); }},
    // A fresh bank never gets this channel's key frame: frames 1-5 of GOP 0, frame 1 of GOP 1.
    {"predicted frames only", 1,
     [](int c, int, int k) { return k + 1 < kFrames ? intact(c, 0, k + 1) : intact(c, 1, 1); }},
    {"no bytes", 3, [](int, int, int) { return Bytes{}; }},
};

TEST(DecoderBank, AnUndecodableChannelLeavesTheOthersAndItsNextGopAlone) {
    for (const DamageCase& d : kDamage) {
        SCOPED_TRACE(d.name);
        const Bytes damaged = build(0, [&](int c, int g, int k) {
            return c == d.channel ? d.damaged(c, g, k) : intact(c, g, k);
        });
        const Bytes next = build(1);
        DecoderBank bank;
        ASSERT_TRUE(bank.ready());
        fleet::format::FrameSetStorage storage;
        const FrameSet& set = storage.get();

        ASSERT_EQ(bank.parse(damaged.data(), damaged.size(), storage.get()),
                  fleet::format::kParseOk);
        EXPECT_EQ(set.present[d.channel], 1);
        for (int k = 0; k < kFrames; ++k) {
            EXPECT_EQ(set.picture_size[d.channel][k], 0) << "frame " << k;
            EXPECT_EQ(set.picture_offset[d.channel][k], 0) << "frame " << k;
        }
        for (int c = 0; c < kChannels; ++c) {
            if (c != d.channel) expect_channel_intact(set, c, 0);
        }

        ASSERT_EQ(bank.parse(next.data(), next.size(), storage.get()), fleet::format::kParseOk);
        for (int c = 0; c < kChannels; ++c) expect_channel_intact(set, c, 1);
    }
}

// GOPs larger than a FrameSet holds: what fits decodes exactly, the rest stays empty.
struct LimitCase {
    const char* name;
    int width, height;
    int channels;     // all carrying the same stream
    int frames;       // per channel in the GOP
    int kept_frames;  // frames_per_channel
    int fitting;      // pictures per channel that fit the 8 MiB buffer
};

TEST(DecoderBank, KeepsWhatAFrameSetHolds) {
    const LimitCase cases[] = {
        {"pictures past 8 MiB", 1280, 728, 1, 8, 8, 6},
        {"frames past the 16th", 352, 296, 2, 18, 16, 16},
        {"channels past the 8th", 352, 296, 16, 2, 2, 2},
    };
    for (const LimitCase& t : cases) {
        SCOPED_TRACE(t.name);
        const std::vector<Bytes> units = encode_channel(0, t.width, t.height, 1, t.frames);
        const std::vector<Bytes> expected = reference_pictures(units);
        ASSERT_EQ(expected.size(), units.size());
        fleet::format::GopPlan plan;
        plan.channel_count = t.channels;
        plan.announced_frames = t.frames;
        for (size_t k = 0; k < units.size(); ++k) {
            for (int c = 0; c < t.channels; ++c) plan.frames.push_back({c, k == 0, units[k]});
        }
        const Bytes gop = fleet::format::build_gop(plan);

        DecoderBank bank;
        ASSERT_TRUE(bank.ready());
        fleet::format::FrameSetStorage storage;
        const FrameSet& set = storage.get();
        ASSERT_EQ(bank.parse(gop.data(), gop.size(), storage.get()), fleet::format::kParseOk);
        EXPECT_EQ(set.frames_per_channel, t.kept_frames);
        const auto size = static_cast<int32_t>(expected[0].size());
        for (int c = 0; c < std::min(t.channels, KIVRA_MAX_CHANNELS); ++c) {
            for (int k = 0; k < t.kept_frames; ++k) {
                SCOPED_TRACE("channel " + std::to_string(c) + ", frame " + std::to_string(k));
                const bool fits = k < t.fitting;
                EXPECT_EQ(set.picture_offset[c][k], std::min(k, t.fitting) * size);
                ASSERT_EQ(set.picture_size[c][k], fits ? size : 0);
                if (fits) {
                    EXPECT_TRUE(picture(set, c, k) == expected[static_cast<size_t>(k)]);
                }
            }
        }
    }
}

TEST(DecoderBank, DecodesChannelsZeroToSevenOnly) {
    DecoderBank bank;
    ASSERT_TRUE(bank.ready());
    const Bytes& key = recording().units[0][0];
    Bytes buffer(static_cast<size_t>(kPictureSize));
    for (int channel : {-1, 0, 3, 7, 8, 16, 1000}) {
        SCOPED_TRACE("channel " + std::to_string(channel));
        const bool valid = channel >= 0 && channel < KIVRA_MAX_CHANNELS;
        fleet::format::DecodedPicture out{1, 1, 1};
        EXPECT_EQ(bank.decode(channel, key.data(), key.size(), buffer.data(), buffer.size(), out),
                  valid);
        EXPECT_EQ(out.size, valid ? kPictureSize : 0);
    }
}

}  // namespace
}  // namespace decode_test
