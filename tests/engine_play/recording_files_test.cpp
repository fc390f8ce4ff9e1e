// The files of a recording made while playing, when the disk refuses a step: nothing is left
// behind by a recording that could not begin, and one that cannot write its closing unit still
// ends as a pair that opens.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <vector>

#include "format/file_pair.h"
#include "format/file_pair_writer.h"
#include "format/gop_builder.h"
#include "format/gop_header.h"
#include "format/index_format.h"
#include "record/gop_recorder.h"
#include "record/recording_files.h"

namespace kivra {
namespace {

namespace fs = std::filesystem;

struct ScratchFolder {
    fs::path path = fs::temp_directory_path() / ("recording-files-" + std::to_string(::getpid()));
    ScratchFolder() { fs::create_directories(path); }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

// Files of this process may not grow past `bytes` while it lives (the disk "fills up").
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_signal_ = std::signal(SIGXFSZ, SIG_IGN);  // a refused write is an error, no more
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_signal_);
    }

  private:
    rlimit saved_{};
    void (*previous_signal_)(int) = nullptr;
};

std::vector<uint8_t> small_gop(uint32_t time) {
    fleet::format::GopPlan plan;
    plan.time = time;
    return fleet::format::build_gop(plan);
}

TEST(RecordingFiles, ARecordingThatCannotBeginLeavesNoFiles) {
    ScratchFolder scratch;
    const fs::path dvr = scratch.path / "rec.dvr";
    const fs::path inx = scratch.path / "missing-folder" / "rec.inx";
    RecordingFiles files;
    const fleet::Status created = files.create(dvr.string(), inx.string());
    ASSERT_FALSE(created);
    EXPECT_EQ(created.error().code, ENOENT);
    EXPECT_FALSE(files.is_open());
    EXPECT_FALSE(fs::exists(dvr)) << "an empty stream file stayed behind";
}

TEST(RecordingFiles, WithoutItsClosingUnitThePairStillOpens) {
    ScratchFolder scratch;
    const std::string dvr = (scratch.path / "rec.dvr").string();
    const std::string inx = (scratch.path / "rec.inx").string();
    RecordingFiles files;
    ASSERT_TRUE(files.create(dvr, inx));
    const int gops = fleet::format::kUnitEveryGops + 1;  // two units: the first GOP, the 121st
    for (int i = 0; i < gops; ++i) {
        const std::vector<uint8_t> gop = small_gop(1773475200u + static_cast<uint32_t>(i));
        ASSERT_TRUE(files.append(gop.data(), gop.size(), 1773475200u + static_cast<uint32_t>(i)));
    }
    const auto index_length = static_cast<rlim_t>(fs::file_size(inx));
    ASSERT_EQ(index_length, 3 * fleet::format::kIndexRecordSize);
    {
        FileSizeLimit full(index_length);  // no room for the closing unit
        const fleet::Status finished = files.finish();
        EXPECT_FALSE(finished) << "a lost closing unit was reported as success";
        if (!finished) {
            EXPECT_EQ(finished.error().code, EFBIG);
        }
    }
    EXPECT_FALSE(files.is_open());

    fleet::format::FilePair pair;
    ASSERT_EQ(pair.open(dvr, inx), "") << "the recording became unreadable";
    EXPECT_EQ(pair.length(), static_cast<int64_t>(fs::file_size(dvr)) -
                                 static_cast<int64_t>(fleet::format::kBlockSize))
        << "the data runs to the last unit written";
}

// Starting a new recording ends the one running; when that cannot end whole the host hears
// of it instead of getting a new recording and losing the old one's failure.
TEST(GopRecorder, ANewRecordingIsRefusedWhenTheRunningOneCannotEnd) {
    ScratchFolder scratch;
    const std::string first = (scratch.path / "first").string();
    const std::string second = (scratch.path / "second").string();
    GopRecorder recorder;
    ASSERT_TRUE(recorder.start(first));
    const std::vector<uint8_t> gop = small_gop(1773475200u);
    ASSERT_TRUE(recorder.write(gop.data(), gop.size(), 1773475200u, 0));
    {
        FileSizeLimit full(fs::file_size(first + ".inx"));
        const fleet::Status started = recorder.start(second);
        EXPECT_FALSE(started);
        if (!started) {
            EXPECT_EQ(started.error().code, EFBIG);
        }
    }
    EXPECT_FALSE(recorder.recording());
    EXPECT_FALSE(fs::exists(second + ".dvr"));
    EXPECT_TRUE(recorder.start(second)) << "a later start works again";
    EXPECT_TRUE(recorder.stop());
}

}  // namespace
}  // namespace kivra
