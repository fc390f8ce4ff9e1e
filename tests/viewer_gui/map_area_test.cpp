// The map pages in the real browser (Qt WebEngine), loaded from the built program folder: calls
// queued before the load, the track and its segments read back from the page, clicks on the
// drawn track, texts that look like markup, tile settings read back as given, the tiles from a
// dead port and from a tile server of the test's own, a reload of the other map type, the page
// kept against leaving it and brought back after its renderer died, and the double-screen map
// window.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <csignal>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "qt_test_app.h"
#include "ui/car_info_panel.h"
#include "ui/map_view.h"

namespace velmora::test {
namespace {

const QString kProgramDir = QStringLiteral(VELMORA_PROGRAM_DIR);
constexpr int kLoadTimeoutMs = 30000;
constexpr int kPageTimeoutMs = 10000;

// A port nothing listens on: taken from the system, then given back.
quint16 dead_port() {
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost));
    return probe.serverPort();
}

QString tile_template(quint16 port) {
    return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(port);
}

// Answers every GET with one PNG tile and remembers the paths asked for.
class TileServer {
  public:
    TileServer() {
        QImage tile(256, 256, QImage::Format_RGB32);
        tile.fill(QColor(46, 84, 62));
        QPainter painter(&tile);
        painter.setPen(QPen(QColor(120, 170, 130), 3));
        painter.drawLine(0, 128, 256, 100);
        painter.end();
        QBuffer buffer(&png_);
        buffer.open(QIODevice::WriteOnly);
        tile.save(&buffer, "PNG");
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost));
        QObject::connect(&server_, &QTcpServer::newConnection, [this] { accept(); });
    }
    quint16 port() const { return server_.serverPort(); }
    const QStringList& paths() const { return paths_; }

  private:
    void accept() {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                request_ += socket->readAll();
                if (!request_.contains("\r\n\r\n")) return;
                const QList<QByteArray> line = request_.left(request_.indexOf("\r\n")).split(' ');
                request_.clear();
                if (line.size() >= 2) paths_.append(QString::fromLatin1(line[1]));
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " +
                              QByteArray::number(png_.size()) + "\r\nConnection: close\r\n\r\n");
                socket->write(png_);
                socket->disconnectFromHost();
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    QTcpServer server_;
    QByteArray png_;
    QByteArray request_;
    QStringList paths_;
};

class MapPageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        map_ = std::make_unique<MapView>(true);
        map_->resize(640, 420);
        map_->show();
        config_.map_tile_url = tile_template(dead_port()).toStdString();
        config_.map_alternate_tile_url = config_.map_tile_url;
        config_.map_tile_attribution = "<b>test</b> tiles";
    }
    void TearDown() override { map_.reset(); }

    void load(const QString& page) {
        QSignalSpy loaded(map_.get(), &MapView::page_loaded);
        map_->load(map_page_url(kProgramDir, page, config_));
        ASSERT_TRUE(fleet_test::wait_until([&] { return !loaded.isEmpty(); }, kLoadTimeoutMs));
        ASSERT_TRUE(loaded.takeFirst().at(0).toBool());
    }

    // The answers live in shared results, so one that comes after a timeout writes into
    // nothing gone.
    QVariant eval(const QString& script) {
        const auto result = std::make_shared<std::optional<QVariant>>();
        map_->browser()->page()->runJavaScript(
            script, [result](const QVariant& value) { *result = value; });
        EXPECT_TRUE(fleet_test::wait_until([&] { return result->has_value(); }, kPageTimeoutMs))
            << qPrintable(script);
        return result->value_or(QVariant());
    }

    QJsonObject state() {
        const auto text = std::make_shared<std::optional<QString>>();
        map_->map_state([text](const QString& json) { *text = json; });
        EXPECT_TRUE(fleet_test::wait_until([&] { return text->has_value(); }, kPageTimeoutMs));
        return QJsonDocument::fromJson(text->value_or(QString()).toUtf8()).object();
    }

    bool wait_tiles(const QString& expected) {
        return fleet_test::wait_until(
            [&] { return state().value(QStringLiteral("tiles")).toString() == expected; },
            kPageTimeoutMs);
    }

    // Where a position is drawn, in the view's pixels, once the map has stopped moving.
    QPoint pixel_of(double lat, double lon) {
        const QString script =
            QStringLiteral(
                "(function () { var p = VelmoraMap.map().latLngToContainerPoint([%1, "
                "%2]); return Math.round(p.x) + ',' + Math.round(p.y); })()")
                .arg(lat, 0, 'f', 6)
                .arg(lon, 0, 'f', 6);
        QString before = eval(script).toString();
        for (int tries = 0; tries < 50; ++tries) {
            fleet_test::process_events_for(100);
            const QString now = eval(script).toString();
            if (now == before) break;
            before = now;
        }
        const QStringList xy = before.split(QLatin1Char(','));
        return xy.size() == 2 ? QPoint(xy[0].toInt(), xy[1].toInt()) : QPoint(-1, -1);
    }

    void add_point(const QString& plate, quint32 time, const QString& lat, const QString& lon) {
        map_->call(QStringLiteral("AddGLatLng_N"), {plate, QString::number(time), lat, lon});
    }

    AppConfig config_;
    std::unique_ptr<MapView> map_;
};

