// The main window over the real engine: opening, the playback controls, the status texts and
// button states, the operation log, layouts, menus that write the configuration, and the
// language switch. Screenshots land in build/artifacts.
#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <fstream>

#include "model/ini_file.h"
#include "qt_test_app.h"
#include "skin/skin_static.h"
#include "skin/slide_button.h"
#include "skin/theme.h"
#include "ui/car_info_panel.h"
#include "ui/map_view.h"
#include "ui/video_view.h"
#include "viewer_fixture.h"

namespace velmora::test {
namespace {

using fleet_test::colour_count;
using fleet_test::grab_screenshot;
using fleet_test::is_uniform;
using fleet_test::process_events_for;
using fleet_test::region_of;
using fleet_test::shows_colour;
using fleet_test::wait_until;

// The cells of the video area's grid (columns x columns) in a picture of the window.
std::vector<QImage> video_cells(const QImage& shot, const QRect& video, int columns) {
    std::vector<QImage> cells;
    const QSize cell(video.width() / columns, video.height() / columns);
    for (int row = 0; row < columns; ++row) {
        for (int column = 0; column < columns; ++column) {
            const QPoint at = video.topLeft() + QPoint(column * cell.width(), row * cell.height());
            cells.push_back(shot.copy(QRect(at, cell)));
        }
    }
    return cells;
}

// A playing channel shows a picture: many colours, not one.
void expect_pictures(const std::vector<QImage>& cells, size_t count) {
    ASSERT_GE(cells.size(), count);
    for (size_t i = 0; i < count; ++i) {
        EXPECT_GT(colour_count(cells[i]), 32) << "cell " << i;
        for (size_t other = 0; other < i; ++other)
            EXPECT_NE(cells[i], cells[other]) << "cells " << other << " and " << i;
    }
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Runs a command that opens a modal dialog, lets `inspect` look at the dialog, then closes it.
template <typename Inspect>
void with_modal_dialog(MainWindow& window, CommandId command, Inspect inspect) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        fleet_test::wait_until([] { return QApplication::activeModalWidget() != nullptr; }, 5000);
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr) return;
        seen = true;
        process_events_for(150);
        inspect(*dialog);
        dialog->close();
    });
    window.run_command(command);
    EXPECT_TRUE(seen) << "command " << static_cast<int>(command) << " showed no dialog";
}

TEST_F(ViewerTest, IdleWindowIsReadyWithPlayShownAndAudioOn) {
    start_window();
    EXPECT_EQ(status(), QStringLiteral("ready.."));
    EXPECT_EQ(window_->session().state(), PlayerState::Idle);
    EXPECT_TRUE(button_shown(10007));
    EXPECT_FALSE(button_shown(10022));
    EXPECT_TRUE(button_shown(10021));
    EXPECT_FALSE(button_shown(10027));
    EXPECT_EQ(window_->size(), QSize(900, 700));
    EXPECT_TRUE(contains(log_lines(), "application opened, user:"));
    // Nothing open: Space does nothing.
    QApplication::setActiveWindow(window_.get());
    QTest::keyClick(window_.get(), Qt::Key_Space);
    process_events_for(100);
    EXPECT_EQ(window_->session().state(), PlayerState::Idle);
    const QImage shot = grab_screenshot(*window_, QStringLiteral("viewer_idle"));
    ASSERT_FALSE(shot.isNull());
    // The painted caption, the window colour, a black video area with nothing open, the status
    // text and the control bar's artwork.
    EXPECT_TRUE(shows_colour(shot, theme::kCaption, QRect(0, 0, shot.width(), 20), 0));
    EXPECT_TRUE(shows_colour(shot, theme::kWindow, QRect(), 0));
    // Inside the window's 3-pixel frame, which lies over the video area's left edge.
    const QRect video = region_of(*window_->video(), *window_).adjusted(3, 3, -3, -3);
    EXPECT_TRUE(is_uniform(shot, video));
    EXPECT_TRUE(shows_colour(shot, Qt::black, video, 0));
    const auto* status_text = window_->findChild<SkinStatic*>(QStringLiteral("10006"));
    EXPECT_TRUE(shows_colour(shot, theme::kText, region_of(*status_text, *window_), 40));
    for (const char* button : {"10007", "10011", "10015"}) {
        const auto* shown = window_->findChild<QWidget*>(QString::fromLatin1(button));
        EXPECT_GT(colour_count(shot, region_of(*shown, *window_)), 16) << button;
    }
}

