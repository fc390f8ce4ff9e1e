// The realtime parameter dialog's record: collection from the controls, the initial state from
// a recorder's previous record, the lock for a shared recorder, and the connect mode choice.
#include <gtest/gtest.h>

#include <cstring>

#include "common/le.h"
#include "model/connect_mode.h"
#include "model/live_params_form.h"

namespace velmora::test {
namespace {

namespace lp = live_params;

LiveParamsChoice full_choice() {
    LiveParamsChoice choice;
    choice.address = "10.1.2.3";
    choice.channel_count = 8;
    choice.audio_mode = 0;
    choice.resolution = 0;
    choice.frame_rate = 0;
    return choice;
}

struct FrameRateCase {
    int selection;  // kNoSelection: none chosen
    int expected_class;
    int expected_index;
};

TEST(LiveParamsCollection, FrameRateSelectionGivesClassAndIndex) {
    const FrameRateCase cases[] = {
        {0, 0, 0},              // "No video"
        {1, 1, 1},              // "2": the lowest rate
        {2, 2, 2},              // "4"
        {15, 2, 15},            // "30"
        {kNoSelection, 2, 15},  // nothing chosen
    };
    for (const FrameRateCase& c : cases) {
        SCOPED_TRACE(c.selection);
        LiveParamsChoice choice = full_choice();
        choice.frame_rate = c.selection;
        const LiveParams params = collect_live_params(choice);
        EXPECT_EQ(live_params_int(params, lp::kFrameRateClass), c.expected_class);
        EXPECT_EQ(params.bytes[lp::kFrameRateIndex], c.expected_index);
    }
}

TEST(LiveParamsCollection, EveryControlLandsAtItsOffset) {
    LiveParamsChoice choice = full_choice();
    choice.channels = {true, false, true, false, false, false, false, true};
    choice.buffering = true;
    choice.log = true;
    choice.flow_control = false;
    choice.audio_mode = 3;
    choice.resolution = 1;
    choice.frame_rate = 7;
    const LiveParams params = collect_live_params(choice);
    EXPECT_EQ(live_params_address(params), "10.1.2.3");
    EXPECT_EQ(live_params_int(params, lp::kChannelCount), 8);
    EXPECT_EQ(live_params_int(params, lp::kChannelMask), 0x85);
    EXPECT_EQ(live_params_int(params, lp::kAudioMode), 3);
    EXPECT_EQ(params.bytes[lp::kLog], 1);
    EXPECT_EQ(params.bytes[lp::kFlowControl], 0);
    EXPECT_EQ(params.bytes[lp::kBuffering], 1);
    EXPECT_EQ(params.bytes[lp::kFilledMark], 1);
    EXPECT_EQ(params.bytes[lp::kResolution], 1);
    EXPECT_EQ(params.bytes[lp::kFrameRateIndex], 7);
    EXPECT_EQ(params.bytes[54], 0);
    EXPECT_EQ(params.bytes[55], 0);
}

TEST(LiveParamsCollection, NoChannelNoSelectionsAndALongAddress) {
    LiveParamsChoice choice;
    choice.address = std::string(40, '7');
    choice.channel_count = 4;
    const LiveParams params = collect_live_params(choice);
    EXPECT_EQ(live_params_int(params, lp::kChannelMask), 0);
    EXPECT_EQ(live_params_int(params, lp::kAudioMode), 0);
    EXPECT_EQ(params.bytes[lp::kResolution], 0);
    // The address keeps its terminator inside its 32 bytes.
    EXPECT_EQ(live_params_address(params), std::string(31, '7'));
    EXPECT_EQ(params.bytes[31], 0);
}

TEST(LiveParamsCollection, TheBlockIsClearedFirst) {
    LiveParamsChoice choice = full_choice();
    choice.address = "1.2.3.4";
    const LiveParams params = collect_live_params(choice);
    for (std::size_t i = std::strlen("1.2.3.4"); i < lp::kAddressBytes; ++i)
        EXPECT_EQ(params.bytes[i], 0) << i;
}

TEST(LiveParamsInitialState, FollowsThePreviousRecordButNeverBuffers) {
    LiveParamsChoice previous_choice = full_choice();
    previous_choice.channels = {false, true, true, false, false, false, false, false};
    previous_choice.log = true;
    previous_choice.flow_control = true;
    previous_choice.buffering = true;
    previous_choice.audio_mode = 2;
    previous_choice.resolution = 1;
    previous_choice.frame_rate = 9;
    const LiveParams previous = collect_live_params(previous_choice);

    const LiveParamsChoice shown = initial_live_choice(previous, "10.9.9.9", 4);
    EXPECT_EQ(shown.address, "10.9.9.9");
    EXPECT_EQ(shown.channel_count, 4);
    EXPECT_EQ(shown.channels, previous_choice.channels);
    EXPECT_TRUE(shown.log);
    EXPECT_TRUE(shown.flow_control);
    EXPECT_FALSE(shown.buffering);
    EXPECT_EQ(shown.audio_mode, 2);
    EXPECT_EQ(shown.resolution, 1);
    EXPECT_EQ(shown.frame_rate, 9);
}

TEST(LiveParamsInitialState, ValuesNoControlCanShowLeaveItUnselected) {
    LiveParams previous{};
    fleet::store_u32(previous.bytes + lp::kAudioMode, 9);
    previous.bytes[lp::kResolution] = 2;
    previous.bytes[lp::kFrameRateIndex] = 16;
    const LiveParamsChoice shown = initial_live_choice(previous, "a", 4);
    EXPECT_EQ(shown.audio_mode, kNoSelection);
    EXPECT_EQ(shown.resolution, kNoSelection);
    EXPECT_EQ(shown.frame_rate, kNoSelection);
}

TEST(LiveParamsLock, OnlyASharedRecorderWithAnOpenLinkLocksTheStreamFormat) {
    EXPECT_FALSE(live_choices_locked(0, 0));
    EXPECT_FALSE(live_choices_locked(0, 2));
    EXPECT_FALSE(live_choices_locked(0x11, 0));
    EXPECT_TRUE(live_choices_locked(0x10, 1));
    EXPECT_TRUE(live_choices_locked(1, 2));
}

TEST(LiveParamsDefaults, ANewRecorderGetsAllItsChannelsAtFullRate) {
    const LiveParams params = default_live_params("10.0.0.5:2300", 4);
    EXPECT_EQ(live_params_address(params), "10.0.0.5:2300");
    EXPECT_EQ(live_params_int(params, lp::kChannelCount), 4);
    EXPECT_EQ(live_params_int(params, lp::kChannelMask), 0x0F);
    EXPECT_EQ(live_params_int(params, lp::kFrameRateClass), 2);
    EXPECT_EQ(params.bytes[lp::kFrameRateIndex], 15);
    EXPECT_EQ(params.bytes[lp::kResolution], 1);
    EXPECT_EQ(live_params_int(params, lp::kAudioMode), 1);
    EXPECT_EQ(params.bytes[lp::kFilledMark], 1);
}

TEST(LiveParamsTexts, FrameRateItems) {
    EXPECT_EQ(frame_rate_item(0), "No video");
    EXPECT_EQ(frame_rate_item(1), "2");
    EXPECT_EQ(frame_rate_item(15), "30");
}

// ---- Connect mode --------------------------------------------------------------------------

struct ConnectCase {
    uint8_t capability;
    int open_links;
    int run_mode;
    ConnectChoice expected;
};

void PrintTo(const ConnectCase& c, std::ostream* out) {
    *out << "capability " << int{c.capability} << " links " << c.open_links << " run mode "
         << c.run_mode;
}

class ConnectModeTable : public ::testing::TestWithParam<ConnectCase> {};

TEST_P(ConnectModeTable, ChoosesTheRoute) {
    const ConnectCase& c = GetParam();
    EXPECT_EQ(choose_connect_mode(c.capability, c.open_links, c.run_mode), c.expected);
}

constexpr ConnectChoice mode(int connect_mode) {
    return {RealtimeRefusal::None, connect_mode};
}
constexpr ConnectChoice kMaximum{RealtimeRefusal::MaximumConnections, 0};
constexpr ConnectChoice kNotOpened{RealtimeRefusal::NotOpened, 0};

INSTANTIATE_TEST_SUITE_P(
    Cases, ConnectModeTable,
    ::testing::Values(
        // No link yet: direct unless behind NAT, then the connector (server) or listening.
        ConnectCase{0x00, 0, 0, mode(kConnectDirect)}, ConnectCase{0x00, 0, 1, mode(0)},
        ConnectCase{0x10, 0, 1, mode(0)}, ConnectCase{0x01, 0, 1, mode(kConnectConnector)},
        ConnectCase{0x01, 0, 0, mode(kConnectListen)}, ConnectCase{0x1F, 0, 0, mode(4)},
        // One link: a shared recorder is joined in server mode.
        ConnectCase{0x10, 1, 1, mode(kConnectShared)}, ConnectCase{0x11, 1, 1, mode(5)},
        ConnectCase{0x01, 1, 1, mode(kConnectConnector)}, ConnectCase{0x00, 1, 1, mode(0)},
        ConnectCase{0x10, 1, 0, mode(0)}, ConnectCase{0x11, 1, 0, mode(kConnectListen)},
        ConnectCase{0x00, 1, 0, mode(0)},
        // Two links: only a shared recorder in server mode takes another.
        ConnectCase{0x10, 2, 1, mode(kConnectShared)}, ConnectCase{0x0F, 2, 1, kMaximum},
        ConnectCase{0x10, 2, 0, kMaximum}, ConnectCase{0x00, 2, 0, kMaximum},
        // A count the recorder cannot have.
        ConnectCase{0x10, 3, 1, kNotOpened}, ConnectCase{0x00, -1, 0, kNotOpened}));

TEST(UnboundConnector, FailsWithoutErrorCodes) {
    int32_t mode = 3;
    int32_t error = 7;
    int32_t error2 = 8;
    EXPECT_EQ(unbound_connector(nullptr, nullptr, 0, nullptr, &mode, &error, &error2, {}), -1);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(error2, 0);
    EXPECT_EQ(mode, 3);
}

}  // namespace
}  // namespace velmora::test
