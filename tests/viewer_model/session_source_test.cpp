// Opening and closing sources, and the actions parked until the engine reports a close.
#include <filesystem>

#include "session_fixture.h"

namespace velmora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct OpenFileCase {
    std::string name;                // chosen file, relative to the folder
    std::vector<std::string> files;  // files that exist
    std::string index;               // index file handed to the engine; empty: no open
    std::string message;             // message shown; empty: none
};

void PrintTo(const OpenFileCase& c, std::ostream* out) {
    *out << c.name;
}

class OpenFileRules : public SessionTest, public ::testing::WithParamInterface<OpenFileCase> {};

TEST_P(OpenFileRules, FindTheIndexOrRefuse) {
    const OpenFileCase& c = GetParam();
    for (const auto& file : c.files) folder_.touch(file);
    const std::string chosen = (folder_.path() / c.name).string();

    session_.open_file(chosen);

    if (c.index.empty()) {
        EXPECT_THAT(engine().open_calls, IsEmpty());
        EXPECT_EQ(session_.state(), PlayerState::Idle);
        EXPECT_THAT(view_.logs, IsEmpty());
    } else {
        const std::string index = (folder_.path() / c.index).string();
        EXPECT_THAT(engine().open_calls, ElementsAre(OpenCall{KIVRA_SOURCE_FILE, chosen, index}));
        EXPECT_EQ(session_.state(), PlayerState::Opened);
        EXPECT_EQ(session_.status_text(), "opened..");
        EXPECT_THAT(view_.logs, ElementsAre("open local file.", "open completed."));
    }
    if (c.message.empty())
        EXPECT_THAT(view_.messages, IsEmpty());
    else
        EXPECT_THAT(view_.messages, ElementsAre(c.message));
    EXPECT_THAT(commands(), IsEmpty());  // playback waits for the operator
}

const std::string kIllegal = "Open file fail, illegal file name!";
const std::string kSuffix = "Open file fail, the suffix of the file name must be .dvr or .DVR!";
const std::string kNoIndex =
    "Open file fail, there must be a .inx file with same name in the same directory!";

INSTANTIATE_TEST_SUITE_P(
    Names, OpenFileRules,
    ::testing::Values(OpenFileCase{"nodot", {"nodot", "nodot.inx"}, "", kIllegal},
                      OpenFileCase{"a.Dvr", {"a.Dvr", "a.inx"}, "", kSuffix},
                      OpenFileCase{"a.dvrx", {"a.dvrx", "a.inx"}, "", kSuffix},
                      OpenFileCase{"b.dvr", {"b.dvr", "b.inx"}, "b.inx", ""},
                      OpenFileCase{"c.dvr", {"c.dvr", "c.INX"}, "c.INX", ""},
                      OpenFileCase{"d.DVR", {"d.DVR", "d.inx", "d.INX"}, "d.inx", ""},
                      OpenFileCase{"e.dvr", {"e.dvr", "e.Inx"}, "", kNoIndex},
                      OpenFileCase{"f.dvr", {"f.dvr"}, "", kNoIndex}));

TEST_F(SessionTest, EngineRefusingTheFileLeavesNothingOpen) {
    engine().open_result = false;
    session_.open_file(recording_);
    EXPECT_EQ(session_.state(), PlayerState::Idle);
    EXPECT_THAT(view_.logs, ElementsAre("open local file.", "open fail."));
    EXPECT_THAT(view_.messages, ElementsAre("Open file fail,an unkown error occurred!"));
    EXPECT_THAT(view_.statuses, IsEmpty());
}

