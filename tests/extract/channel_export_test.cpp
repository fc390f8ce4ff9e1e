// Per-channel exports through the library's own exports, checked with the real FFmpeg tools
// against what the recording holds: the channel's elementary stream (dvrtool extract-es) and
// the engine's audio chunks.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "ombrel/ombrel.h"
#include "process.h"
#include "recorded_gops.h"

namespace extract_test {
namespace {

namespace fs = std::filesystem;
using fleet::test::TempDir;

constexpr int kChannels = 4;
constexpr int kSeconds = 5;
constexpr int kFramesPerSecond = 8;
constexpr size_t kSilentGop = 2;  // delivered as a GOP without audio

struct Recording {
    int sample_bits;
    int sample_rate;
};

void set_path(char (&field)[OMBREL_PATH_SIZE], const std::string& path) {
    std::snprintf(field, sizeof field, "%s", path.c_str());
}

ExtractJob job_for(const Recording& r, const std::string& dir) {
    ExtractJob job{};
    job.screen_count = kChannels;
    job.sample_rate = r.sample_rate;
    job.sample_bits = r.sample_bits;
    set_path(job.target_directory, dir);
    return job;
}

void ask_channel(ExtractJob& job, int channel, const std::string& path) {
    job.channel_avi[channel - 1] = 1;
    set_path(job.channel_avi_path[channel - 1], path);
}

// Feeds every GOP (one of them without its audio) and one index record; returns the sound
// the engine plays for those GOPs, with one second of silence for the silent one.
std::string feed(const RecordedGops& gops, const Recording& r) {
    std::string sound;
    const uint8_t index_header[16] = {0xBE, 0xBA, 0x38, 0x17, 1};
    zExtractWrite(OMBREL_WRITE_INDEX_RECORD, index_header, sizeof index_header, nullptr);
    size_t n = 0;
    gops.for_each([&](const RecordedGop& gop, FrameSet& set) {
        if (n++ == kSilentGop) set.has_audio = 0;
        if (set.has_audio) {
            for (int f = 0; f < set.frames_per_channel; ++f) {
                sound.append(
                    reinterpret_cast<const char*>(set.audio_buffer) + set.audio_chunk_offset[f],
                    static_cast<size_t>(set.audio_chunk_length[f]));
            }
        } else {
            sound.append(static_cast<size_t>(r.sample_rate * r.sample_bits / 8),
                         r.sample_bits == 8 ? '\x80' : '\0');
        }
        zExtractWrite(OMBREL_WRITE_GOP, gop.data, gop.length, &set);
    });
    return sound;
}

std::vector<std::string> frame_hashes(const std::string& framemd5) {
    std::vector<std::string> hashes;
    for (const auto& line : fleet::test::split_lines(framemd5)) {
        if (line.empty() || line[0] == '#') continue;
        hashes.push_back(line.substr(line.rfind(',') + 1));
    }
    return hashes;
}

std::vector<std::string> decoded_hashes(const std::string& path, const std::string& crop) {
    std::vector<std::string> argv = {FFMPEG_PATH, "-v", "error", "-i", path, "-map", "0:v"};
    if (!crop.empty()) argv.insert(argv.end(), {"-vf", crop});
    argv.insert(argv.end(), {"-fps_mode", "passthrough", "-f", "framemd5", "-"});
    return frame_hashes(output_of(argv));
}

std::string probe(const std::string& path, const std::string& stream, const std::string& entry) {
    std::string text = output_of({FFPROBE_PATH, "-v", "error", "-count_frames", "-select_streams",
                                  stream, "-show_entries", "stream=" + entry, "-of",
                                  "default=noprint_wrappers=1:nokey=1", path});
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// Top-level MP4 boxes in file order.
std::vector<std::string> mp4_boxes(const std::string& bytes) {
    std::vector<std::string> boxes;
    for (size_t pos = 0; pos + 8 <= bytes.size();) {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + pos);
        uint64_t size = (uint64_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
        if (size == 1 && pos + 16 <= bytes.size()) {
            size = 0;
            for (int i = 8; i < 16; ++i) size = (size << 8) | p[i];
        }
        boxes.emplace_back(bytes.data() + pos + 4, 4);
        if (size < 8) break;
        pos += size;
    }
    return boxes;
}

class ChannelExport : public ::testing::TestWithParam<Recording> {
  protected:
    void SetUp() override {
        const Recording& r = GetParam();
        base_ = dir_.file("rec");
        std::string error;
        ASSERT_TRUE(
            record(base_,
                   {"--channels", std::to_string(kChannels), "--stream-version", "3", "--seconds",
                    std::to_string(kSeconds), "--fps", std::to_string(kFramesPerSecond),
                    "--audio-rate", std::to_string(r.sample_rate), "--audio-bits",
                    std::to_string(r.sample_bits), "--seed", "11"},
                   error))
            << error;
        gops_ = std::make_unique<RecordedGops>(base_ + ".dvr");
    }

    // The channel's stream as the recording holds it, and its frame count.
    std::string elementary_stream(int channel, std::string& frames) {
        const std::string es = dir_.file("ch" + std::to_string(channel) + ".h264");
        const std::string said = output_of({DVRTOOL_PATH, "extract-es", base_ + ".dvr", "--channel",
                                            std::to_string(channel), "-o", es});
        std::istringstream words(said);
        std::string wrote;
        words >> wrote >> frames;
        return es;
    }

    TempDir dir_;
    std::string base_;
    std::unique_ptr<RecordedGops> gops_;
};

TEST_P(ChannelExport, AviHoldsTheChannelsFramesCroppedAndTheEnginesSound) {
    const Recording& r = GetParam();
    ExtractJob job = job_for(r, dir_.path());
    const std::string ch1 = dir_.file("out_ch1.avi"), ch3 = dir_.file("out_ch3.avi");
    ask_channel(job, 1, ch1);
    ask_channel(job, 3, ch3);

    ASSERT_EQ(zExtractPre(job), 1);
    EXPECT_EQ(zIsExtractOpened(), 1);
    const std::string sound = feed(*gops_, r);
    EXPECT_EQ(zIsExtractOpened(), 1);
    zExtractFin();
    EXPECT_EQ(zIsExtractOpened(), 0);

    for (auto [channel, avi] : {std::pair{1, ch1}, std::pair{3, ch3}}) {
        SCOPED_TRACE(avi);
        std::string frames;
        const std::string es = elementary_stream(channel, frames);
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(probe(avi, "v:0", "nb_read_frames"), frames);
        EXPECT_EQ(probe(avi, "v:0", "r_frame_rate"), std::to_string(kFramesPerSecond) + "/1");
        const auto expected = decoded_hashes(es, "crop=iw:ih-8:0:8");
        ASSERT_EQ(expected.size(), static_cast<size_t>(std::stoi(frames)));
        EXPECT_EQ(decoded_hashes(avi, ""), expected);

        const std::string raw = r.sample_bits == 8 ? "u8" : "s16le";
        EXPECT_EQ(probe(avi, "a:0", "codec_name"), "pcm_" + raw);
        const std::string track = output_of(
            {FFMPEG_PATH, "-v", "error", "-i", avi, "-map", "0:a", "-c:a", "copy", "-f", raw, "-"});
        ASSERT_EQ(track.size(), sound.size());
        EXPECT_TRUE(track == sound);
    }
}

TEST_P(ChannelExport, Mp4IsAStreamCopyWithItsIndexAhead) {
    const Recording& r = GetParam();
    ExtractJob job = job_for(r, dir_.path());
    job.reserved1[0] = 1;
    const std::string mp4 = dir_.file("out_ch2.mp4");
    ask_channel(job, 2, mp4);

    ASSERT_EQ(zExtractPre(job), 1);
    feed(*gops_, r);
    zExtractFin();
    ASSERT_EQ(zIsExtractOpened(), 0);

    std::string frames;
    const std::string es = elementary_stream(2, frames);
    EXPECT_EQ(probe(mp4, "v:0", "nb_read_frames"), frames);
    EXPECT_EQ(decoded_hashes(mp4, ""), decoded_hashes(es, "crop=iw:ih-8:0:8"));
    EXPECT_EQ(probe(mp4, "a:0", "codec_name"), "aac");
    const auto errors =
        fleet::test::run_process({FFMPEG_PATH, "-v", "error", "-i", mp4, "-f", "null", "-"});
    EXPECT_EQ(errors.exit_code, 0);
    EXPECT_EQ(errors.err, "");

    const auto boxes = mp4_boxes(fleet::test::read_file(mp4));
    const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
    const auto mdat = std::find(boxes.begin(), boxes.end(), "mdat");
    ASSERT_NE(moov, boxes.end());
    ASSERT_NE(mdat, boxes.end());
    EXPECT_LT(moov - boxes.begin(), mdat - boxes.begin());
}

INSTANTIATE_TEST_SUITE_P(SampleFormats, ChannelExport,
                         ::testing::Values(Recording{16, 8000}, Recording{8, 11025}),
                         [](const ::testing::TestParamInfo<Recording>& p) {
                             return std::to_string(p.param.sample_bits) + "bit" +
                                    std::to_string(p.param.sample_rate);
                         });

}  // namespace
}  // namespace extract_test
