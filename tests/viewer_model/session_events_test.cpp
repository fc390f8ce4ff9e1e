// The session's reactions to the engine's play, disk, link and error reports.
#include <optional>

#include "session_fixture.h"

namespace velmora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct PlayEventCase {
    int code;
    PlayerState from;
    PlayerState to;
    std::optional<std::string> status;  // nullopt: no status change
    std::optional<bool> pause_shown;    // nullopt: the play/pause place is left alone
    std::optional<std::string> log;     // nullopt: nothing logged
};

void PrintTo(const PlayEventCase& c, std::ostream* out) {
    *out << "code " << c.code;
}

class PlayEventTable : public SessionTest, public ::testing::WithParamInterface<PlayEventCase> {};

TEST_P(PlayEventTable, MovesStateStatusButtonsAndLog) {
    const PlayEventCase& c = GetParam();
    bring_to(c.from);
    session_.on_play_event(c.code, 0);

    EXPECT_EQ(session_.state(), c.to);
    if (c.status)
        EXPECT_THAT(view_.statuses, ElementsAre(*c.status));
    else
        EXPECT_THAT(view_.statuses, IsEmpty());
    if (c.pause_shown)
        EXPECT_THAT(view_.pause_button, ElementsAre(*c.pause_shown));
    else
        EXPECT_THAT(view_.pause_button, IsEmpty());
    if (c.log)
        EXPECT_THAT(view_.logs, ElementsAre(*c.log));
    else
        EXPECT_THAT(view_.logs, IsEmpty());
}

using S = PlayerState;
INSTANTIATE_TEST_SUITE_P(
    Codes, PlayEventTable,
    ::testing::Values(
        PlayEventCase{KIVRA_RESULT_CLOSE_OK, S::Opened, S::Idle, "ready..", {}, "close ok."},
        PlayEventCase{KIVRA_RESULT_PLAY_FAILED, S::Opened, S::Opened, {}, {}, "play fail."},
        PlayEventCase{KIVRA_RESULT_PLAY_OK, S::Opened, S::Playing, "playing..", true, "play ok."},
        PlayEventCase{KIVRA_RESULT_PLAY_OK, S::Paused, S::Playing, "playing..", true, "play ok."},
        PlayEventCase{KIVRA_RESULT_PAUSE_FAILED, S::Playing, S::Playing, {}, {}, "pause fail."},
        PlayEventCase{KIVRA_RESULT_PAUSE_OK, S::Playing, S::Paused, "paused..", false, "pause ok."},
        PlayEventCase{
            KIVRA_RESULT_STEP_FORWARD_FAILED, S::Paused, S::Paused, {}, {}, "step forward fail."},
        PlayEventCase{
            KIVRA_RESULT_STEP_FORWARD_OK, S::Paused, S::Paused, {}, {}, "step forward ok."},
        PlayEventCase{
            KIVRA_RESULT_STEP_BACKWARD_FAILED, S::Paused, S::Paused, {}, {}, "step backward fail."},
        PlayEventCase{
            KIVRA_RESULT_STEP_BACKWARD_OK, S::Paused, S::Paused, {}, {}, "step backward ok."},
        PlayEventCase{
            KIVRA_RESULT_FAST_FORWARD_FAILED, S::Playing, S::Playing, {}, {}, "fast forward fail."},
        PlayEventCase{KIVRA_RESULT_FAST_FORWARD_OK, S::Playing, S::Shuttle, "FF X1", false,
                      "fast forward ok."},
        PlayEventCase{KIVRA_RESULT_FAST_BACKWARD_FAILED,
                      S::Playing,
                      S::Playing,
                      {},
                      {},
                      "fast backward fail."},
        PlayEventCase{KIVRA_RESULT_FAST_BACKWARD_OK, S::Playing, S::Shuttle, "FB X1", false,
                      "fast backward ok."},
        PlayEventCase{KIVRA_RESULT_SEEK_OK, S::Playing, S::Playing, {}, {}, {}},
        PlayEventCase{KIVRA_RESULT_STOP_FAILED, S::Playing, S::Playing, {}, {}, "stop fail."},
        PlayEventCase{KIVRA_RESULT_STOP_OK, S::Playing, S::Opened, "opened..", false, "stop ok."},
        PlayEventCase{KIVRA_RESULT_STOP_OK, S::Shuttle, S::Opened, "opened..", false, "stop ok."},
        PlayEventCase{
            KIVRA_RESULT_SNAPSHOT_FAILED, S::Playing, S::Playing, {}, {}, "pic capture fail."},
        PlayEventCase{KIVRA_RESULT_SNAPSHOT_OK, S::Playing, S::Playing, {}, {}, "pic capture ok."},
        PlayEventCase{KIVRA_EVENT_DRAW_FAILED,
                      S::Playing,
                      S::Playing,
                      {},
                      {},
                      "channel picture not drawn (0)."},
        // Codes the engine does not name and anything outside the report range change nothing.
        PlayEventCase{1, S::Playing, S::Playing, {}, {}, {}},
        PlayEventCase{KIVRA_EVENT_READ_FAILED, S::Playing, S::Playing, {}, {}, {}},
        PlayEventCase{3, S::Playing, S::Playing, {}, {}, {}},
        PlayEventCase{KIVRA_RESULT_CLOSE_FAILED, S::Playing, S::Playing, {}, {}, {}},
        PlayEventCase{KIVRA_RESULT_SEEK_FAILED, S::Playing, S::Playing, {}, {}, {}},
        PlayEventCase{KIVRA_RESULT_JUMP_OK, S::Playing, S::Playing, {}, {}, {}},
        PlayEventCase{-1, S::Playing, S::Playing, {}, {}, {}}));

