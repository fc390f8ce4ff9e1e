// Snapshots and screen recording in the real window over the real engine, on dvrsim's
// recordings: the pictures' names and what they show, the picture pop-up, the whole screen
// where the platform lets a program read it, and recordings that verify and play again.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string_view>

#include "qt_test_app.h"
#include "ui/video_view.h"
#include "viewer_fixture.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using fleet_test::grab_screenshot;
using fleet_test::process_events_for;
using fleet_test::wait_until;

constexpr int kResultTimeoutMs = 10000;
constexpr int kRecordButton = static_cast<int>(CommandId::ScreenRecordButton);
constexpr int kStopRecordButton = static_cast<int>(CommandId::StopScreenRecordButton);

std::vector<std::string> files_in(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// "YYYYMMDD_HHMM_SS", the local time in the name of every capture.
bool is_time_stem(std::string_view text) {
    constexpr std::string_view kShape = "########_####_##";
    if (text.size() != kShape.size()) return false;
    for (size_t i = 0; i < kShape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == '#' ? !digit : text[i] != kShape[i]) return false;
    }
    return true;
}

// "<prefix><time>" of a file named "<prefix><time>[_N]<extension>"; nothing for another name.
std::optional<std::string> name_second(std::string_view file, std::string_view prefix,
                                       std::string_view extension) {
    if (!file.starts_with(prefix) || !file.ends_with(extension)) return std::nullopt;
    file.remove_prefix(prefix.size());
    file.remove_suffix(extension.size());
    const std::string_view time = file.substr(0, std::min<size_t>(file.size(), 16));
    std::string_view suffix = file.substr(time.size());
    if (!is_time_stem(time)) return std::nullopt;
    if (!suffix.empty()) {
        if (suffix.size() < 2 || suffix[0] != '_') return std::nullopt;
        for (const char c : suffix.substr(1)) {
            if (c < '0' || c > '9') return std::nullopt;
        }
    }
    return std::string(prefix) + std::string(time);
}

