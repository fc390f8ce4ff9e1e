// The extract dialog under the real main window and engine, on a dvrsim file pair: what the
// preparation shows (read back from the index file), its refusals and the START checks with
// their messages, each leaving the dialog ready for another try.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "format/index_format.h"
#include "qt_test_app.h"
#include "ui/extract_dialog.h"
#include "viewer_fixture.h"

namespace velmora::test {
namespace {

namespace ff = fleet::format;

constexpr uint32_t kStart = 1699999140;  // 2023-11-14 21:59:00 UTC

class ExtractDialogTest : public ViewerTest {
  protected:
    // Four channels, a time unit every two seconds: units 1..6 (the last closes the file).
    Recording make_pair() {
        const std::string base = dir_.file("pair");
        const auto made = fleet::test::run_process({DVRSIM_PATH,
                                                    "record",
                                                    "--out",
                                                    base,
                                                    "--channels",
                                                    "4",
                                                    "--stream-version",
                                                    "3",
                                                    "--seconds",
                                                    "10",
                                                    "--fps",
                                                    "2",
                                                    "--unit-every",
                                                    "2",
                                                    "--start",
                                                    std::to_string(kStart),
                                                    "--vehicle-id",
                                                    "BUS-0042",
                                                    "--seed",
                                                    "3"});
        EXPECT_EQ(made.exit_code, 0) << made.err;
        return {base + ".dvr", base + ".inx"};
    }

    ExtractDialog* open_extract() {
        click(static_cast<int>(CommandId::Extract));
        return window_->findChild<ExtractDialog*>(QStringLiteral("extract_dialog"));
    }

    template <typename Widget>
    Widget* control(ExtractDialog* dialog, int id) {
        auto* widget = dialog->findChild<Widget*>(QString::number(id));
        EXPECT_NE(widget, nullptr) << id;
        return widget;
    }

    void click_in(ExtractDialog* dialog, int id) {
        auto* button = control<QPushButton>(dialog, id);
        ASSERT_TRUE(button->isVisible() && button->isEnabled()) << id;
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }
};

ff::IndexHeader read_header(const std::string& inx) {
    std::ifstream in(inx, std::ios::binary);
    std::array<uint8_t, ff::kIndexRecordSize> record{};
    in.read(reinterpret_cast<char*>(record.data()), record.size());
    return ff::IndexHeader::decode(record.data());
}

std::string utc_time_of_unit(const std::string& inx, uint32_t n) {
    std::ifstream in(inx, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(n) * ff::kIndexRecordSize);
    std::array<uint8_t, ff::kIndexRecordSize> record{};
    in.read(reinterpret_cast<char*>(record.data()), record.size());
    return QDateTime::fromSecsSinceEpoch(ff::IndexUnit::decode(record.data()).time, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
        .toStdString();
}

TEST_F(ExtractDialogTest, NothingOpenShowsNoDialog) {
    start_window();
    EXPECT_EQ(open_extract(), nullptr);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ExtractDialogTest, PreparationShowsTheIndexRangeAndTheRecordingsChannels) {
    const Recording pair = make_pair();
    start_window();
    window_->open_path(QString::fromStdString(pair.dvr));
    ASSERT_EQ(window_->session().state(), PlayerState::Opened);
    ExtractDialog* dialog = open_extract();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_TRUE(messages_.empty());

    const ff::IndexHeader header = read_header(pair.inx);
    ASSERT_EQ(header.first, 1u);
    ASSERT_GE(header.last, 5u);
    auto* start = control<QSlider>(dialog, ExtractDialog::kStartSlider);
    auto* end = control<QSlider>(dialog, ExtractDialog::kEndSlider);
    EXPECT_EQ(start->minimum(), 0);
    EXPECT_EQ(start->maximum(), static_cast<int>(header.last - header.first));
    EXPECT_EQ(start->value(), 0);
    EXPECT_EQ(end->value(), end->maximum());
    EXPECT_EQ(control<QLabel>(dialog, ExtractDialog::kStartTime)->text().toStdString(),
              utc_time_of_unit(pair.inx, header.first));
    EXPECT_EQ(control<QLabel>(dialog, ExtractDialog::kEndTime)->text().toStdString(),
              utc_time_of_unit(pair.inx, header.last));
    // Moving a slider shows its unit's time.
    start->setValue(2);
    EXPECT_EQ(control<QLabel>(dialog, ExtractDialog::kStartTime)->text().toStdString(),
              utc_time_of_unit(pair.inx, header.first + 2));

    EXPECT_TRUE(control<QCheckBox>(dialog, ExtractDialog::kFilePair)->isChecked());
    EXPECT_FALSE(control<QCheckBox>(dialog, ExtractDialog::kAllChannels)->isChecked());
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i + 1);
        auto* box = control<QCheckBox>(dialog, ExtractDialog::kFirstChannel + i);
        EXPECT_FALSE(box->isChecked());
        EXPECT_EQ(box->isEnabled(), i < 4);  // the recording has four channels
        EXPECT_EQ(box->text(), QStringLiteral("ch%1 avi file").arg(i + 1));
    }
    EXPECT_EQ(control<QCheckBox>(dialog, ExtractDialog::kFilePair)->text(),
              QStringLiteral("gop file(fast)"));
    EXPECT_EQ(control<QCheckBox>(dialog, ExtractDialog::kAllChannels)->text(),
              QStringLiteral("all ch avi file"));
    EXPECT_EQ(control<QPushButton>(dialog, ExtractDialog::kStart)->text(), QStringLiteral("Start"));
    EXPECT_EQ(control<QPushButton>(dialog, ExtractDialog::kClose)->text(), QStringLiteral("Close"));
    EXPECT_EQ(control<QProgressBar>(dialog, ExtractDialog::kProgress)->value(), 0);

