// The export's all-or-nothing rule, with writers that fail on cue.
#include "export_session.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "channel_frames.h"

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
    int bits, rate, first, frames, step;
    size_t bytes;
};

// The pieces of one GOP add up to exactly its duration, whatever frame the export starts at.
TEST(SilenceBytes, LastsTheExportedFramesOfTheGop) {
    const SilenceCase cases[] = {
        {16, 8000, 0, 8, 1, 16000},  // a whole GOP: one second
        {16, 8000, 3, 8, 1, 10000},  // 5 of 8 frames
        {8, 11025, 1, 3, 1, 7350},   // 11025 - 3675
        {8, 11025, 0, 3, 2, 22050},  // a GOP every two seconds
        {16, 8000, 8, 8, 1, 0},      // nothing left of the GOP
    };
    for (const SilenceCase& c : cases) {
        EXPECT_EQ(silence_bytes(PcmFormat{c.bits, c.rate}, c.first, c.frames, c.step), c.bytes)
            << c.bits << " bits, " << c.rate << " Hz, from " << c.first << " of " << c.frames;
    }
}

}  // namespace
}  // namespace ombrel
