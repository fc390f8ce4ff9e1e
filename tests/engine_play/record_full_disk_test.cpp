// Recording while playing onto a disk that fills up: the failed write is reported through
// ErrorProc with the system's error, the recording ends with complete files, and play goes on.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine_harness.h"
#include "process.h"
#include "recordings.h"
#include "small_disk.h"

namespace fleet::test {
namespace {

using namespace std::chrono_literals;

struct FullRow {
    const char* name;
    bool tmpfs;  // else the stream file is /dev/full, which refuses every write
};

void PrintTo(const FullRow& row, std::ostream* out) {
    *out << row.name;
}

class RecordingOnAFullDisk : public testing::TestWithParam<FullRow> {
  protected:
    static void SetUpTestSuite() { setenv("KIVRA_AUDIO", "clock", 1); }
};

TEST_P(RecordingOnAFullDisk, IsReportedOnceAndEndsWithCompleteFiles) {
    SmallDisk disk(64 * 1024);  // full after two GOPs of the recording below
    TempDir scratch;
    std::string base;
    if (GetParam().tmpfs) {
        if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
        base = disk.file("recorded");
    } else {
        if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
        base = scratch.file("recorded");
        std::filesystem::create_symlink("/dev/full", base + ".dvr");
    }

    EngineHarness engine;
    ASSERT_TRUE(engine.open(recording("--channels 4 --stream-version 3 --seconds 30 --fps 4")));
    ASSERT_TRUE(zSetRecord(base.c_str(), 1));
    ASSERT_EQ(engine.command(KIVRA_CMD_PLAY), KIVRA_RESULT_PLAY_OK);
    auto reported = [&] {
        for (const auto& e : engine.errors()) {
            if (e[0] == KIVRA_ERROR_RECORD_WRITE) return true;
        }
        return false;
    };
    ASSERT_TRUE(engine.wait(reported, 15s)) << "the failed write was not reported";
    const size_t shown = engine.frames().size();
    EXPECT_TRUE(engine.wait([&] { return engine.frames().size() >= shown + 8; }, 5s))
        << "play stopped with the recording";
    int write_errors = 0;
    for (const auto& e : engine.errors()) {
        if (e[0] != KIVRA_ERROR_RECORD_WRITE) continue;
        ++write_errors;
        EXPECT_EQ(e[1], ENOSPC);
    }
    EXPECT_EQ(write_errors, 1);
    EXPECT_TRUE(zSetRecord(nullptr, 0)) << "the recording has ended already";

    if (GetParam().tmpfs) {
        ProcessResult verify = run_process({DVRTOOL_PATH, "verify", base + ".dvr"});
        EXPECT_EQ(verify.exit_code, 0) << verify.out << verify.err;
        EXPECT_EQ(verify.out.find("0 GOPs"), std::string::npos) << verify.out;
    }
}

INSTANTIATE_TEST_SUITE_P(Disks, RecordingOnAFullDisk,
                         testing::Values(FullRow{"DevFull", false}, FullRow{"SmallTmpfs", true}),
                         [](const testing::TestParamInfo<FullRow>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
}  // namespace fleet::test