TEST_F(SessionTest, PlayOkResetsLevelsDraggingAndOpensTheTelemetryGate) {
    bring_to(PlayerState::Shuttle);
    session_.slider_pressed();
    session_.on_play_event(KIVRA_RESULT_PLAY_OK, 0);
    EXPECT_EQ(session_.fast_forward_level(), 0);
    EXPECT_EQ(session_.fast_backward_level(), 0);
    EXPECT_FALSE(session_.dragging());
    EXPECT_THAT(view_.gates, ElementsAre(true));
    EXPECT_THAT(view_.map_refreshes, ElementsAre(4));
}

TEST_F(SessionTest, PlayOkInDoubleScreenLayoutLeavesTheMapAlone) {
    bring_to(PlayerState::Opened);
    session_.set_single_screen(false);
    session_.on_play_event(KIVRA_RESULT_PLAY_OK, 0);
    EXPECT_THAT(view_.map_refreshes, IsEmpty());
}

TEST_F(SessionTest, PauseAndStopReportsDriveTheTelemetry) {
    bring_to(PlayerState::Playing);
    session_.on_play_event(KIVRA_RESULT_PAUSE_OK, 0);
    EXPECT_THAT(view_.gates, ElementsAre(false));
    EXPECT_THAT(view_.resets, IsEmpty());
    session_.on_play_event(KIVRA_RESULT_STOP_OK, 0);
    EXPECT_THAT(view_.gates, ElementsAre(false, true));
    EXPECT_THAT(view_.resets, ElementsAre(true));
    EXPECT_THAT(view_.progress, ElementsAre(0));
}

// The last picture of a stopped or closed recording must not stay on screen.
TEST_F(SessionTest, StopAndCloseClearThePicture) {
    bring_to(PlayerState::Playing);
    session_.on_play_event(KIVRA_RESULT_PAUSE_OK, 0);
    EXPECT_EQ(view_.pictures_cleared, 0);
    session_.on_play_event(KIVRA_RESULT_STOP_OK, 0);
    EXPECT_EQ(view_.pictures_cleared, 1);
    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, KIVRA_CLOSE_RESULT_LOCAL);
    EXPECT_EQ(view_.pictures_cleared, 2);
}

TEST_F(SessionTest, SnapshotResultsShowTheirMessages) {
    bring_to(PlayerState::Playing);
    int finished = 0;
    session_.snapshot_finished = [&] { ++finished; };
    session_.set_snapshot_path("/pictures/a.jpg");
    session_.on_play_event(KIVRA_RESULT_SNAPSHOT_OK, 0);
    session_.on_play_event(KIVRA_RESULT_SNAPSHOT_FAILED, 0);
    EXPECT_THAT(view_.messages,
                ElementsAre("Picture saved to /pictures/a.jpg", "Capture picture fail!"));
    EXPECT_EQ(finished, 2);
}