TEST_F(SessionTest, OpeningWhilePlayingStopsClosesThenOpensWithoutPlaying) {
    bring_to(PlayerState::Playing);
    const std::string other = folder_.touch("next.dvr");
    folder_.touch("next.inx");
    // The close is told before the next source opens, and only once.
    std::vector<size_t> opens_at_close;
    session_.source_closed = [&] { opens_at_close.push_back(engine().open_calls.size()); };

    session_.open_file(other);
    EXPECT_EQ(session_.pending_action(), PendingAction::OpenChosenFile);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_STOP));
    EXPECT_THAT(engine().open_calls, IsEmpty());

    session_.on_play_event(KIVRA_RESULT_STOP_OK, 0);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_STOP, KIVRA_CMD_CLOSE));
    EXPECT_THAT(engine().open_calls, IsEmpty());
    EXPECT_THAT(opens_at_close, IsEmpty());

    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, 0);
    EXPECT_THAT(opens_at_close, ElementsAre(0u));
    ASSERT_EQ(engine().open_calls.size(), 1u);
    EXPECT_EQ(engine().open_calls[0].dvr, other);
    EXPECT_EQ(session_.state(), PlayerState::Opened);
    EXPECT_EQ(session_.pending_action(), PendingAction::None);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_STOP, KIVRA_CMD_CLOSE));
}

TEST_F(SessionTest, ClosingWhilePlayingStopsFirstThenClosesTheWindow) {
    bring_to(PlayerState::Playing);
    EXPECT_FALSE(session_.request_close_window());
    EXPECT_EQ(session_.pending_action(), PendingAction::CloseWindow);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_STOP));

    session_.on_play_event(KIVRA_RESULT_STOP_OK, 0);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_STOP, KIVRA_CMD_CLOSE));
    EXPECT_EQ(view_.close_requests, 0);

    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, 0);
    EXPECT_EQ(view_.close_requests, 1);
    EXPECT_EQ(session_.pending_action(), PendingAction::None);
    EXPECT_TRUE(session_.request_close_window());
}

TEST_F(SessionTest, CloseWithNothingOpenDoesNothing) {
    session_.close_source();
    EXPECT_THAT(engine().calls, IsEmpty());
    EXPECT_THAT(view_.statuses, IsEmpty());
    EXPECT_THAT(view_.logs, IsEmpty());
    EXPECT_EQ(session_.state(), PlayerState::Idle);
    EXPECT_TRUE(session_.request_close_window());
    EXPECT_THAT(engine().calls, IsEmpty());
}

TEST_F(SessionTest, CloseOfAnOpenedSourceSendsTheCloseAtOnce) {
    bring_to(PlayerState::Opened);
    session_.close_source();
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_CLOSE));
    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, 0);
    EXPECT_EQ(session_.state(), PlayerState::Idle);
    EXPECT_EQ(session_.status_text(), "ready..");
}

// ---- Permission to read the devices a search scans --------------------------------------

struct PermissionCase {
    std::string name;
    std::vector<std::string> listed;
    std::vector<std::string> refused;
    bool searches;
};

void PrintTo(const PermissionCase& c, std::ostream* out) {
    *out << c.name;
}

class SearchPermission : public SessionTest,
                         public ::testing::WithParamInterface<PermissionCase> {};

const std::string kRefusedHead = "No permission to read these disks:";
const std::string kAccessHint =
    "To read them, join the disk group (sudo usermod -aG disk $USER, then log in again) or add a "
    "udev rule that gives your user read access to them.";

