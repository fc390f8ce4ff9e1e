// Recorder disks and cards over the real engine: a search limited to the devices the test names
// (KIVRA_SCAN_DEVICES, read by the engine when a search starts), an image chosen from the File
// menu, and a search finding a real loop device.
#include <QAction>
#include <QMenu>
#include <fstream>

#include "common/block_devices.h"
#include "loop_device.h"
#include "qt_test_app.h"
#include "scoped_env.h"
#include "skin/slide_button.h"
#include "ui/video_view.h"
#include "viewer_fixture.h"

namespace velmora::test {
namespace {

using fleet::test::LoopDevice;
using fleet::test::ScopedEnv;
using fleet_test::process_events_for;
using fleet_test::wait_until;

constexpr const char* kScanDevices = fleet::kScanDevicesVariable;
constexpr int kOpenTimeoutMs = 20000;

// What differs between a recorder's hard disk and its SD card, on the screen and in the log.
struct DiskKind {
    const char* dvrsim_command;
    int search_button;
    CommandId open_image;
    const char* menu_text;
    const char* searching_log;
    const char* image_log;
    const char* opened_log;
};

const DiskKind kHardDisk{"disk",
                         static_cast<int>(CommandId::SearchHddButton),
                         CommandId::OpenDiskImage,
                         "Open disk image...",
                         "searching local hdd.",
                         "open hdd image.",
                         "open hdd completed."};
const DiskKind kCard{"card",
                     static_cast<int>(CommandId::SearchSdButton),
                     CommandId::OpenCardImage,
                     "Open card image...",
                     "searching local sd.",
                     "open sd image.",
                     "open sd completed."};

void PrintTo(const DiskKind& kind, std::ostream* out) {
    *out << kind.dvrsim_command;
}

class DiskSourceTest : public ViewerTest {
  protected:
    // A recorder image of 20 seconds from dvrsim; empty (after a failure) when none was made.
    std::string make_image(const DiskKind& kind) {
        const std::string image = dir_.file(std::string(kind.dvrsim_command) + ".img");
        const auto result = fleet::test::run_process(
            {DVRSIM_PATH, kind.dvrsim_command, "--out", image, "--seconds", "20"});
        if (result.exit_code != 0) {
            ADD_FAILURE() << "dvrsim " << kind.dvrsim_command << " failed: " << result.err;
            return {};
        }
        return image;
    }

    SlideButton* progress() { return window_->findChild<SlideButton*>(QStringLiteral("10005")); }

    // Plays the opened source until the progress poller has moved the slider.
    void play_until_progress_moves() {
        click(static_cast<int>(CommandId::Play));
        ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
        EXPECT_TRUE(wait_until([&] { return progress()->position() > 0; }, 10000))
            << progress()->position() << joined_log();
    }

