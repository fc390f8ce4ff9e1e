// Starting, releasing and starting the engine again, and leaving without releasing.
#include <cstdlib>

#include "engine_host.h"

namespace engine_api {
namespace {

using namespace std::chrono_literals;

class EngineLifecycle : public EngineTest {};

TEST_F(EngineLifecycle, NullTargetIsRefusedAndTheRunningEngineStays) {
    EXPECT_EQ(zInit(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(command(KIVRA_CMD_JUMP), std::optional<int32_t>(KIVRA_RESULT_JUMP_OK));
}

// A command posted while no engine runs has no one to answer it; running it at the next
// zInit would act on whatever is open by then, through pointers the host may have freed.
TEST_F(EngineLifecycle, CommandPostedWhileReleasedIsNotRunAtTheNextStart) {
    release_engine();
    const size_t plays = reports().play_mark();
    const size_t errors = reports().error_mark();
    EXPECT_EQ(zPlayMSG(KIVRA_CMD_STOP, 0, 0, 0, nullptr), 1);
    ASSERT_NO_FATAL_FAILURE(start_engine());
    // Nothing should come at all, so this can only wait a while: a started command thread
    // takes its mailbox within microseconds.
    auto stale = reports().wait_play(
        plays, [](const PlayEvent& e) { return is_command_result(e.code); }, 300ms);
    EXPECT_FALSE(stale.has_value()) << "stale command answered " << stale->code;
    for (const ErrorEvent& e : reports().errors_since(errors)) {
        ADD_FAILURE() << "stale command reported error " << e.code;
    }
}

TEST_F(EngineLifecycle, EveryExportIsSafeAfterReleaseAndTheEngineStartsAgain) {
    Recording recording;
    ASSERT_NO_FATAL_FAILURE(make_recording(dir_, {"again", 1, 2, 4, {}}, recording));
    release_engine();
    expect_unstarted_answers(dir_, recording);

    ASSERT_NO_FATAL_FAILURE(start_engine());
    ASSERT_EQ(command(KIVRA_CMD_JUMP), std::optional<int32_t>(KIVRA_RESULT_JUMP_OK));
    ASSERT_NO_FATAL_FAILURE(open(recording));
    const size_t shown = video().presents();
    EXPECT_EQ(command(KIVRA_CMD_PLAY), std::optional<int32_t>(KIVRA_RESULT_PLAY_OK));
    EXPECT_TRUE(video().wait_presents(shown + 1, kCommandLimit)) << "nothing drawn after restart";
    EXPECT_EQ(command(KIVRA_CMD_STOP), std::optional<int32_t>(KIVRA_RESULT_STOP_OK));
    EXPECT_EQ(command(KIVRA_CMD_CLOSE), std::optional<int32_t>(KIVRA_RESULT_CLOSE_OK));
}

TEST_F(EngineLifecycle, ReleaseKeepsTheSourceOpen) {
    Recording recording;
    ASSERT_NO_FATAL_FAILURE(make_recording(dir_, {"kept", 4, 2, 4, {}}, recording));
    ASSERT_NO_FATAL_FAILURE(open(recording));
    EXPECT_EQ(command(KIVRA_CMD_PLAY), std::optional<int32_t>(KIVRA_RESULT_PLAY_OK));
    release_engine();
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_FILE);
    EXPECT_EQ(zTellScreenNum(), 4);

    ASSERT_NO_FATAL_FAILURE(start_engine());
    const size_t mark = reports().play_mark();
    EXPECT_EQ(command(KIVRA_CMD_PLAY), std::optional<int32_t>(KIVRA_RESULT_PLAY_OK));
    EXPECT_TRUE(reports().wait_play(
        mark, [](const PlayEvent& e) { return e.code == KIVRA_EVENT_END_OF_DATA; }, kEndLimit))
        << "the kept source did not play to its end";
    EXPECT_EQ(command(KIVRA_CMD_STOP), std::optional<int32_t>(KIVRA_RESULT_STOP_OK));
    EXPECT_EQ(command(KIVRA_CMD_CLOSE), std::optional<int32_t>(KIVRA_RESULT_CLOSE_OK));
}

// Hosts that never call zRelease still exit normally; the engine's threads must not outlive
// it into static destruction.
TEST(EngineExit, WithoutReleaseExitsNormally) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            KivraVideoTarget target = video().target();
            std::exit(
                zInit(&target, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) == 1 ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace engine_api
