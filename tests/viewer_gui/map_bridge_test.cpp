// The main window's map pages over the real engine: a time from the page seeks the playing
// recording, vehicle selections mark the page the layout names and removals take the mark off,
// and a failed push is logged.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

#include "model/engine_time_index.h"
#include "model/telemetry_position.h"
#include "qt_test_app.h"
#include "skin/skin_static.h"
#include "ui/car_info_panel.h"
#include "ui/car_list_box.h"
#include "ui/map_view.h"
#include "viewer_fixture.h"

namespace velmora::test {
namespace {

using fleet_test::process_events_for;
using fleet_test::wait_until;

constexpr int kPageTimeoutMs = 30000;

class MapBridgeTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        context_.web_maps = true;
        context_.config.map_tile_url.clear();  // no tile server: the plain grid
        context_.config.map_alternate_tile_url.clear();
    }

    MapView* main_map() { return window_->findChild<MapView*>(QStringLiteral("10002")); }
    MapView* window_map() { return window_->findChild<MapView*>(QStringLiteral("18001")); }

    // The answers live in shared results, so one that comes after a timeout writes into
    // nothing gone.
    QJsonObject state(MapView* map) {
        const auto text = std::make_shared<std::optional<QString>>();
        map->map_state([text](const QString& json) { *text = json; });
        EXPECT_TRUE(wait_until([&] { return text->has_value(); }, kPageTimeoutMs));
        return QJsonDocument::fromJson(text->value_or(QString()).toUtf8()).object();
    }

    void wait_pages() {
        for (MapView* map : {main_map(), window_map()}) {
            ASSERT_NE(map, nullptr);
            ASSERT_TRUE(wait_until([&] { return !state(map).isEmpty(); }, kPageTimeoutMs));
        }
    }

    QVariant run_in_page(MapView* map, const QString& script) {
        const auto answer = std::make_shared<std::optional<QVariant>>();
        map->browser()->page()->runJavaScript(script,
                                              [answer](const QVariant& value) { *answer = value; });
        EXPECT_TRUE(wait_until([&] { return answer->has_value(); }, kPageTimeoutMs))
            << qPrintable(script);
        return answer->value_or(QVariant());
    }

    static constexpr uint8_t kAddress[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

    // Adds a vehicle to the list; returns its row.
    int add_vehicle(const std::u16string& name, double lat, double lon) {
        auto record = std::make_unique<VehicleRecord>();
        record->name = name;
        std::copy(std::begin(kAddress), std::end(kAddress), record->address.begin());
        record->state = vehicle_state::kOnline;
        record->latitude = QString::number(lat, 'f', 6).toStdString();
        record->longitude = QString::number(lon, 'f', 6).toStdString();
        return window_->info_panel()->list()->add(std::move(record));
    }

    // Adds a vehicle to the list and selects it as a click would.
    void select_vehicle(const std::u16string& name, double lat, double lon) {
        window_->info_panel()->list()->setCurrentRow(add_vehicle(name, lat, lon));
        process_events_for(50);
    }

    void remove_vehicle(const char* name) {
        ASSERT_TRUE(window_->info_panel()->list()->remove(name, kAddress)) << name;
        process_events_for(50);
    }

    QStringList mark_names(MapView* map) {
        QStringList names;
        for (const QJsonValue mark : state(map).value(QStringLiteral("marks")).toArray())
            names << mark.toObject().value(QStringLiteral("name")).toString();
        return names;
    }

    QString main_caption() {
        return window_->findChild<SkinStatic*>(QStringLiteral("10004"))->text();
    }
};

TEST_F(MapBridgeTest, ATimeFromTheTrackSeeksThePlayingRecording) {
    const Recording rec = make_recording(dir_, "route", 1, 60);
    start_window();
    wait_pages();
    window_->open_path(QString::fromStdString(rec.dvr));
    window_->session().play();
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));

    // A file pair's index holds its first and last GOP: a time between seeks proportionally.
    EngineTimeIndex index(engine_.engine());
    uint32_t first = 0;
    uint32_t last = 0;
    ASSERT_TRUE(index.header(first, last));
    uint32_t t0 = 0;
    uint32_t t1 = 0;
    int64_t o0 = 0;
    int64_t o1 = 0;
    ASSERT_TRUE(index.unit(first, t0, o0));
    ASSERT_TRUE(index.unit(last, t1, o1));
    ASSERT_GE(t1, t0 + 40);
    const uint32_t time = t0 + (t1 - t0) * 3 / 4;
    const int64_t offset = o0 + (o1 - o0) * (time - t0) / (t1 - t0);
    ASSERT_LT(engine_.engine().zTellp(), offset);

    // Letter case differs: the page's request is not one of the viewer's.
    run_in_page(main_map(), QStringLiteral("location.href = 'app:NOMAL&%1'; 1").arg(time));
    process_events_for(1000);
    EXPECT_LT(engine_.engine().zTellp(), offset);

    run_in_page(main_map(), QStringLiteral("location.href = 'app:nomal&%1'; 1").arg(time));
    EXPECT_TRUE(wait_until([&] { return engine_.engine().zTellp() >= offset; }, 10000))
        << engine_.engine().zTellp() << " < " << offset;
    EXPECT_TRUE(wait_status(QStringLiteral("playing..")));
}

