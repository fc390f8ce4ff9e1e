// The dashboard during real playback: sampled every 100 ms, what it shows is what the frame on
// screen carried (dvrsim's truth), in the chosen units; a step while paused shows the stepped
// GOP; stop clears it all.
#include <QAction>
#include <QTimer>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>

#include "model/gauge_texts.h"
#include "model/seek_math.h"
#include "model/telemetry_cycle.h"
#include "model/tyre_panel.h"
#include "qt_test_app.h"
#include "skin/skin_static.h"
#include "ui/dashboard_panel.h"
#include "ui/wave_chart.h"
#include "viewer_fixture.h"

namespace velmora::test {
namespace {

using fleet_test::process_events_for;
using fleet_test::wait_until;
using nlohmann::json;

constexpr int kSpeedRange = 150;  // the range the menus mark at start

TyreRecordBytes record_bytes(const json& tyre) {
    TyreRecordBytes bytes{};
    const int32_t id = tyre.at("id").get<int32_t>();
    const float pressure = tyre.at("pressure").get<float>();
    const int32_t temperature = tyre.at("temperature").get<int32_t>();
    const int32_t state = tyre.at("state").get<int32_t>();
    std::memcpy(bytes.data(), &id, 4);
    std::memcpy(bytes.data() + 4, &pressure, 4);
    std::memcpy(bytes.data() + 8, &temperature, 4);
    std::memcpy(bytes.data() + 12, &state, 4);
    return bytes;
}

QString g_row(const char* label, int raw) {
    return QString::asprintf("%s%.2f", label, raw * 2.0 / 127.0);
}

// The units the dashboard shows in: speed, temperature, pressure (1: mile/h, F, kPa).
struct Units {
    int speed = 0, temperature = 0, pressure = 0;
};

// What the dashboard should show for one frame of the truth. The tyre display's own rules are
// the model's (tested there); here they only place this frame's records.
DashboardPanel::Reading expected_reading(const json& frame, Units units) {
    DashboardPanel::Reading r{};
    const float kmh = frame.at("speed").get<float>();
    const int speed = round_half_away_from_zero(units.speed == 1 ? kmh * 0.622 : kmh);
    r.speed_frame = speed_bar_frame(speed, kSpeedRange);
    r.digital_speed = QString::fromStdString(digital_speed_text(speed, units.speed));
    r.speed_text = QString::fromStdString(speed_gauge_text(speed, units.speed));
    const int celsius = frame.at("temperature").get<int>();
    const int temperature =
        round_half_away_from_zero(units.temperature == 1 ? celsius * 9.0 / 5.0 + 32.0 : celsius);
    r.temperature_text =
        QString::fromStdString(temperature_gauge_text(temperature, units.temperature));
    const auto& g = frame.at("gsensor");
    r.g_rows = {g_row("Gx : ", g[0].get<int>()), g_row("Gy : ", g[1].get<int>()),
                g_row("Gz : ", g[2].get<int>())};
    for (int i = 0; i < kAlarmLampCount; ++i) r.lamps[i] = frame.at("flags")[i].get<int>() != 0;
    std::vector<TyreRecordBytes> records;
    for (const json& tyre : frame.at("tyres")) records.push_back(record_bytes(tyre));
    std::array<int32_t, kTyreSummaryCount> summary{};
    for (size_t i = 0; i < summary.size(); ++i) summary[i] = frame.at("tyre_summary")[i];
    TyrePanel tyres;
    const TyreUnits tyre_units{units.temperature, units.pressure};
    if (summary[0] < 1) {
        tyres.update_legacy(records, tyre_units);
    } else {
        tyres.update(summary, records, tyre_units);
    }
    r.tyres = tyres.state();
    return r;
}

class TelemetryTest : public ViewerTest {
  protected:
    // A 16-second recording, by default of a tractor and one trailer, with its frames by time
    // text.
    void record_and_open(const std::vector<std::string>& kind = {"--stream-version", "3",
                                                                 "--tyre-layout", "2,4"}) {
        const std::string base = dir_.file("truck");
        std::vector<std::string> command{
            DVRSIM_PATH, "record", "--out", base,           "--channels", "1",      "--seconds",
            "16",        "--fps",  "8",     "--vehicle-id", "TRUCK-9",    "--seed", "5"};
        command.insert(command.end(), kind.begin(), kind.end());
        const auto result = fleet::test::run_process(command);
        ASSERT_EQ(result.exit_code, 0) << result.err;
        std::istringstream lines(fleet::test::read_file(base + ".truth.jsonl"));
        for (std::string line; std::getline(lines, line);) {
            json frame = json::parse(line);
            frames_.emplace(format_utc(frame.at("time").get<int64_t>()), std::move(frame));
        }
        ASSERT_FALSE(frames_.empty());
        start_window();
        dashboard_ = window_->findChild<DashboardPanel*>(QStringLiteral("dashboard"));
        chart_ = window_->findChild<WaveChart*>(QStringLiteral("12016"));
        ASSERT_NE(dashboard_, nullptr);
        ASSERT_NE(chart_, nullptr);
        window_->open_path(QString::fromStdString(base + ".dvr"));
        ASSERT_EQ(window_->session().state(), PlayerState::Opened);
    }

    QString time_text() const {
        return window_->findChild<SkinStatic*>(QStringLiteral("10024"))->text();
    }