TEST_F(SessionTest, FastForwardThreeTimesShowsDoublingFactorsAndAStepResetsThem) {
    bring_to(PlayerState::Playing);
    std::vector<std::string> shown;
    for (int press = 0; press < 3; ++press) {
        session_.fast_forward();
        session_.on_play_event(KIVRA_RESULT_FAST_FORWARD_OK, 0);
        shown.push_back(session_.status_text());
    }
    EXPECT_THAT(shown, ElementsAre("FF X2", "FF X4", "FF X8"));

    session_.step_forward();
    session_.on_play_event(KIVRA_RESULT_STEP_FORWARD_OK, 0);
    session_.fast_forward();
    session_.on_play_event(KIVRA_RESULT_FAST_FORWARD_OK, 0);
    EXPECT_EQ(session_.status_text(), "FF X2");
    EXPECT_EQ(engine().play_calls.back(), (PlayCall{KIVRA_CMD_FAST_FORWARD, 1, 0, 0}));
}

// A step while paused presents one GOP with the gate closed: the dashboard must be told once
// per successful step, and never for a refused one.
TEST_F(SessionTest, OnlySuccessfulStepsAskForOneTelemetryCycle) {
    bring_to(PlayerState::Paused);
    session_.on_play_event(KIVRA_RESULT_STEP_FORWARD_OK, 0);
    session_.on_play_event(KIVRA_RESULT_STEP_BACKWARD_OK, 0);
    session_.on_play_event(KIVRA_RESULT_STEP_FORWARD_FAILED, 0);
    session_.on_play_event(KIVRA_RESULT_STEP_BACKWARD_FAILED, 0);
    EXPECT_EQ(view_.telemetry_steps, 2);
}

TEST_F(SessionTest, FastResultsResetTheOtherDirection) {
    bring_to(PlayerState::Playing);
    session_.fast_backward();
    session_.fast_backward();
    session_.on_play_event(KIVRA_RESULT_FAST_BACKWARD_OK, 0);
    EXPECT_EQ(session_.status_text(), "FB X4");
    session_.fast_forward();
    session_.on_play_event(KIVRA_RESULT_FAST_FORWARD_OK, 0);
    EXPECT_EQ(session_.fast_backward_level(), 0);
    session_.fast_backward();
    EXPECT_EQ(engine().play_calls.back(), (PlayCall{KIVRA_CMD_FAST_BACKWARD, 1, 0, 0}));
}

TEST_F(SessionTest, EndOfDataStopsARunningScreenRecordingThenReplaysAfterASecond) {
    bring_to(PlayerState::Playing);
    session_.start_screen_recording(folder_.path().string(), std::tm{});
    ASSERT_TRUE(session_.screen_recording());
    forget();
    session_.on_play_event(KIVRA_EVENT_END_OF_DATA, 0);
    EXPECT_THAT(engine().calls, ElementsAre("zSetRecord", "buttons_idle", "zPlayMSG"));
    EXPECT_FALSE(session_.screen_recording());
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_STOP));

    session_.on_play_event(KIVRA_RESULT_STOP_OK, 0);
    ASSERT_EQ(view_.later.size(), 1u);
    EXPECT_EQ(view_.later[0].first, 1000);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_STOP));  // nothing before the second has passed

    view_.run_delayed();
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_STOP, KIVRA_CMD_PLAY));

    // A second end of data without a recording stops nothing but the playback.
    session_.on_play_event(KIVRA_RESULT_PLAY_OK, 0);
    forget();
    session_.on_play_event(KIVRA_EVENT_END_OF_DATA, 0);
    EXPECT_THAT(engine().calls, ElementsAre("zPlayMSG"));
}

TEST_F(SessionTest, ReplayIsDroppedWhenTheSourceClosedMeanwhile) {
    bring_to(PlayerState::Playing);
    session_.on_play_event(KIVRA_EVENT_END_OF_DATA, 0);
    session_.on_play_event(KIVRA_RESULT_STOP_OK, 0);
    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, 0);
    forget();
    view_.run_delayed();
    EXPECT_THAT(commands(), IsEmpty());
}