constexpr quint32 kT = 1'600'000'000;

struct TrackPoint {
    quint32 time;
    double lat;
    double lon;
};

void expect_track(const QJsonObject& state, const QString& plate,
                  const std::vector<TrackPoint>& expected) {
    const QJsonArray track = state.value(QStringLiteral("track")).toArray();
    ASSERT_EQ(track.size(), static_cast<qsizetype>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        const QJsonObject point = track[static_cast<qsizetype>(i)].toObject();
        EXPECT_EQ(point.value(QStringLiteral("plate")).toString(), plate) << i;
        ASSERT_TRUE(point.value(QStringLiteral("time")).isDouble()) << i;
        EXPECT_EQ(point.value(QStringLiteral("time")).toInteger(), expected[i].time) << i;
        ASSERT_TRUE(point.value(QStringLiteral("lat")).isDouble()) << i;
        EXPECT_DOUBLE_EQ(point.value(QStringLiteral("lat")).toDouble(), expected[i].lat) << i;
        EXPECT_DOUBLE_EQ(point.value(QStringLiteral("lon")).toDouble(), expected[i].lon) << i;
    }
}

TEST_F(MapPageTest, CallsMadeBeforeTheLoadArriveAndTheDeadTileServerShowsOffline) {
    add_point(QStringLiteral("AB-1"), kT, QStringLiteral("24.999920"), QStringLiteral("121.5"));
    map_->call(QStringLiteral("ModifyMark_O"),
               {QStringLiteral("online"), QStringLiteral("01-02-03-04-05-06"),
                QStringLiteral("Truck 7"), QStringLiteral("25.01"), QStringLiteral("121.52")});
    add_point(QStringLiteral("AB-1"), kT + 1, QStringLiteral("25.000100"),
              QStringLiteral("121.500200"));
    load(QStringLiteral("init.html"));

    const QJsonObject loaded = state();
    expect_track(loaded, QStringLiteral("AB-1"),
                 {{kT, 24.99992, 121.5}, {kT + 1, 25.0001, 121.5002}});
    const QJsonArray marks = loaded.value(QStringLiteral("marks")).toArray();
    ASSERT_EQ(marks.size(), 1);
    const QJsonObject mark = marks[0].toObject();
    EXPECT_EQ(mark.value(QStringLiteral("status")).toString(), QStringLiteral("online"));
    EXPECT_EQ(mark.value(QStringLiteral("address")).toString(),
              QStringLiteral("01-02-03-04-05-06"));
    EXPECT_EQ(mark.value(QStringLiteral("name")).toString(), QStringLiteral("Truck 7"));
    EXPECT_DOUBLE_EQ(mark.value(QStringLiteral("lat")).toDouble(), 25.01);
    EXPECT_DOUBLE_EQ(mark.value(QStringLiteral("lon")).toDouble(), 121.52);

    ASSERT_TRUE(wait_tiles(QStringLiteral("offline")));
    EXPECT_FALSE(eval(QStringLiteral("document.getElementById('offline').hidden")).toBool());
    // The attribution is shown as the text it is.
    EXPECT_EQ(eval(QStringLiteral("document.querySelector('.leaflet-control-attribution')"
                                  ".textContent"))
                  .toString(),
              QStringLiteral("<b>test</b> tiles"));
    fleet_test::process_events_for(300);
    const QImage shot = fleet_test::grab_screenshot(*map_, QStringLiteral("map_offline"));
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(fleet_test::shows_colour(shot, QColor(0, 216, 255), QRect(), 30));  // the track
}

