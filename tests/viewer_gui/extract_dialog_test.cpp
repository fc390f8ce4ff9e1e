// The extract dialog under the real main window, engine and extraction library, on dvrsim file
// pairs: what the preparation shows (read back from the index file), the START checks with
// their messages, real exports checked with ffprobe and dvrtool, a stop by CLOSE, and a source
// replaced under the dialog.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

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
    // Four channels, a time unit every two seconds: units 1..6 for ten seconds (the last
    // closes the file).
    Recording make_pair(const std::string& name = "pair", int seconds = 10) {
        const std::string base = dir_.file(name);
        const auto made = fleet::test::run_process({DVRSIM_PATH,
                                                    "record",
                                                    "--out",
                                                    base,
                                                    "--channels",
                                                    "4",
                                                    "--stream-version",
                                                    "3",
                                                    "--seconds",
                                                    std::to_string(seconds),
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

    // Pair, all channels, channels 1 and 8 of a long recording: re-encoding the all-channel
    // file takes far longer than the test waits, so the export is running on return.
    void start_long_export(ExtractDialog* dialog, const std::string& target) {
        choose(dialog, true, true, {1, 8}, target);
        messages_.clear();
        click_in(dialog, ExtractDialog::kStart);
        auto* progress = control<QProgressBar>(dialog, ExtractDialog::kProgress);
        ASSERT_TRUE(fleet_test::wait_until([&] { return progress->value() > 0; }, 60000));
        ASSERT_TRUE(dialog->running()) << "the export ended before it could be stopped";
    }

    // Ticks exactly these outputs over the whole range, into `directory`.
    void choose(ExtractDialog* dialog, bool file_pair, bool all_channels,
                const std::set<int>& channels, const std::string& directory) {
        control<QSlider>(dialog, ExtractDialog::kStartSlider)->setValue(0);
        auto* end = control<QSlider>(dialog, ExtractDialog::kEndSlider);
        end->setValue(end->maximum());
        control<QCheckBox>(dialog, ExtractDialog::kFilePair)->setChecked(file_pair);
        control<QCheckBox>(dialog, ExtractDialog::kAllChannels)->setChecked(all_channels);
        for (int channel = 1; channel <= 8; ++channel) {
            control<QCheckBox>(dialog, ExtractDialog::kFirstChannel + channel - 1)
                ->setChecked(channels.count(channel) != 0);
        }
        control<QLineEdit>(dialog, ExtractDialog::kTargetDirectory)
            ->setText(QString::fromStdString(directory));
    }
};

// The ends the dialog signals and the highest progress it showed, as they happen.
struct ExportWatch {
    std::vector<int> ends;
    int most_progress = 0;
    QObject context;  // the connections end with the watch

    ExportWatch(ExtractDialog* dialog, QProgressBar* progress) {
        QObject::connect(dialog, &ExtractDialog::export_ended, &context,
                         [this](int end) { ends.push_back(end); });
        QObject::connect(progress, &QProgressBar::valueChanged, &context,
                         [this](int value) { most_progress = std::max(most_progress, value); });
    }
    bool wait_end(int timeout_ms) {
        return fleet_test::wait_until([&] { return !ends.empty(); }, timeout_ms);
    }
};

std::vector<std::string> names_in(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// "<id>_<yyyymmdd>_<hhmm>_<ss>" followed by the suffix.
bool named_like(const std::string& name, const std::string& id, const std::string& suffix) {
    static const QRegularExpression stamp(QStringLiteral("^_\\d{8}_\\d{4}_\\d{2}$"));
    if (name.size() < id.size() + suffix.size() || name.compare(0, id.size(), id) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return false;
    }
    const std::string middle = name.substr(id.size(), name.size() - id.size() - suffix.size());
    return stamp.match(QString::fromStdString(middle)).hasMatch();
}

// The video frames ffprobe decodes from a file; -1 when it reports any error.
int probed_frames(const std::string& path) {
    const auto run = fleet::test::run_process(
        {FFPROBE_PATH, "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
         "stream=nb_read_frames", "-of", "default=noprint_wrappers=1:nokey=1", path});
    if (run.exit_code != 0 || !run.err.empty()) return -1;
    return std::atoi(run.out.c_str());
}

// dvrtool verify's summary of a copied pair ("N GOPs, 0 damaged regions"); empty on damage.
std::string verified_pair(const std::string& dvr, const std::string& inx) {
    const auto run = fleet::test::run_process({DVRTOOL_PATH, "verify", dvr, "--index", inx});
    if (run.exit_code != 0) return "";
    return fleet::test::split_lines(run.out).front();
}

// What start_long_export leaves once stopped: every file readable to its end, the channel
// files whole GOPs of 12 frames, the pair as many GOPs, and less than the whole recording.
void expect_stopped_export_complete(const std::string& target, int recorded_frames) {
    const std::vector<std::string> names = names_in(target);
    ASSERT_EQ(names.size(), 5u);  // .dvr, .inx, ch1, ch8, all channels
    const std::string stem = target + "/" + names[0].substr(0, names[0].size() - 4);
    const int frames = probed_frames(stem + "_ch1.avi");
    EXPECT_GT(frames, 0);
    EXPECT_EQ(frames % 12, 0) << "whole GOPs of 12 frames";
    EXPECT_EQ(probed_frames(stem + "_ch8.avi"), frames);
    EXPECT_LT(frames, recorded_frames) << "stopped before the end";
    EXPECT_GT(probed_frames(stem + "_ch_all.avi"), 0);
    EXPECT_EQ(verified_pair(stem + ".dvr", stem + ".inx"),
              std::to_string(frames / 12) + " GOPs, 0 damaged regions");
}

int truth_frames(const std::string& dvr) {
    const std::string truth = dvr.substr(0, dvr.size() - 4) + ".truth.jsonl";
    int frames = 0;
    for (const std::string& line : fleet::test::split_lines(fleet::test::read_file(truth)))
        frames += line.empty() ? 0 : 1;
    return frames;
}

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
        {"a directory too long for the longest name",
         [&] { directory->setText(QString::fromStdString(dir_.file(std::string(220, 'd')))); },
         "The target directory is too long!"},
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
    // Nothing was started, so nothing was made.
    EXPECT_FALSE(std::filesystem::exists(target));
}

// Each choice exported over the whole recording: exactly its files under one stem, complete,
// and the dialog ready again with START enabled after "Extracting completed!".
TEST_F(ExtractDialogTest, ExportsWriteExactlyTheTickedOutputsComplete) {
    const Recording pair = make_pair();
    const int frames_per_channel = truth_frames(pair.dvr);
    ASSERT_GT(frames_per_channel, 0);
    start_window();
    window_->open_path(QString::fromStdString(pair.dvr));
    ExtractDialog* dialog = open_extract();
    ASSERT_NE(dialog, nullptr);
    auto* start = control<QPushButton>(dialog, ExtractDialog::kStart);
    auto* progress = control<QProgressBar>(dialog, ExtractDialog::kProgress);

    struct Case {
        const char* what;
        bool file_pair;
        std::vector<std::string> suffixes;  // sorted as the directory lists them
    };
    const Case cases[] = {
        {"channel 3 alone", false, {"_ch3.avi"}},
        {"the GOP file pair and channel 3", true, {".dvr", ".inx", "_ch3.avi"}},
    };
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string target = dir_.file("exports" + std::to_string(run++));
        choose(dialog, c.file_pair, false, {3}, target);
        messages_.clear();
        ExportWatch watch(dialog, progress);
        click_in(dialog, ExtractDialog::kStart);
        EXPECT_TRUE(dialog->running());
        EXPECT_FALSE(start->isEnabled());
        ASSERT_TRUE(watch.wait_end(60000));

        EXPECT_EQ(watch.ends, std::vector<int>{2});
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_EQ(messages_[0], QStringLiteral("Extracting completed!"));
        EXPECT_FALSE(dialog->running());
        EXPECT_TRUE(start->isEnabled());
        EXPECT_EQ(watch.most_progress, 100);

        const std::vector<std::string> names = names_in(target);
        ASSERT_EQ(names.size(), c.suffixes.size());
        const std::string stem = target + "/" + names.back().substr(0, names.back().size() - 8);
        for (size_t i = 0; i < names.size(); ++i) {
            EXPECT_TRUE(named_like(names[i], "BUS-0042", c.suffixes[i])) << names[i];
            EXPECT_EQ(target + "/" + names[i], stem + c.suffixes[i]);  // one stem
        }
        EXPECT_EQ(probed_frames(stem + "_ch3.avi"), frames_per_channel);
        if (c.file_pair) {
            EXPECT_EQ(verified_pair(stem + ".dvr", stem + ".inx"), "10 GOPs, 0 damaged regions");
        }
    }
    EXPECT_TRUE(in_order(log_lines(), {"start extract ok.", "extract data completed.",
                                       "start extract ok.", "extract data completed."}))
        << joined_log();
}

// CLOSE while a long export runs (the all-channel file is re-encoded, so it takes minutes) stops
// it: "Stop extracting by user!", and what is left is complete, the pair as many GOPs as the
// channel files hold whole GOPs.
TEST_F(ExtractDialogTest, CloseDuringAnExportStopsItLeavingCompleteFiles) {
    const Recording pair = make_recording(dir_, "long", 8, 120);
    start_window();
    window_->open_path(QString::fromStdString(pair.dvr));
    ExtractDialog* dialog = open_extract();
    ASSERT_NE(dialog, nullptr);
    auto* progress = control<QProgressBar>(dialog, ExtractDialog::kProgress);
    const QImage idle = dialog->grab().toImage();
    const std::string target = dir_.file("stopped");
    ExportWatch watch(dialog, progress);
    start_long_export(dialog, target);

    // The running dialog: its progress drawn, START greyed.
    const QImage shot = fleet_test::grab_screenshot(*dialog, QStringLiteral("extract_running"));
    ASSERT_FALSE(shot.isNull());
    const QRect bar = fleet_test::region_of(*progress, *dialog);
    const QColor filled = progress->palette().color(QPalette::Highlight);
    EXPECT_TRUE(fleet_test::shows_colour(shot, filled, bar, 24));
    EXPECT_FALSE(fleet_test::shows_colour(idle, filled, bar, 24));
    EXPECT_FALSE(control<QPushButton>(dialog, ExtractDialog::kStart)->isEnabled());

    click_in(dialog, ExtractDialog::kClose);
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_TRUE(watch.wait_end(60000));
    EXPECT_EQ(watch.ends, std::vector<int>{4});
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], QStringLiteral("Stop extracting by user!"));
    EXPECT_TRUE(in_order(log_lines(), {"start extract ok.", "Stop extracting by user!"}))
        << joined_log();

    expect_stopped_export_complete(target, truth_frames(pair.dvr));

    // Shown again, the dialog is ready for the next export.
    messages_.clear();
    ASSERT_EQ(open_extract(), dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(control<QPushButton>(dialog, ExtractDialog::kStart)->isEnabled());
    EXPECT_EQ(progress->value(), 0);
}

