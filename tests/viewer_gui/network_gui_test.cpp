// The main window over the real engine against a recorder on the network: a `dvrsim serve`
// process serving a four-channel recording on the recorder's port, reached through a recorder
// added by hand in the vehicle list. Realtime play through the parameter dialog shows the
// recorder's channels, and a refused start or a cut link is reported once; the recorded-data
// dialog lists the pair's index, downloads a span that holds exactly the pair's GOPs, and the
// download then plays. Each test runs in its own network namespace, so the fixed port is free.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <array>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>

#include "qt_test_app.h"
#include "running_process.h"
#include "skin/skin_static.h"
#include "ui/add_recorder_dialog.h"
#include "ui/car_info_panel.h"
#include "ui/realtime_params_dialog.h"
#include "ui/recorded_data_dialog.h"
#include "ui/video_view.h"
#include "viewer_fixture.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using fleet::test::run_process;
using fleet::test::RunningProcess;
using fleet_test::process_events_for;
using fleet_test::region_of;
using fleet_test::wait_until;
using nlohmann::json;

constexpr const char* kRecorderName = "Depot 3";

// The channel colours of dvrsim's flat test pictures, channel 1 first.
constexpr std::array<QRgb, 4> kChannelColours = {qRgb(70, 110, 165), qRgb(60, 140, 95),
                                                 qRgb(185, 95, 65), qRgb(125, 80, 145)};

// Acts once on the first widget `find` returns, from whichever event loop runs at that moment
// (a menu's, a modal dialog's or the test's own), so a blocking exec() can be answered.
class WhenShown {
  public:
    WhenShown(std::function<QWidget*()> find, std::function<void(QWidget&)> act)
        : find_(std::move(find)), act_(std::move(act)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* shown = find_();
            if (shown == nullptr || !shown->isVisible()) return;
            timer_.stop();
            acted_ = true;
            act_(*shown);
        });
        timer_.start(20);
    }
    bool acted() const { return acted_; }

  private:
    std::function<QWidget*()> find_;
    std::function<void(QWidget&)> act_;
    QTimer timer_;
    bool acted_ = false;
};

QWidget* open_menu() {
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

template <typename Dialog>
QWidget* modal_dialog() {
    return qobject_cast<Dialog*>(QApplication::activeModalWidget());
}

// Chooses the menu's entry of that text as the mouse would.
void choose_entry(QWidget& shown, const QString& text) {
    auto& menu = static_cast<QMenu&>(shown);
    for (QAction* action : menu.actions()) {
        if (action->text() != text) continue;
        ASSERT_TRUE(action->isEnabled()) << text.toStdString();
        QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(action).center());
        return;
    }
    menu.close();
    FAIL() << "no menu entry " << text.toStdString();
}

void click_button(QAbstractButton* button) {
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isVisible() && button->isEnabled()) << button->text().toStdString();
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

bool near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// Of a grid of points over the cell, the share near each channel's colour.
std::array<double, 4> channel_shares(const QImage& shot, const QRect& cell) {
    std::array<int, 4> near_count{};
    int samples = 0;
    for (int y = cell.top() + cell.height() / 10; y < cell.bottom(); y += cell.height() / 10) {
        for (int x = cell.left() + cell.width() / 20; x < cell.right(); x += cell.width() / 20) {
            ++samples;
            const QRgb seen = shot.pixel(x, y);
            for (size_t ch = 0; ch < kChannelColours.size(); ++ch)
                near_count[ch] += near(seen, kChannelColours[ch], 20) ? 1 : 0;
        }
    }
    std::array<double, 4> shares{};
    for (size_t ch = 0; ch < shares.size(); ++ch)
        shares[ch] = static_cast<double>(near_count[ch]) / samples;
    return shares;
}

