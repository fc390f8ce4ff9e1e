// Snapshots and screen recording without the window: the areas taken, the file names, and the
// session's commands to the engine and the recording buttons.
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

#include "local_time.h"
#include "model/capture_area.h"
#include "model/capture_names.h"
#include "session_fixture.h"

namespace velmora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// ---- areas ------------------------------------------------------------------------------------

struct AreaCase {
    const char* fact;
    int width, height, x, y;
    int screen_count, division, full_screen;
    std::optional<CaptureArea> expected;
};

TEST(ChannelArea, IsTheCellUnderThePointerInTheGridTheEngineDraws) {
    const AreaCase cases[] = {
        {"four channels: 2 x 2, second cell", 800, 600, 500, 100, 4, 0, 0,
         CaptureArea{400, 0, 800, 300}},
        {"four channels ignore the division", 800, 600, 10, 590, 4, 0, 0,
         CaptureArea{0, 300, 400, 600}},
        {"eight channels: 3 x 3, cells of integer size", 800, 600, 300, 250, 8, 0, 0,
         CaptureArea{266, 200, 532, 400}},
        {"the ninth cell shows no channel", 800, 600, 700, 500, 8, 0, 0, std::nullopt},
        {"the strip past the last whole cell is no cell", 800, 600, 799, 10, 8, 0, 0, std::nullopt},
        {"division 1 shows four channels: 2 x 2", 800, 600, 700, 500, 8, 1, 0,
         CaptureArea{400, 300, 800, 600}},
        {"division 2 as well", 800, 600, 0, 0, 8, 2, 0, CaptureArea{0, 0, 400, 300}},
        {"sixteen channels: their first eight in 3 x 3", 900, 900, 450, 450, 16, 0, 0,
         CaptureArea{300, 300, 600, 600}},
        {"one channel full-screen: the whole area wherever the pointer is", 800, 600, 700, 500, 8,
         0, 3, CaptureArea{0, 0, 800, 600}},
        {"a one-channel recording fills the area", 800, 600, 10, 10, 1, 0, 0,
         CaptureArea{0, 0, 800, 600}},
        {"unknown screen count: nothing", 800, 600, 10, 10, -1, 0, 0, std::nullopt},
        {"unknown screen count even full-screen: nothing", 800, 600, 10, 10, -1, 0, 1,
         std::nullopt},
        {"pointer left of the area: nothing", 800, 600, -1, 10, 4, 0, 0, std::nullopt},
        {"pointer below the area: nothing", 800, 600, 10, 600, 4, 0, 0, std::nullopt},
        {"an area too small for cells: nothing", 2, 2, 0, 0, 8, 0, 0, std::nullopt},
        {"an empty area: nothing", 0, 0, 0, 0, 1, 0, 0, std::nullopt},
    };
    for (const AreaCase& c : cases) {
        EXPECT_EQ(
            channel_area(c.width, c.height, c.x, c.y, c.screen_count, c.division, c.full_screen),
            c.expected)
            << c.fact;
    }
}

TEST(ChannelArea, OneChannelFillsTheAreaWhenChosenOrAlone) {
    EXPECT_TRUE(one_channel_fills_area(8, 1));
    EXPECT_TRUE(one_channel_fills_area(4, 4));
    EXPECT_TRUE(one_channel_fills_area(1, 0));
    EXPECT_FALSE(one_channel_fills_area(8, 0));
    EXPECT_FALSE(one_channel_fills_area(4, 0));
    EXPECT_TRUE(video_area(0, 10).empty());
    EXPECT_EQ(video_area(640, 480).rect(), (std::array<int32_t, 4>{0, 0, 640, 480}));
}

// ---- names ------------------------------------------------------------------------------------

TEST(CaptureNames, VehicleIdentifiersBecomeSafeFileNameParts) {
    const struct {
        std::string_view id;
        std::string expected;
    } cases[] = {
        {"BUS-0042", "BUS-0042"},
        {"", "unknow"},
        {"../etc", "___etc"},
        {"..", "__"},
        {".hidden", "_hidden"},
        {"a.b.", "a.b_"},  // FAT drops a trailing dot
        {"A:B?", "A_B_"},  // FAT refuses these
        {"A/B\\C", "A_B_C"},
        {std::string_view("T\tX\n\x7f", 5), "T_X__"},
        {"\xE8\xBD\xA6 7", "\xE8\xBD\xA6 7"},  // UTF-8 letters stay
    };
    for (const auto& c : cases) EXPECT_EQ(safe_name_part(c.id), c.expected) << c.id;
}