// A seek while opened plays first; closing the window before "play ok" must still close: the
// play's result does not send the waiting seek but stops and closes.
TEST_F(SessionTest, AWindowClosedWhileAPlayIsOnItsWayStillCloses) {
    bring_to(PlayerState::Opened);
    engine().total_length = 1000;
    session_.seek_to_offset_text("10");
    EXPECT_FALSE(session_.request_close_window());
    forget();
    session_.on_play_event(KIVRA_RESULT_PLAY_OK, 0);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_STOP));
    session_.on_play_event(KIVRA_RESULT_STOP_OK, 0);
    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, 0);
    EXPECT_EQ(view_.close_requests, 1);
}

TEST_F(SessionTest, SeekDoneClearsAWaitingSeekWithASeekReset) {
    bring_to(PlayerState::Paused);
    engine().total_length = 1000;
    session_.seek_to_offset_text("10");
    view_.resets.clear();
    session_.on_play_event(KIVRA_RESULT_SEEK_OK, 0);
    EXPECT_FALSE(session_.pending_seek().has_value());
    EXPECT_THAT(view_.resets, ElementsAre(false));
}

// ---- Disk reports --------------------------------------------------------------------------

struct DiskEventCase {
    int source;
    int event;
    std::optional<std::string> status;
    std::vector<std::string> logs;
    std::vector<std::string> messages;
    std::vector<int32_t> commands;
};

void PrintTo(const DiskEventCase& c, std::ostream* out) {
    *out << "source " << c.source << " event " << c.event;
}

class DiskEventTable : public SessionTest, public ::testing::WithParamInterface<DiskEventCase> {};

// A search and an image opened directly hear the same reports.
TEST_P(DiskEventTable, ReportsTheOutcomeOfASearchOrAnImage) {
    const DiskEventCase& c = GetParam();
    const bool card = c.source != KIVRA_SOURCE_DISK;
    for (bool image : {false, true}) {
        SCOPED_TRACE(image ? "image" : "search");
        if (image)
            session_.open_image(folder_.touch("disk.img"), card);
        else
            session_.search_disk(card);
        forget();
        session_.on_disk_event(c.source, c.event);
        if (c.status)
            EXPECT_THAT(view_.statuses, ElementsAre(*c.status));
        else
            EXPECT_THAT(view_.statuses, IsEmpty());
        EXPECT_EQ(view_.logs, c.logs);
        EXPECT_EQ(view_.messages, c.messages);
        EXPECT_EQ(commands(), c.commands);
        EXPECT_EQ(session_.state(), PlayerState::Opened);  // a failed open stays open
        session_.on_play_event(KIVRA_RESULT_CLOSE_OK, 0);
        ASSERT_EQ(session_.state(), PlayerState::Idle);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Events, DiskEventTable,
    ::testing::Values(
        DiskEventCase{
            KIVRA_SOURCE_DISK, KIVRA_DISK_OPENED, "opened..", {"open hdd completed."}, {}, {}},
        DiskEventCase{KIVRA_SOURCE_DISK,
                      KIVRA_DISK_OPEN_FAILED,
                      {},
                      {"open hdd fail!"},
                      {"open hdd fail!"},
                      {}},
        DiskEventCase{KIVRA_SOURCE_DISK,
                      KIVRA_DISK_REMOVED,
                      {},
                      {"local hdd is removed."},
                      {"hdd is removed!"},
                      {KIVRA_CMD_CLOSE}},
        DiskEventCase{
            KIVRA_SOURCE_CARD, KIVRA_DISK_OPENED, "opened..", {"open sd completed."}, {}, {}},
        DiskEventCase{KIVRA_SOURCE_CARD,
                      KIVRA_DISK_OPEN_FAILED,
                      {},
                      {"open sd fail!"},
                      {"open sd fail!"},
                      {}},
        DiskEventCase{KIVRA_SOURCE_CARD,
                      KIVRA_DISK_REMOVED,
                      {},
                      {"local sd is removed."},
                      {"sd is removed!"},
                      {KIVRA_CMD_CLOSE}},
        DiskEventCase{KIVRA_SOURCE_DISK, 7, {}, {}, {}, {}}));

// The operator closed before the removal report arrived: nothing is left to close or to say.
TEST_F(SessionTest, ARemovalReportAfterTheCloseSaysNothing) {
    session_.search_disk(false);
    session_.on_disk_event(KIVRA_SOURCE_DISK, KIVRA_DISK_OPENED);
    session_.close_source();
    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, 0);
    ASSERT_EQ(session_.state(), PlayerState::Idle);
    forget();
    session_.on_disk_event(KIVRA_SOURCE_DISK, KIVRA_DISK_REMOVED);
    EXPECT_THAT(view_.messages, IsEmpty());
    EXPECT_THAT(view_.logs, IsEmpty());
    EXPECT_THAT(commands(), IsEmpty());
}