TEST_F(MapPageTest, JumpsAndStepsBackStartSegmentsAndInvalidPositionsAreNotDrawn) {
    load(QStringLiteral("gis.html"));
    const QString plate = QStringLiteral("AB-1");
    add_point(plate, kT, QStringLiteral("24.1"), QStringLiteral("121.1"));
    add_point(plate, kT + 10, QStringLiteral("24.2"), QStringLiteral("121.2"));  // 10 s: joined
    add_point(plate, kT + 21, QStringLiteral("24.3"), QStringLiteral("121.3"));  // 11 s: new
    add_point(plate, kT + 22, QStringLiteral("24.4"), QStringLiteral("121.4"));
    add_point(plate, kT + 5, QStringLiteral("24.5"), QStringLiteral("121.5"));  // back: new
    for (const auto& [lat, lon] : std::vector<std::pair<QString, QString>>{
             {QStringLiteral("24,6"), QStringLiteral("121.6")},
             {QStringLiteral(""), QStringLiteral("121.6")},
             {QStringLiteral("91.0"), QStringLiteral("121.6")},
             {QStringLiteral("24.6"), QStringLiteral("180.5")},
             {QStringLiteral("abc"), QStringLiteral("121.6")},
             {QStringLiteral("24.6"), QStringLiteral("1e2")}}) {
        add_point(plate, kT + 6, lat, lon);
    }
    map_->call(QStringLiteral("AddGLatLng_N"),
               {plate, QStringLiteral("12x"), QStringLiteral("24.6"), QStringLiteral("121.6")});
    add_point(plate, kT + 6, QStringLiteral("24.6"), QStringLiteral("121.6"));

    const QJsonObject drawn = state();
    expect_track(drawn, plate,
                 {{kT, 24.1, 121.1},
                  {kT + 10, 24.2, 121.2},
                  {kT + 21, 24.3, 121.3},
                  {kT + 22, 24.4, 121.4},
                  {kT + 5, 24.5, 121.5},
                  {kT + 6, 24.6, 121.6}});
    EXPECT_EQ(QJsonDocument(drawn.value(QStringLiteral("segments")).toArray())
                  .toJson(QJsonDocument::Compact),
              QByteArray("[[0,1],[2,3],[4,5]]"));
    // What the map holds: three lines of two points each, nothing more.
    EXPECT_EQ(eval(QStringLiteral(
                       "(function () { var n = []; VelmoraMap.map().eachLayer(function (l) { if "
                       "(l instanceof L.Polyline) n.push(l.getLatLngs().length); }); return "
                       "n.join(','); })()"))
                  .toString(),
              QStringLiteral("2,2,2"));

    map_->call(QStringLiteral("ClearAll_N"));
    const QJsonObject cleared = state();
    EXPECT_TRUE(cleared.value(QStringLiteral("track")).toArray().isEmpty());
    EXPECT_TRUE(cleared.value(QStringLiteral("segments")).toArray().isEmpty());
}

TEST_F(MapPageTest, AClickOnTheTrackSeeksToTheNearestPointsTime) {
    load(QStringLiteral("gis.html"));
    QSignalSpy seeks(map_.get(), &MapView::seek_to_time_requested);
    QSignalSpy focus(map_.get(), &MapView::focus_requested);
    for (int i = 0; i < 5; ++i) {
        add_point(QStringLiteral("AB-1"), kT + static_cast<quint32>(i),
                  QString::number(24.0 + i * 0.002, 'f', 6), QStringLiteral("121.000000"));
    }
    const QPoint third = pixel_of(24.004, 121.0);
    const QPoint fourth = pixel_of(24.006, 121.0);
    ASSERT_TRUE(map_->rect().contains(third)) << third.x() << "," << third.y();
    // A click a little off the third point, still nearer to it than to the fourth.
    const QPoint near_third = third + (fourth - third) / 4 + QPoint(2, 0);
    QWidget* input = map_->browser()->focusProxy();
    ASSERT_NE(input, nullptr);
    QTest::mouseClick(input, Qt::LeftButton, {}, near_third);
    ASSERT_TRUE(fleet_test::wait_until([&] { return !seeks.isEmpty(); }, kPageTimeoutMs));
    EXPECT_EQ(seeks.takeFirst().at(0).toUInt(), kT + 2);
    EXPECT_TRUE(fleet_test::wait_until([&] { return !focus.isEmpty(); }, kPageTimeoutMs));

    // A click away from the track asks for nothing but the focus.
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(20, 20));
    fleet_test::process_events_for(500);
    EXPECT_TRUE(seeks.isEmpty());
}

