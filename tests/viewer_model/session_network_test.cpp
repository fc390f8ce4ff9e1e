// The session's network play over the fake engine: the realtime open after the parameter
// dialog, its connect modes and refusals, a play parked behind a closing source, the vehicle
// list marks, and the recorded-data link's close and download.
#include <cstring>

#include "model/connect_mode.h"
#include "model/live_params_form.h"
#include "session_fixture.h"

namespace velmora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::array<uint8_t, 6> kBusAddress{10, 0, 0, 7, 0x98, 0x08};

RealtimeRequest bus_request(uint8_t capability = 0, int open_links = 0) {
    RealtimeRequest request;
    request.params = default_live_params("10.0.0.7", 4);
    request.address = kBusAddress;
    request.name = "Bus 7";
    request.capability = capability;
    request.open_links = open_links;
    return request;
}

using Mark = RecordingView::VehicleMark;
const SelectedVehicle kBus(kBusAddress, "Bus 7");

class SessionNetworkTest : public SessionTest {
  protected:
    // Opens the bus live and lets the engine report the play.
    void play_bus(uint8_t capability, int run_mode) {
        session_.set_run_mode(run_mode);
        session_.start_realtime_play(bus_request(capability));
        engine().opened_type = KIVRA_SOURCE_REALTIME;
        view_.run_delayed();
        session_.on_play_event(KIVRA_RESULT_PLAY_OK, 0);
    }
};

TEST_F(SessionNetworkTest, PreparingResetsTheListAsAClosedRealtimeLinkWouldEvenWhenIdle) {
    session_.select_vehicle(kBus);
    session_.prepare_realtime_play();
    EXPECT_THAT(commands(), IsEmpty());
    EXPECT_THAT(view_.vehicle_marks, ElementsAre(Mark{kBus, false, 0}));
    EXPECT_EQ(session_.selected_vehicle(), SelectedVehicle{});
}

TEST_F(SessionNetworkTest, PreparingStopsWhatPlays) {
    bring_to(PlayerState::Playing);
    session_.prepare_realtime_play();
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_STOP));
}

TEST_F(SessionNetworkTest, ConfirmedParametersOpenTheLinkAndPlayASecondLater) {
    session_.set_run_mode(1);
    const RealtimeRequest request = bus_request();
    session_.start_realtime_play(request);

    ASSERT_EQ(engine().open_ex_calls.size(), 1u);
    const OpenExCall& call = engine().open_ex_calls[0];
    EXPECT_EQ(std::memcmp(call.params.bytes, request.params.bytes, sizeof request.params.bytes), 0);
    EXPECT_EQ(call.connect_mode, kConnectDirect);
    EXPECT_EQ(call.fallback_to_nat, 1);  // the run mode
    EXPECT_EQ(call.address, kBusAddress);
    EXPECT_EQ(call.name, "Bus 7");
    EXPECT_EQ(call.connector, &unbound_connector);
    EXPECT_EQ(session_.state(), PlayerState::Opened);
    EXPECT_THAT(view_.statuses, ElementsAre("opened.."));
    EXPECT_THAT(view_.logs, ElementsAre("initialization of opening realtime net data ok."));
    EXPECT_TRUE(session_.marks_vehicle_after_play());
    EXPECT_EQ(session_.selected_vehicle(), kBus);
    EXPECT_EQ(std::memcmp(session_.live_params().bytes, request.params.bytes, 56), 0);

    ASSERT_EQ(view_.later.size(), 1u);
    EXPECT_EQ(view_.later[0].first, 1000);
    EXPECT_THAT(commands(), IsEmpty());
    view_.run_delayed();
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_PLAY));
}

TEST_F(SessionNetworkTest, ThePlayReportMarksTheVehicleWithItsConnectionTag) {
    const struct {
        uint8_t capability;
        int run_mode;
        int connect_mode;
        int tag;
    } cases[] = {{0x00, 0, kConnectDirect, 0},
                 {0x01, 0, kConnectListen, 4},
                 {0x01, 1, kConnectConnector, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int{c.capability});
        session_.on_play_event(KIVRA_RESULT_CLOSE_OK, KIVRA_CLOSE_RESULT_REALTIME);
        forget();
        play_bus(c.capability, c.run_mode);
        EXPECT_EQ(session_.connect_mode(), c.connect_mode);
        EXPECT_THAT(view_.vehicle_marks, ElementsAre(Mark{kBus, true, c.tag}));
        EXPECT_FALSE(session_.marks_vehicle_after_play());
        // A later play (after a pause) marks nothing again.
        session_.on_play_event(KIVRA_RESULT_PLAY_OK, 0);
        EXPECT_EQ(view_.vehicle_marks.size(), 1u);
    }
}

TEST_F(SessionNetworkTest, AFailedPlayForgetsTheMark) {
    session_.start_realtime_play(bus_request());
    session_.on_play_event(KIVRA_RESULT_PLAY_FAILED, 0);
    session_.on_play_event(KIVRA_RESULT_PLAY_OK, 0);
    EXPECT_THAT(view_.vehicle_marks, IsEmpty());
}

