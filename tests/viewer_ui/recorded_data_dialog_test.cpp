// The recorded-data dialog offscreen over the fake engine: the connect step, index rows as the
// remote link reports them, the start and end choice, downloads started, stopped (files kept or
// deleted) and refused, the dialog messages and the rule that keeps it open.
#include "ui/recorded_data_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "common/le.h"
#include "fake_engine.h"
#include "lang/language_table.h"
#include "process.h"
#include "qt_test_app.h"
#include "skin/theme.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::DownloadCall;
using test::fake_engine;

IndexRowBytes row_bytes(uint32_t time, int event_type, uint64_t position) {
    IndexRowBytes bytes{};
    fleet::store_u32(bytes.data(), time);
    fleet::store_u32(bytes.data() + 4, static_cast<uint32_t>(event_type) << 20 | 0x123);
    fleet::store_u64(bytes.data() + 8, position);
    return bytes;
}

constexpr uint32_t kFirstTime = 1700000000;  // 2023-11-14 22:13:20 UTC

class RecordedDialogTest : public ::testing::Test {
  protected:
    RecordedDialogTest() : api_(test::make_fake_engine_api()), dialog_(api_, english_) {
        dialog_.message_sink = [this](const QString& text) { messages_ << text; };
        dialog_.question_sink = [this](const QString& text) {
            questions_ << text;
            return keep_files_;
        };
        dialog_.log_sink = [this](const std::string& line) { logs_.push_back(line); };
        dialog_.mark_sink = [this](bool on, int type) { marks_.emplace_back(on, type); };
        dialog_.clock = [] {
            std::tm t{};
            t.tm_year = 124;
            t.tm_mon = 2;
            t.tm_mday = 9;
            t.tm_hour = 7;
            t.tm_min = 5;
            t.tm_sec = 4;
            return t;
        };
        dialog_.set_download_folder(dir_.file("downloads/deep"));
        dialog_.set_event_type_names(event_type_names(english_));
        target_.address = {10, 0, 0, 7, 0x98, 0x08};
        target_.name = "Bus/7";
        target_.recorder_address = "10.0.0.7";
        target_.run_mode = 1;
        target_.capability = 0x10;
    }

    // Opens the dialog and lets the engine deliver an index of `rows` rows.
    void open_with_index(int rows) {
        ASSERT_TRUE(dialog_.open_for(target_));
        dialog_.show();
        dialog_.link_event(KIVRA_LINK_CONNECTED, 0, {});
        for (int i = 0; i < rows; ++i)
            dialog_.link_event(KIVRA_LINK_INDEX_UNIT, 0,
                               row_bytes(kFirstTime + 60u * static_cast<uint32_t>(i), i,
                                         0x200u * static_cast<uint64_t>(i)));
        dialog_.link_event(KIVRA_LINK_INDEX_DONE, 0, {});
        messages_.clear();
    }

    void choose(int start, int end) {
        dialog_.row_double_clicked(start);
        dialog_.row_double_clicked(end);
    }

    fleet::test::TempDir dir_;
    LanguageTable english_;
    EngineApi api_;
    RecordedDataDialog dialog_;
    RecordedTarget target_;
    QStringList messages_;
    QStringList questions_;
    std::vector<std::string> logs_;
    std::vector<std::pair<bool, int>> marks_;
    bool keep_files_ = true;
};

TEST_F(RecordedDialogTest, ConnectsToTheRecordersRecordedData) {
    ASSERT_TRUE(dialog_.open_for(target_));
    ASSERT_EQ(fake_engine().open_rx_calls.size(), 1u);
    const test::OpenRxCall& call = fake_engine().open_rx_calls[0];
    EXPECT_EQ(call.address, target_.address);
    EXPECT_EQ(call.name, "Bus/7");
    EXPECT_EQ(call.recorder_address, "10.0.0.7");
    EXPECT_EQ(call.use_connector, 1);
    EXPECT_EQ(call.mode_byte, 0x10);
    EXPECT_NE(call.connector, nullptr);
    EXPECT_FALSE(dialog_.can_close());
    EXPECT_EQ(marks_, (std::vector<std::pair<bool, int>>{{true, 5}}));
    EXPECT_FALSE(dialog_.download_button()->isEnabled());
    EXPECT_FALSE(dialog_.link_again_button()->isEnabled());
    EXPECT_EQ(dialog_.download_button()->text(), QStringLiteral("Download"));
}