TEST_F(MapPageTest, TextsThatLookLikeMarkupArriveAsText) {
    load(QStringLiteral("init.html"));
    const QString plate = QStringLiteral("'\"</script><b>");
    add_point(plate, kT, QStringLiteral("24.5"), QStringLiteral("121.5"));
    const QString name = QStringLiteral("<img src=x onerror=\"x\">\u2028&amp;");
    map_->call(QStringLiteral("ModifyMark_O"),
               {QStringLiteral("warning"), QStringLiteral("0A-0B-0C-0D-0E-0F"), name,
                QStringLiteral("24.6"), QStringLiteral("121.6")});

    const QJsonObject drawn = state();
    expect_track(drawn, plate, {{kT, 24.5, 121.5}});
    EXPECT_EQ(
        drawn.value(QStringLiteral("marks")).toArray()[0].toObject().value(QStringLiteral("name")),
        name);
    const QStringList tooltips =
        eval(QStringLiteral("Array.from(document.querySelectorAll('.leaflet-tooltip'))"
                            ".map(function (t) { return t.textContent; }).join('\\n--\\n')"))
            .toString()
            .split(QStringLiteral("\n--\n"));
    EXPECT_TRUE(tooltips.contains(plate)) << qPrintable(tooltips.join(QLatin1Char('|')));
    EXPECT_TRUE(tooltips.contains(name)) << qPrintable(tooltips.join(QLatin1Char('|')));
    EXPECT_EQ(eval(QStringLiteral("document.querySelectorAll('.leaflet-tooltip b, "
                                  ".leaflet-tooltip img, .leaflet-tooltip script').length"))
                  .toInt(),
              0);
}

TEST_F(MapPageTest, MarksAreReplacedFoundAndDeleted) {
    load(QStringLiteral("gis.html"));
    const QString address = QStringLiteral("01-02-03-04-05-06");
    map_->call(QStringLiteral("ModifyMark_O"),
               {QStringLiteral("offline"), address, QStringLiteral("Truck"), QStringLiteral("10.0"),
                QStringLiteral("20.0")});
    map_->call(QStringLiteral("ModifyMark_O"),
               {QStringLiteral("connect"), address, QStringLiteral("Truck"), QStringLiteral("10.5"),
                QStringLiteral("20.5")});
    map_->call(QStringLiteral("ModifyMark_O"),
               {QStringLiteral("online"), QStringLiteral("0A-0A-0A-0A-0A-0A"),
                QStringLiteral("Bus"), QString(), QString()});
    map_->call(QStringLiteral("FindAndPanto_O"), {QStringLiteral("Truck"), address});
    const QJsonArray marks = state().value(QStringLiteral("marks")).toArray();
    ASSERT_EQ(marks.size(), 2);
    EXPECT_EQ(marks[0].toObject().value(QStringLiteral("status")).toString(),
              QStringLiteral("connect"));
    EXPECT_TRUE(marks[1].toObject().value(QStringLiteral("lat")).isNull());
    // Centred on the vehicle found.
    ASSERT_TRUE(fleet_test::wait_until(
        [&] {
            const QPoint at = pixel_of(10.5, 20.5);
            return (at - map_->rect().center()).manhattanLength() <= 4;
        },
        kPageTimeoutMs));

    map_->call(QStringLiteral("DelMark_O"), {QStringLiteral("Truck"), address});
    EXPECT_EQ(state().value(QStringLiteral("marks")).toArray().size(), 1);
    map_->call(QStringLiteral("ClearAll_O"));
    EXPECT_TRUE(state().value(QStringLiteral("marks")).toArray().isEmpty());
}