TEST_P(SearchPermission, SearchesUnlessEveryListedDeviceRefuses) {
    const PermissionCase& c = GetParam();
    devices_.answer = {c.listed, c.refused};
    for (bool card : {false, true}) {
        SCOPED_TRACE(card ? "card" : "disk");
        session_.search_disk(card);
        if (c.searches) {
            const int32_t type = card ? KIVRA_SOURCE_CARD : KIVRA_SOURCE_DISK;
            EXPECT_THAT(engine().open_calls, ElementsAre(OpenCall{type, "<null>", "<null>"}));
            EXPECT_EQ(session_.state(), PlayerState::Opened);
            EXPECT_THAT(view_.messages, IsEmpty());
            session_.on_play_event(KIVRA_RESULT_CLOSE_OK, 0);
        } else {
            std::string message = kRefusedHead;
            for (const std::string& device : c.refused) message += "\n" + device;
            EXPECT_THAT(view_.messages, ElementsAre(message + "\n\n" + kAccessHint));
            EXPECT_THAT(engine().calls, IsEmpty());
            EXPECT_EQ(session_.state(), PlayerState::Idle);
            EXPECT_THAT(view_.statuses, IsEmpty());
        }
        forget();
    }
    EXPECT_EQ(devices_.surveys, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, SearchPermission,
    ::testing::Values(PermissionCase{"NoneListed", {}, {}, true},
                      PermissionCase{"AllReadable", {"/dev/sda", "/dev/sdb"}, {}, true},
                      PermissionCase{"OneRefused", {"/dev/sda"}, {"/dev/sda"}, false},
                      PermissionCase{
                          "AllRefused", {"/dev/sda", "/dev/sdb"}, {"/dev/sda", "/dev/sdb"}, false},
                      PermissionCase{"OneReadable", {"/dev/sda", "/dev/sdb"}, {"/dev/sda"}, true}),
    [](const ::testing::TestParamInfo<PermissionCase>& row) { return row.param.name; });

TEST_F(SessionTest, RefusedSearchWhilePlayingLeavesThePlayAlone) {
    bring_to(PlayerState::Playing);
    devices_.answer = {{"/dev/sdc"}, {"/dev/sdc"}};
    session_.search_disk(false);
    EXPECT_THAT(view_.messages, ElementsAre(kRefusedHead + "\n/dev/sdc\n\n" + kAccessHint));
    EXPECT_THAT(commands(), IsEmpty());
    EXPECT_EQ(session_.pending_action(), PendingAction::None);
    EXPECT_EQ(session_.state(), PlayerState::Playing);
}

// ---- Searching -----------------------------------------------------------------------------

TEST_F(SessionTest, SearchStartsAndPlayWaitsForTheDiskToBeFound) {
    session_.search_disk(false);
    EXPECT_THAT(engine().open_calls, ElementsAre(OpenCall{KIVRA_SOURCE_DISK, "<null>", "<null>"}));
    EXPECT_EQ(session_.status_text(), "opening hdd..");
    EXPECT_EQ(session_.state(), PlayerState::Opened);
    EXPECT_THAT(view_.logs, ElementsAre("searching local hdd."));

    session_.play();
    session_.toggle_play_pause();
    EXPECT_THAT(commands(), IsEmpty());

    session_.on_disk_event(KIVRA_SOURCE_DISK, KIVRA_DISK_OPENED);
    session_.play();
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_PLAY));
}

TEST_F(SessionTest, CardSearchUsesTypeTwo) {
    session_.search_disk(true);
    EXPECT_THAT(engine().open_calls, ElementsAre(OpenCall{KIVRA_SOURCE_CARD, "<null>", "<null>"}));
    EXPECT_EQ(session_.status_text(), "opening sd..");
    EXPECT_THAT(view_.logs, ElementsAre("searching local sd."));
}

TEST_F(SessionTest, RefusedSearchChangesNothing) {
    engine().open_result = false;
    session_.search_disk(false);
    EXPECT_EQ(session_.state(), PlayerState::Idle);
    EXPECT_THAT(view_.statuses, IsEmpty());
    EXPECT_THAT(view_.logs, IsEmpty());
}

TEST_F(SessionTest, SearchWhileOpenClosesFirst) {
    bring_to(PlayerState::Opened);
    session_.search_disk(true);
    EXPECT_EQ(session_.pending_action(), PendingAction::SearchCard);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_CLOSE));
    EXPECT_THAT(engine().open_calls, IsEmpty());
    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, 0);
    EXPECT_THAT(engine().open_calls, ElementsAre(OpenCall{KIVRA_SOURCE_CARD, "<null>", "<null>"}));
    EXPECT_EQ(session_.status_text(), "opening sd..");
}

TEST_F(SessionTest, LaterRequestReplacesTheParkedOne) {
    bring_to(PlayerState::Playing);
    session_.search_disk(false);
    session_.open_file(recording_);
    EXPECT_EQ(session_.pending_action(), PendingAction::OpenChosenFile);
}