TEST_F(RecordedDialogTest, ARefusedLinkIsLogged) {
    fake_engine().open_rx_result = false;
    EXPECT_FALSE(dialog_.open_for(target_));
    EXPECT_EQ(logs_, std::vector<std::string>{"get recorded net data index fail."});
    EXPECT_TRUE(marks_.empty());
}

TEST_F(RecordedDialogTest, IndexRowsArriveWithTheirTexts) {
    ASSERT_TRUE(dialog_.open_for(target_));
    dialog_.show();
    dialog_.link_event(KIVRA_LINK_CONNECTED, 0, {});
    EXPECT_EQ(dialog_.status()->text(), QStringLiteral("loading data,please wait..."));
    const int types[] = {0, 4, 13, 15};
    for (int i = 0; i < 4; ++i)
        dialog_.link_event(KIVRA_LINK_INDEX_UNIT, 0,
                           row_bytes(kFirstTime + static_cast<uint32_t>(i), types[i], 0xA0u * i));
    QTreeWidget* rows = dialog_.rows();
    ASSERT_EQ(rows->topLevelItemCount(), 4);
    EXPECT_EQ(rows->headerItem()->text(0), QStringLiteral("Time"));
    EXPECT_EQ(rows->headerItem()->text(1), QStringLiteral("Position"));
    EXPECT_EQ(rows->headerItem()->text(2), QStringLiteral("Status"));
    EXPECT_EQ(rows->topLevelItem(0)->text(0), QStringLiteral("2023-11-14 22:13:20"));
    EXPECT_EQ(rows->topLevelItem(0)->text(1), QStringLiteral("0x00"));
    EXPECT_EQ(rows->topLevelItem(0)->text(2), QStringLiteral("NO EVENT"));
    EXPECT_EQ(rows->topLevelItem(1)->text(2), QString());
    EXPECT_EQ(rows->topLevelItem(2)->text(1), QStringLiteral("0x140"));
    EXPECT_EQ(rows->topLevelItem(2)->text(2), QStringLiteral("G-SENSOR"));
    EXPECT_EQ(rows->topLevelItem(3)->text(2), QStringLiteral("15"));

    dialog_.link_event(KIVRA_LINK_INDEX_DONE, 0, {});
    EXPECT_EQ(dialog_.status()->text(), QString());
    EXPECT_EQ(messages_, QStringList{"Dowload time index data completed."});
    EXPECT_TRUE(dialog_.download_button()->isEnabled());
    EXPECT_TRUE(dialog_.can_close());
}

TEST_F(RecordedDialogTest, DoubleClicksChooseStartAndEndInTurn) {
    open_with_index(5);
    dialog_.row_double_clicked(1);
    EXPECT_EQ(dialog_.start_time()->text(), QStringLiteral("2023-11-14 22:14:20"));
    EXPECT_EQ(dialog_.end_time()->text(), QString());
    dialog_.row_double_clicked(3);
    EXPECT_EQ(dialog_.end_time()->text(), QStringLiteral("2023-11-14 22:16:20"));
    dialog_.row_double_clicked(0);  // a third click starts a new choice
    EXPECT_EQ(dialog_.start_time()->text(), QStringLiteral("2023-11-14 22:13:20"));
    dialog_.row_double_clicked(-1);  // not on a row
    dialog_.row_double_clicked(9);
    dialog_.reset_button()->click();
    EXPECT_EQ(dialog_.start_time()->text(), QString());
    EXPECT_EQ(dialog_.end_time()->text(), QString());
    dialog_.download_button()->click();
    EXPECT_EQ(messages_, QStringList{"Illegal Start time or End time!"});
}

TEST_F(RecordedDialogTest, IllegalChoicesAreRefusedBeforeTheEngineIsAsked) {
    open_with_index(5);
    const std::pair<int, int> choices[] = {{3, 1}, {2, 2}};
    for (const auto& [start, end] : choices) {
        dialog_.reset_selection();
        choose(start, end);
        dialog_.download_clicked();
    }
    EXPECT_EQ(messages_,
              (QStringList{"Illegal Start time or End time!", "Illegal Start time or End time!"}));
    EXPECT_TRUE(fake_engine().download_calls.empty());
}