TEST_F(MapPageTest, OnlyExactAppAddressesAreHandledAndThePageStays) {
    load(QStringLiteral("init.html"));
    QSignalSpy seeks(map_.get(), &MapView::seek_to_time_requested);
    QSignalSpy records(map_.get(), &MapView::quick_record_requested);
    QSignalSpy pushes(map_.get(), &MapView::push_answered);
    QSignalSpy loads(map_.get(), &MapView::page_loaded);
    // The main frame navigates itself: cancelled, and the failed load that follows is no news.
    eval(QStringLiteral("location.href = 'app:Nomal&5'; 1"));
    eval(QStringLiteral("location.href = 'app:nomal&77'; 1"));
    ASSERT_TRUE(fleet_test::wait_until([&] { return !seeks.isEmpty(); }, kPageTimeoutMs));
    EXPECT_EQ(seeks.takeFirst().at(0).toUInt(), 77u);
    map_->call(QStringLiteral("AddSearchMark_O"), {QStringLiteral("42"), QStringLiteral("20.5"),
                                                   QStringLiteral("0.5"), QStringLiteral("hit")});
    eval(QStringLiteral("GCMPush_O('first', 'second'); GCMPush_O(); 1"));
    ASSERT_TRUE(fleet_test::wait_until([&] { return pushes.size() == 2; }, kPageTimeoutMs));
    EXPECT_EQ(pushes[0].at(0).toInt(), 200);
    EXPECT_EQ(pushes[1].at(0).toInt(), 400);
    EXPECT_EQ(eval(QStringLiteral("document.getElementById('notice').textContent")).toString(),
              QStringLiteral("firstsecond"));

    const QPoint result = pixel_of(20.5, 0.5);
    ASSERT_TRUE(map_->rect().contains(result));
    QTest::mouseClick(map_->browser()->focusProxy(), Qt::LeftButton, {}, result);
    ASSERT_TRUE(fleet_test::wait_until([&] { return !records.isEmpty(); }, kPageTimeoutMs));
    EXPECT_EQ(records.takeFirst().at(0).toUInt(), 42u);
    EXPECT_TRUE(seeks.isEmpty());
    EXPECT_TRUE(loads.isEmpty());
    EXPECT_EQ(map_->browser()->url().scheme(), QStringLiteral("file"));
    EXPECT_FALSE(state().isEmpty());
}

TEST_F(MapPageTest, TileSettingsReachThePageAsTheyAre) {
    config_.map_tile_url = "http://127.0.0.1:1/{z}/{x}/{y}.png?layer=a%3Ab&key=a+b";
    config_.map_alternate_tile_url = "http://127.0.0.1:1/{z}/{x}/{y}.png?k=100%25&s= &t=#x";
    config_.map_tile_attribution = "Tiles + data & 50% \u00a9 Zürich";
    config_.map_max_zoom = 12;
    load(QStringLiteral("init.html"));
    const std::pair<const char*, std::string> settings[] = {
        {"tiles", config_.map_tile_url},
        {"alternate", config_.map_alternate_tile_url},
        {"attribution", config_.map_tile_attribution},
        {"maxzoom", "12"},
    };
    for (const auto& [key, value] : settings) {
        EXPECT_EQ(eval(QStringLiteral("new URLSearchParams(location.search).get('%1')")
                           .arg(QLatin1String(key)))
                      .toString()
                      .toStdString(),
                  value)
            << key;
    }
    EXPECT_EQ(eval(QStringLiteral("document.querySelector('.leaflet-control-attribution')"
                                  ".textContent"))
                  .toString()
                  .toStdString(),
              config_.map_tile_attribution);
    EXPECT_EQ(eval(QStringLiteral("VelmoraMap.map().getMaxZoom()")).toInt(), 12);
}

TEST_F(MapPageTest, TilesFromALocalServerAreAskedForByZoomAndPlaceAndShowOnline) {
    TileServer server;
    config_.map_tile_url = tile_template(server.port()).toStdString();
    load(QStringLiteral("init.html"));
    ASSERT_TRUE(wait_tiles(QStringLiteral("online")));
    EXPECT_TRUE(eval(QStringLiteral("document.getElementById('offline').hidden")).toBool());
    ASSERT_FALSE(server.paths().isEmpty());
    const QRegularExpression tile_path(QStringLiteral("^/(\\d+)/(\\d+)/(\\d+)\\.png$"));
    for (const QString& path : server.paths()) {
        const QRegularExpressionMatch match = tile_path.match(path);
        ASSERT_TRUE(match.hasMatch()) << qPrintable(path);
        EXPECT_EQ(match.captured(1), QStringLiteral("2")) << qPrintable(path);  // start zoom
    }
    add_point(QStringLiteral("AB-1"), kT, QStringLiteral("48.85"), QStringLiteral("2.35"));
    add_point(QStringLiteral("AB-1"), kT + 1, QStringLiteral("48.86"), QStringLiteral("2.36"));
    ASSERT_TRUE(fleet_test::wait_until(
        [&] { return server.paths().last().startsWith(QStringLiteral("/15/")); }, kPageTimeoutMs));
    fleet_test::process_events_for(500);
    const QImage shot = fleet_test::grab_screenshot(*map_, QStringLiteral("map_tiles"));
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(fleet_test::shows_colour(shot, QColor(46, 84, 62), QRect(), 4));  // a tile
}