// ---- Link reports --------------------------------------------------------------------------

struct LinkEventCase {
    int link;
    int code;
    int value;
    std::optional<std::string> status;
    std::vector<std::string> logs;
    std::vector<std::string> messages;
    std::vector<int32_t> commands;
};

void PrintTo(const LinkEventCase& c, std::ostream* out) {
    *out << "link " << c.link << " code " << c.code << " value " << c.value;
}

class LinkEventTable : public SessionTest, public ::testing::WithParamInterface<LinkEventCase> {};

TEST_P(LinkEventTable, LogsAndReacts) {
    const LinkEventCase& c = GetParam();
    bring_to(PlayerState::Opened);
    session_.on_link_event(c.link, c.code, c.value);
    if (c.status)
        EXPECT_THAT(view_.statuses, ElementsAre(*c.status));
    else
        EXPECT_THAT(view_.statuses, IsEmpty());
    EXPECT_EQ(view_.logs, c.logs);
    EXPECT_EQ(view_.messages, c.messages);
    EXPECT_EQ(commands(), c.commands);
}

INSTANTIATE_TEST_SUITE_P(
    Realtime, LinkEventTable,
    ::testing::Values(
        LinkEventCase{KIVRA_LINK_REALTIME,
                      KIVRA_LINK_CONNECTED,
                      0,
                      "linked,waiting..",
                      {"realtime net data link ok."},
                      {},
                      {}},
        // Connect mode is 5 until a close: a failed link closes the source.
        LinkEventCase{KIVRA_LINK_REALTIME,
                      KIVRA_LINK_CONNECT_FAILED,
                      0,
                      {},
                      {"realtime net data link fail."},
                      {"link fail!"},
                      {KIVRA_CMD_CLOSE}},
        LinkEventCase{KIVRA_LINK_REALTIME,
                      KIVRA_LINK_CONNECT_FAILED,
                      111,
                      {},
                      {"realtime net data link fail.", "Wsock Error: 111"},
                      {"link fail!"},
                      {KIVRA_CMD_CLOSE}},
        LinkEventCase{KIVRA_LINK_REALTIME,
                      KIVRA_LINK_CLOSED,
                      104,
                      {},
                      {"realtime net data play link is breakup.", "Wsock Error: 104"},
                      {"Link break..."},
                      {KIVRA_CMD_CLOSE}},
        LinkEventCase{
            KIVRA_LINK_REALTIME, KIVRA_LINK_PREBUFFERING, 40, "buffering:40%..", {}, {}, {}},
        LinkEventCase{KIVRA_LINK_REALTIME,
                      KIVRA_LINK_PREBUFFERING,
                      100,
                      "buffering:100%..",
                      {},
                      {},
                      {KIVRA_CMD_POLL}},
        // Opened is not a playing state, so Stop sends nothing.
        LinkEventCase{KIVRA_LINK_REALTIME,
                      KIVRA_LINK_START_REFUSED,
                      0,
                      {},
                      {"realtime net data link fail."},
                      {"data request fail, play later!"},
                      {}},
        LinkEventCase{KIVRA_LINK_REALTIME,
                      KIVRA_LINK_START_DENIED,
                      0,
                      {},
                      {},
                      {"data request is refused, play later!"},
                      {}},
        LinkEventCase{KIVRA_LINK_REALTIME, KIVRA_LINK_RECONNECTING, 0, "reconnect...", {}, {}, {}},
        LinkEventCase{KIVRA_LINK_REALTIME,
                      KIVRA_LINK_RECONNECT_FAILED,
                      0,
                      "connection failed...",
                      {},
                      {},
                      {}},
        LinkEventCase{KIVRA_LINK_REALTIME, KIVRA_LINK_NAT_READY, 0, {}, {}, {}, {}},
        LinkEventCase{KIVRA_LINK_REALTIME, 50, 0, {}, {}, {}, {}}));

