// The playback controls: which engine commands each sends, in which states.
#include "session_fixture.h"

namespace velmora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(SessionTest, FastForwardEightTimesCyclesThroughSevenLevels) {
    bring_to(PlayerState::Playing);
    for (int press = 0; press < 8; ++press) session_.fast_forward();
    std::vector<intptr_t> levels;
    for (const auto& call : engine().play_calls) {
        EXPECT_EQ(call.command, KIVRA_CMD_FAST_FORWARD);
        levels.push_back(call.first);
    }
    EXPECT_THAT(levels, ElementsAre(1, 2, 3, 4, 5, 6, 7, 1));
}

struct ControlCase {
    const char* name;
    PlayerState state;
    void (PlayerSession::*control)();
    std::vector<PlayCall> sent;
};

void PrintTo(const ControlCase& c, std::ostream* out) {
    *out << c.name << " in state " << static_cast<int>(c.state);
}

class ControlTable : public SessionTest, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(ControlTable, SendsItsCommandOnlyWhereAllowed) {
    const ControlCase& c = GetParam();
    if (c.state != PlayerState::Idle) bring_to(c.state);
    (session_.*c.control)();
    EXPECT_EQ(engine().play_calls, c.sent);
    EXPECT_EQ(session_.state(), c.state);  // controls never move the state themselves
}

using S = PlayerState;
using P = PlayerSession;
INSTANTIATE_TEST_SUITE_P(
    Controls, ControlTable,
    ::testing::Values(
        ControlCase{"play", S::Idle, &P::play, {}},
        ControlCase{"play", S::Opened, &P::play, {{KIVRA_CMD_PLAY, 0, 0, 0}}},
        ControlCase{"play", S::Paused, &P::play, {{KIVRA_CMD_PLAY, 0, 0, 0}}},
        ControlCase{"play", S::Shuttle, &P::play, {{KIVRA_CMD_PLAY, 0, 0, 0}}},
        ControlCase{"play", S::Playing, &P::play, {}},
        ControlCase{"pause", S::Playing, &P::pause, {{KIVRA_CMD_PAUSE, 0, 0, 0}}},
        ControlCase{"pause", S::Paused, &P::pause, {}},
        ControlCase{"space", S::Idle, &P::toggle_play_pause, {}},
        ControlCase{"space", S::Opened, &P::toggle_play_pause, {{KIVRA_CMD_PLAY, 0, 0, 0}}},
        ControlCase{"space", S::Playing, &P::toggle_play_pause, {{KIVRA_CMD_PAUSE, 0, 0, 0}}},
        ControlCase{"space", S::Paused, &P::toggle_play_pause, {{KIVRA_CMD_PLAY, 0, 0, 0}}},
        ControlCase{"step forward", S::Idle, &P::step_forward, {{KIVRA_CMD_STEP_FORWARD, 0, 0, 0}}},
        ControlCase{
            "step backward", S::Playing, &P::step_backward, {{KIVRA_CMD_STEP_BACKWARD, 0, 0, 0}}},
        ControlCase{"fast forward", S::Opened, &P::fast_forward, {}},
        ControlCase{"fast forward", S::Paused, &P::fast_forward, {}},
        ControlCase{
            "fast backward", S::Playing, &P::fast_backward, {{KIVRA_CMD_FAST_BACKWARD, 1, 0, 0}}},
        ControlCase{"fast backward", S::Opened, &P::fast_backward, {}},
        ControlCase{"stop", S::Opened, &P::stop, {}},
        ControlCase{"stop", S::Playing, &P::stop, {{KIVRA_CMD_STOP, 0, 0, 0}}},
        ControlCase{"stop", S::Shuttle, &P::stop, {{KIVRA_CMD_STOP, 0, 0, 0}}},
        ControlCase{"left", S::Playing, &P::arrow_left, {{KIVRA_CMD_JUMP, KIVRA_JUMP_BACK, 0, 0}}},
        ControlCase{"left", S::Paused, &P::arrow_left, {{KIVRA_CMD_STEP_BACKWARD, 0, 0, 0}}},
        ControlCase{"left", S::Opened, &P::arrow_left, {}},
        ControlCase{
            "right", S::Playing, &P::arrow_right, {{KIVRA_CMD_JUMP, KIVRA_JUMP_AHEAD, 0, 0}}},
        ControlCase{"right", S::Paused, &P::arrow_right, {{KIVRA_CMD_STEP_FORWARD, 0, 0, 0}}},
        ControlCase{"right", S::Shuttle, &P::arrow_right, {}}));

TEST_F(SessionTest, ChannelButtonCyclesDivisionsAfterLeavingFullScreen) {
    engine().full_screen_index = 3;
    for (int press = 0; press < 4; ++press) session_.next_division();
    EXPECT_THAT(engine().full_screen_calls, ElementsAre(0));
    EXPECT_THAT(engine().division_calls, ElementsAre(1, 2, 0, 1));
    EXPECT_EQ(session_.division(), 1);

    bring_to(PlayerState::Opened);
    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, 0);
    EXPECT_EQ(session_.division(), 0);  // every close returns to all channels
}

TEST_F(SessionTest, DoubleClicksPickAChannelAndReturnToTheGrid) {
    engine().screen_count = 4;
    session_.select_channel(640, 480, 600, 400);
    session_.select_channel(640, 480, 10, 10);
    EXPECT_THAT(engine().full_screen_calls, ElementsAre(4, 0));

    forget();
    engine().screen_count = 8;
    engine().division_status = 2;
    session_.select_channel(640, 480, 10, 10);
    EXPECT_THAT(engine().full_screen_calls, ElementsAre(5));

    forget();
    engine().full_screen_index = 0;
    engine().division_status = 0;
    session_.select_channel(600, 300, 590, 290);  // the ninth cell of the 3 x 3 grid
    session_.select_channel(600, 300, 410, 150);
    EXPECT_THAT(engine().full_screen_calls, ElementsAre(6));

    forget();
    engine().full_screen_index = 0;
    engine().screen_count = -1;
    session_.select_channel(640, 480, 10, 10);
    EXPECT_THAT(engine().full_screen_calls, IsEmpty());
}

TEST_F(SessionTest, AudioButtonsSwitchTheVoiceAndTheirPlace) {
    session_.audio_off();
    EXPECT_FALSE(static_cast<const PlayerSession&>(session_).audio_on());
    session_.audio_on();
    EXPECT_TRUE(static_cast<const PlayerSession&>(session_).audio_on());
    EXPECT_EQ(engine().close_voice_calls, 1);
    EXPECT_EQ(engine().open_voice_calls, 1);
    EXPECT_THAT(view_.audio_button, ElementsAre(false, true));
    EXPECT_THAT(view_.logs, ElementsAre("close audio", "open audio"));
}

TEST_F(SessionTest, VolumeIsPassedWithinRange) {
    session_.set_volume(30);
    session_.set_volume(140);
    session_.set_volume(-5);
    EXPECT_THAT(engine().volume_calls, ElementsAre(30, 100, 0));
}

}  // namespace
}  // namespace velmora::test
