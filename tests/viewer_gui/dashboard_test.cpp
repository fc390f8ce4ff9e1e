// The vehicle dashboard on its own, offscreen: what its controls show after a feed, where they
// sit, unit selector clicks, repainting only on change, and the rendered picture at device
// pixel ratio 1 and 2. Screenshots land in build/artifacts.
#include <QPainter>
#include <QTest>
#include <cstring>
#include <functional>
#include <ostream>

#include "model/dashboard_layout.h"
#include "qt_test_app.h"
#include "ui/dashboard_panel.h"

// Readable rectangles in failure messages.
void PrintTo(const QRect& r, std::ostream* out) {
    *out << "QRect(" << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ")";
}

namespace velmora::test {
namespace {

using fleet_test::artifact_dir;
using fleet_test::is_uniform;
using fleet_test::process_events_for;
using fleet_test::region_of;
using fleet_test::shows_colour;

const std::string kFahrenheit = "\u2109";

TyreRecordBytes record(float psi, int32_t celsius, int32_t status) {
    TyreRecordBytes bytes{};
    std::memcpy(bytes.data() + 4, &psi, 4);
    std::memcpy(bytes.data() + 8, &celsius, 4);
    std::memcpy(bytes.data() + 12, &status, 4);
    return bytes;
}

QWidget* control(DashboardPanel& panel, int id) {
    return panel.findChild<QWidget*>(QString::number(id));
}

// The panel drawn into a picture at the given device pixel ratio and saved as an artifact.
QImage render(DashboardPanel& panel, qreal ratio, const QString& name) {
    QImage picture(panel.size() * ratio, QImage::Format_RGB32);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::black);
    panel.render(&picture);
    picture.save(artifact_dir() + QLatin1Char('/') + name + QStringLiteral(".png"));
    return picture;
}

// A control's area in device pixels of the panel's picture.
QRect area(DashboardPanel& panel, int id, qreal ratio) {
    const QRect r = region_of(*control(panel, id), panel);
    return QRect((r.topLeft().toPointF() * ratio).toPoint(), r.size() * ratio);
}

int count_pixels(const QImage& image, const QRect& region, const std::function<bool(QColor)>& is) {
    int count = 0;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            if (is(QColor(image.pixel(x, y)))) ++count;
        }
    }
    return count;
}

bool reddish(QColor c) {
    return c.red() > 150 && c.green() < 90 && c.blue() < 90;
}

bool bluish(QColor c) {
    return c.blue() > 150 && c.red() < 90;
}

// Feeds the panel as the display cycle would, with Fahrenheit, kPa and miles per hour.
void feed(DashboardPanel& panel) {
    panel.set_speed_unit(1);
    panel.set_temperature_unit(1);
    panel.set_pressure_unit(1);
    panel.set_speed_range(150);
    panel.set_speed(75);
    panel.set_temperature(99);
    panel.set_g_values(0.5, -1.25, 1.0);
    std::array<bool, kAlarmLampCount> lamps{};
    lamps[0] = lamps[2] = lamps[8] = true;
    panel.set_alarm_lamps(lamps);
    panel.request_relayout();
    // Unit 1 type 3 (six tyres, the third at status 4), unit 2 type 2 with its flag in alarm.
    std::vector<TyreRecordBytes> records;
    for (int i = 0; i < 10; ++i) records.push_back(record(35.0f, 37, i == 2 ? 4 : 1));
    panel.update_tyres({3, 2, 0, 1, 0, 1}, records);
}

class DashboardTest : public ::testing::Test {
  protected:
    DashboardPanel panel_;
};

TEST_F(DashboardTest, ReadingShowsTheFedValues) {
    feed(panel_);
    const DashboardPanel::Reading r = panel_.reading();
    EXPECT_EQ(r.speed_frame, 8);
    EXPECT_EQ(r.digital_speed, QStringLiteral(" 75 mile/h"));
    EXPECT_EQ(r.speed_text, QStringLiteral("Speed: 75 mile/h"));
    EXPECT_EQ(r.temperature_text, QStringLiteral("Temp:99 \u2109"));
    EXPECT_EQ(r.g_rows,
              (std::array<QString, 3>{QStringLiteral("Gx : 0.50"), QStringLiteral("Gy : -1.25"),
                                      QStringLiteral("Gz : 1.00")}));
    EXPECT_EQ(r.lamps, (std::array<bool, kAlarmLampCount>{true, false, true, false, false, false,
                                                          false, false, true, false}));
    const TyrePanelState& t = r.tyres;
    EXPECT_EQ(t.unit_alert, (std::array<bool, 3>{true, true, false}));
    EXPECT_EQ(t.layout_types, (std::array<int, 3>{3, 2, 0}));
    EXPECT_EQ(t.tyres[0], (TyreSlot{1, true, "99" + kFahrenheit, "241kpa"}));
    EXPECT_EQ(t.tyres[4].state, 4);
    EXPECT_FALSE(t.tyres[5].visible);
    EXPECT_EQ(t.tyres[5].line1, "");
    EXPECT_EQ(t.repeater, 1);
    EXPECT_EQ(t.outline_unit, 1);
    EXPECT_EQ(panel_.speed_unit(), 1);
    EXPECT_EQ(panel_.temperature_unit(), 1);
    EXPECT_EQ(panel_.pressure_unit(), 1);

    // The temperature gauge follows its unit at once; the speed range moves the bar graph.
    panel_.set_temperature_unit(0);
    EXPECT_EQ(panel_.reading().temperature_text, QStringLiteral("Temp:99 \u2103"));
    panel_.set_speed_range(300);
    EXPECT_EQ(panel_.reading().speed_frame, 4);
}