// The main window closed during an export neither hangs nor leaves a partial file: closing
// the source first stops the export, whose files are then complete.
TEST_F(ExtractDialogTest, ClosingTheWindowDuringAnExportLeavesOnlyCompleteFiles) {
    const Recording pair = make_recording(dir_, "long", 8, 120);
    start_window();
    window_->open_path(QString::fromStdString(pair.dvr));
    ExtractDialog* dialog = open_extract();
    ASSERT_NE(dialog, nullptr);
    const std::string target = dir_.file("closed");
    start_long_export(dialog, target);

    window_->close();
    ASSERT_TRUE(fleet_test::wait_until([&] { return !window_->isVisible(); }, 30000));
    window_.reset();
    expect_stopped_export_complete(target, truth_frames(pair.dvr));
}

// Another recording opened while the dialog is shown: the dialog goes (its sliders were units
// of the closed index), and a START that still arrives exports nothing from the new index.
TEST_F(ExtractDialogTest, ASourceReplacedUnderTheDialogIsNotExportedFrom) {
    const Recording first = make_pair();
    // Its index holds every unit number of the first's and more.
    const Recording second = make_pair("second", 20);
    start_window();
    window_->open_path(QString::fromStdString(first.dvr));
    ExtractDialog* dialog = open_extract();
    ASSERT_NE(dialog, nullptr);
    const std::string target = dir_.file("replaced");
    choose(dialog, true, false, {1}, target);

    window_->open_path(QString::fromStdString(second.dvr));  // closes the first, then opens
    ASSERT_TRUE(fleet_test::wait_until(
        [&] {
            const auto lines = log_lines();
            return std::count(lines.begin(), lines.end(), "open completed.") == 2;
        },
        10000))
        << joined_log();
    ASSERT_EQ(window_->session().state(), PlayerState::Opened);
    EXPECT_FALSE(dialog->isVisible());

    messages_.clear();
    dialog->start();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].toStdString(),
              "Start extract fail, please check the index data source!");
    EXPECT_FALSE(dialog->running());
    EXPECT_FALSE(std::filesystem::exists(target));
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
