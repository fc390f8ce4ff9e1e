// Closing a file pair whose files do not close cleanly: each file's failure is reported, and
// the close answers as failed with the failed close result.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "api/engine.h"
#include "engine_harness.h"
#include "recordings.h"

namespace fleet::test {
namespace {

struct CloseRow {
    const char* name;
    bool stream_closes;
    bool index_closes;
    std::vector<int> errors;
};

void PrintTo(const CloseRow& row, std::ostream* out) {
    *out << row.name;
}

class SourceClose : public testing::TestWithParam<CloseRow> {
  protected:
    static void SetUpTestSuite() { setenv("KIVRA_AUDIO", "clock", 1); }
    // The engine outlives the test: its files close normally again afterwards.
    void TearDown() override { kivra::Engine::instance().file_source().set_closer(nullptr); }
};

TEST_P(SourceClose, ReportsEachFileThatDidNotClose) {
    const CloseRow& row = GetParam();
    EngineHarness engine;
    const std::string base = recording("--channels 1 --stream-version 3 --seconds 2 --fps 2");
    ASSERT_TRUE(engine.open(base));
    kivra::Engine::instance().file_source().set_closer([&row](fleet::format::FilePair& pair) {
        fleet::format::PairClosed closed = pair.close();
        return fleet::format::PairClosed{closed.stream && row.stream_closes,
                                         closed.index && row.index_closes};
    });
    engine.clear();
    ASSERT_EQ(engine.command(KIVRA_CMD_CLOSE), KIVRA_RESULT_CLOSE_FAILED);
    EXPECT_EQ(engine.last_errors(), row.errors);
    ASSERT_FALSE(engine.play_events().empty());
    EXPECT_EQ(engine.play_events().back().value, KIVRA_CLOSE_RESULT_FAILED);
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE) << "its files are released all the same";
    EXPECT_TRUE(engine.open(base)) << "and the pair opens again";
}

INSTANTIATE_TEST_SUITE_P(
    Files, SourceClose,
    testing::Values(
        CloseRow{"Stream", false, true, {KIVRA_ERROR_CLOSE_DVR, KIVRA_ERROR_CLOSE_FAILED}},
        CloseRow{"Index", true, false, {KIVRA_ERROR_CLOSE_INX, KIVRA_ERROR_CLOSE_FAILED}},
        CloseRow{"Both",
                 false,
                 false,
                 {KIVRA_ERROR_CLOSE_DVR, KIVRA_ERROR_CLOSE_INX, KIVRA_ERROR_CLOSE_FAILED}}),
    [](const testing::TestParamInfo<CloseRow>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace fleet::test