// Mean absolute difference per channel of two pictures of one size (JPEG noise stays low).
double mean_difference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row), q = y.pixel(column, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

// A copy of a picture the viewer wrote, beside the screenshots, for a person to look at.
void keep_as_artifact(const std::string& path, const char* name) {
    const QString copy = fleet_test::artifact_dir() + '/' + QLatin1String(name);
    QFile::remove(copy);
    EXPECT_TRUE(QFile::copy(QString::fromStdString(path), copy)) << path;
}

class CaptureTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        context_.config.jpeg_dir = dir_.file("pic");
        context_.config.screen_capture_dir = dir_.file("capture");
        fs::create_directories(context_.config.jpeg_dir);
        fs::create_directories(context_.config.screen_capture_dir);
    }

    void open(const Recording& rec) {
        start_window();
        window_->open_path(QString::fromStdString(rec.dvr));
        ASSERT_EQ(window_->session().state(), PlayerState::Opened);
    }
    void play() {
        click(static_cast<int>(CommandId::Play));
        ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
        VideoView* video = window_->video();
        const int shown = video->frames_presented();
        ASSERT_TRUE(wait_until([&] { return video->frames_presented() > shown + 3; }, 10000));
    }
    void pause() {
        click(static_cast<int>(CommandId::Pause));
        ASSERT_TRUE(wait_status(QStringLiteral("paused..")));
        process_events_for(300);  // the last picture reaches the canvas
    }
    // Runs a snapshot command and waits for its message; the picture's path, empty on failure.
    std::string snapshot(CommandId id) {
        const size_t before = messages_.size();
        window_->run_command(id);
        if (!wait_until([&] { return messages_.size() > before; }, kResultTimeoutMs)) return {};
        const QString saved = QString::fromStdString(texts_->text("IDS_STRING263")) + ' ';
        const QString& message = messages_.back();
        if (!message.startsWith(saved)) return {};
        return message.mid(saved.size()).toStdString();
    }
    QPoint video_point(double x_share, double y_share) const {
        VideoView* video = window_->video();
        return {static_cast<int>(video->width() * x_share),
                static_cast<int>(video->height() * y_share)};
    }
    // Releases the right button over the video area; the pop-up it opened, or null.
    QMenu* right_click(QPoint at) {
        VideoView* video = window_->video();
        QTest::mousePress(video, Qt::RightButton, {}, at);
        QTest::mouseRelease(video, Qt::RightButton, {}, at);
        wait_until([] { return QApplication::activePopupWidget() != nullptr; }, 2000);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    }
    void choose(QMenu& menu, CommandId id) {
        QAction* item = window_->action(id);
        QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(item).center());
    }
    std::string picture_dir() const { return context_.config.jpeg_dir; }
    std::string capture_dir() const { return context_.config.screen_capture_dir; }
    bool logged(const std::string& line) const {
        const auto lines = log_lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

// No vehicle identifier in the recording: the pictures are "unknow_<local time>.jpg", and two
// taken within one second both stay, the second with "_1".
TEST_F(CaptureTest, SnapshotsWithoutAVehicleIdAreNamedUnknowAndNeverOverwritten) {
    const std::string base = dir_.file("plain");
    const auto made = fleet::test::run_process({DVRSIM_PATH, "record", "--out", base, "--channels",
                                                "4", "--stream-version", "0", "--seconds", "20",
                                                "--fps", "8", "--seed", "3"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    open({base + ".dvr", base + ".inx"});
    play();
    pause();

    // Six pictures taken one after the other span less than five seconds, so at least two fall
    // within one second.
    std::map<std::string, std::vector<std::string>> by_second;
    for (int i = 0; i < 6; ++i) {
        const std::string path = snapshot(CommandId::Capture);
        ASSERT_FALSE(path.empty()) << messages_.back().toStdString();
        EXPECT_EQ(fs::path(path).parent_path(), fs::path(picture_dir()));
        const std::string file = fs::path(path).filename().string();
        const std::optional<std::string> second = name_second(file, "unknow_", ".jpg");
        ASSERT_TRUE(second) << file;
        by_second[*second].push_back(file);
    }
    ASSERT_LT(by_second.size(), 6u);
    // Within a second the names go on "_1", "_2" ..., and none replaced another.
    for (const auto& [second, files] : by_second) {
        for (size_t k = 0; k < files.size(); ++k) {
            EXPECT_EQ(files[k], second + (k == 0 ? "" : "_" + std::to_string(k)) + ".jpg");
        }
    }
    EXPECT_EQ(files_in(picture_dir()).size(), 6u);
    // Every picture written is still there, whole: the paused canvas at its full size.
    const QSize canvas = window_->video()->canvas_size();
    for (const std::string& file : files_in(picture_dir())) {
        const QImage picture(QString::fromStdString(picture_dir() + "/" + file));
        ASSERT_FALSE(picture.isNull()) << file;
        EXPECT_EQ(picture.size(), canvas) << file;
        EXPECT_GT(fleet_test::colour_count(picture), 8) << file;
    }
    EXPECT_TRUE(logged("pic capture ok."));
}

// The pop-up's "Save Current Channel Picture" takes the engine's cell under the pointer: the
// same picture as that part of the whole video area.
TEST_F(CaptureTest, ChannelPictureIsTheCellUnderThePointer) {
    open(make_recording(dir_, "route", 4, 20));
    play();
    pause();
    const std::string whole = snapshot(CommandId::Capture);
    ASSERT_FALSE(whole.empty());

    QMenu* menu = right_click(video_point(0.75, 0.75));
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(window_->action(CommandId::SaveAllChannelPictures)->isEnabled());
    const size_t before = messages_.size();
    choose(*menu, CommandId::SaveChannelPicture);
    ASSERT_TRUE(wait_until([&] { return messages_.size() > before; }, kResultTimeoutMs));
    const QString saved = QString::fromStdString(texts_->text("IDS_STRING263")) + ' ';
    ASSERT_TRUE(messages_.back().startsWith(saved)) << messages_.back().toStdString();
    const QString cell_path = messages_.back().mid(saved.size());
    const QImage cell(cell_path);
    const QImage area(QString::fromStdString(whole));
    ASSERT_FALSE(cell.isNull());
    ASSERT_FALSE(area.isNull());

    const QSize canvas = window_->video()->canvas_size();
    const QSize half(canvas.width() / 2, canvas.height() / 2);
    EXPECT_EQ(cell.size(), half);
    // Below the time stamps each picture carries at its top left corner.
    const QRect lower(0, half.height() / 2, half.width(), half.height() / 2);
    const QImage expected = area.copy(lower.translated(half.width(), half.height()));
    EXPECT_LT(mean_difference(cell.copy(lower), expected), 4.0);
    // Any other cell differs: the channels show different scenes.
    EXPECT_GT(mean_difference(cell.copy(lower), area.copy(lower.translated(0, half.height()))),
              8.0);
    keep_as_artifact(whole, "viewer_snapshot_video_area.jpg");
    keep_as_artifact(cell_path.toStdString(), "viewer_snapshot_channel_4.jpg");
}

// One channel chosen full-screen: "Save All Channel Picture" is greyed, the others are not.
TEST_F(CaptureTest, SaveAllChannelPictureIsGreyedWhileOneChannelFillsTheArea) {
    open(make_recording(dir_, "route", 4, 20));
    play();
    QTest::mouseDClick(window_->video(), Qt::LeftButton, {}, video_point(0.25, 0.25));
    ASSERT_TRUE(wait_until([&] { return engine_.engine().zTellFullScreenIdx() == 1; }, 2000));

    QMenu* menu = right_click(video_point(0.5, 0.5));
    ASSERT_NE(menu, nullptr);
    QAction* all = window_->action(CommandId::SaveAllChannelPictures);
    QAction* current = window_->action(CommandId::SaveChannelPicture);
    EXPECT_FALSE(all->isEnabled());
    EXPECT_TRUE(current->isEnabled());
    EXPECT_TRUE(window_->action(CommandId::SaveFullScreenPicture)->isEnabled());
    // The picture shows it: the greyed item is drawn in other colours than an enabled one.
    const QImage shot = grab_screenshot(*menu, QStringLiteral("viewer_picture_menu_full_screen"));
    ASSERT_FALSE(shot.isNull());
    const QColor enabled_text = menu->palette().color(QPalette::Active, QPalette::WindowText);
    EXPECT_TRUE(fleet_test::shows_colour(shot, enabled_text, menu->actionGeometry(current), 24));
    EXPECT_FALSE(fleet_test::shows_colour(shot, enabled_text, menu->actionGeometry(all), 24));

    // Choosing the channel picture now takes the whole area, the one channel shown.
    const size_t before = messages_.size();
    choose(*menu, CommandId::SaveChannelPicture);
    ASSERT_TRUE(wait_until([&] { return messages_.size() > before; }, kResultTimeoutMs));
    const QString saved = QString::fromStdString(texts_->text("IDS_STRING263")) + ' ';
    ASSERT_TRUE(messages_.back().startsWith(saved)) << messages_.back().toStdString();
    EXPECT_EQ(QImage(messages_.back().mid(saved.size())).size(), window_->video()->canvas_size());

    // Back to the grid: all channels may be saved again.
    QTest::mouseDClick(window_->video(), Qt::LeftButton, {}, video_point(0.5, 0.5));
    ASSERT_TRUE(wait_until([&] { return engine_.engine().zTellFullScreenIdx() == 0; }, 2000));
    menu = right_click(video_point(0.5, 0.5));
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(all->isEnabled());
    menu->close();
}

TEST_F(CaptureTest, NoPictureMenuBeforeARecordingIsOpen) {
    start_window();
    EXPECT_EQ(right_click(video_point(0.5, 0.5)), nullptr);
}

// Where the platform lets a program read the screen (X11), the picture is the screen; where it
// does not (Wayland, offscreen), a message says so and no file is written.
TEST_F(CaptureTest, WholeScreenPictureWhereThePlatformAllows) {
    open(make_recording(dir_, "route", 4, 20));
    play();
    const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    const std::string path = snapshot(CommandId::SaveFullScreenPicture);
    if (!x11) {
        EXPECT_TRUE(path.empty());
        EXPECT_EQ(messages_.back().toStdString(), texts_->text("IDS_STRING448"));
        EXPECT_TRUE(files_in(picture_dir()).empty());
        return;
    }
    ASSERT_FALSE(path.empty()) << messages_.back().toStdString();
    EXPECT_TRUE(name_second(fs::path(path).filename().string(), "BUS-0042_", ".jpg")) << path;
    const QImage picture(QString::fromStdString(path));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(),
              window_->screen()->geometry().size() * window_->screen()->devicePixelRatio());
    // The screen holds the window: its video area shows moving pictures, not one colour.
    EXPECT_GT(fleet_test::colour_count(picture), 8);
    keep_as_artifact(path, "viewer_whole_screen.jpg");
}

TEST_F(CaptureTest, ScreenRecordDoesNothingBeforeAPlay) {
    open(make_recording(dir_, "route", 4, 5));
    click(kRecordButton);
    window_->run_command(CommandId::ScreenRecord);
    process_events_for(300);
    EXPECT_TRUE(button_shown(kRecordButton));
    EXPECT_FALSE(button_shown(kStopRecordButton));
    EXPECT_TRUE(files_in(capture_dir()).empty());
    EXPECT_FALSE(logged("open screen capture.")) << joined_log();
    EXPECT_TRUE(messages_.empty());
}

// A recording made while playing is a file pair that passes dvrtool's checks and plays again.
TEST_F(CaptureTest, ScreenRecordingVerifiesAndReplays) {
    open(make_recording(dir_, "route", 4, 30));
    play();
    click(kRecordButton);
    EXPECT_FALSE(button_shown(kRecordButton));
    EXPECT_TRUE(button_shown(kStopRecordButton));
    process_events_for(4000);
    click(kStopRecordButton);
    EXPECT_TRUE(button_shown(kRecordButton));
    EXPECT_FALSE(button_shown(kStopRecordButton));
    EXPECT_TRUE(in_order(log_lines(), {"open screen capture.", "close screen capture."}))
        << joined_log();

    const std::vector<std::string> files = files_in(capture_dir());
    ASSERT_EQ(files.size(), 2u);
    const std::string stem = fs::path(files[0]).stem().string();
    EXPECT_TRUE(is_time_stem(stem)) << stem;
    EXPECT_EQ(files, (std::vector<std::string>{stem + ".dvr", stem + ".inx"}));
    const std::string dvr = capture_dir() + "/" + stem + ".dvr";
    EXPECT_GT(fs::file_size(dvr), 0u);
    const auto verified = fleet::test::run_process({DVRTOOL_PATH, "verify", dvr});
    EXPECT_EQ(verified.exit_code, 0) << verified.out << verified.err;

    // The viewer plays it: the source closes, the recording opens and shows pictures.
    click(static_cast<int>(CommandId::Stop));
    ASSERT_TRUE(wait_status(QStringLiteral("opened..")));
    window_->session().close_source();
    ASSERT_TRUE(wait_status(QStringLiteral("ready..")));
    window_->open_path(QString::fromStdString(dvr));
    ASSERT_EQ(window_->session().state(), PlayerState::Opened);
    play();
    EXPECT_EQ(engine_.engine().zTellScreenNum(), 4);
}

// The end of the data finishes the recording: the buttons go back and the pair is whole.
TEST_F(CaptureTest, EndOfDataFinishesTheRecording) {
    open(make_recording(dir_, "route", 4, 5));
    play();
    click(kRecordButton);
    ASSERT_TRUE(button_shown(kStopRecordButton));
    ASSERT_TRUE(wait_until([&] { return button_shown(kRecordButton); }, 20000)) << joined_log();
    EXPECT_FALSE(button_shown(kStopRecordButton));
    EXPECT_FALSE(window_->session().screen_recording());
    EXPECT_TRUE(in_order(log_lines(), {"open screen capture.", "close screen capture."}))
        << joined_log();
    const std::vector<std::string> files = files_in(capture_dir());
    ASSERT_EQ(files.size(), 2u);
    const auto verified =
        fleet::test::run_process({DVRTOOL_PATH, "verify", capture_dir() + "/" + files[0]});
    EXPECT_EQ(verified.exit_code, 0) << verified.out << verified.err;
}

// The engine cannot create the pair (the folder is a file): a message, and the buttons are
// those of no recording, so the next press may try again.
TEST_F(CaptureTest, RecordingFilesThatCannotBeCreatedResetTheButtons) {
    context_.config.screen_capture_dir = dir_.file("not_a_folder");
    std::ofstream(context_.config.screen_capture_dir) << "x";
    open(make_recording(dir_, "route", 4, 20));
    play();
    click(kRecordButton);
    ASSERT_FALSE(messages_.empty());
    EXPECT_EQ(messages_.back().toStdString(), texts_->text("IDS_STRING363"));
    EXPECT_TRUE(button_shown(kRecordButton));
    EXPECT_FALSE(button_shown(kStopRecordButton));
    EXPECT_FALSE(window_->session().screen_recording());
    EXPECT_TRUE(in_order(log_lines(), {"open screen capture.", "start screen capture fail."}))
        << joined_log();
    // The toolbar shows the record button's artwork again.
    auto* record = window_->findChild<QWidget*>(QString::number(kRecordButton));
    QWidget* toolbar = record->parentWidget();
    const QImage shot = grab_screenshot(*toolbar, QStringLiteral("viewer_record_failed_toolbar"));
    ASSERT_FALSE(shot.isNull());
    EXPECT_GT(fleet_test::colour_count(shot, record->geometry()), 4);
}

}  // namespace
}  // namespace velmora::test