TEST_F(DashboardTest, OlderTyreDataAndReset) {
    feed(panel_);
    panel_.request_relayout();
    panel_.update_tyres_legacy({record(30.0f, 80, 3), record(30.0f, 81, 1)});
    DashboardPanel::Reading r = panel_.reading();
    EXPECT_EQ(r.tyres.tyres[0].state, 1);
    EXPECT_EQ(r.tyres.tyres[3].state, 4);
    EXPECT_EQ(r.tyres.tyres[8], (TyreSlot{kNoTyreIcon, true, "", ""}));
    EXPECT_FALSE(r.tyres.tyres[4].visible);
    EXPECT_EQ(r.tyres.tyres[3].line1, "178" + kFahrenheit);  // 177.8
    EXPECT_EQ(r.tyres.unit_alert, (std::array<bool, 3>{true, false, false}));
    EXPECT_EQ(r.tyres.repeater, 0);

    panel_.reset_tyres();
    r = panel_.reading();
    EXPECT_EQ(r.tyres, TyrePanel().state());
}

TEST_F(DashboardTest, UnitSelectorActsOnlyWhilePlaying) {
    feed(panel_);
    bool playing = false;
    panel_.is_playing = [&playing] { return playing; };
    QWidget* second = control(panel_, dash_id::kFirstUnitSelector + 1);
    QWidget* third = control(panel_, dash_id::kFirstUnitSelector + 2);
    QTest::mouseClick(second, Qt::LeftButton);
    EXPECT_EQ(panel_.reading().tyres.current_unit, 1);
    playing = true;
    QTest::mouseClick(third, Qt::LeftButton);  // unit 3 absent
    EXPECT_EQ(panel_.reading().tyres.current_unit, 1);
    QTest::mouseClick(second, Qt::LeftButton);
    EXPECT_EQ(panel_.reading().tyres.current_unit, 2);
    EXPECT_EQ(panel_.reading().tyres.outline_unit, 2);
    // The next update shows unit 2's four tyres, read after unit 1's six records.
    std::vector<TyreRecordBytes> records(6, record(30.0f, 20, 1));
    for (int i = 0; i < 4; ++i) records.push_back(record(100.0f + static_cast<float>(i), 30, 1));
    panel_.update_tyres({3, 2, 0, 1, 0, 1}, records);
    const TyrePanelState tyres = panel_.reading().tyres;
    for (int p = 0; p < kTyrePositions; ++p) {
        EXPECT_EQ(tyres.tyres[p].visible, p >= 4 && p <= 7) << p;
    }
    EXPECT_EQ(tyres.tyres[7].line2, "710kpa");  // 103 psi
    EXPECT_EQ(tyres.repeater, 0);

    // Unit 3 appears (a drawbar trailer, type 7: six tyres after unit 2's four records).
    for (int i = 0; i < 6; ++i) records.push_back(record(90.0f, 40, 1));
    panel_.update_tyres({3, 2, 7, 1, 0, 1}, records);
    QTest::mouseClick(third, Qt::LeftButton);
    panel_.update_tyres({3, 2, 7, 1, 0, 1}, records);
    const TyrePanelState third_unit = panel_.reading().tyres;
    EXPECT_EQ(third_unit.current_unit, 3);
    EXPECT_EQ(third_unit.tyres[0].line2, "621kpa");  // 90 psi
    EXPECT_FALSE(third_unit.tyres[1].visible);

    // Each unit has its own outline picture.
    panel_.resize(kDashboardDesignWidth / 2, kDashboardDesignHeight / 2);
    std::array<QImage, 3> outlines;
    for (int unit = 3; unit >= 1; --unit) {
        QTest::mouseClick(control(panel_, dash_id::kFirstUnitSelector + unit - 1), Qt::LeftButton);
        panel_.update_tyres({3, 2, 7, 1, 0, 1}, records);
        const QImage picture = render(panel_, 1.0, QStringLiteral("dashboard_unit%1").arg(unit));
        outlines[unit - 1] = picture.copy(area(panel_, dash_id::kUnitOutline, 1.0));
    }
    EXPECT_NE(outlines[0], outlines[1]);
    EXPECT_NE(outlines[1], outlines[2]);
    EXPECT_NE(outlines[0], outlines[2]);
}

TEST_F(DashboardTest, ControlsSitAtTheirScaledRectangles) {
    panel_.resize(1200, 213);
    panel_.show();  // a hidden widget gets its resize only when shown
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel_));
    for (const auto& [id, rect] : dashboard_layout(1200, 213)) {
        QWidget* placed = control(panel_, id);
        ASSERT_NE(placed, nullptr) << id;
        EXPECT_EQ(placed->geometry(), QRect(rect.x, rect.y, rect.width, rect.height)) << id;
    }
    EXPECT_EQ(control(panel_, dash_id::kFirstAlarm + 2)->geometry(), QRect(212, 110, 38, 41));
}