    const QImage shot = fleet_test::grab_screenshot(*dialog, QStringLiteral("extract_dialog"));
    ASSERT_FALSE(shot.isNull());
    EXPECT_GT(fleet_test::colour_count(shot), 8);  // texts and controls, not a blank page
}

TEST_F(ExtractDialogTest, StartRefusesWithTheDialogsMessagesAndStaysReady) {
    const Recording pair = make_pair();
    const std::string file_in_the_way = dir_.file("plain_file");
    std::ofstream(file_in_the_way) << "x";
    start_window();
    window_->open_path(QString::fromStdString(pair.dvr));
    ExtractDialog* dialog = open_extract();
    ASSERT_NE(dialog, nullptr);
    auto* start = control<QSlider>(dialog, ExtractDialog::kStartSlider);
    auto* end = control<QSlider>(dialog, ExtractDialog::kEndSlider);
    auto* pair_box = control<QCheckBox>(dialog, ExtractDialog::kFilePair);
    auto* directory = control<QLineEdit>(dialog, ExtractDialog::kTargetDirectory);
    const std::string target = dir_.file("exports/new");

    struct Case {
        const char* what;
        std::function<void()> arrange;
        const char* message;
    };
    const Case cases[] = {
        {"start at end", [&] { start->setValue(end->value()); }, "Illegal time selected!"},
        {"start after end",
         [&] {
             start->setValue(3);
             end->setValue(1);
         },
         "Illegal time selected!"},
        {"nothing ticked", [&] { pair_box->setChecked(false); }, "No target file is selected!"},
        {"a file where the directory goes",
         [&] { directory->setText(QString::fromStdString(file_in_the_way + "/sub")); },
         "The target directory is not existed, try to create fail!"},
        // This build's engine does not extract yet: it refuses the start.
        {"the engine refuses", [] {}, "Start extract fail, please check the gop data source!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        messages_.clear();
        start->setValue(0);
        end->setValue(end->maximum());
        pair_box->setChecked(true);
        directory->setText(QString::fromStdString(target));
        c.arrange();
        click_in(dialog, ExtractDialog::kStart);
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_EQ(messages_[0].toStdString(), c.message);
        EXPECT_FALSE(dialog->running());
        EXPECT_TRUE(control<QPushButton>(dialog, ExtractDialog::kStart)->isEnabled());
        EXPECT_TRUE(dialog->isVisible());
    }
    // The legal choice made its target directory before the engine was asked.
    EXPECT_TRUE(std::filesystem::is_directory(target));
    EXPECT_TRUE(in_order(log_lines(), {"start extract fail."})) << joined_log();
}

TEST_F(ExtractDialogTest, ASourceClosedMeanwhileIsNothingToExport) {
    const Recording pair = make_pair();
    start_window();
    window_->open_path(QString::fromStdString(pair.dvr));
    ExtractDialog* dialog = open_extract();
    ASSERT_NE(dialog, nullptr);
    click_in(dialog, ExtractDialog::kClose);
    EXPECT_FALSE(dialog->isVisible());
    window_->run_command(CommandId::CloseSource);
    ASSERT_TRUE(fleet_test::wait_until(
        [&] { return window_->session().state() == PlayerState::Idle; }, 10000));
    messages_.clear();
    EXPECT_FALSE(dialog->prepare());
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], QStringLiteral("Nothing is opened!"));
}

}  // namespace
}  // namespace velmora::test