TEST_F(RecordedDialogTest, ADownloadStartsIntoNamedFilesAndShowsItsProgress) {
    open_with_index(5);
    choose(1, 3);
    dialog_.download_clicked();
    const std::string base = dir_.file("downloads/deep/Bus_7_2024_03_09_07_05_04");
    EXPECT_EQ(fake_engine().download_calls,
              (std::vector<DownloadCall>{{2, 4, base + ".DVR", base + ".inx"}}));
    EXPECT_TRUE(fs::is_directory(dir_.file("downloads/deep")));
    EXPECT_TRUE(dialog_.downloading());
    EXPECT_EQ(dialog_.download_button()->text(), QStringLiteral("Stop Download"));
    EXPECT_EQ(dialog_.status()->text(), QStringLiteral("Downloading data,please wait..."));
    EXPECT_FALSE(dialog_.can_close());
    dialog_.link_event(KIVRA_LINK_DOWNLOAD_PROGRESS, 42, {});
    EXPECT_EQ(dialog_.progress()->value(), 42);
    dialog_.link_event(KIVRA_LINK_DOWNLOAD_PROGRESS, 140, {});
    EXPECT_EQ(dialog_.progress()->value(), 100);
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(RecordedDialogTest, DownloadFolderAndEngineRefusals) {
    open_with_index(3);
    choose(0, 2);
    std::ofstream(dir_.file("blocker")) << "x";
    dialog_.set_download_folder(dir_.file("blocker/sub"));
    dialog_.download_clicked();
    dialog_.set_download_folder(dir_.file("dl"));
    fake_engine().download_result = false;
    dialog_.download_clicked();
    EXPECT_EQ(messages_, (QStringList{"Dowload default dir is not set correctly!",
                                      "Download recorded data fail, unkown error!"}));
    EXPECT_FALSE(dialog_.downloading());
    EXPECT_TRUE(dialog_.can_close());
}

TEST_F(RecordedDialogTest, StoppingKeepsOrDeletesThePartialFilesAsAnswered) {
    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep);
        keep_files_ = keep;
        open_with_index(3);
        choose(0, 2);
        dialog_.download_clicked();
        const DownloadPaths paths = dialog_.download_in_progress();
        std::ofstream(paths.dvr) << "gops";  // what the engine wrote so far
        std::ofstream(paths.inx) << "index";
        dialog_.link_event(KIVRA_LINK_DOWNLOAD_PROGRESS, 30, {});
        const int stops = fake_engine().stop_download_calls;
        dialog_.download_clicked();
        EXPECT_EQ(fake_engine().stop_download_calls, stops + 1);
        ASSERT_FALSE(questions_.isEmpty());
        EXPECT_EQ(questions_.back(), QString::fromStdString("Save downloaded files?\n\n" +
                                                            paths.dvr + "\n" + paths.inx));
        EXPECT_EQ(fs::exists(paths.dvr), keep);
        EXPECT_EQ(fs::exists(paths.inx), keep);
        EXPECT_FALSE(dialog_.downloading());
        EXPECT_EQ(dialog_.download_button()->text(), QStringLiteral("Download"));
        EXPECT_EQ(dialog_.progress()->value(), 0);
        EXPECT_TRUE(dialog_.can_close());
        EXPECT_TRUE(dialog_.download_in_progress().dvr.empty());
        dialog_.exit_dialog();
        // The next download starts in another second: another name.
        dialog_.clock = [] {
            std::tm t{};
            t.tm_year = 124;
            t.tm_sec = 9;
            return t;
        };
    }
}

TEST_F(RecordedDialogTest, ClosingDuringADownloadIsNotAllowedButExitDeletesItsFiles) {
    open_with_index(3);
    choose(0, 2);
    dialog_.download_clicked();
    const DownloadPaths paths = dialog_.download_in_progress();
    std::ofstream(paths.dvr) << "gops";
    std::ofstream(paths.inx) << "index";
    EXPECT_FALSE(dialog_.close());
    EXPECT_TRUE(dialog_.isVisible());
    EXPECT_EQ(messages_, QStringList{"Not allowed!"});
    fake_engine().play_calls.clear();

    dialog_.exit_button()->click();
    EXPECT_FALSE(dialog_.isVisible());
    EXPECT_FALSE(fs::exists(paths.dvr));
    EXPECT_FALSE(fs::exists(paths.inx));
    EXPECT_GE(fake_engine().stop_download_calls, 1);
    ASSERT_EQ(fake_engine().play_calls.size(), 1u);
    EXPECT_EQ(fake_engine().play_calls[0].command, KIVRA_CMD_CLOSE);
    EXPECT_EQ(marks_.back(), (std::pair<bool, int>{false, 5}));
}

TEST_F(RecordedDialogTest, AnOpenLinkWithoutItsIndexCannotBeClosed) {
    ASSERT_TRUE(dialog_.open_for(target_));
    dialog_.show();
    EXPECT_FALSE(dialog_.close());
    EXPECT_EQ(messages_, QStringList{"Not allowed!"});
}