TEST(CaptureNames, StemsCarryTheLocalTime) {
    const std::tm t = local_time(2024, 3, 9, 7, 5, 4);
    EXPECT_EQ(snapshot_stem("BUS-0042", t), "BUS-0042_20240309_0705_04");
    EXPECT_EQ(snapshot_stem("", t), "unknow_20240309_0705_04");
    EXPECT_EQ(recording_stem(t), "20240309_0705_04");
}

TEST(CaptureNames, ATakenNameGetsTheFirstFreeSuffix) {
    TempFolder folder;
    const std::string dir = folder.path().string();
    const std::string base = (folder.path() / "s").string();
    EXPECT_EQ(unused_base_path(dir, "s", {".jpg"}), base);
    folder.touch("s.jpg");
    EXPECT_EQ(unused_base_path(dir, "s", {".jpg"}), base + "_1");
    folder.touch("s_1.jpg");
    EXPECT_EQ(unused_base_path(dir, "s", {".jpg"}), base + "_2");
    // A pair is free only when neither of its files exists.
    folder.touch("r.inx");
    EXPECT_EQ(unused_base_path(dir, "r", {".dvr", ".inx"}), (folder.path() / "r_1").string());
    folder.touch("r_1.dvr");
    EXPECT_EQ(unused_base_path(dir, "r", {".dvr", ".inx"}), (folder.path() / "r_2").string());
    // A dangling link counts as taken: writing through it would create its target.
    std::filesystem::create_symlink(folder.path() / "nowhere", folder.path() / "l.jpg");
    EXPECT_EQ(unused_base_path(dir, "l", {".jpg"}), (folder.path() / "l_1").string());
}

// ---- the session's snapshots ------------------------------------------------------------------

class CaptureSessionTest : public SessionTest {
  protected:
    const std::tm now_ = local_time(2024, 3, 9, 7, 5, 4);
    std::string dir() const { return (folder_.path() / "pic").string(); }
};

TEST_F(CaptureSessionTest, SnapshotAsksTheEngineForTheAreaStampAndAFreeName) {
    bring_to(PlayerState::Playing);
    std::filesystem::create_directories(dir());
    session_.take_snapshot(CaptureArea{10, 20, 330, 260}, 946684800, dir(), now_);
    ASSERT_EQ(engine().play_calls.size(), 1u);
    EXPECT_EQ(engine().play_calls[0].command, KIVRA_CMD_SNAPSHOT);
    EXPECT_EQ(engine().play_calls[0].second, 946684800);
    EXPECT_EQ(engine().snapshot_rect, (std::array<int32_t, 4>{10, 20, 330, 260}));
    const std::string first = dir() + "/BUS-0042_20240309_0705_04.jpg";
    EXPECT_EQ(engine().snapshot_path, first);

    // The engine wrote it; the next one within the same second keeps it.
    folder_.touch("pic/BUS-0042_20240309_0705_04.jpg");
    session_.on_play_event(KIVRA_RESULT_SNAPSHOT_OK, 0);
    session_.take_snapshot(CaptureArea{0, 0, 8, 8}, 0, dir(), now_);
    EXPECT_EQ(engine().snapshot_path, dir() + "/BUS-0042_20240309_0705_04_1.jpg");
    EXPECT_EQ(engine().play_calls.back().second, 0);
    session_.on_play_event(KIVRA_RESULT_SNAPSHOT_OK, 0);
    EXPECT_THAT(view_.messages,
                ElementsAre("Picture saved to " + first,
                            "Picture saved to " + dir() + "/BUS-0042_20240309_0705_04_1.jpg"));
}

TEST_F(CaptureSessionTest, SnapshotWithoutAVehicleIdentifierIsNamedUnknow) {
    bring_to(PlayerState::Playing);
    for (const auto& [result, id] :
         {std::pair{KIVRA_UNKNOWN, std::string("BUS-1")}, std::pair{0, std::string()}}) {
        engine().car_id_result = result;
        engine().car_id = id;
        session_.take_snapshot(CaptureArea{0, 0, 8, 8}, 0, dir(), now_);
        EXPECT_EQ(engine().snapshot_path, dir() + "/unknow_20240309_0705_04.jpg") << result;
    }
}

TEST_F(CaptureSessionTest, AnEmptyAreaTakesNoSnapshot) {
    bring_to(PlayerState::Playing);
    session_.take_snapshot(CaptureArea{5, 5, 5, 50}, 0, dir(), now_);
    EXPECT_THAT(engine().play_calls, IsEmpty());
    EXPECT_THAT(view_.messages, IsEmpty());
}

