// Sound and display controls through the exports.
#include <algorithm>

#include "engine_host.h"

namespace engine_api {
namespace {

class EngineVolume : public EngineTest {};

struct VolumeRow {
    int32_t set;
    int32_t told;  // the float gain in between rounds some volumes one down
};

TEST_F(EngineVolume, RoundTripsThroughTheGain) {
    const VolumeRow rows[] = {{100, 100}, {75, 75}, {50, 50}, {0, 0}, {77, 76}, {1, 0}};
    for (const VolumeRow& row : rows) {
        SCOPED_TRACE(row.set);
        int32_t told = -1;
        ASSERT_EQ(zSetVoiceVolume(row.set), 1);
        ASSERT_EQ(zTellVoiceVolume(&told), 1);
        EXPECT_EQ(told, row.told);
    }
}

TEST_F(EngineVolume, RefusesValuesOutsideTheRangeAndKeepsTheLast) {
    ASSERT_EQ(zSetVoiceVolume(75), 1);
    for (int32_t volume : {101, -1, 1000, INT32_MIN}) {
        EXPECT_EQ(zSetVoiceVolume(volume), 0) << volume;
    }
    int32_t told = -1;
    ASSERT_EQ(zTellVoiceVolume(&told), 1);
    EXPECT_EQ(told, 75);
    EXPECT_EQ(zTellVoiceVolume(nullptr), 0);
}

TEST_F(EngineVolume, VoiceOpensOnlyWhenClosed) {
    zOpenVoice();  // whatever an earlier test left
    EXPECT_EQ(zOpenVoice(), 0);
    zCloseVoice();
    EXPECT_EQ(zOpenVoice(), 1);
    EXPECT_EQ(zOpenVoice(), 0);
}

// Full screen takes 0 (the grid) or a channel 1..N of the channels the engine shows (the first
// eight of sixteen); divisions (0 all, 1 first four, 2 last four) exist only for eight.
class EngineDisplay : public EngineTest, public ::testing::WithParamInterface<int> {};

TEST_P(EngineDisplay, FollowsTheChannelCount) {
    const int channels = GetParam();
    Recording recording;
    ASSERT_NO_FATAL_FAILURE(make_recording(
        dir_, {"display" + std::to_string(channels), channels, 1, 2, {}}, recording));
    ASSERT_NO_FATAL_FAILURE(open(recording));
    EXPECT_EQ(zTellScreenNum(), channels);

    const int shown = std::min(channels, KIVRA_MAX_CHANNELS);
    EXPECT_EQ(zTellFullScreenIdx(), 0);
    EXPECT_EQ(zSetFullScreen(shown), 1);
    EXPECT_EQ(zTellFullScreenIdx(), shown);
    EXPECT_EQ(zSetFullScreen(shown + 1), 0);
    EXPECT_EQ(zSetFullScreen(channels), channels == shown ? 1 : 0);
    EXPECT_EQ(zSetFullScreen(-1), 0);
    EXPECT_EQ(zTellFullScreenIdx(), shown);
    EXPECT_EQ(zSetFullScreen(0), 1);
    EXPECT_EQ(zTellFullScreenIdx(), 0);

    if (channels == 8) {
        EXPECT_EQ(zTellDivStatus(), 0);
        for (int32_t division : {1, 2, 0}) {
            EXPECT_EQ(zSetDivStatus(division), 1) << division;
            EXPECT_EQ(zTellDivStatus(), division);
        }
        EXPECT_EQ(zSetDivStatus(3), 0);
        EXPECT_EQ(zSetDivStatus(-1), 0);
        EXPECT_EQ(zTellDivStatus(), 0);
    } else {
        EXPECT_EQ(zTellDivStatus(), -1);
        for (int32_t division : {0, 1, 2}) EXPECT_EQ(zSetDivStatus(division), 0) << division;
    }
}

INSTANTIATE_TEST_SUITE_P(Channels, EngineDisplay, ::testing::Values(1, 4, 8, 16),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return std::to_string(param.param) + "Channels";
                         });

// The header promises callbacks on engine threads only; a host that holds its own lock
// around zSetFullScreen and takes it again in present() would deadlock otherwise.
class EngineLayout : public EngineTest {};

TEST_F(EngineLayout, ChangesDoNotDrawOnTheCallersThread) {
    Recording recording;
    ASSERT_NO_FATAL_FAILURE(make_recording(dir_, {"layout", 8, 2, 4, {}}, recording));
    ASSERT_NO_FATAL_FAILURE(open(recording));
    const size_t shown = video().presents();
    ASSERT_EQ(command(KIVRA_CMD_PLAY), std::optional<int32_t>(KIVRA_RESULT_PLAY_OK));
    ASSERT_TRUE(video().wait_presents(shown + 1, kCommandLimit));

    const auto self = std::this_thread::get_id();
    const size_t before = video().presents_on(self);
    EXPECT_EQ(zSetFullScreen(2), 1);
    EXPECT_EQ(zSetFullScreen(0), 1);
    EXPECT_EQ(zSetDivStatus(1), 1);
    EXPECT_EQ(video().presents_on(self), before) << "present() ran inside an export";
}

}  // namespace
}  // namespace engine_api
