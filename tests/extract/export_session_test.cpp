// The export's all-or-nothing rule, with writers that fail on cue.
#include "export_session.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "channel_frames.h"
#include "gop_clock.h"

namespace ombrel {
namespace {

struct WriterLog {
    int gops = 0;
    int index_records = 0;
    bool finished = false;
    bool discarded = false;
};

class ScriptedWriter : public OutputWriter {
  public:
    ScriptedWriter(WriterLog& log, int fail_at_gop, bool fail_finish)
        : log_(log), fail_at_gop_(fail_at_gop), fail_finish_(fail_finish) {}
    bool write_gop(const GopInput&) override { return ++log_.gops != fail_at_gop_; }
    bool write_index_record(const uint8_t*, size_t) override {
        ++log_.index_records;
        return true;
    }
    bool finish() override { return log_.finished = !fail_finish_; }
    void discard() override { log_.discarded = true; }
    std::string error() const override { return "scripted failure"; }

  private:
    WriterLog& log_;
    int fail_at_gop_;
    bool fail_finish_;
};

ExtractJob sound_job() {
    ExtractJob job{};
    job.screen_count = 1;
    job.sample_rate = 8000;
    job.sample_bits = 16;
    job.channel_avi[0] = 1;
    std::snprintf(job.channel_avi_path[0], sizeof job.channel_avi_path[0], "unused.avi");
    return job;
}

struct Script {
    int fail_at_gop = 0;  // 0: never
    bool fail_finish = false;
};

// Two writers: a healthy first one and a second one that follows `second`.
class SessionTest : public ::testing::Test {
  protected:
    ExportSession session_for(Script second) {
        return ExportSession([this, second](const ExtractJob&, std::string&) {
            Outputs outputs;
            outputs.push_back(std::make_unique<ScriptedWriter>(first_, 0, false));
            outputs.push_back(
                std::make_unique<ScriptedWriter>(second_, second.fail_at_gop, second.fail_finish));
            return outputs;
        });
    }
    void write_gops(ExportSession& session, int count) {
        for (int i = 0; i < count; ++i) {
            session.write(OMBREL_WRITE_GOP, gop_, sizeof gop_, &frames_);
        }
    }