TEST_F(SessionTest, CloseDuringASearchSendsTheCloseAndEndsIt) {
    session_.search_disk(false);
    forget();
    session_.close_source();
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_CLOSE));
    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, 0);
    EXPECT_EQ(session_.state(), PlayerState::Idle);
    EXPECT_EQ(session_.status_text(), "ready..");
    EXPECT_THAT(view_.logs, ElementsAre("close ok."));
    EXPECT_THAT(engine().open_calls, IsEmpty());
}

// ---- Disk and card images ------------------------------------------------------------------

struct ImageCase {
    bool card;
    int32_t type;
    std::string status;
    std::string log;
    std::string completed;
    std::string failed;
};

void PrintTo(const ImageCase& c, std::ostream* out) {
    *out << (c.card ? "card" : "disk");
}

class ImageOpen : public SessionTest, public ::testing::WithParamInterface<ImageCase> {};

// Opened like a search, without asking about the machine's devices: the image is the device.
TEST_P(ImageOpen, OpensTheImageAndPlayWaitsForTheEngine) {
    const ImageCase& c = GetParam();
    devices_.answer = {{"/dev/sda"}, {"/dev/sda"}};
    const std::string image = folder_.touch("recorder.img");

    session_.open_image(image, c.card);
    EXPECT_THAT(engine().open_calls, ElementsAre(OpenCall{c.type, image, "<null>"}));
    EXPECT_EQ(devices_.surveys, 0);
    EXPECT_EQ(session_.status_text(), c.status);
    EXPECT_EQ(session_.state(), PlayerState::Opened);
    EXPECT_THAT(view_.logs, ElementsAre(c.log));
    EXPECT_THAT(view_.messages, IsEmpty());

    session_.play();
    EXPECT_THAT(commands(), IsEmpty());
    session_.on_disk_event(c.type, KIVRA_DISK_OPENED);
    EXPECT_EQ(session_.status_text(), "opened..");
    EXPECT_THAT(view_.logs, ElementsAre(c.log, c.completed));
    session_.play();
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_PLAY));
}

TEST_P(ImageOpen, EngineRefusingTheImageLeavesNothingOpen) {
    const ImageCase& c = GetParam();
    engine().open_result = false;
    session_.open_image(folder_.touch("recorder.img"), c.card);
    EXPECT_EQ(session_.state(), PlayerState::Idle);
    EXPECT_THAT(view_.logs, ElementsAre(c.log, "open fail."));
    EXPECT_THAT(view_.messages, ElementsAre(c.failed));
    EXPECT_THAT(view_.statuses, IsEmpty());
}

// The playing source stops and closes first; the image opens on the close report.
TEST_P(ImageOpen, WhilePlayingClosesFirstThenOpens) {
    const ImageCase& c = GetParam();
    bring_to(PlayerState::Playing);
    const std::string image = folder_.touch("recorder.img");

    session_.open_image(image, c.card);
    EXPECT_EQ(session_.pending_action(),
              c.card ? PendingAction::OpenCardImage : PendingAction::OpenDiskImage);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_STOP));
    session_.on_play_event(KIVRA_RESULT_STOP_OK, 0);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_STOP, KIVRA_CMD_CLOSE));
    EXPECT_THAT(engine().open_calls, IsEmpty());

    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, 0);
    EXPECT_THAT(engine().open_calls, ElementsAre(OpenCall{c.type, image, "<null>"}));
    EXPECT_EQ(session_.pending_action(), PendingAction::None);
    EXPECT_EQ(session_.state(), PlayerState::Opened);
    EXPECT_EQ(session_.status_text(), c.status);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_STOP, KIVRA_CMD_CLOSE));  // no play of its own
}