TEST_F(ViewerTest, PlaysPausesStepsShuttlesSeeksStopsAndCloses) {
    const Recording rec = make_recording(dir_, "route4", 4, 20);
    start_window();

    // The toolbar's Open File, with the file dialog answered by the test.
    window_->file_dialog = [&] { return QString::fromStdString(rec.dvr); };
    click(10015);
    EXPECT_EQ(status(), QStringLiteral("opened.."));
    EXPECT_EQ(window_->session().state(), PlayerState::Opened);

    click(10007);
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
    EXPECT_EQ(window_->session().state(), PlayerState::Playing);
    EXPECT_TRUE(button_shown(10022));
    EXPECT_FALSE(button_shown(10007));
    ASSERT_TRUE(wait_until([&] { return window_->video()->frames_presented() > 10; }, 10000));
    auto* time_text = window_->findChild<SkinStatic*>(QStringLiteral("10024"));
    auto* plate_text = window_->findChild<SkinStatic*>(QStringLiteral("10023"));
    ASSERT_TRUE(
        wait_until([&] { return time_text->text().startsWith(QStringLiteral("20")); }, 3000));
    EXPECT_EQ(plate_text->text(), QStringLiteral("BUS-0042"));
    process_events_for(300);
    const QImage shot = grab_screenshot(*window_, QStringLiteral("viewer_playing_4ch"));
    ASSERT_FALSE(shot.isNull());
    expect_pictures(video_cells(shot, region_of(*window_->video(), *window_), 2), 4);
    for (const SkinStatic* label : {time_text, plate_text})
        EXPECT_TRUE(shows_colour(shot, theme::kText, region_of(*label, *window_), 40));

    click(10022);
    ASSERT_TRUE(wait_status(QStringLiteral("paused..")));
    EXPECT_EQ(window_->session().state(), PlayerState::Paused);
    EXPECT_TRUE(button_shown(10007));
    click(10009);
    ASSERT_TRUE(wait_until([&] { return contains(log_lines(), "step forward ok."); }, 5000));

    click(10007);
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
    for (const char* factor : {"FF X2", "FF X4", "FF X8"}) {
        click(10011);
        ASSERT_TRUE(wait_status(QString::fromLatin1(factor)))
            << factor << " got " << status().toStdString();
        EXPECT_EQ(window_->session().state(), PlayerState::Shuttle);
        EXPECT_TRUE(button_shown(10007));
    }
    click(10007);
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));

    // Seek with the slider: press, release at 50 (the engine reports the new position).
    auto* progress = window_->findChild<SlideButton*>(QStringLiteral("10005"));
    QTest::mousePress(progress, Qt::LeftButton, {}, QPoint(progress->width() / 2, 3));
    QTest::mouseRelease(progress, Qt::LeftButton, {}, QPoint(progress->width() / 2, 3));
    ASSERT_TRUE(
        wait_until([&] { return progress->position() >= 40 && progress->position() <= 70; }, 4000))
        << progress->position();

    click(10012);
    ASSERT_TRUE(wait_status(QStringLiteral("opened..")));
    EXPECT_EQ(window_->session().state(), PlayerState::Opened);
    EXPECT_EQ(progress->position(), 0);
    EXPECT_TRUE(button_shown(10007));

    click(10018);
    ASSERT_TRUE(wait_status(QStringLiteral("ready..")));
    EXPECT_EQ(window_->session().state(), PlayerState::Idle);

    EXPECT_TRUE(
        in_order(log_lines(),
                 {"application opened, user:", "open local file.", "open completed.", "play ok.",
                  "pause ok.", "step forward ok.", "play ok.", "fast forward ok.",
                  "fast forward ok.", "fast forward ok.", "play ok.", "stop ok.", "close ok."}));
    EXPECT_TRUE(messages_.empty()) << messages_.front().toStdString();
}

