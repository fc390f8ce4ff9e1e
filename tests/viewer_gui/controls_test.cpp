// The playback controls over the real engine: keys, audio buttons and volume, the progress
// poller, seeking while paused, replay at the end of the data, and the double-screen layout.
#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "qt_test_app.h"
#include "skin/slide_button.h"
#include "skin/theme.h"
#include "ui/car_info_panel.h"
#include "ui/car_list_box.h"
#include "ui/video_view.h"
#include "viewer_fixture.h"

namespace velmora::test {
namespace {

using fleet_test::grab_screenshot;
using fleet_test::process_events_for;
using fleet_test::shows_colour;
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
    bool logged(const std::string& line) const {
        const auto lines = log_lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

// The video area's picture: true when every sampled pixel is black.
bool video_is_black(VideoView& video) {
    const QImage shot = video.grab().toImage();
    for (int y = 0; y < shot.height(); y += 7) {
        for (int x = 0; x < shot.width(); x += 7) {
            if (shot.pixelColor(x, y) != QColor(Qt::black)) return false;
        }
    }
    return !shot.isNull();
}

// Notes the keys a widget is handed, and hands them on.
class KeyRecorder : public QObject {
  public:
    explicit KeyRecorder(QObject* watched) { watched->installEventFilter(this); }
    std::vector<int> keys;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress)
            keys.push_back(static_cast<QKeyEvent*>(event)->key());
        return false;
    }
};

// The keys of the player belong to an open menu: Right and Left open and close its submenu,
// Space reaches the menu, and the paused recording neither steps nor plays.
TEST_F(ControlsTest, KeysGoToAnOpenMenuNotToThePlayer) {
    open_and_play(10);
    click(static_cast<int>(CommandId::Play));
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
    process_events_for(1000);
    click(static_cast<int>(CommandId::Pause));
    ASSERT_TRUE(wait_status(QStringLiteral("paused..")));
    QApplication::setActiveWindow(window_.get());

    QMenu* windows = window_->menu(MenuId::Windows);
    QMenu* layout = window_->menu(MenuId::Layout);
    KeyRecorder keys(windows);
    windows->popup(window_->mapToGlobal(QPoint(60, 20)));
    ASSERT_TRUE(wait_until([&] { return QApplication::activePopupWidget() == windows; }, 2000));
    windows->setActiveAction(layout->menuAction());
    QTest::keyClick(windows, Qt::Key_Right);
    EXPECT_TRUE(wait_until([&] { return QApplication::activePopupWidget() == layout; }, 2000));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Left);
    EXPECT_TRUE(wait_until([&] { return QApplication::activePopupWidget() == windows; }, 2000));
    QTest::keyClick(windows, Qt::Key_Space);
    EXPECT_EQ(keys.keys, (std::vector<int>{Qt::Key_Right, Qt::Key_Space}));
    windows->close();

    process_events_for(500);
    EXPECT_EQ(window_->session().state(), PlayerState::Paused);
    EXPECT_FALSE(logged("step forward ok.")) << joined_log();
    EXPECT_FALSE(logged("step backward ok.")) << joined_log();
    const std::vector<std::string> lines = log_lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "play ok."), 1) << joined_log();
}

TEST_F(ControlsTest, KeysGoToTheVehicleListMenu) {
    open_and_play(5);
    window_->run_command(CommandId::DoubleScreen);
    window_->run_command(CommandId::SingleScreen);  // the panel joins the main window
    CarListBox* list = window_->info_panel()->list();
    auto record = std::make_unique<VehicleRecord>();
    record->name = u"BUS-7";
    record->state = vehicle_state::kOnline;
    list->add(std::move(record));
    QApplication::setActiveWindow(window_.get());
    std::vector<int> reached;
    QTimer::singleShot(0, [&] {
        wait_until([] { return QApplication::activePopupWidget() != nullptr; }, 2000);
        QWidget* menu = QApplication::activePopupWidget();
        if (menu == nullptr) return;
        KeyRecorder keys(menu);
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_Left, Qt::Key_Right}) QTest::keyClick(menu, key);
        reached = keys.keys;
        menu->close();
    });
    const QPoint on_vehicle(20, CarListBox::kItemHeight / 2);
    QContextMenuEvent right_click(QContextMenuEvent::Mouse, on_vehicle,
                                  list->viewport()->mapToGlobal(on_vehicle));
    QApplication::sendEvent(list->viewport(), &right_click);
    EXPECT_EQ(reached, (std::vector<int>{Qt::Key_Space, Qt::Key_Left, Qt::Key_Right}));
    process_events_for(300);
    EXPECT_EQ(window_->session().state(), PlayerState::Opened);  // Space did not play
}

// A clicked button keeps no keyboard focus, so no key (Space among them) can click it later.
TEST_F(ControlsTest, ButtonsNeverTakeTheFocus) {
    start_window();
    QApplication::setActiveWindow(window_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get())) << "no window can hold the focus";
    for (CommandId id : {CommandId::Channels, CommandId::StepForward, CommandId::FindPlayButton}) {
        click(static_cast<int>(id));
        const QWidget* focused = QApplication::focusWidget();
        EXPECT_EQ(qobject_cast<const QAbstractButton*>(focused), nullptr)
            << static_cast<int>(id) << " left the focus on " << focused->objectName().toStdString();
    }
}

TEST_F(ControlsTest, StopAndCloseClearThePicture) {
    open_and_play(10);
    VideoView& video = *window_->video();
    for (CommandId end : {CommandId::Stop, CommandId::CloseSourceButton}) {
        SCOPED_TRACE(static_cast<int>(end));
        click(static_cast<int>(CommandId::Play));
        ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
        const int before = video.frames_presented();
        ASSERT_TRUE(wait_until([&] { return video.frames_presented() > before + 10; }, 10000));
        process_events_for(100);
        EXPECT_FALSE(video_is_black(video));
        click(static_cast<int>(end));
        ASSERT_TRUE(wait_status(end == CommandId::Stop ? QStringLiteral("opened..")
                                                       : QStringLiteral("ready..")));
        process_events_for(300);
        EXPECT_TRUE(video_is_black(video));
        if (end == CommandId::CloseSourceButton) break;
    }
}

TEST_F(ControlsTest, SpaceTogglesAndArrowsStepWhilePaused) {
    open_and_play(10);
    key(Qt::Key_Space);
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
    // A few GOPs in, so a step back has somewhere to go; pictures keep coming meanwhile.
    const int before = window_->video()->frames_presented();
    process_events_for(3000);
    EXPECT_GT(window_->video()->frames_presented(), before + 12);
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
    const QImage shot = grab_screenshot(*map_window, QStringLiteral("viewer_map_window"));
    ASSERT_FALSE(shot.isNull());
    // The panel's accent title bar on the left, the still map page beside it.
    EXPECT_TRUE(shows_colour(shot, theme::kAccent, QRect(0, 0, 170, 20), 0));
    EXPECT_TRUE(
        shows_colour(shot, QColor(0x1c, 0x1f, 0x22), QRect(171, 0, shot.width() - 171, 40), 0));
    window_->run_command(CommandId::SingleScreen);
    EXPECT_FALSE(map_window->isVisible());
    EXPECT_EQ(window_->info_panel()->window(), window_.get());
}

}  // namespace
}  // namespace velmora::test