// The video area's 2 x 2 grid shows channel N in cell N: mostly that channel's background,
// nothing of the others', and more than one colour (its caption and clock).
void expect_four_channels(const QImage& shot, const QRect& video) {
    const QSize cell(video.width() / 2, video.height() / 2);
    for (int ch = 0; ch < 4; ++ch) {
        SCOPED_TRACE("CH " + std::to_string(ch + 1));
        const QRect area(video.topLeft() + QPoint(ch % 2 * cell.width(), ch / 2 * cell.height()),
                         cell);
        EXPECT_GT(fleet_test::colour_count(shot, area), 8);
        const std::array<double, 4> shares = channel_shares(shot, area);
        for (int other = 0; other < 4; ++other) {
            if (other == ch)
                EXPECT_GT(shares[other], 0.4) << "own colour";
            else
                EXPECT_LT(shares[other], 0.02) << "colour of CH " << other + 1;
        }
    }
}

json parsed_json(const std::vector<std::string>& argv) {
    const auto run = run_process(argv);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    return run.exit_code == 0 ? json::parse(run.out) : json();
}

std::vector<json> json_lines(const std::vector<std::string>& argv) {
    const auto run = run_process(argv);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    std::vector<json> lines;
    for (const std::string& line : fleet::test::split_lines(run.out))
        lines.push_back(json::parse(line));
    return lines;
}

std::string bytes_at(const std::string& file, int64_t offset, int64_t length) {
    return fleet::test::read_file(file).substr(static_cast<size_t>(offset),
                                               static_cast<size_t>(length));
}

class NetworkGuiTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        context_.config.download_dir = dir_.file("downloads");
        base_ = dir_.file("served");
        // Four channels, four pictures a second, a time unit every other second, events between.
        const auto made = run_process(
            {DVRSIM_PATH,        "record",  "--out",         base_, "--channels", "4",
             "--stream-version", "3",       "--seconds",     "16",  "--fps",      "4",
             "--unit-every",     "2",       "--event-every", "5",   "--start",    "1773475200",
             "--vehicle-id",     "BUS-0042"});
        ASSERT_EQ(made.exit_code, 0) << made.err;
        start_window();
    }

    // `dvrsim serve --pair` of the recording on the recorder's port, with `args` added.
    void serve(const std::vector<std::string>& args = {}) {
        std::vector<std::string> argv{DVRSIM_PATH, "serve", "--pair", base_};
        argv.insert(argv.end(), args.begin(), args.end());
        recorder_ = std::make_unique<RunningProcess>(argv);
        ASSERT_EQ(recorder_->wait_for_line("serving on "), "serving on 2200") << recorder_->err();
    }

    CarListBox& list() { return *window_->info_panel()->list(); }

    // The messages shown so far, one a line.
    std::string shown_messages() const {
        std::string all;
        for (const QString& message : messages_) all += message.toStdString() + "\n";
        return all;
    }

    // Right-clicks the vehicle list at `at` and chooses the menu's entry `entry`; `then`, when
    // given, answers the modal dialog the choice opens.
    void choose_in_list_menu(QPoint at, const QString& entry, WhenShown* then = nullptr) {
        WhenShown menu(open_menu, [&](QWidget& shown) { choose_entry(shown, entry); });
        QContextMenuEvent right_click(QContextMenuEvent::Mouse, at,
                                      list().viewport()->mapToGlobal(at));
        QApplication::sendEvent(list().viewport(), &right_click);
        EXPECT_TRUE(menu.acted()) << "no menu for " << entry.toStdString();
        if (then != nullptr) {
            EXPECT_TRUE(then->acted()) << "no dialog after " << entry.toStdString();
        }
    }

    // "Add recorder..." from the empty list's menu, the dialog filled in as an operator does.
    void add_recorder_by_hand() {
        ASSERT_EQ(list().count(), 0);
        WhenShown dialog(modal_dialog<AddRecorderDialog>, [](QWidget& shown) {
            auto& add = static_cast<AddRecorderDialog&>(shown);
            QTest::keyClicks(add.address_edit(), QStringLiteral("127.0.0.1"));
            add.port_edit()->clear();
            QTest::keyClicks(add.port_edit(), QStringLiteral("2200"));
            QTest::keyClicks(add.name_edit(), QString::fromUtf8(kRecorderName));
            add.channels_list()->setCurrentText(QStringLiteral("4"));
            click_button(add.ok_button());
        });
        choose_in_list_menu(QPoint(20, 20), QStringLiteral("Add recorder..."), &dialog);
        ASSERT_EQ(list().count(), 1);
        EXPECT_EQ(list().record_at(0)->name, u"Depot 3");
        EXPECT_EQ(list().record_at(0)->state, vehicle_state::kOnline);
        EXPECT_EQ(shown_messages(), "");
    }

    QPoint first_vehicle() const { return QPoint(20, CarListBox::kItemHeight / 2); }

    // Waits for the video area to show frames the engine presented after this call.
    bool pictures_arrive(int count) {
        const int before = window_->video()->frames_presented();
        return wait_until([&] { return window_->video()->frames_presented() >= before + count; },
                          30000);
    }

    QImage video_shot(const QString& name) {
        process_events_for(300);
        return fleet_test::grab_screenshot(*window_, name);
    }
    QRect video_area() { return region_of(*window_->video(), *window_).adjusted(3, 3, -3, -3); }

    std::string base_;
    std::unique_ptr<RunningProcess> recorder_;
};