INSTANTIATE_TEST_SUITE_P(
    Recorded, LinkEventTable,
    ::testing::Values(
        LinkEventCase{
            KIVRA_LINK_REMOTE, KIVRA_LINK_CONNECTED, 0, {}, {"recorded net data link ok."}, {}, {}},
        LinkEventCase{KIVRA_LINK_REMOTE,
                      KIVRA_LINK_CONNECT_FAILED,
                      10061,
                      {},
                      {"recorded net data link fail.", "Wsock Error: 10061"},
                      {},
                      {}},
        LinkEventCase{KIVRA_LINK_REMOTE,
                      KIVRA_LINK_CLOSED,
                      0,
                      {},
                      {"recorded net data play link is breakup."},
                      {},
                      {}},
        LinkEventCase{KIVRA_LINK_REMOTE,
                      KIVRA_LINK_REQUEST_REFUSED,
                      0,
                      {},
                      {"recorded net data link fail."},
                      {},
                      {}},
        LinkEventCase{KIVRA_LINK_REMOTE,
                      KIVRA_LINK_DOWNLOAD_DONE,
                      0,
                      {},
                      {"recorded net data download completed."},
                      {},
                      {KIVRA_CMD_CLOSE}},
        LinkEventCase{KIVRA_LINK_REMOTE,
                      KIVRA_LINK_DOWNLOAD_REFUSED,
                      0,
                      {},
                      {"start recorded net data download fail."},
                      {},
                      {}},
        LinkEventCase{KIVRA_LINK_REMOTE,
                      KIVRA_LINK_DATA_REQUEST_FAILED,
                      0,
                      {},
                      {},
                      {"Download recorded data fail, unkown error!"},
                      {}},
        LinkEventCase{KIVRA_LINK_REMOTE, KIVRA_LINK_DOWNLOAD_PROGRESS, 5, {}, {}, {}, {}}));

TEST_F(SessionTest, RealtimeLinkFailureAfterACloseOnlyLogs) {
    bring_to(PlayerState::Opened);
    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, 0);  // every close sets the connect mode to 0
    EXPECT_EQ(session_.connect_mode(), kConnectModeAfterClose);
    bring_to(PlayerState::Opened);
    session_.on_link_event(KIVRA_LINK_REALTIME, KIVRA_LINK_CONNECT_FAILED, 0);
    EXPECT_THAT(view_.messages, IsEmpty());
    EXPECT_THAT(commands(), IsEmpty());
}

// ---- Error reports -------------------------------------------------------------------------

TEST_F(SessionTest, MissingAudioDeviceShowsTheSpeakerMessageOnlyForCheckedValueTwo) {
    session_.on_error(KIVRA_ERROR_OUTPUT_NO_DEVICE, 5, KIVRA_CHECKED_NO_AUDIO_DEVICE);
    const std::string code = std::to_string(KIVRA_ERROR_OUTPUT_NO_DEVICE);
    EXPECT_THAT(view_.logs,
                ElementsAre("ErrorCode: " + code + "; Windows ErrorCode: 5; CheckedValue: " +
                            std::to_string(KIVRA_CHECKED_NO_AUDIO_DEVICE) + "."));
    EXPECT_THAT(view_.messages, ElementsAre("Please make sure speaker or headphone plugged!"));

    forget();
    session_.on_error(KIVRA_ERROR_OUTPUT_NO_DEVICE, 0, KIVRA_CHECKED_NO_AUDIO_DEVICE - 1);
    EXPECT_THAT(view_.logs,
                ElementsAre("ErrorCode: " + code + "; Windows ErrorCode: 0; CheckedValue: " +
                            std::to_string(KIVRA_CHECKED_NO_AUDIO_DEVICE - 1) + "."));
    EXPECT_THAT(view_.messages, IsEmpty());

    forget();
    session_.on_error(KIVRA_ERROR_FAST_TIMER_NOT_RUNNING, 0, KIVRA_CHECKED_NO_AUDIO_DEVICE);
    EXPECT_THAT(view_.messages, IsEmpty());
}

}  // namespace
}  // namespace velmora::test