struct MessageCase {
    int code;
    QStringList messages;
    bool visible_after;
    bool link_again_enabled;
    bool download_enabled;
};

TEST_F(RecordedDialogTest, EachLinkReportShowsItsMessage) {
    const MessageCase cases[] = {
        {KIVRA_LINK_CONNECT_FAILED, {"Recorded data link fail!"}, true, true, false},
        {KIVRA_LINK_REQUEST_REFUSED, {"Dowload time index data fail!"}, false, false, false},
        {KIVRA_LINK_INDEX_DONE, {"Dowload time index data completed."}, true, false, true},
        {KIVRA_LINK_DOWNLOAD_REFUSED, {"Dowload recorded data fail!"}, true, false, false},
        {KIVRA_LINK_CLOSED, {"Recorded data link is break up!"}, true, false, false},
        {KIVRA_LINK_DOWNLOAD_DONE, {}, false, false, false},
        {KIVRA_LINK_DATA_REQUEST_FAILED, {}, true, false, false},
    };
    for (const MessageCase& c : cases) {
        SCOPED_TRACE(c.code);
        ASSERT_TRUE(dialog_.open_for(target_));
        dialog_.show();
        messages_.clear();
        fake_engine().play_calls.clear();
        dialog_.link_event(c.code, 0, {});
        EXPECT_EQ(messages_, c.messages);
        EXPECT_EQ(dialog_.isVisible(), c.visible_after);
        EXPECT_EQ(dialog_.link_again_button()->isEnabled(), c.link_again_enabled);
        EXPECT_EQ(dialog_.download_button()->isEnabled(), c.download_enabled);
        // A finished download's link is closed by the session, any other close by the dialog.
        const size_t closes = c.visible_after || c.code == KIVRA_LINK_DOWNLOAD_DONE ? 0 : 1;
        EXPECT_EQ(fake_engine().play_calls.size(), closes);
        if (!c.visible_after) {
            EXPECT_TRUE(dialog_.can_close());
        } else if (c.code != KIVRA_LINK_DATA_REQUEST_FAILED) {
            EXPECT_TRUE(dialog_.can_close());
            dialog_.exit_dialog();
        } else {
            EXPECT_FALSE(dialog_.can_close());
            dialog_.exit_dialog();
        }
    }
}

TEST_F(RecordedDialogTest, MessagesOfAHiddenDialogAreNotShown) {
    ASSERT_TRUE(dialog_.open_for(target_));
    dialog_.link_event(KIVRA_LINK_CONNECT_FAILED, 0, {});
    EXPECT_TRUE(messages_.isEmpty());
    EXPECT_TRUE(dialog_.link_again_button()->isEnabled());
}

TEST_F(RecordedDialogTest, LinkAgainClearsAndReconnects) {
    open_with_index(3);
    choose(0, 2);
    dialog_.link_event(KIVRA_LINK_CONNECT_FAILED, 0, {});
    ASSERT_TRUE(dialog_.link_again_button()->isEnabled());
    dialog_.link_again_button()->click();
    EXPECT_EQ(fake_engine().open_rx_calls.size(), 2u);
    EXPECT_EQ(dialog_.rows()->topLevelItemCount(), 0);
    EXPECT_EQ(dialog_.start_time()->text(), QString());
    EXPECT_FALSE(dialog_.link_again_button()->isEnabled());
    EXPECT_FALSE(dialog_.can_close());
}

TEST_F(RecordedDialogTest, Screenshot) {
    open_with_index(12);
    choose(2, 7);
    dialog_.download_clicked();
    dialog_.link_event(KIVRA_LINK_DOWNLOAD_PROGRESS, 35, {});
    dialog_.resize(460, 520);
    fleet_test::process_events_for(30);
    const QImage shot = fleet_test::grab_screenshot(dialog_, QStringLiteral("recorded_data"));
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(fleet_test::shows_colour(shot, theme::kCaption,
                                         QRect(0, 0, shot.width(), SubDialog::caption_height())));
    // Rows are drawn in the list, the progress bar shows its part.
    EXPECT_GT(fleet_test::colour_count(shot, fleet_test::region_of(*dialog_.rows(), dialog_)), 2);
    EXPECT_FALSE(fleet_test::is_uniform(shot, fleet_test::region_of(*dialog_.progress(), dialog_)));
    EXPECT_EQ(dialog_.download_button()->text(), QStringLiteral("Stop Download"));
    dialog_.exit_dialog();
}

}  // namespace
}  // namespace velmora