    WriterLog first_, second_;
    uint8_t gop_[4] = {};
    FrameSet frames_{};
};

TEST_F(SessionTest, EveryWriterGetsEveryGopAndIndexRecordAndIsFinished) {
    ExportSession session = session_for({});
    ASSERT_TRUE(session.prepare(sound_job()));
    write_gops(session, 3);
    session.write(OMBREL_WRITE_INDEX_RECORD, gop_, sizeof gop_, nullptr);
    session.finish();
    EXPECT_FALSE(session.is_open());
    for (const WriterLog* log : {&first_, &second_}) {
        EXPECT_EQ(log->gops, 3);
        EXPECT_EQ(log->index_records, 1);
        EXPECT_TRUE(log->finished);
        EXPECT_FALSE(log->discarded);
    }
}

TEST_F(SessionTest, AFailedWriteDiscardsEveryOutputAndLaterWritesGoNowhere) {
    ExportSession session = session_for({.fail_at_gop = 2});
    ASSERT_TRUE(session.prepare(sound_job()));
    write_gops(session, 2);
    EXPECT_FALSE(session.is_open());
    EXPECT_EQ(session.last_error(), "scripted failure");
    write_gops(session, 3);
    session.finish();
    EXPECT_EQ(first_.gops, 2);
    EXPECT_TRUE(first_.discarded && second_.discarded);
    EXPECT_FALSE(first_.finished);
}

TEST_F(SessionTest, AFailedFinishDiscardsTheOutputsAlreadyFinished) {
    ExportSession session = session_for({.fail_finish = true});
    ASSERT_TRUE(session.prepare(sound_job()));
    write_gops(session, 1);
    session.finish();
    EXPECT_FALSE(session.is_open());
    EXPECT_TRUE(first_.finished);
    EXPECT_TRUE(first_.discarded && second_.discarded);
}

TEST_F(SessionTest, CallsThatCarryNothingAreIgnored) {
    ExportSession session = session_for({});
    ASSERT_TRUE(session.prepare(sound_job()));
    session.write(OMBREL_WRITE_GOP, gop_, sizeof gop_, nullptr);  // a GOP needs its frame set
    session.write(OMBREL_WRITE_GOP, nullptr, 4, &frames_);
    session.write(OMBREL_WRITE_GOP, gop_, 0, &frames_);
    session.write(7, gop_, sizeof gop_, &frames_);
    EXPECT_EQ(first_.gops + first_.index_records, 0);
    EXPECT_TRUE(session.is_open());
}

TEST(ExportSession, NothingOpensWhenTheWritersCannotBeMade) {
    ExportSession session([](const ExtractJob&, std::string& error) {
        error = "cannot create";
        return Outputs{};
    });
    EXPECT_FALSE(session.prepare(sound_job()));
    EXPECT_FALSE(session.is_open());
    EXPECT_EQ(session.last_error(), "cannot create");
}

struct SilenceCase {
    int bits, rate, first, frames;
    int64_t gop_samples;
    size_t bytes;
};

// The pieces of one GOP add up to exactly its duration, whatever frame the export starts at.
TEST(SilenceBytes, LastsTheExportedFramesOfTheGop) {
    const SilenceCase cases[] = {
        {16, 8000, 0, 8, 8000, 16000},   // a whole GOP: one second
        {16, 8000, 3, 8, 8000, 10000},   // 5 of 8 frames
        {8, 11025, 1, 3, 11025, 7350},   // 11025 - 3675
        {8, 11025, 0, 3, 22050, 22050},  // a GOP of two seconds
        {16, 8000, 0, 8, 7999, 15998},   // a GOP a sample short of a second
        {16, 8000, 8, 8, 8000, 0},       // nothing left of the GOP
    };
    for (const SilenceCase& c : cases) {
        EXPECT_EQ(silence_bytes(PcmFormat{c.bits, c.rate}, c.first, c.frames, c.gop_samples),
                  c.bytes)
            << c.bits << " bits, " << c.rate << " Hz, from " << c.first << " of " << c.frames;
    }
}

struct ClockStep {
    uint32_t time;
    int64_t sound;     // ticks of usable sound, 0 none
    int64_t duration;  // expected
};

struct ClockCase {
    const char* what;
    int rate;
    std::vector<ClockStep> gops;
};

TEST(GopClock, ASoundGivesTheDurationElseTheSmallestStepElseOneSecond) {
    const ClockCase cases[] = {
        {"sound lasts what it lasts", 8000, {{100, 8000, 8000}, {101, 7990, 7990}}},
        {"no sound and no step yet: one second", 8000, {{100, 0, 8000}}},
        {"a GOP left out makes one step longer, not the GOPs",
         8000,
         {{100, 0, 8000}, {102, 0, 16000}, {103, 0, 8000}, {105, 0, 8000}}},
        {"two-second GOPs", 11025, {{100, 0, 11025}, {102, 0, 22050}, {104, 0, 22050}}},
        {"a gap in the recording is no step", 8000, {{100, 0, 8000}, {160, 0, 8000}}},
        {"a time that goes back is no step", 8000, {{100, 0, 8000}, {90, 0, 8000}}},
        {"sound of a moment lasts a quarter second", 8000, {{100, 10, 2000}}},
        {"sound past the longest GOP is cut", 8000, {{100, 80000, 32000}}},
        {"without sound the clock counts milliseconds", 0, {{100, 0, 1000}, {102, 0, 2000}}},
    };
    for (const ClockCase& c : cases) {
        GopClock clock(c.rate);
        for (size_t i = 0; i < c.gops.size(); ++i) {
            EXPECT_EQ(clock.next(c.gops[i].time, c.gops[i].sound), c.gops[i].duration)
                << c.what << ", GOP " << i;
        }
    }
}

// A frame set of two frames with 16-bit sound at 8000 Hz in chunks of the given lengths.
struct SoundSet {
    std::vector<uint8_t> buffer = std::vector<uint8_t>(KIVRA_AUDIO_CAPACITY);
    FrameSet set{};
    SoundSet(int32_t first_chunk, int32_t second_chunk) {
        for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>(i);
        set.frames_per_channel = 2;
        set.has_audio = 1;
        set.audio_buffer = buffer.data();
        set.audio_sample_bits = 16;
        set.audio_sample_rate = 8000;
        set.audio_chunk_offset[0] = 0;
        set.audio_chunk_length[0] = first_chunk;
        set.audio_chunk_offset[1] = 1000;
        set.audio_chunk_length[1] = second_chunk;
    }
};

struct SoundCase {
    const char* what;
    int32_t first_chunk, second_chunk;
    void (*spoil)(FrameSet&);
    int64_t samples;  // usable, 0: the GOP gets silence
};

TEST(GopAudio, WholeSamplesOfTheJobsFormatOrNone) {
    const SoundCase cases[] = {
        {"whole chunks", 400, 600, [](FrameSet&) {}, 500},
        {"an odd chunk loses its half sample", 401, 600, [](FrameSet&) {}, 500},
        {"chunks without a whole sample", 1, 1, [](FrameSet&) {}, 0},
        {"no buffer", 400, 600, [](FrameSet& s) { s.audio_buffer = nullptr; }, 0},
        {"8-bit sound in a 16-bit export", 400, 600, [](FrameSet& s) { s.audio_sample_bits = 8; },
         0},
        {"sound at another rate", 400, 600, [](FrameSet& s) { s.audio_sample_rate = 11025; }, 0},
        {"no sound", 400, 600, [](FrameSet& s) { s.has_audio = 0; }, 0},
    };
    const PcmFormat job{16, 8000};
    for (const SoundCase& c : cases) {
        SCOPED_TRACE(c.what);
        SoundSet sound(c.first_chunk, c.second_chunk);
        c.spoil(sound.set);
        EXPECT_EQ(gop_sound_samples(sound.set, job), c.samples);
        EXPECT_EQ(has_usable_audio(sound.set, job), c.samples > 0);
        std::vector<uint8_t> out;
        EXPECT_EQ(append_gop_audio(sound.set, job, 0, out), static_cast<size_t>(c.samples) * 2);
        ASSERT_EQ(out.size(), static_cast<size_t>(c.samples) * 2);
        if (c.samples == 0) continue;
        // The second chunk starts right after the first one's whole samples.
        const size_t second = static_cast<size_t>(c.first_chunk / 2 * 2);
        EXPECT_EQ(out[second], sound.buffer[1000]);
        EXPECT_EQ(out[second + 1], sound.buffer[1001]);
    }
}

}  // namespace
}  // namespace ombrel