TEST_F(NetworkGuiTest, ARecorderAddedByHandPlaysLiveInItsFourCells) {
    serve();
    add_recorder_by_hand();
    WhenShown params(modal_dialog<RealtimeParamsDialog>, [](QWidget& shown) {
        auto& dialog = static_cast<RealtimeParamsDialog&>(shown);
        for (int ch = 0; ch < 4; ++ch) dialog.channel_box(ch)->setChecked(true);
        click_button(dialog.ok_button());
    });
    choose_in_list_menu(first_vehicle(), QStringLiteral("Net Realtime Play"), &params);
    ASSERT_TRUE(pictures_arrive(4 * 8))
        << "log:" << joined_log() << "\nrecorder: " << recorder_->err();
    EXPECT_EQ(list().record_at(0)->state, vehicle_state::kConnected);
    EXPECT_EQ(window_->session().state(), PlayerState::Playing);

    const QImage shot = video_shot(QStringLiteral("viewer_network_live_4ch"));
    ASSERT_FALSE(shot.isNull());
    expect_four_channels(shot, video_area());

    click(static_cast<int>(CommandId::CloseSourceButton));
    ASSERT_TRUE(wait_status(QStringLiteral("ready..")));
    EXPECT_TRUE(
        wait_until([&] { return list().record_at(0)->state == vehicle_state::kOnline; }, 5000));
    EXPECT_EQ(shown_messages(), "");
}

