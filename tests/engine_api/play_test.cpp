// Normal play of a recording, and the commands that need something open or playing.
#include "engine_host.h"

namespace engine_api {
namespace {

class EnginePlay : public EngineTest {};

TEST_F(EnginePlay, PlaysARecordingToItsEnd) {
    Recording recording;
    ASSERT_NO_FATAL_FAILURE(make_recording(dir_, {"play", 4, 3, 4, {}}, recording));
    ASSERT_NO_FATAL_FAILURE(open(recording));
    reports().reset_frames("BUS-0001");
    const size_t plays = reports().play_mark();
    const size_t shown = video().presents();
    const size_t malformed = video().malformed();

    ASSERT_EQ(command(KIVRA_CMD_PLAY), std::optional<int32_t>(KIVRA_RESULT_PLAY_OK));
    EXPECT_EQ(zTellStatusType(), KIVRA_STATUS_PLAYING);
    ASSERT_TRUE(reports().wait_play(
        plays, [](const PlayEvent& e) { return e.code == KIVRA_EVENT_END_OF_DATA; }, kEndLimit))
        << "no end of data";
    // Three GOPs of four frames each, every one presented once with its telemetry.
    EXPECT_EQ(reports().frames(), 12);
    EXPECT_EQ(reports().frames_of_other_vehicles(), 0);
    EXPECT_GE(video().presents(), shown + 12);
    EXPECT_EQ(video().malformed(), malformed);
    EXPECT_EQ(zTellp(), zTellTotalLen()) << "the reader should have passed everything";
    for (const PlayEvent& e : reports().plays_since(plays)) {
        EXPECT_TRUE(e.code != KIVRA_EVENT_READ_FAILED && e.code != KIVRA_EVENT_DRAW_FAILED)
            << "report (" << e.code << ", " << e.value << ") from an intact recording";
    }

    EXPECT_EQ(command(KIVRA_CMD_STOP), std::optional<int32_t>(KIVRA_RESULT_STOP_OK));
    EXPECT_EQ(zTellStatusType(), KIVRA_STATUS_STOPPED);
    EXPECT_EQ(zTellp(), 0);
    EXPECT_EQ(command(KIVRA_CMD_CLOSE), std::optional<int32_t>(KIVRA_RESULT_CLOSE_OK));
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);
}

TEST_F(EnginePlay, ClosingWhilePlayingIsRefused) {
    Recording recording;
    ASSERT_NO_FATAL_FAILURE(make_recording(dir_, {"busy", 1, 3, 4, {}}, recording));
    ASSERT_NO_FATAL_FAILURE(open(recording));
    ASSERT_EQ(command(KIVRA_CMD_PLAY), std::optional<int32_t>(KIVRA_RESULT_PLAY_OK));
    const size_t errors = reports().error_mark();
    EXPECT_EQ(command(KIVRA_CMD_CLOSE), std::optional<int32_t>(KIVRA_RESULT_CLOSE_FAILED));
    EXPECT_TRUE(reports().wait_error(errors, KIVRA_ERROR_CLOSE_REFUSED, kCommandLimit));
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_FILE);
    EXPECT_EQ(command(KIVRA_CMD_PLAY), std::optional<int32_t>(KIVRA_RESULT_PLAY_FAILED))
        << "already playing";
}

// zSetRecord keeps the GOPs normal play reads: playing a whole recording copies it.
TEST_F(EnginePlay, RecordsWhatItPlays) {
    Recording recording;
    ASSERT_NO_FATAL_FAILURE(make_recording(dir_, {"source", 4, 3, 4, {}}, recording));
    ASSERT_NO_FATAL_FAILURE(open(recording));
    const std::string base = dir_.file("copy");
    ASSERT_EQ(zSetRecord(base.c_str(), 1), 1);
    const size_t plays = reports().play_mark();
    ASSERT_EQ(command(KIVRA_CMD_PLAY), std::optional<int32_t>(KIVRA_RESULT_PLAY_OK));
    ASSERT_TRUE(reports().wait_play(
        plays, [](const PlayEvent& e) { return e.code == KIVRA_EVENT_END_OF_DATA; }, kEndLimit));
    EXPECT_EQ(zSetRecord(nullptr, 0), 1);

    nlohmann::json original, copy;
    ASSERT_NO_FATAL_FAILURE(describe(recording, original));
    ASSERT_NO_FATAL_FAILURE(describe({base + ".dvr", base + ".inx"}, copy));
    for (const char* key : {"gops", "channels", "begin_time", "end_time", "length", "vehicle_id"}) {
        EXPECT_EQ(copy[key], original[key]) << key;
    }
}

struct RefusedRow {
    const char* name;
    int32_t cmd;
    int32_t result;
    int32_t error;
};

// Names the row in test listings instead of dumping its bytes.
void PrintTo(const RefusedRow& row, std::ostream* out) {
    *out << row.name;
}

class EngineRefused : public EngineTest, public ::testing::WithParamInterface<RefusedRow> {};

TEST_P(EngineRefused, WithNothingOpen) {
    const size_t errors = reports().error_mark();
    EXPECT_EQ(command(GetParam().cmd), std::optional<int32_t>(GetParam().result));
    EXPECT_TRUE(reports().wait_error(errors, GetParam().error, kCommandLimit))
        << "no error " << GetParam().error;
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, EngineRefused,
    ::testing::Values(
        RefusedRow{"Play", KIVRA_CMD_PLAY, KIVRA_RESULT_PLAY_FAILED, KIVRA_ERROR_PLAY_OUTPUT_START},
        RefusedRow{"Stop", KIVRA_CMD_STOP, KIVRA_RESULT_STOP_FAILED, KIVRA_ERROR_STOP_FAILED},
        RefusedRow{"Close", KIVRA_CMD_CLOSE, KIVRA_RESULT_CLOSE_FAILED, KIVRA_ERROR_CLOSE_REFUSED}),
    [](const ::testing::TestParamInfo<RefusedRow>& param) {
        return std::string(param.param.name);
    });

}  // namespace
}  // namespace engine_api
