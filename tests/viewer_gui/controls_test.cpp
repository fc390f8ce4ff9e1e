// The playback controls over the real engine: keys, audio buttons and volume, the progress
// poller, seeking while paused, replay at the end of the data, and the double-screen layout.
#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <algorithm>

#include "model/raw_disk_access.h"
#include "qt_test_app.h"
#include "skin/slide_button.h"
#include "ui/car_info_panel.h"
#include "viewer_fixture.h"

namespace velmora::test {
namespace {

using fleet_test::process_events_for;
using fleet_test::save_screenshot;
using fleet_test::wait_until;

class ControlsTest : public ViewerTest {
  protected:
    void open_and_play(int seconds) {
        const Recording rec = make_recording(dir_, "route", 4, seconds);
        start_window();
        window_->open_path(QString::fromStdString(rec.dvr));
        ASSERT_EQ(window_->session().state(), PlayerState::Opened);
    }
    void key(Qt::Key k) {
        QApplication::setActiveWindow(window_.get());
        QTest::keyClick(window_.get(), k);
    }
    SlideButton* progress() { return window_->findChild<SlideButton*>(QStringLiteral("10005")); }
};

TEST_F(ControlsTest, SpaceTogglesAndArrowsStepWhilePaused) {
    open_and_play(10);
    key(Qt::Key_Space);
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
    // A few GOPs in, so a step back has somewhere to go.
    process_events_for(3000);
    key(Qt::Key_Space);
    ASSERT_TRUE(wait_status(QStringLiteral("paused..")));
    // One command at a time: the engine's mailbox keeps only the latest.
    key(Qt::Key_Right);
    ASSERT_TRUE(wait_until(
        [&] {
            return in_order(log_lines(), {"pause ok.", "step forward ok."});
        },
        5000))
        << joined_log();
    process_events_for(300);  // the engine refuses a step back before the step is on screen
    key(Qt::Key_Left);
    ASSERT_TRUE(wait_until(
        [&] {
            return in_order(log_lines(), {"pause ok.", "step forward ok.", "step backward ok."});
        },
        5000))
        << joined_log();
    EXPECT_EQ(window_->session().state(), PlayerState::Paused);
}

TEST_F(ControlsTest, AudioButtonsAndVolumeReachTheEngine) {
    open_and_play(10);
    click(10021);
    EXPECT_TRUE(button_shown(10027));
    EXPECT_FALSE(button_shown(10021));
    click(10027);
    EXPECT_TRUE(button_shown(10021));
    EXPECT_TRUE(in_order(log_lines(), {"close audio", "open audio"}));

    auto* volume = window_->findChild<SliderBase*>(QStringLiteral("10025"));
    ASSERT_NE(volume, nullptr);
    QTest::mousePress(volume, Qt::LeftButton, {}, QPoint(volume->width() - 1, 2));
    QTest::mouseRelease(volume, Qt::LeftButton, {}, QPoint(volume->width() - 1, 2));
    int32_t level = -1;
    ASSERT_TRUE(
        wait_until([&] { return engine_.engine().zTellVoiceVolume(&level) && level >= 95; }, 2000))
        << level << joined_log();
}

TEST_F(ControlsTest, TheProgressSliderFollowsPlayAndASeekWhilePausedPlaysThenJumps) {
    open_and_play(30);
    click(10007);
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
    // The poller moves the slider once a second.
    ASSERT_TRUE(wait_until([&] { return progress()->position() >= 3; }, 6000))
        << progress()->position();
    click(10022);
    ASSERT_TRUE(wait_status(QStringLiteral("paused..")));
    const int x = progress()->width() * 4 / 5;
    QTest::mousePress(progress(), Qt::LeftButton, {}, QPoint(x, 3));
    QTest::mouseRelease(progress(), Qt::LeftButton, {}, QPoint(x, 3));
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
    ASSERT_TRUE(wait_until([&] { return progress()->position() >= 70; }, 5000))
        << progress()->position();
    EXPECT_FALSE(window_->session().pending_seek().has_value());
}

TEST_F(ControlsTest, EndOfDataStopsAndPlaysAgainFromTheStart) {
    open_and_play(3);
    click(10007);
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
    ASSERT_TRUE(wait_until(
        [&] {
            return in_order(log_lines(), {"play ok.", "stop ok.", "play ok."});
        },
        12000));
    EXPECT_TRUE(wait_status(QStringLiteral("playing..")));
    EXPECT_EQ(window_->session().state(), PlayerState::Playing);
}

TEST_F(ControlsTest, DoubleScreenMovesThePanelIntoTheMapWindow) {
    start_window();
    window_->run_command(CommandId::DoubleScreen);
    process_events_for(100);
    QWidget* map_window = window_->info_panel()->window();
    ASSERT_NE(map_window, window_.get());
    EXPECT_TRUE(map_window->isVisible());
    EXPECT_EQ(window_->info_panel()->geometry().width(), 170);
    EXPECT_FALSE(save_screenshot(*map_window, QStringLiteral("viewer_map_window")).isEmpty());
    window_->run_command(CommandId::SingleScreen);
    EXPECT_FALSE(map_window->isVisible());
    EXPECT_EQ(window_->info_panel()->window(), window_.get());
}

}  // namespace
}  // namespace velmora::test

namespace velmora::test {
namespace {

// The engine cannot find a recorder's disk yet: a search that may start waits until it is
// closed; without read access to block devices the permission message comes instead.
TEST_F(ViewerTest, SearchHddStartsOrAsksForPermissionAndCloseEndsIt) {
    start_window();
    click(10016);
    if (can_read_raw_block_devices()) {
        EXPECT_EQ(status(), QStringLiteral("opening hdd.."));
        EXPECT_EQ(window_->session().state(), PlayerState::Opened);
        click(10007);  // play waits while a search runs
        process_events_for(200);
        EXPECT_EQ(window_->session().state(), PlayerState::Opened);
        click(10018);
        ASSERT_TRUE(wait_status(QStringLiteral("ready..")));
        EXPECT_TRUE(in_order(log_lines(), {"searching local hdd.", "close ok."}));
    } else {
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_EQ(messages_[0], QStringLiteral("Please run as administrator!"));
        EXPECT_EQ(window_->session().state(), PlayerState::Idle);
    }
}

}  // namespace
}  // namespace velmora::test