TEST_F(SessionNetworkTest, ARefusedOpenSaysSoAndStaysIdle) {
    engine().open_ex_result = false;
    session_.start_realtime_play(bus_request());
    EXPECT_EQ(session_.state(), PlayerState::Idle);
    EXPECT_THAT(view_.logs, ElementsAre("initialization of opening realtime net data fail."));
    EXPECT_THAT(view_.messages, ElementsAre("realtime net data open fail!"));
    EXPECT_THAT(view_.later, IsEmpty());
    EXPECT_FALSE(session_.marks_vehicle_after_play());
}

TEST_F(SessionNetworkTest, ARecorderWithoutRoomIsRefusedBeforeAnyOpen) {
    session_.start_realtime_play(bus_request(0x00, 2));
    EXPECT_THAT(view_.messages, ElementsAre("Reach the maximum of connection!"));
    session_.start_realtime_play(bus_request(0x10, 3));
    EXPECT_EQ(view_.messages.size(), 1u);  // silently
    EXPECT_TRUE(engine().open_ex_calls.empty());
    EXPECT_EQ(session_.state(), PlayerState::Idle);
}

// The old source was still closing: the play waits for its close and keeps its vehicle and
// connect mode, although that close resets both.
TEST_F(SessionNetworkTest, APlayParkedBehindAClosingSourceOpensAfterTheClose) {
    session_.set_run_mode(1);
    play_bus(0x00, 1);
    forget();
    session_.prepare_realtime_play();
    session_.start_realtime_play(bus_request(0x01));
    EXPECT_EQ(session_.pending_action(), PendingAction::StartRealtime);
    EXPECT_TRUE(engine().open_ex_calls.empty());

    session_.on_play_event(KIVRA_RESULT_STOP_OK, 0);
    EXPECT_THAT(commands(), ::testing::Contains(KIVRA_CMD_CLOSE));
    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, KIVRA_CLOSE_RESULT_REALTIME);
    EXPECT_EQ(session_.selected_vehicle(), SelectedVehicle{});
    ASSERT_EQ(view_.later.size(), 1u);
    EXPECT_EQ(view_.later.back().first, 1000);
    view_.run_delayed();
    ASSERT_EQ(engine().open_ex_calls.size(), 1u);
    EXPECT_EQ(engine().open_ex_calls[0].connect_mode, kConnectConnector);
    EXPECT_EQ(engine().open_ex_calls[0].name, "Bus 7");
    EXPECT_EQ(session_.selected_vehicle(), kBus);
    EXPECT_EQ(session_.state(), PlayerState::Opened);
}

TEST_F(SessionNetworkTest, ClosingANetworkLinkUnmarksItsVehicleAndAFileCloseDoesNot) {
    const struct {
        int close_value;
        bool unmarks;
    } cases[] = {{KIVRA_CLOSE_RESULT_REALTIME, true},
                 {KIVRA_CLOSE_RESULT_REMOTE, true},
                 {KIVRA_CLOSE_RESULT_LOCAL, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.close_value);
        bring_to(PlayerState::Opened);
        session_.select_vehicle(kBus);
        session_.on_play_event(KIVRA_RESULT_CLOSE_OK, c.close_value);
        if (c.unmarks) {
            EXPECT_THAT(view_.vehicle_marks, ElementsAre(Mark{kBus, false, 0}));
            EXPECT_EQ(session_.selected_vehicle(), SelectedVehicle{});
        } else {
            EXPECT_THAT(view_.vehicle_marks, IsEmpty());
            EXPECT_EQ(session_.selected_vehicle(), kBus);
        }
        EXPECT_EQ(session_.connect_mode(), kConnectModeAfterClose);
    }
}

TEST_F(SessionNetworkTest, RecordedPlayConnectsAtOnceOrAfterTheOpenSourceClosed) {
    int connects = 0;
    session_.request_recorded_play([&] { ++connects; });
    EXPECT_EQ(connects, 1);
    EXPECT_THAT(commands(), IsEmpty());

    bring_to(PlayerState::Opened);
    session_.request_recorded_play([&] { ++connects; });
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(session_.pending_action(), PendingAction::OpenRecordedData);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_CLOSE));
    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, KIVRA_CLOSE_RESULT_LOCAL);
    EXPECT_EQ(connects, 2);
    EXPECT_EQ(session_.pending_action(), PendingAction::None);
}

// The remote link leaves the session idle: a finished download closes it all the same, and
// its close opens the download, plays it and later offers to keep it.
TEST_F(SessionNetworkTest, AFinishedDownloadClosesTheLinkThenOpensAndPlaysTheFiles) {
    const std::string dvr = folder_.touch("dl/BUS_1.DVR");
    const std::string inx = folder_.touch("dl/BUS_1.inx");
    session_.select_vehicle(kBus);
    session_.set_downloaded_pair(dvr, inx);
    session_.on_link_event(KIVRA_LINK_REMOTE, KIVRA_LINK_DOWNLOAD_DONE, 0);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_CLOSE));
    EXPECT_EQ(session_.pending_action(), PendingAction::OpenDownload);

    forget();
    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, KIVRA_CLOSE_RESULT_REMOTE);
    EXPECT_THAT(view_.vehicle_marks, ElementsAre(Mark{kBus, false, 0}));
    EXPECT_THAT(engine().open_calls, ElementsAre(OpenCall{KIVRA_SOURCE_FILE, dvr, inx}));
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_PLAY));
    EXPECT_EQ(session_.pending_action(), PendingAction::OfferKeepDownload);
}

}  // namespace
}  // namespace velmora::test
