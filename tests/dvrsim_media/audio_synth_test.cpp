#include "dvrsim/audio_synth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace dvrsim {
namespace {

// One channel of a synthesized second as signed values (8-bit re-centred on 0).
std::vector<int> channel_samples(const std::vector<uint8_t>& pcm, const AudioFormat& f,
                                 int channel) {
    const size_t bytes = static_cast<size_t>(f.bits / 8);
    const size_t frame = bytes * static_cast<size_t>(f.channels);
    std::vector<int> out;
    for (size_t at = bytes * static_cast<size_t>(channel); at + bytes <= pcm.size(); at += frame) {
        if (f.bits == 8) {
            out.push_back(pcm[at] - 128);
        } else {
            out.push_back(static_cast<int16_t>(pcm[at] | (pcm[at + 1] << 8)));
        }
    }
    return out;
}

int zero_crossings(const std::vector<int>& s, size_t begin, size_t end) {
    int count = 0;
    for (size_t i = begin + 1; i < end; ++i) {
        if ((s[i - 1] < 0) != (s[i] < 0)) ++count;
    }
    return count;
}

int peak(const std::vector<int>& s, size_t begin, size_t end) {
    int p = 0;
    for (size_t i = begin; i < end; ++i) p = std::max(p, std::abs(s[i]));
    return p;
}

int largest_step(const std::vector<int>& s) {
    int step = 0;
    for (size_t i = 1; i < s.size(); ++i) step = std::max(step, std::abs(s[i] - s[i - 1]));
    return step;
}

TEST(AudioSynth, OneSecondHasRateTimesFrameBytes) {
    EXPECT_EQ(synth_audio_second({8000, 8, 1}, 0).size(), 8000u);
    EXPECT_EQ(synth_audio_second({8000, 16, 2}, 3).size(), 32000u);
    EXPECT_EQ(synth_audio_second({16000, 16, 1}, 1).size(), 32000u);
    EXPECT_EQ(synth_audio_second({44100, 8, 2}, 7).size(), 88200u);
}

TEST(AudioSynth, UnsupportedFormatsGiveNothing) {
    EXPECT_TRUE(synth_audio_second({8000, 24, 1}, 0).empty());
    EXPECT_TRUE(synth_audio_second({8000, 16, 3}, 0).empty());
    EXPECT_TRUE(synth_audio_second({0, 16, 1}, 0).empty());
}

TEST(AudioSynth, EightBitIsUnsignedAroundTheSilenceCentre) {
    const AudioFormat f{8000, 8, 2};
    const std::vector<uint8_t> pcm = synth_audio_second(f, 0);
    double sum = 0.0;
    for (uint8_t b : pcm) sum += b;
    EXPECT_NEAR(sum / static_cast<double>(pcm.size()), 128.0, 1.0);
    const auto [low, high] = std::minmax_element(pcm.begin(), pcm.end());
    EXPECT_GE(*low, 128 - 66);  // tone plus beep peak at about half scale
    EXPECT_LE(*high, 128 + 66);
    EXPECT_GT(*high - *low, 60) << "not silent";
}

TEST(AudioSynth, SixteenBitToneIsAboutMinusTwelveDbfs) {
    const AudioFormat f{16000, 16, 2};
    const std::vector<int> left = channel_samples(synth_audio_second(f, 0), f, 0);
    const double dbfs = 20.0 * std::log10(peak(left, 0, left.size()) / 32768.0);
    EXPECT_NEAR(dbfs, -12.0, 0.5);
}

TEST(AudioSynth, LeftIs440RightIs660WithABeepInTheFirst50ms) {
    const AudioFormat f{16000, 16, 2};
    const std::vector<uint8_t> pcm = synth_audio_second(f, 5);
    const std::vector<int> left = channel_samples(pcm, f, 0);
    const std::vector<int> right = channel_samples(pcm, f, 1);
    ASSERT_EQ(left.size(), 16000u);
    ASSERT_EQ(right.size(), 16000u);
    EXPECT_NE(left, right);
    // Two zero crossings per cycle; the last 0.9 s are beyond the beep.
    EXPECT_NEAR(zero_crossings(left, 1600, 16000), 2 * 440 * 0.9, 3);
    EXPECT_NEAR(zero_crossings(right, 1600, 16000), 2 * 660 * 0.9, 3);
    const int beep_end = 16000 / 20;
    EXPECT_GT(peak(right, 0, beep_end), peak(right, beep_end, right.size()) * 3 / 2);
    EXPECT_LT(peak(left, 0, beep_end), peak(left, beep_end, left.size()) + 2) << "beep leaked left";
}

TEST(AudioSynth, MonoCarriesTheRightChannel) {
    for (int bits : {8, 16}) {
        SCOPED_TRACE(bits);
        const AudioFormat stereo{8000, bits, 2};
        const AudioFormat mono{8000, bits, 1};
        const std::vector<int> right = channel_samples(synth_audio_second(stereo, 2), stereo, 1);
        EXPECT_EQ(channel_samples(synth_audio_second(mono, 2), mono, 0), right);
    }
}

TEST(AudioSynth, SecondsJoinWithoutAClick) {
    const AudioFormat f{8000, 16, 2};
    for (int channel : {0, 1}) {
        SCOPED_TRACE(channel);
        std::vector<int> joined = channel_samples(synth_audio_second(f, 41), f, channel);
        const std::vector<int> next = channel_samples(synth_audio_second(f, 42), f, channel);
        const int within = largest_step(next);
        joined.insert(joined.end(), next.begin(), next.end());
        EXPECT_LE(largest_step(joined), within);
    }
}

}  // namespace
}  // namespace dvrsim