    // True when the dashboard shows one of the frames of the GOP whose time is on screen.
    ::testing::AssertionResult shows_frame_on_screen(Units units) const {
        const std::string time = time_text().toStdString();
        const auto [first, last] = frames_.equal_range(time);
        if (first == last) return ::testing::AssertionFailure() << "no frame at " << time;
        const DashboardPanel::Reading shown = dashboard_->reading();
        for (auto it = first; it != last; ++it) {
            const DashboardPanel::Reading want = expected_reading(it->second, units);
            if (same(shown, want)) return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "at " << time << " the dashboard shows " << shown.digital_speed.toStdString()
               << ", " << shown.temperature_text.toStdString() << ", "
               << shown.g_rows[0].toStdString() << "; the first frame has " << first->second.dump();
    }

    static bool same(const DashboardPanel::Reading& a, const DashboardPanel::Reading& b) {
        return a.speed_frame == b.speed_frame && a.digital_speed == b.digital_speed &&
               a.speed_text == b.speed_text && a.temperature_text == b.temperature_text &&
               a.g_rows == b.g_rows && a.lamps == b.lamps && a.tyres.tyres == b.tyres.tyres &&
               a.tyres.unit_alert == b.tyres.unit_alert && a.tyres.repeater == b.tyres.repeater;
    }

    // Samples the dashboard every 100 ms for `ms`; returns how many samples had a time shown.
    int sample_for(int ms, Units units) {
        int checked = 0;
        QTimer sampler;
        sampler.setInterval(100);
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            if (time_text().trimmed().isEmpty()) return;
            ++checked;
            EXPECT_TRUE(shows_frame_on_screen(units));
        });
        sampler.start();
        process_events_for(ms);
        return checked;
    }

    void choose(CommandId id) {
        QAction* item = window_->action(id);
        ASSERT_NE(item, nullptr);
        item->trigger();
    }

    std::multimap<std::string, json> frames_;
    DashboardPanel* dashboard_ = nullptr;
    WaveChart* chart_ = nullptr;
};

TEST_F(TelemetryTest, TheDashboardFollowsTheFrameOnScreenInTheChosenUnits) {
    context_.config.pressure_unit = 1;  // kPa has no menu item; it comes from the settings
    record_and_open();
    click(static_cast<int>(CommandId::Play));
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
    EXPECT_GE(sample_for(4000, Units{0, 0, 1}), 10);
    EXPECT_FALSE(chart_->history().empty());

    choose(CommandId::SpeedMile);
    choose(CommandId::Fahrenheit);
    // The chart cannot mix units: it starts over with the first cycle in the new ones.
    ASSERT_TRUE(wait_until([&] { return chart_->history().empty(); }, 2000));
    process_events_for(600);  // one cycle, so every text is in the new units
    EXPECT_GE(sample_for(3000, Units{1, 1, 1}), 8);
    EXPECT_TRUE(dashboard_->reading().speed_text.endsWith(QStringLiteral("mile/h")));

    // The panel in the playing window: gauges lit in their colours, the chart drawing.
    const QImage panel =
        fleet_test::grab_screenshot(*dashboard_, QStringLiteral("telemetry_panel"));
    fleet_test::grab_screenshot(*window_, QStringLiteral("telemetry_window"));
    EXPECT_FALSE(fleet_test::is_uniform(panel));
    EXPECT_TRUE(fleet_test::shows_colour(panel, QColor(38, 215, 234)));  // speed text and curve
    const QRect chart_area = chart_->geometry();
    EXPECT_TRUE(fleet_test::shows_colour(panel, QColor(216, 0, 0), chart_area));  // the Gx curve
}

// Older recorders send four tyres and no layout: the fixed four-wheel display, a tyre over 80 C
// shown hot.
TEST_F(TelemetryTest, OlderTyreDataShowsOnTheFourCornerWheels) {
    record_and_open({"--stream-version", "2"});
    click(static_cast<int>(CommandId::Play));
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
    EXPECT_GE(sample_for(3000, Units{}), 8);
    const TyrePanelState tyres = dashboard_->reading().tyres;
    for (const int position : {0, 3, 8, 11}) EXPECT_TRUE(tyres.tyres[position].visible);
    EXPECT_EQ(tyres.layout_types, (std::array<int, 3>{0, 0, 0}));
}

TEST_F(TelemetryTest, AStepWhilePausedShowsTheSteppedGopAndStopClearsEverything) {
    record_and_open();
    click(static_cast<int>(CommandId::Play));
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
    process_events_for(2500);
    click(static_cast<int>(CommandId::Pause));
    ASSERT_TRUE(wait_status(QStringLiteral("paused..")));
    process_events_for(600);
    const QString paused_at = time_text();
    EXPECT_TRUE(shows_frame_on_screen(Units{}));

    click(static_cast<int>(CommandId::StepForward));
    ASSERT_TRUE(wait_until([&] { return time_text() != paused_at; }, 5000))
        << "still " << paused_at.toStdString() << joined_log();
    EXPECT_TRUE(shows_frame_on_screen(Units{}));

    click(static_cast<int>(CommandId::Stop));
    ASSERT_TRUE(wait_status(QStringLiteral("opened..")));
    ASSERT_TRUE(wait_until([&] { return time_text() == QStringLiteral(" "); }, 2000));
    const DashboardPanel::Reading r = dashboard_->reading();
    EXPECT_EQ(r.speed_frame, 0);
    EXPECT_EQ(r.digital_speed, QString::fromStdString(digital_speed_text(0, 0)));
    EXPECT_EQ(r.g_rows,
              (std::array<QString, 3>{QStringLiteral("Gx : 0.00"), QStringLiteral("Gy : 0.00"),
                                      QStringLiteral("Gz : 0.00")}));
    EXPECT_EQ(r.lamps, (std::array<bool, kAlarmLampCount>{}));
    TyrePanel reset;
    reset.reset();
    EXPECT_EQ(r.tyres, reset.state());
    EXPECT_TRUE(chart_->history().empty());
    EXPECT_EQ(window_->findChild<SkinStatic*>(QStringLiteral("10023"))->text(),
              QStringLiteral(" "));
}

}  // namespace
}  // namespace velmora::test