void double_click_row(QTreeWidget& rows, int row) {
    QTreeWidgetItem* item = rows.topLevelItem(row);
    ASSERT_NE(item, nullptr) << row;
    rows.scrollToItem(item);
    // The view takes a double-click only on the item its first press went to.
    const QPoint at = rows.visualItemRect(item).center();
    QTest::mouseClick(rows.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(rows.viewport(), Qt::LeftButton, {}, at);
}

// The recorder's rows are the pair's time index, as dvrtool lists it from the .inx.
void expect_rows_of_the_index(QTreeWidget& rows, const json& units) {
    ASSERT_EQ(rows.topLevelItemCount(), static_cast<int>(units.size()));
    for (int i = 0; i < rows.topLevelItemCount(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        const json& unit = units[static_cast<size_t>(i)];
        const QDateTime time = QDateTime::fromSecsSinceEpoch(unit["time"].get<int64_t>(), Qt::UTC);
        EXPECT_EQ(rows.topLevelItem(i)->text(0),
                  time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        EXPECT_EQ(rows.topLevelItem(i)->text(1).toULongLong(nullptr, 16),
                  unit["offset"].get<uint64_t>());
    }
}

// The download holds exactly the pair's GOPs from the start row's GOP up to, not including, the
// end row's, byte for byte, and verifies.
void expect_download_of_span(const std::string& base, const DownloadPaths& download,
                             const json& from, const json& to) {
    const auto verified =
        run_process({DVRTOOL_PATH, "verify", download.dvr, "--index", download.inx});
    EXPECT_EQ(verified.exit_code, 0) << verified.out << verified.err;
    std::vector<json> expected;
    for (const json& gop : json_lines({DVRTOOL_PATH, "gops", base + ".dvr", "--json"})) {
        const int64_t offset = gop["offset"];
        if (offset >= from["offset"].get<int64_t>() && offset < to["offset"].get<int64_t>())
            expected.push_back(gop);
    }
    const std::vector<json> got = json_lines({DVRTOOL_PATH, "gops", download.dvr, "--json"});
    ASSERT_EQ(got.size(), expected.size());
    ASSERT_GE(got.size(), 4u);
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE("GOP " + std::to_string(i));
        EXPECT_EQ(got[i]["time"], expected[i]["time"]);
        EXPECT_EQ(bytes_at(download.dvr, got[i]["offset"], got[i]["stored"]),
                  bytes_at(base + ".dvr", expected[i]["offset"], expected[i]["stored"]));
    }
}

struct LiveEnd {
    const char* name;
    std::vector<std::string> serve;
    const char* message;
    bool pictures_first;  // the recorder sends live picture before the end
};

void PrintTo(const LiveEnd& end, std::ostream* os) {
    *os << end.name;
}

class LiveEnds : public NetworkGuiTest, public testing::WithParamInterface<LiveEnd> {};

// A recorder that refuses the live start (busy or denied) or cuts the link is reported once with
// its own message, and no picture comes after it. A cut link is closed and the vehicle is no
// longer marked connected; a refused start leaves the source open, as the play that follows the
// open a second later finds it.
TEST_P(LiveEnds, AreShownOnceAndNoPictureFollows) {
    const LiveEnd& end = GetParam();
    serve(end.serve);
    add_recorder_by_hand();
    WhenShown params(modal_dialog<RealtimeParamsDialog>, [](QWidget& shown) {
        click_button(static_cast<RealtimeParamsDialog&>(shown).ok_button());
    });
    choose_in_list_menu(first_vehicle(), QStringLiteral("Net Realtime Play"), &params);
    ASSERT_TRUE(wait_until([&] { return !messages_.empty(); }, 30000)) << joined_log();
    EXPECT_EQ(window_->video()->frames_presented() > 0, end.pictures_first);
    if (end.pictures_first) {
        // Pictures already queued may still be shown until the close.
        EXPECT_TRUE(
            wait_until([&] { return window_->session().state() == PlayerState::Idle; }, 10000));
        EXPECT_EQ(list().record_at(0)->state, vehicle_state::kOnline);
    }
    const int frames = window_->video()->frames_presented();
    // Long enough for the delayed play and a second report, were there one.
    process_events_for(2500);
    EXPECT_EQ(shown_messages(), std::string(end.message) + "\n") << joined_log();
    EXPECT_EQ(window_->video()->frames_presented(), frames);
}

INSTANTIATE_TEST_SUITE_P(
    Recorder, LiveEnds,
    testing::Values(
        LiveEnd{"busy", {"--refuse", "busy"}, "data request fail, play later!", false},
        LiveEnd{"denied", {"--refuse", "denied"}, "data request is refused, play later!", false},
        LiveEnd{"cut", {"--cut-after", "12"}, "Link break...", true}),
    [](const testing::TestParamInfo<LiveEnd>& c) { return c.param.name; });

struct Served {
    const char* name;
    std::vector<std::string> serve;
};

void PrintTo(const Served& served, std::ostream* os) {
    *os << served.name;
}

class RecordedData : public NetworkGuiTest, public testing::WithParamInterface<Served> {};

// The rows come in ring order also where the recorder's unit numbers wrap (0xFFFFF, then 1).
TEST_P(RecordedData, ListsTheIndexDownloadsASpanAndPlaysTheDownload) {
    serve(GetParam().serve);
    add_recorder_by_hand();
    choose_in_list_menu(first_vehicle(), QStringLiteral("Net Recorded Play"));
    RecordedDataDialog* dialog = window_->recorded_dialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_EQ(list().record_at(0)->state, vehicle_state::kConnected);

    // The whole index has come once Download is offered.
    ASSERT_TRUE(wait_until([&] { return dialog->download_button()->isEnabled(); }, 30000))
        << "log:" << joined_log() << "\nrecorder: " << recorder_->err();
    const json units = parsed_json({DVRTOOL_PATH, "index", base_ + ".inx", "--json"})["units"];
    ASSERT_GE(units.size(), 7u);
    expect_rows_of_the_index(*dialog->rows(), units);
    const QImage listed =
        fleet_test::grab_screenshot(*dialog, QStringLiteral("viewer_network_rows"));
    EXPECT_GT(fleet_test::colour_count(listed), 8);

    // Rows 2 to 6 chosen by double-clicks, downloaded with progress.
    double_click_row(*dialog->rows(), 1);
    double_click_row(*dialog->rows(), 5);
    EXPECT_EQ(dialog->start_time()->text(), dialog->rows()->topLevelItem(1)->text(0));
    EXPECT_EQ(dialog->end_time()->text(), dialog->rows()->topLevelItem(5)->text(0));
    int most_progress = 0;
    QObject::connect(dialog->progress(), &QProgressBar::valueChanged, dialog,
                     [&](int value) { most_progress = std::max(most_progress, value); });
    click_button(dialog->download_button());
    const DownloadPaths download = dialog->download_in_progress();
    ASSERT_FALSE(download.dvr.empty()) << shown_messages();
    EXPECT_EQ(fs::path(download.dvr).parent_path(), fs::path(context_.config.download_dir));

    // Done, the dialog goes, the link closes and the download plays in its four cells.
    ASSERT_TRUE(wait_until([&] { return !dialog->isVisible(); }, 60000))
        << "log:" << joined_log() << "\nrecorder: " << recorder_->err();
    EXPECT_EQ(most_progress, 100);
    ASSERT_TRUE(wait_status(QStringLiteral("playing.."), 20000));
    ASSERT_TRUE(pictures_arrive(4 * 4)) << joined_log();
    const QImage shot = video_shot(QStringLiteral("viewer_network_download_played"));
    ASSERT_FALSE(shot.isNull());
    expect_four_channels(shot, video_area());
    // What plays is the span: its clock stays within the chosen rows' times.
    const std::string shown_time =
        window_->findChild<SkinStatic*>(QStringLiteral("10024"))->text().toStdString();
    EXPECT_GE(shown_time, units[1]["time_text"].get<std::string>());
    EXPECT_LT(shown_time, units[5]["time_text"].get<std::string>());
    EXPECT_EQ(list().record_at(0)->state, vehicle_state::kOnline);
    EXPECT_EQ(shown_messages(), "Dowload time index data completed.\n");

    expect_download_of_span(base_, download, units[1], units[5]);
}

INSTANTIATE_TEST_SUITE_P(Recorder, RecordedData,
                         testing::Values(Served{"plain", {}}, Served{"wrapping_unit_numbers",
                                                                     {"--first-unit", "0xFFFFE"}}),
                         [](const testing::TestParamInfo<Served>& c) { return c.param.name; });

}  // namespace
}  // namespace velmora::test