TEST_F(MapPageTest, AMapTypeChangeReplaysTheTrackOnTheOtherTypesTiles) {
    TileServer alternate;
    config_.map_alternate_tile_url = tile_template(alternate.port()).toStdString();
    load(QStringLiteral("init.html"));
    add_point(QStringLiteral("AB-1"), kT, QStringLiteral("24.1"), QStringLiteral("121.1"));
    map_->call(QStringLiteral("ClearAll_N"));
    add_point(QStringLiteral("AB-2"), kT + 100, QStringLiteral("24.2"), QStringLiteral("121.2"));
    add_point(QStringLiteral("AB-2"), kT + 101, QStringLiteral("24.3"), QStringLiteral("121.3"));
    ASSERT_TRUE(wait_tiles(QStringLiteral("offline")));  // the first type's dead port
    EXPECT_TRUE(alternate.paths().isEmpty());

    map_->load(map_page_url(kProgramDir, QStringLiteral("yandex.html"), config_));
    add_point(QStringLiteral("AB-2"), kT + 102, QStringLiteral("24.4"), QStringLiteral("121.4"));
    QSignalSpy loaded(map_.get(), &MapView::page_loaded);
    ASSERT_TRUE(fleet_test::wait_until([&] { return !loaded.isEmpty(); }, kLoadTimeoutMs));
    EXPECT_TRUE(map_->browser()->url().path().endsWith(QStringLiteral("/yandex.html")));
    expect_track(state(), QStringLiteral("AB-2"),
                 {{kT + 100, 24.2, 121.2}, {kT + 101, 24.3, 121.3}, {kT + 102, 24.4, 121.4}});
    EXPECT_TRUE(wait_tiles(QStringLiteral("online")));
    EXPECT_FALSE(alternate.paths().isEmpty());
}

// A script, a drop or the browser's menu cannot lead the map away from its page.
TEST_F(MapPageTest, ThePageCannotBeLeftForAnotherPage) {
    load(QStringLiteral("init.html"));
    add_point(QStringLiteral("AB-1"), kT, QStringLiteral("24.1"), QStringLiteral("121.1"));
    QSignalSpy loads(map_.get(), &MapView::page_loaded);
    const QUrl other = map_page_url(kProgramDir, QStringLiteral("gis.html"), config_);
    ASSERT_TRUE(QFile::exists(other.toLocalFile()));
    eval(QStringLiteral("location.href = '%1'; 1").arg(other.toString(QUrl::FullyEncoded)));
    eval(QStringLiteral("window.open('%1', '_self'); 1").arg(other.toString(QUrl::FullyEncoded)));
    fleet_test::process_events_for(1000);
    EXPECT_TRUE(loads.isEmpty());
    EXPECT_EQ(map_->browser()->url(), map_->url());
    add_point(QStringLiteral("AB-1"), kT + 1, QStringLiteral("24.2"), QStringLiteral("121.2"));
    expect_track(state(), QStringLiteral("AB-1"), {{kT, 24.1, 121.1}, {kT + 1, 24.2, 121.2}});
    EXPECT_EQ(map_->browser()->contextMenuPolicy(), Qt::NoContextMenu);
    EXPECT_FALSE(map_->browser()->page()->settings()->testAttribute(
        QWebEngineSettings::NavigateOnDropEnabled));
}

