// Volume <-> gain and the in-place scaling of samples.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "audio/audio_out.h"

namespace kivra {
namespace {

TEST(Gain, ForVolume) {
    const struct {
        int volume;
        float gain;
    } table[] = {
        {0, 0.0f}, {10, 0.2f}, {25, 0.5f}, {50, 1.0f}, {60, 1.4f}, {75, 2.0f}, {100, 3.0f},
    };
    for (const auto& row : table) {
        float gain = -1.0f;
        ASSERT_TRUE(gain_for_volume(row.volume, gain)) << row.volume;
        EXPECT_FLOAT_EQ(gain, row.gain) << row.volume;
    }
}

TEST(Gain, VolumeOutsideRangeIsRefused) {
    for (int volume : {-1, 101, -100, 1000}) {
        float gain = 7.0f;
        EXPECT_FALSE(gain_for_volume(volume, gain)) << volume;
        EXPECT_EQ(gain, 7.0f) << "left alone";
    }
}

TEST(Gain, VolumeRoundTrip) {
    // The float gain of 1 and 77 lies just below the exact value, so they come back one lower.
    const struct {
        int volume;
        int back;
    } table[] = {
        {0, 0}, {1, 0}, {25, 25}, {50, 50}, {75, 75}, {77, 76}, {100, 100},
    };
    for (const auto& row : table) {
        float gain = 0.0f;
        ASSERT_TRUE(gain_for_volume(row.volume, gain));
        int volume = -1;
        ASSERT_TRUE(volume_for_gain(gain, volume)) << row.volume;
        EXPECT_EQ(volume, row.back) << row.volume;
    }
}

TEST(Gain, VolumeForGain) {
    const struct {
        float gain;
        bool ok;
        int volume;
    } table[] = {
        {0.0f, true, 0},    {0.5f, true, 25},  {1.0f, true, 50},
        {1.5f, true, 62},   {2.0f, true, 75},  {3.0f, true, 100},
        {-0.01f, false, 0}, {3.01f, false, 0}, {std::numeric_limits<float>::quiet_NaN(), false, 0},
    };
    for (const auto& row : table) {
        int volume = -1;
        EXPECT_EQ(volume_for_gain(row.gain, volume), row.ok) << row.gain;
        if (row.ok) {
            EXPECT_EQ(volume, row.volume) << row.gain;
        }
    }
}

std::vector<uint8_t> s16(std::initializer_list<int> samples) {
    std::vector<uint8_t> bytes;
    for (int s : samples) {
        const auto u = static_cast<uint16_t>(static_cast<int16_t>(s));
        bytes.push_back(static_cast<uint8_t>(u & 0xff));
        bytes.push_back(static_cast<uint8_t>(u >> 8));
    }
    return bytes;
}

std::vector<uint8_t> s32(std::initializer_list<int64_t> samples) {
    std::vector<uint8_t> bytes;
    for (int64_t s : samples) {
        auto u = static_cast<uint32_t>(static_cast<int32_t>(s));
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<uint8_t>(u & 0xff));
            u >>= 8;
        }
    }
    return bytes;
}

// Products are cut toward zero (-1.5 becomes -1), and saturate instead of wrapping.
TEST(ApplyGain, SixteenBitTruncatesAndSaturates) {
    const AudioFormat mono{16, 1, 8000};
    const struct {
        float gain;
        int in;
        int out;
    } table[] = {
        {2.0f, 20000, 32767}, {2.0f, -20000, -32768}, {2.0f, 1000, 2000},     {1.5f, -1000, -1500},
        {0.5f, 32767, 16383}, {0.5f, -3, -1},         {1.5f, -1001, -1501},   {0.0f, -32768, 0},
        {3.0f, 10922, 32766}, {3.0f, 10923, 32767},   {3.0f, -32768, -32768},
    };
    for (const auto& row : table) {
        auto data = s16({row.in});
        apply_gain(row.gain, data.data(), data.size(), mono);
        EXPECT_EQ(data, s16({row.out})) << row.in << " x " << row.gain;
    }
}

TEST(ApplyGain, EightBitIsUnsignedAroundMiddle) {
    const AudioFormat mono{8, 1, 8000};
    const struct {
        float gain;
        uint8_t in;
        uint8_t out;
    } table[] = {
        {2.0f, 128, 128}, {2.0f, 138, 148}, {2.0f, 118, 108}, {2.0f, 250, 255}, {2.0f, 10, 0},
        {0.0f, 255, 128}, {0.5f, 0, 64},    {3.0f, 255, 255}, {0.5f, 129, 128}, {0.5f, 127, 128},
    };
    for (const auto& row : table) {
        uint8_t sample = row.in;
        apply_gain(row.gain, &sample, 1, mono);
        EXPECT_EQ(sample, row.out) << int{row.in} << " x " << row.gain;
    }
}

TEST(ApplyGain, ThirtyTwoBitSaturates) {
    const AudioFormat mono{32, 1, 8000};
    const struct {
        float gain;
        int64_t in;
        int64_t out;
    } table[] = {
        {2.0f, 2000000000, 2147483647},
        {2.0f, -2000000000, -2147483648LL},
        {2.0f, 123456, 246912},
        {0.5f, -2147483648LL, -1073741824},
        {0.5f, -3, -1},
        {0.5f, 2147483647, 1073741823},
        {3.0f, -2147483648LL, -2147483648LL},
    };
    for (const auto& row : table) {
        auto data = s32({row.in});
        apply_gain(row.gain, data.data(), data.size(), mono);
        EXPECT_EQ(data, s32({row.out})) << row.in << " x " << row.gain;
    }
}

TEST(ApplyGain, EveryChannelIsScaledAndATrailingPartialSampleLeftAlone) {
    const AudioFormat stereo{16, 2, 8000};
    auto data = s16({100, -200, 300, 20000});
    data.push_back(0x55);  // a stray byte after the last whole sample
    apply_gain(2.0f, data.data(), data.size(), stereo);
    auto expected = s16({200, -400, 600, 32767});
    expected.push_back(0x55);
    EXPECT_EQ(data, expected);

    const AudioFormat quad32{32, 4, 8000};
    auto wide = s32({1, -2, 3, -4});
    wide.insert(wide.end(), {0x01, 0x02, 0x03});
    apply_gain(3.0f, wide.data(), wide.size(), quad32);
    auto wide_expected = s32({3, -6, 9, -12});
    wide_expected.insert(wide_expected.end(), {0x01, 0x02, 0x03});
    EXPECT_EQ(wide, wide_expected);
}

TEST(ApplyGain, UnityLeavesSamplesUntouched) {
    auto data = s16({-32768, -1, 0, 1, 32767});
    const auto before = data;
    apply_gain(1.0f, data.data(), data.size(), AudioFormat{16, 1, 8000});
    EXPECT_EQ(data, before);
}

}  // namespace
}  // namespace kivra