TEST_F(ViewerTest, EightChannelsInTheGridAndDoubleClickSelectsAChannel) {
    const Recording rec = make_recording(dir_, "route8", 8, 10);
    start_window();
    window_->open_path(QString::fromStdString(rec.dvr));
    click(10007);
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
    ASSERT_TRUE(wait_until([&] { return window_->video()->frames_presented() > 12; }, 10000));
    process_events_for(300);
    const QImage shot = grab_screenshot(*window_, QStringLiteral("viewer_playing_8ch"));
    ASSERT_FALSE(shot.isNull());
    expect_pictures(video_cells(shot, region_of(*window_->video(), *window_), 3), 8);

    // Lower-left third of the 3x3 grid is channel 7.
    VideoView* video = window_->video();
    QTest::mouseDClick(video, Qt::LeftButton, {},
                       QPoint(video->width() / 6, video->height() * 5 / 6));
    ASSERT_TRUE(wait_until([&] { return engine_.engine().zTellFullScreenIdx() == 7; }, 2000));
    QTest::mouseDClick(video, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_TRUE(wait_until([&] { return engine_.engine().zTellFullScreenIdx() == 0; }, 2000));
}

TEST_F(ViewerTest, OpeningAnotherFileWhilePlayingClosesFirstAndOpensWithoutPlaying) {
    const Recording first = make_recording(dir_, "first", 4, 8);
    const Recording second = make_recording(dir_, "second", 1, 8);
    start_window();
    window_->open_path(QString::fromStdString(first.dvr));
    click(10007);
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
    window_->open_path(QString::fromStdString(second.dvr));
    ASSERT_TRUE(wait_until(
        [&] {
            return window_->session().state() == PlayerState::Opened &&
                   window_->session().pending_action() == PendingAction::None;
        },
        8000));
    EXPECT_EQ(status(), QStringLiteral("opened.."));
    EXPECT_EQ(engine_.engine().zTellScreenNum(), 1);
    EXPECT_TRUE(in_order(
        log_lines(), {"play ok.", "stop ok.", "close ok.", "open local file.", "open completed."}));
}

TEST_F(ViewerTest, ClosingTheWindowWhilePlayingStopsClosesThenCloses) {
    const Recording rec = make_recording(dir_, "route", 4, 8);
    start_window();
    window_->open_path(QString::fromStdString(rec.dvr));
    click(10007);
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
    window_->close();
    EXPECT_TRUE(window_->isVisible());  // it closes only after the engine reports the close
    ASSERT_TRUE(wait_until([&] { return !window_->isVisible(); }, 8000));
    EXPECT_TRUE(in_order(log_lines(), {"stop ok.", "close ok.", "application closed."}));
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ViewerTest, BadFileNamesShowTheirMessages) {
    std::ofstream(dir_.file("mixed.Dvr")) << "x";
    std::ofstream(dir_.file("lonely.dvr")) << "x";
    start_window();
    window_->open_path(QString::fromStdString(dir_.file("noextension")));
    window_->open_path(QString::fromStdString(dir_.file("mixed.Dvr")));
    window_->open_path(QString::fromStdString(dir_.file("lonely.dvr")));
    ASSERT_EQ(messages_.size(), 3u);
    EXPECT_EQ(messages_[0], QStringLiteral("Open file fail, illegal file name!"));
    EXPECT_EQ(messages_[1],
              QStringLiteral("Open file fail, the suffix of the file name must be .dvr or .DVR!"));
    EXPECT_EQ(
        messages_[2],
        QStringLiteral(
            "Open file fail, there must be a .inx file with same name in the same directory!"));
    EXPECT_EQ(window_->session().state(), PlayerState::Idle);
}

TEST_F(ViewerTest, LayoutFollowsTheWindowSizeAndTheSplitterCollapsesThePanel) {
    start_window();
    window_->resize(1200, 900);
    process_events_for(50);
    VideoView* video = window_->video();
    EXPECT_EQ(video->geometry(), QRect(0, 61, 720, 540));
    auto* dashboard = window_->findChild<QWidget*>(QStringLiteral("dashboard"));
    EXPECT_EQ(dashboard->geometry(), QRect(0, 540 + 146, 1200, 900 - 540 - 147));
    // Start: single screen is marked while the panel still sits in the hidden map window.
    EXPECT_TRUE(window_->action(CommandId::SingleScreen)->isChecked());
    window_->run_command(CommandId::SingleScreen);
    EXPECT_NE(window_->info_panel()->window(), window_.get());
    // Double, then single again: the panel joins the main window beside the video.
    window_->run_command(CommandId::DoubleScreen);
    EXPECT_TRUE(window_->action(CommandId::DoubleScreen)->isChecked());
    window_->run_command(CommandId::SingleScreen);
    process_events_for(50);
    EXPECT_EQ(window_->info_panel()->window(), window_.get());
    EXPECT_EQ(window_->info_panel()->geometry(), QRect(720, 61, 170, 540));
    auto* map_caption = window_->findChild<QWidget*>(QStringLiteral("10004"));
    EXPECT_EQ(map_caption->geometry().left(), 890);
    window_->run_command(CommandId::Splitter);
    EXPECT_TRUE(window_->panel_collapsed());
    EXPECT_EQ(map_caption->geometry(), QRect(720, 61, 480, 20));
    auto* browser = window_->findChild<QWidget*>(QStringLiteral("10002"));
    EXPECT_EQ(browser->geometry().left(), 723);
    EXPECT_EQ(browser->geometry().right(), 1199);
    window_->run_command(CommandId::Splitter);
    EXPECT_EQ(window_->info_panel()->geometry(), QRect(720, 61, 170, 540));
    const QImage shot = grab_screenshot(*window_, QStringLiteral("viewer_single_screen_panel"));
    ASSERT_FALSE(shot.isNull());
    // The panel's accent title bar beside the video, the map caption, the dashboard's texts.
    const QRect panel = region_of(*window_->info_panel(), *window_);
    EXPECT_TRUE(shows_colour(shot, theme::kAccent, QRect(panel.topLeft(), QSize(170, 20)), 0));
    EXPECT_TRUE(shows_colour(shot, Qt::white, panel.adjusted(0, 21, 0, 0), 0));
    EXPECT_GT(colour_count(shot, region_of(*dashboard, *window_)), 8);
}

TEST_F(ViewerTest, UnitAndMapMenusWriteTheConfiguration) {
    start_window();
    struct Case {
        CommandId id;
        const char* section;
        const char* key;
        int value;
    };
    const Case cases[] = {
        {CommandId::SpeedMile, "UnitSetting", "DefaultSpeedUnit", 1},
        {CommandId::SpeedKm, "UnitSetting", "DefaultSpeedUnit", 0},
        {CommandId::Fahrenheit, "UnitSetting", "DefaultTemperatureUnit", 1},
        {CommandId::PressurePsi, "UnitSetting", "DefaultPressureUnit", 0},
        {CommandId::YandexMaps, "UnitSetting", "DefaultMapType", 1},
    };
    for (const Case& c : cases) {
        window_->action(c.id)->trigger();
        IniFile ini(kAppConfigPath);
        EXPECT_EQ(ini.get_int(c.section, c.key, -1), c.value) << c.key;
        EXPECT_TRUE(window_->action(c.id)->isChecked()) << static_cast<int>(c.id);
    }
    const AppConfig reread = load_app_config(kAppConfigPath);
    EXPECT_EQ(reread.speed_unit, 0);
    EXPECT_EQ(reread.temperature_unit, 1);
    EXPECT_TRUE(reread.yandex_maps());
    auto* map = window_->findChild<MapView*>(QStringLiteral("10002"));
    EXPECT_TRUE(map->url().path().endsWith(QStringLiteral("/utilities/dep/yandex.html")))
        << map->url().toString().toStdString();
    // Chart ranges are not stored.
    window_->action(CommandId::GRange8)->trigger();
    EXPECT_EQ(window_->g_range(), 8);
    EXPECT_TRUE(window_->action(CommandId::GRange8)->isChecked());
    EXPECT_FALSE(window_->action(CommandId::GRange2)->isChecked());
}

// Each radio group of the menus is one exclusive action group, so its items show radio marks.
TEST_F(ViewerTest, RadioGroupsOfTheMenusAreExclusive) {
    start_window();
    for (const MenuPlan& plan : MainWindow::menu_plan()) {
        if (!plan.radio) continue;
        SCOPED_TRACE(static_cast<int>(plan.id));
        const QList<QAction*> items = window_->menu(plan.id)->actions();
        ASSERT_FALSE(items.isEmpty());
        QActionGroup* group = items.first()->actionGroup();
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(group->exclusionPolicy(), QActionGroup::ExclusionPolicy::Exclusive);
        EXPECT_EQ(group->actions(), items);
    }
    // Choosing one item unmarks the others of its group.
    window_->action(CommandId::GRange6)->trigger();
    for (CommandId id : {CommandId::GRange2, CommandId::GRange4, CommandId::GRange8})
        EXPECT_FALSE(window_->action(id)->isChecked()) << static_cast<int>(id);
    EXPECT_TRUE(window_->action(CommandId::GRange6)->isChecked());
}

TEST_F(ViewerTest, ASpeedUnitOfOneChecksMileAtStart) {
    {
        std::ofstream ini(kAppConfigPath);
        ini << "[UnitSetting]\nDefaultSpeedUnit=1\nDefaultTemperatureUnit=2\n";
    }
    context_.config = load_app_config(kAppConfigPath);
    context_.config.log_dir = dir_.file("log");
    start_window();
    window_->menu(MenuId::Windows)
        ->popup(QPoint(0, 0));  // the check marks are refreshed before showing
    process_events_for(50);
    window_->menu(MenuId::Windows)->hide();
    EXPECT_TRUE(window_->action(CommandId::SpeedMile)->isChecked());
    EXPECT_FALSE(window_->action(CommandId::SpeedKm)->isChecked());
    EXPECT_TRUE(window_->action(CommandId::Celsius)->isChecked());  // 2 is not Fahrenheit
}

TEST_F(ViewerTest, SwitchingLanguageChangesMenusTooltipsAndButtonsAtOnce) {
    {
        std::ofstream lang("config/lang/deutsch.lang");
        lang << "Language=Deutsch\n"
                "ID_MENU_OPENFILE=Datei \xc3\xb6"
                "ffnen\n"
                "ID_MENU_FILE=Datei\n"
                "IDS_STRING219=abspielen\n"
                "IDC_BTN_OK=Gut\n"
                "IDS_STRING464=G-SENSOR-ALARM\n";
    }
    start_window();
    with_modal_dialog(*window_, CommandId::OtherSettings, [](QWidget& dialog) {
        const QImage shot = grab_screenshot(dialog, QStringLiteral("viewer_settings_dialog"));
        ASSERT_FALSE(shot.isNull());
        EXPECT_TRUE(shows_colour(shot, theme::kCaption, QRect(0, 0, shot.width(), 20), 0));
        for (const QLineEdit* edit : dialog.findChildren<QLineEdit*>())
            EXPECT_GT(colour_count(shot, region_of(*edit, dialog)), 8)
                << edit->text().toStdString();
        auto* combo = dialog.findChild<QComboBox*>();
        ASSERT_NE(combo, nullptr);
        const int index = combo->findText(QStringLiteral("Deutsch"));
        ASSERT_GE(index, 0);
        combo->setCurrentIndex(index);
        auto* ok = dialog.findChild<QAbstractButton*>(QStringLiteral("19014"));
        ASSERT_NE(ok, nullptr);
        ok->click();
    });
    EXPECT_EQ(window_->action(CommandId::OpenFile)->text(), QString::fromUtf8("Datei \xc3\xb6"
                                                                              "ffnen"));
    EXPECT_EQ(window_->findChild<QAbstractButton*>(QStringLiteral("10007"))->toolTip(),
              QStringLiteral("abspielen"));
    EXPECT_EQ(window_->findChild<QAbstractButton*>(QStringLiteral("10015"))->toolTip(),
              QString::fromUtf8("Datei \xc3\xb6"
                                "ffnen"));
    auto* file_title = window_->findChild<QWidget*>(QStringLiteral("10029"));
    EXPECT_EQ(static_cast<SkinMenuText*>(file_title)->text(), QStringLiteral("Datei"));
    EXPECT_EQ(window_->event_type_names()[13], "G-SENSOR-ALARM");
    // A key the file lacks keeps its English text.
    EXPECT_EQ(window_->action(CommandId::SearchHdd)->text(), QStringLiteral("Search HDD"));
    EXPECT_EQ(load_app_config(kAppConfigPath).lang_file, "deutsch.lang");
}

TEST_F(ViewerTest, AboutBoxAndLogManagerLookFinished) {
    start_window();
    with_modal_dialog(*window_, CommandId::About, [](QWidget& dialog) {
        const QString text = dialog.findChild<QLabel*>(QStringLiteral("28000"))->text();
        EXPECT_TRUE(text.contains(QStringLiteral("libkivra.so version"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("libombrel.so version")));
        const QImage shot = grab_screenshot(dialog, QStringLiteral("viewer_about_box"));
        ASSERT_FALSE(shot.isNull());
        const QWidget* label = dialog.findChild<QLabel*>(QStringLiteral("28000"));
        EXPECT_TRUE(shows_colour(shot, theme::kText, region_of(*label, dialog), 40));
        EXPECT_GT(colour_count(shot, region_of(*label, dialog)), 8);
    });
    with_modal_dialog(*window_, CommandId::OperationLog, [](QWidget& dialog) {
        const QList<QListWidget*> lists = dialog.findChildren<QListWidget*>();
        ASSERT_FALSE(lists.empty());
        const QImage shot = grab_screenshot(dialog, QStringLiteral("viewer_log_manager"));
        ASSERT_FALSE(shot.isNull());
        // Today's log is listed and shown: both lists hold text.
        for (const QListWidget* list : lists) {
            EXPECT_GT(list->count(), 0);
            EXPECT_GT(colour_count(shot, region_of(*list, dialog)), 8);
        }
    });
}

}  // namespace
}  // namespace velmora::test