// Every point the played track holds is a frame's recorded position, south and west signs
// included, under a plate that is text, not markup; the seek forward starts a new segment.
TEST_F(MapBridgeTest, ThePlayedTrackIsTheRecordedPositionsAndNoSegmentCrossesASeek) {
    const std::string plate = "'\"</script><b>";
    const std::string base = dir_.file("south");
    const auto made = fleet::test::run_process({DVRSIM_PATH, "record", "--out", base, "--channels",
                                                "1", "--stream-version", "3", "--seconds", "60",
                                                "--fps", "8", "--origin", "-33.5,-70.25",
                                                "--vehicle-id", plate, "--seed", "3"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    // The map's texts of every recorded position, by time.
    std::multimap<uint32_t, std::pair<double, double>> recorded;
    std::istringstream lines(fleet::test::read_file(base + ".truth.jsonl"));
    for (std::string line; std::getline(lines, line);) {
        const QJsonObject frame = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        const std::string text = frame.value(QStringLiteral("position")).toString().toStdString();
        if (text.empty()) continue;  // no fix in this frame
        std::array<char, kPositionBytes> field{};
        std::copy_n(text.begin(), std::min(text.size(), field.size()), field.begin());
        const auto position = parse_position(field);
        ASSERT_TRUE(position.has_value()) << text;
        recorded.emplace(
            static_cast<uint32_t>(frame.value(QStringLiteral("time")).toDouble()),
            std::pair{std::stod(position->latitude_text), std::stod(position->longitude_text)});
    }

    start_window();
    wait_pages();
    window_->open_path(QString::fromStdString(base + ".dvr"));
    window_->session().play();
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
    process_events_for(3000);
    const uint32_t jump_to = recorded.begin()->first + 25;  // GPS has a fix from there on
    window_->session().seek_to_time(jump_to);
    process_events_for(3000);

    const QJsonObject page = state(main_map());
    const QJsonArray track = page.value(QStringLiteral("track")).toArray();
    ASSERT_GE(track.size(), 8) << QJsonDocument(page).toJson().toStdString();
    std::vector<uint32_t> times;
    for (const QJsonValue value : track) {
        const QJsonObject point = value.toObject();
        EXPECT_EQ(point.value(QStringLiteral("plate")).toString().toStdString(), plate);
        const auto time = static_cast<uint32_t>(point.value(QStringLiteral("time")).toDouble());
        const double lat = point.value(QStringLiteral("lat")).toDouble();
        const double lon = point.value(QStringLiteral("lon")).toDouble();
        EXPECT_LT(lat, 0);
        EXPECT_LT(lon, 0);
        const auto [first, last] = recorded.equal_range(time);
        EXPECT_TRUE(std::any_of(first, last,
                                [&](const auto& entry) {
                                    return std::abs(entry.second.first - lat) < 1e-9 &&
                                           std::abs(entry.second.second - lon) < 1e-9;
                                }))
            << "no frame at " << time << " was at " << lat << "," << lon;
        times.push_back(time);
    }
    EXPECT_TRUE(std::any_of(times.begin(), times.end(), [&](uint32_t t) { return t >= jump_to; }));
    const QJsonArray segments = page.value(QStringLiteral("segments")).toArray();
    EXPECT_GE(segments.size(), 2);
    for (const QJsonValue value : segments) {
        const QJsonArray range = value.toArray();
        for (int i = range.at(0).toInt() + 1; i <= range.at(1).toInt(); ++i) {
            EXPECT_GE(times[i], times[i - 1]);
            EXPECT_LE(times[i] - times[i - 1], 10u) << "a line crosses from " << times[i - 1];
        }
    }
    // The plate reached the page as text: nothing of it became an element.
    EXPECT_EQ(run_in_page(main_map(), QStringLiteral("document.querySelectorAll('b').length "
                                                     "=== 0 ? 'none' : 'some'"))
                  .toString(),
              QStringLiteral("none"));
}

TEST_F(MapBridgeTest, ASelectedVehicleIsMarkedOnThePageTheLayoutNames) {
    start_window();
    wait_pages();
    // Single screen, nothing playing: the main page and the main map caption.
    select_vehicle(u"Truck 7", 24.5, 121.25);
    EXPECT_EQ(mark_names(main_map()), QStringList{QStringLiteral("Truck 7")});
    EXPECT_TRUE(mark_names(window_map()).isEmpty());
    EXPECT_EQ(main_caption(), QStringLiteral("longitude:121.250000,latitude:24.500000"));
    const QJsonObject mark =
        state(main_map()).value(QStringLiteral("marks")).toArray()[0].toObject();
    EXPECT_EQ(mark.value(QStringLiteral("status")).toString(), QStringLiteral("online"));
    EXPECT_EQ(mark.value(QStringLiteral("address")).toString(),
              QStringLiteral("00-1A-2B-3C-4D-5E"));
    window_->info_panel()->list()->setCurrentRow(-1);
    process_events_for(50);
    EXPECT_EQ(main_caption(), QStringLiteral(" "));

    // Double screen: the map window's page and caption.
    window_->run_command(CommandId::DoubleScreen);
    auto* map_window = window_->findChild<MapWindow*>(QStringLiteral("map_window"));
    ASSERT_NE(map_window, nullptr);
    select_vehicle(u"Bus <9>", 30.0, 10.0);
    EXPECT_EQ(mark_names(window_map()), QStringList{QStringLiteral("Bus <9>")});
    EXPECT_EQ(map_window->caption(), QStringLiteral("longitude:10.000000,latitude:30.000000"));
    // Switching while nothing plays asks for a map refresh, which clears the main page's marks.
    EXPECT_TRUE(mark_names(main_map()).isEmpty());
    process_events_for(500);
    const QImage shot =
        fleet_test::grab_screenshot(*map_window, QStringLiteral("map_double_screen"));
    EXPECT_FALSE(shot.isNull());
}

TEST_F(MapBridgeTest, ARemovedVehicleLeavesThePageTheLayoutNames) {
    start_window();
    wait_pages();
    // Single screen, nothing playing: the main page, the selected vehicle or another one.
    add_vehicle(u"Van 3", 24.0, 121.0);
    select_vehicle(u"Truck 7", 24.5, 121.25);
    select_vehicle(u"Bus 9", 24.6, 121.35);
    ASSERT_EQ(mark_names(main_map()),
              (QStringList{QStringLiteral("Truck 7"), QStringLiteral("Bus 9")}));
    remove_vehicle("Van 3");  // never marked: nothing to take off
    remove_vehicle("Truck 7");
    EXPECT_EQ(mark_names(main_map()), QStringList{QStringLiteral("Bus 9")});
    remove_vehicle("Bus 9");
    EXPECT_TRUE(mark_names(main_map()).isEmpty());

    // Double screen: the map window's page.
    window_->run_command(CommandId::DoubleScreen);
    select_vehicle(u"Bus <9>", 30.0, 10.0);
    ASSERT_EQ(mark_names(window_map()), QStringList{QStringLiteral("Bus <9>")});
    remove_vehicle("Bus <9>");
    EXPECT_TRUE(mark_names(window_map()).isEmpty());
}

// Paused still counts as playing: the page keeps the track, its caption the played position.
TEST_F(MapBridgeTest, DuringPlaybackInSingleScreenASelectionOrRemovalChangesNothing) {
    const Recording rec = make_recording(dir_, "route", 1, 30);
    start_window();
    wait_pages();
    window_->open_path(QString::fromStdString(rec.dvr));
    window_->session().play();
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
    window_->session().pause();
    ASSERT_TRUE(wait_status(QStringLiteral("paused..")));
    // A mark the page holds from before, of a vehicle in the list.
    add_vehicle(u"Van 3", 24.0, 121.0);
    main_map()->call(QStringLiteral("ModifyMark_O"),
                     {QStringLiteral("online"), QStringLiteral("00-1A-2B-3C-4D-5E"),
                      QStringLiteral("Van 3"), QStringLiteral("24.0"), QStringLiteral("121.0")});
    ASSERT_EQ(mark_names(main_map()), QStringList{QStringLiteral("Van 3")});
    const QString caption = main_caption();

    select_vehicle(u"Truck 7", 24.5, 121.25);
    remove_vehicle("Van 3");
    process_events_for(1000);
    EXPECT_EQ(mark_names(main_map()), QStringList{QStringLiteral("Van 3")});
    EXPECT_EQ(main_caption(), caption);
}

TEST_F(MapBridgeTest, APushThatFailedIsLoggedWithItsStatus) {
    start_window();
    wait_pages();
    run_in_page(main_map(), QStringLiteral("GCMPush_O('delivered'); 1"));
    run_in_page(main_map(), QStringLiteral("GCMPush_O(); 1"));
    const auto logged = [&](const std::string& line) {
        const auto lines = log_lines();
        return std::count(lines.begin(), lines.end(), line);
    };
    EXPECT_TRUE(wait_until([&] { return logged("GCM push fail(400)") == 1; }, 10000))
        << joined_log();
    EXPECT_EQ(logged("GCM push fail(200)"), 0);
}

}  // namespace
}  // namespace velmora::test