// A control repaints when its value changes, not when the same value comes again.
TEST_F(DashboardTest, RepaintsOnlyOnChange) {
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) ++paints;
            return false;
        }
    };
    panel_.resize(1004, 163);
    feed(panel_);
    panel_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel_));
    process_events_for(50);
    PaintCounter text_paints, lamp_paints;
    control(panel_, dash_id::kFirstTyreText)->installEventFilter(&text_paints);
    control(panel_, dash_id::kFirstAlarm)->installEventFilter(&lamp_paints);
    feed(panel_);
    process_events_for(50);
    EXPECT_EQ(text_paints.paints, 0);
    EXPECT_EQ(lamp_paints.paints, 0);
    panel_.set_pressure_unit(0);
    panel_.update_tyres({3, 2, 0, 1, 0, 1}, std::vector<TyreRecordBytes>(10, record(35, 37, 1)));
    panel_.set_alarm_lamps({});
    process_events_for(50);
    EXPECT_GT(text_paints.paints, 0);
    EXPECT_GT(lamp_paints.paints, 0);
    EXPECT_EQ(panel_.reading().tyres.tyres[0].line2, "35psi");
}

TEST_F(DashboardTest, PictureShowsTheFedValues) {
    const struct {
        QSize size;
        qreal ratio;
        const char* name;
    } cases[] = {
        {{kDashboardDesignWidth, kDashboardDesignHeight}, 1.0, "dashboard_2009x326"},
        {{kDashboardDesignWidth / 2, kDashboardDesignHeight / 2}, 2.0, "dashboard_1004x163_dpr2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DashboardPanel panel;
        panel.resize(c.size);
        feed(panel);
        const QImage picture = render(panel, c.ratio, QString::fromLatin1(c.name));
        ASSERT_EQ(picture.size(), c.size * c.ratio);
        EXPECT_FALSE(is_uniform(picture));
        const auto region = [&](int id) { return area(panel, id, c.ratio); };
        // Lamps 1 and 3 on (red), 2 off (grey only).
        EXPECT_GT(count_pixels(picture, region(dash_id::kFirstAlarm), reddish), 0);
        EXPECT_GT(count_pixels(picture, region(dash_id::kFirstAlarm + 2), reddish), 0);
        EXPECT_EQ(count_pixels(picture, region(dash_id::kFirstAlarm + 1), reddish), 0);
        // The G rows in their colours, each in its own third of the readout.
        const QRect g = region(dash_id::kGReadout);
        const int third = g.height() / 3;
        const QColor row_colours[] = {{216, 0, 0}, {237, 184, 0}, {18, 124, 0}};
        for (int k = 0; k < 3; ++k) {
            const QRect row(g.left(), g.top() + k * third, g.width(), third);
            EXPECT_TRUE(shows_colour(picture, row_colours[k], row, 8)) << k;
            EXPECT_FALSE(shows_colour(picture, row_colours[(k + 1) % 3], row, 8)) << k;
        }
        EXPECT_TRUE(shows_colour(picture, QColor(38, 215, 234), region(dash_id::kSpeedText), 8));
        // Units 1 and 2 in alert (red), unit 3 normal (blue).
        const int first_selector = dash_id::kFirstUnitSelector;
        EXPECT_GT(count_pixels(picture, region(first_selector), reddish), 0);
        EXPECT_EQ(count_pixels(picture, region(first_selector + 2), reddish), 0);
        EXPECT_GT(count_pixels(picture, region(first_selector + 2), bluish), 0);
        // The tyre at status 4 shows red; a hidden position shows no tyre colour.
        EXPECT_GT(count_pixels(picture, region(dash_id::kFirstTyreIcon + 4), reddish), 0);
        EXPECT_EQ(count_pixels(picture, region(dash_id::kFirstTyreIcon + 5), reddish), 0);
        EXPECT_TRUE(shows_colour(picture, QColor(44, 190, 84), region(dash_id::kFirstTyreIcon)));
        // White tyre texts on their dark grey.
        const QRect text = region(dash_id::kFirstTyreText);
        EXPECT_TRUE(shows_colour(picture, Qt::white, text, 0));
        EXPECT_TRUE(shows_colour(picture, QColor(30, 30, 30), text, 0));
        // Bars lit in the lower half of the range only: the left bar green, the right one not.
        const QRect bars = region(dash_id::kSpeedBar);
        const QRect left(bars.left(), bars.top(), bars.width() / 15, bars.height());
        const QRect right(bars.right() - bars.width() / 15, bars.top(), bars.width() / 15,
                          bars.height());
        EXPECT_TRUE(shows_colour(picture, QColor(40, 200, 90), left, 10));
        EXPECT_FALSE(shows_colour(picture, QColor(230, 40, 40), right, 40));
    }
}

}  // namespace
}  // namespace velmora::test