TEST_F(CaptureSessionTest, ASnapshotTheWindowWroteReportsAsTheEngineWould) {
    bring_to(PlayerState::Playing);
    const std::string path = session_.prepare_snapshot_path(dir(), now_);
    EXPECT_EQ(path, dir() + "/BUS-0042_20240309_0705_04.jpg");
    session_.snapshot_written(true);
    session_.snapshot_written(false);
    EXPECT_THAT(view_.messages, ElementsAre("Picture saved to " + path, "Capture picture fail!"));
    EXPECT_THAT(view_.logs, ElementsAre("pic capture ok.", "pic capture fail."));
    EXPECT_THAT(engine().play_calls, IsEmpty());
}

// ---- the session's screen recording -----------------------------------------------------------

class RecordingSessionTest : public CaptureSessionTest {
  protected:
    std::string capture_dir() const { return (folder_.path() / "capture").string(); }
    void start() { session_.start_screen_recording(capture_dir(), now_); }
};

TEST_F(RecordingSessionTest, DoesNothingBeforeAPlay) {
    bring_to(PlayerState::Opened);
    start();
    EXPECT_FALSE(session_.screen_recording());
    EXPECT_THAT(engine().calls, IsEmpty());
    EXPECT_THAT(view_.logs, IsEmpty());
}

TEST_F(RecordingSessionTest, DoesNothingAfterTheStopOfThePlay) {
    bring_to(PlayerState::Playing);
    session_.on_play_event(KIVRA_RESULT_STOP_OK, 0);
    forget();
    start();
    EXPECT_FALSE(session_.screen_recording());
    EXPECT_THAT(engine().calls, IsEmpty());
}

TEST_F(RecordingSessionTest, StartsAfterAPlayAndStopsOnce) {
    bring_to(PlayerState::Paused);  // paused still counts: a play was reported
    start();
    EXPECT_TRUE(session_.screen_recording());
    EXPECT_THAT(engine().calls, ElementsAre("buttons_recording", "zSetRecord"));
    const std::string base = capture_dir() + "/20240309_0705_04";
    EXPECT_THAT(engine().record_calls, ElementsAre(std::pair{base, 1}));
    start();  // a second start while recording does nothing
    EXPECT_EQ(engine().record_calls.size(), 1u);

    session_.stop_screen_recording();
    session_.stop_screen_recording();
    EXPECT_FALSE(session_.screen_recording());
    EXPECT_THAT(engine().record_calls, ElementsAre(std::pair{base, 1}, std::pair{"<null>", 0}));
    EXPECT_THAT(view_.logs, ElementsAre("open screen capture.", "close screen capture."));
    EXPECT_THAT(view_.messages, IsEmpty());
}

TEST_F(RecordingSessionTest, ARealtimeSourceRecordsWithoutAPlayReport) {
    bring_to(PlayerState::Opened);
    engine().opened_type = KIVRA_SOURCE_REALTIME;
    start();
    EXPECT_TRUE(session_.screen_recording());
}

TEST_F(RecordingSessionTest, NeverNamesAnExistingPair) {
    bring_to(PlayerState::Playing);
    folder_.touch("capture/20240309_0705_04.inx");
    start();
    EXPECT_THAT(engine().record_calls,
                ElementsAre(std::pair{capture_dir() + "/20240309_0705_04_1", 1}));
}

TEST_F(RecordingSessionTest, FilesThatCannotBeCreatedResetTheButtonsWithAMessage) {
    bring_to(PlayerState::Playing);
    engine().record_result = false;
    start();
    EXPECT_FALSE(session_.screen_recording());
    EXPECT_THAT(engine().calls, ElementsAre("buttons_recording", "zSetRecord", "buttons_idle"));
    EXPECT_THAT(view_.messages, ElementsAre("Creating recording file failed!"));
    EXPECT_THAT(view_.logs, ElementsAre("open screen capture.", "start screen capture fail."));
    // Nothing runs, so there is nothing to stop.
    session_.stop_screen_recording();
    EXPECT_EQ(engine().record_calls.size(), 1u);
}

TEST_F(RecordingSessionTest, TheEngineEndingTheRecordingResetsTheButtons) {
    bring_to(PlayerState::Playing);
    start();
    forget();
    session_.on_error(KIVRA_ERROR_RECORD_WRITE, 28, 0);
    EXPECT_FALSE(session_.screen_recording());
    EXPECT_THAT(engine().calls, ElementsAre("zSetRecord", "buttons_idle"));
}

}  // namespace
}  // namespace velmora::test