// A running search is closed before the image opens.
TEST_P(ImageOpen, DuringASearchClosesItFirst) {
    const ImageCase& c = GetParam();
    session_.search_disk(!c.card);
    forget();
    const std::string image = folder_.touch("recorder.img");
    session_.open_image(image, c.card);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_CLOSE));
    EXPECT_THAT(engine().open_calls, IsEmpty());
    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, 0);
    EXPECT_THAT(engine().open_calls, ElementsAre(OpenCall{c.type, image, "<null>"}));
    EXPECT_EQ(session_.status_text(), c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ImageOpen,
    ::testing::Values(ImageCase{false, KIVRA_SOURCE_DISK, "opening hdd..", "open hdd image.",
                                "open hdd completed.", "open hdd fail!"},
                      ImageCase{true, KIVRA_SOURCE_CARD, "opening sd..", "open sd image.",
                                "open sd completed.", "open sd fail!"}),
    [](const ::testing::TestParamInfo<ImageCase>& row) {
        return std::string(row.param.card ? "Card" : "Disk");
    });

TEST_F(SessionTest, FinishedDownloadOpensAndPlaysThenOffersToKeepIt) {
    const std::string dvr = folder_.touch("down/rec.dvr");
    const std::string inx = folder_.touch("down/rec.inx");
    session_.set_downloaded_pair(dvr, inx);
    bring_to(PlayerState::Playing);

    session_.on_link_event(KIVRA_LINK_REMOTE, KIVRA_LINK_DOWNLOAD_DONE, 0);
    EXPECT_EQ(session_.pending_action(), PendingAction::OpenDownload);
    session_.on_play_event(KIVRA_RESULT_STOP_OK, 0);
    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, 0);
    EXPECT_THAT(engine().open_calls, ElementsAre(OpenCall{KIVRA_SOURCE_FILE, dvr, inx}));
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_STOP, KIVRA_CMD_CLOSE, KIVRA_CMD_PLAY));
    EXPECT_EQ(session_.pending_action(), PendingAction::OfferKeepDownload);

    view_.answer_ok = false;
    session_.on_play_event(KIVRA_RESULT_PLAY_OK, 0);
    session_.close_source();
    session_.on_play_event(KIVRA_RESULT_STOP_OK, 0);
    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, 0);
    ASSERT_EQ(view_.questions.size(), 1u);
    EXPECT_EQ(view_.questions[0], "Save downloaded files?\n\n" + dvr + "\n" + inx);
    EXPECT_FALSE(std::filesystem::exists(dvr));
    EXPECT_FALSE(std::filesystem::exists(inx));
    EXPECT_EQ(session_.pending_action(), PendingAction::None);
}

TEST_F(SessionTest, KeepingTheDownloadLeavesTheFiles) {
    const std::string dvr = folder_.touch("down/rec.dvr");
    const std::string inx = folder_.touch("down/rec.inx");
    session_.set_downloaded_pair(dvr, inx);
    bring_to(PlayerState::Opened);
    session_.on_link_event(KIVRA_LINK_REMOTE, KIVRA_LINK_DOWNLOAD_DONE, 0);
    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, 0);
    session_.close_source();
    session_.on_play_event(KIVRA_RESULT_CLOSE_OK, 0);
    EXPECT_EQ(view_.questions.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(dvr));
    EXPECT_TRUE(std::filesystem::exists(inx));
}

TEST_F(SessionTest, FirstStopOfARealtimeSourceClosesIt) {
    bring_to(PlayerState::Playing);
    engine().opened_type = KIVRA_SOURCE_REALTIME;  // the connect mode is still the initial one
    session_.stop();
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_STOP));
    session_.on_play_event(KIVRA_RESULT_STOP_OK, 0);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_STOP, KIVRA_CMD_CLOSE));
}

TEST_F(SessionTest, StopOfAFileOnlyStops) {
    bring_to(PlayerState::Paused);
    session_.stop();
    session_.on_play_event(KIVRA_RESULT_STOP_OK, 0);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_STOP));
    EXPECT_EQ(session_.state(), PlayerState::Opened);
}

}  // namespace
}  // namespace velmora::test