    // Close/Stop Search from the toolbar, and the engine has nothing open afterwards.
    void close_to_idle() {
        click(static_cast<int>(CommandId::CloseSourceButton));
        ASSERT_TRUE(wait_status(QStringLiteral("ready..")));
        EXPECT_EQ(window_->session().state(), PlayerState::Idle);
        EXPECT_EQ(engine_.engine().zTellOpenedType(), KIVRA_SOURCE_NONE);
    }
};

// The engine scans nothing but an empty file, which is no recorder's disk: the search goes on
// (play waits) until Close ends it.
TEST_F(DiskSourceTest, SearchOverAnEmptyFileRunsUntilClosed) {
    const std::string empty = dir_.file("empty.img");
    std::ofstream(empty).close();
    ScopedEnv scan(kScanDevices, empty);
    start_window();

    click(kHardDisk.search_button);
    EXPECT_EQ(status(), QStringLiteral("opening hdd.."));
    EXPECT_EQ(window_->session().state(), PlayerState::Opened);
    EXPECT_EQ(engine_.engine().zTellOpenedType(), KIVRA_SOURCE_DISK);
    process_events_for(1000);  // several scans
    click(static_cast<int>(CommandId::Play));
    process_events_for(200);
    EXPECT_EQ(status(), QStringLiteral("opening hdd.."));
    EXPECT_EQ(window_->session().state(), PlayerState::Opened);

    close_to_idle();
    EXPECT_TRUE(in_order(log_lines(), {"searching local hdd.", "close ok."})) << joined_log();
}

class DiskKindTest : public DiskSourceTest, public ::testing::WithParamInterface<DiskKind> {};

TEST_P(DiskKindTest, SearchFindsTheNamedImagePlaysAndCloses) {
    const DiskKind& kind = GetParam();
    const std::string image = make_image(kind);
    ASSERT_FALSE(image.empty());
    ScopedEnv scan(kScanDevices, image);
    start_window();

    click(kind.search_button);
    ASSERT_TRUE(wait_status(QStringLiteral("opened.."), kOpenTimeoutMs));
    EXPECT_TRUE(in_order(log_lines(), {kind.searching_log, kind.opened_log})) << joined_log();
    play_until_progress_moves();
    close_to_idle();
    EXPECT_TRUE(messages_.empty()) << messages_.front().toStdString();
}

// The File menu's image entry opens the chosen file directly; no search, no device list.
TEST_P(DiskKindTest, FileMenuOpensTheChosenImagePlaysAndCloses) {
    const DiskKind& kind = GetParam();
    const std::string image = make_image(kind);
    ASSERT_FALSE(image.empty());
    ScopedEnv scan(kScanDevices, "");  // a search would find nothing
    start_window();
    std::vector<QString> titles;
    window_->image_dialog = [&](const QString& title) {
        titles.push_back(title);
        return QString::fromStdString(image);
    };

    QAction* item = window_->action(kind.open_image);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), QString::fromUtf8(kind.menu_text));
    EXPECT_TRUE(window_->menu(MenuId::File)->actions().contains(item));
    item->trigger();
    EXPECT_EQ(titles, std::vector<QString>{QString::fromUtf8(kind.menu_text)});
    ASSERT_TRUE(wait_status(QStringLiteral("opened.."), kOpenTimeoutMs));
    EXPECT_TRUE(in_order(log_lines(), {kind.image_log, kind.opened_log})) << joined_log();
    play_until_progress_moves();
    close_to_idle();
    EXPECT_TRUE(messages_.empty()) << messages_.front().toStdString();
}

// The image attached to a real loop device, found by a search as the recorder's disk or card
// would be.
TEST_P(DiskKindTest, SearchFindsItOnALoopDevice) {
    const DiskKind& kind = GetParam();
    const std::string image = make_image(kind);
    ASSERT_FALSE(image.empty());
    LoopDevice loop;
    if (!loop.attach(image)) GTEST_SKIP() << "no loop device: " << loop.failure();
    ScopedEnv scan(kScanDevices, loop.path());
    start_window();

    click(kind.search_button);
    ASSERT_TRUE(wait_status(QStringLiteral("opened.."), kOpenTimeoutMs));
    EXPECT_TRUE(in_order(log_lines(), {kind.searching_log, kind.opened_log})) << joined_log();
    play_until_progress_moves();
    // The recorder's pictures are on screen: the test scene has many colours, the idle video
    // area one.
    const QImage shot = fleet_test::grab_screenshot(
        *window_, QStringLiteral("viewer_%1_on_loop_device").arg(kind.dvrsim_command));
    ASSERT_FALSE(shot.isNull());
    const QRect video = fleet_test::region_of(*window_->video(), *window_);
    EXPECT_GT(fleet_test::colour_count(shot, video), 16) << "no picture in the video area";
    close_to_idle();
}

INSTANTIATE_TEST_SUITE_P(Kinds, DiskKindTest, ::testing::Values(kHardDisk, kCard),
                         [](const ::testing::TestParamInfo<DiskKind>& row) {
                             return std::string(row.param.dvrsim_command) == "disk" ? "Disk"
                                                                                    : "Card";
                         });

TEST_F(DiskSourceTest, FileMenuImageCancelledOpensNothing) {
    start_window();
    window_->image_dialog = [](const QString&) { return QString(); };
    window_->action(CommandId::OpenDiskImage)->trigger();
    process_events_for(200);
    EXPECT_EQ(window_->session().state(), PlayerState::Idle);
    EXPECT_EQ(engine_.engine().zTellOpenedType(), KIVRA_SOURCE_NONE);
}

}  // namespace
}  // namespace velmora::test