// The renderer killed under the page: the page comes back with the track and the calls made
// while it was gone.
TEST_F(MapPageTest, APageWhoseRendererDiedIsLoadedAgainWithItsTrack) {
    load(QStringLiteral("init.html"));
    add_point(QStringLiteral("AB-1"), kT, QStringLiteral("24.1"), QStringLiteral("121.1"));
    add_point(QStringLiteral("AB-1"), kT + 1, QStringLiteral("24.2"), QStringLiteral("121.2"));
    const qint64 renderer = map_->browser()->page()->renderProcessPid();
    ASSERT_GT(renderer, 0);
    ASSERT_NE(renderer, static_cast<qint64>(getpid()));
    QSignalSpy died(map_->browser()->page(), &QWebEnginePage::renderProcessTerminated);
    QSignalSpy loaded(map_.get(), &MapView::page_loaded);
    ASSERT_EQ(::kill(static_cast<pid_t>(renderer), SIGKILL), 0);
    ASSERT_TRUE(fleet_test::wait_until([&] { return !died.isEmpty(); }, kLoadTimeoutMs));
    map_->call(QStringLiteral("ModifyMark_O"),
               {QStringLiteral("online"), QStringLiteral("01-02-03-04-05-06"),
                QStringLiteral("Truck 7"), QStringLiteral("25.0"), QStringLiteral("121.5")});
    ASSERT_TRUE(fleet_test::wait_until([&] { return !loaded.isEmpty(); }, kLoadTimeoutMs));
    EXPECT_TRUE(loaded.takeFirst().at(0).toBool());
    const QJsonObject back = state();
    expect_track(back, QStringLiteral("AB-1"), {{kT, 24.1, 121.1}, {kT + 1, 24.2, 121.2}});
    EXPECT_EQ(back.value(QStringLiteral("marks")).toArray().size(), 1);
}

TEST(MapView, WithoutABrowserCallsAreDroppedAndThereIsNoState) {
    MapView still(false);
    still.call(QStringLiteral("ClearAll_O"));
    QString answer = QStringLiteral("unset");
    still.map_state([&](const QString& json) { answer = json; });
    EXPECT_EQ(answer, QString());
    EXPECT_EQ(still.browser(), nullptr);
}

TEST(MapWindow, CaptionSplitterAndMapTakeTheirPlacesAndThePanelFolds) {
    MapWindow window(true);
    CarInfoPanel panel;
    window.take_panel(&panel);
    window.resize(900, 600);
    window.show();
    auto* caption = window.findChild<QWidget*>(QStringLiteral("map_window_caption"));
    auto* splitter = window.findChild<QAbstractButton*>(QStringLiteral("17000"));
    ASSERT_NE(caption, nullptr);
    ASSERT_NE(splitter, nullptr);
    EXPECT_EQ(panel.geometry(), QRect(0, 0, 170, 600));
    EXPECT_EQ(splitter->geometry(), QRect(170, 20, 3, 580));
    EXPECT_EQ(caption->geometry(), QRect(170, 0, 730, 20));
    EXPECT_EQ(window.map()->geometry(), QRect(173, 20, 727, 580));

    QSignalSpy loaded(window.map(), &MapView::page_loaded);
    AppConfig config;
    config.map_tile_url.clear();
    window.map()->load(map_page_url(kProgramDir, QStringLiteral("gis.html"), config));
    ASSERT_TRUE(fleet_test::wait_until([&] { return !loaded.isEmpty(); }, kLoadTimeoutMs));
    window.map()->call(QStringLiteral("ModifyMark_O"),
                       {QStringLiteral("online"), QStringLiteral("01-02-03-04-05-06"),
                        QStringLiteral("Truck 7"), QStringLiteral("30.0"), QStringLiteral("10.0")});
    window.set_caption(QStringLiteral("longitude:10.000000,latitude:30.000000"));
    fleet_test::process_events_for(800);
    const QImage shot = fleet_test::grab_screenshot(window, QStringLiteral("map_window"));
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(fleet_test::shows_colour(shot, QColor(0, 216, 255), QRect(170, 0, 730, 20), 10));

    QTest::mouseClick(splitter, Qt::LeftButton);
    EXPECT_EQ(window.panel_width(), 0);
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(splitter->geometry(), QRect(0, 20, 3, 580));
    EXPECT_EQ(caption->geometry(), QRect(0, 0, 900, 20));
    EXPECT_EQ(window.map()->geometry(), QRect(3, 20, 897, 580));
    QTest::mouseClick(splitter, Qt::LeftButton);
    EXPECT_EQ(window.panel_width(), 170);
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(window.map()->geometry(), QRect(173, 20, 727, 580));
}

}  // namespace
}  // namespace velmora::test
