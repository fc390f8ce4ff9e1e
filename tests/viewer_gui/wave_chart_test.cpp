// The wave chart as painted, offscreen at device pixel ratios 1 and 2: curves on the rows their
// values give, gaps bridged, the background untouched elsewhere, an empty chart with only its
// axes and labels. Screenshots go to the artifacts folder.
#include "ui/wave_chart.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cmath>

#include "qt_test_app.h"
#include "skin/theme.h"

namespace velmora::test {
namespace {

using fleet_test::artifact_dir;
using fleet_test::is_uniform;
using fleet_test::shows_colour;

constexpr uint32_t kStart = 1700000000;
constexpr int kWidth = 550;
constexpr int kHeight = 250;
// At 550x250 with the standard ranges: x0 = 25, one second = 8 pixels; rows T = 4, G zero 64,
// T + 4c = 124, speed zero 184, temperature zero 214, B = 244.
constexpr int kX0 = 25;
constexpr int kStep = 8;
constexpr int kLineEnd = kX0 + 59 * kStep + 5;  // inside the widget: the whole minute shows
constexpr int kAxisRows[] = {4, 64, 124, 184, 214, 244};
constexpr int kSpeedRow = 154;        // 125 of 250
constexpr int kGxRow = 34;            // 1 g
constexpr int kGyRow = 64;            // 0 g, over the G zero line
constexpr int kGzRow = 94;            // -1 g
constexpr int kTemperatureRow = 206;  // 25 degrees

WaveSample sample(int second, std::optional<int> speed, std::optional<std::array<double, 3>> g) {
    return WaveSample{utc_civil_time(kStart + static_cast<uint32_t>(second)), speed, 25, g};
}

// Ten seconds of level values; the sixth has no speed and the eighth no G, so both lines have
// gaps to bridge.
WaveHistory ten_level_seconds() {
    WaveHistory history;
    for (int second = 0; second < 10; ++second) {
        const std::optional<int> speed = second == 5 ? std::nullopt : std::optional<int>(125);
        const std::optional<std::array<double, 3>> g =
            second == 7 ? std::nullopt : std::optional(std::array<double, 3>{1.0, 0.0, -1.0});
        history.append(sample(second, speed, g));
    }
    return history;
}
constexpr int kLastColumn = kX0 + 9 * kStep;  // the oldest of the ten seconds

// The chart painted at a device pixel ratio into a picture of that many pixels per logical
// pixel, saved as <artifacts>/<name>.png.
QImage paint_chart(WaveChart& chart, int ratio, const QString& name) {
    QImage image(chart.size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    chart.render(&image);
    image.save(artifact_dir() + QLatin1Char('/') + name + QStringLiteral(".png"));
    return image;
}

// Checks on a picture in logical pixels, whatever its ratio.
class Picture {
  public:
    explicit Picture(QImage image)
        : image_(std::move(image)), ratio_(static_cast<int>(image_.devicePixelRatio())) {}

    // Every device pixel of the logical pixels x in [from, to] on row y has the colour.
    bool row_is(int y, int from, int to, const QColor& colour) const {
        for (int x = from; x <= to; ++x) {
            if (!block_is(x, y, colour)) return false;
        }
        return true;
    }
    bool shows(const QColor& colour, const QRect& logical = QRect()) const {
        return shows_colour(image_, colour, device(logical), 0);
    }
    bool uniform(const QRect& logical) const { return is_uniform(image_, device(logical)); }
    QColor at(int x, int y) const { return image_.pixelColor(x * ratio_, y * ratio_); }
    // A line of the colour covers more than half of some device pixel of logical pixel (x, y),
    // judged by how far the pixel has moved from the background towards the colour.
    bool passes(int x, int y, const QColor& colour) const {
        for (int dy = 0; dy < ratio_; ++dy) {
            for (int dx = 0; dx < ratio_; ++dx) {
                if (coverage(image_.pixelColor(x * ratio_ + dx, y * ratio_ + dy), colour) > 0.5)
                    return true;
            }
        }
        return false;
    }

  private:
    // Along the channel where the colour differs most from the background.
    static double coverage(const QColor& pixel, const QColor& colour) {
        const QColor& back = theme::kPanel;
        const int channels[][3] = {{pixel.red(), colour.red(), back.red()},
                                   {pixel.green(), colour.green(), back.green()},
                                   {pixel.blue(), colour.blue(), back.blue()}};
        int best = 0;
        for (int i = 1; i < 3; ++i) {
            if (std::abs(channels[i][1] - channels[i][2]) >
                std::abs(channels[best][1] - channels[best][2]))
                best = i;
        }
        const auto& [seen, full, none] = channels[best];
        return static_cast<double>(seen - none) / (full - none);
    }
    bool block_is(int x, int y, const QColor& colour) const {
        for (int dy = 0; dy < ratio_; ++dy) {
            for (int dx = 0; dx < ratio_; ++dx) {
                if (image_.pixelColor(x * ratio_ + dx, y * ratio_ + dy) != colour) return false;
            }
        }
        return true;
    }
    QRect device(const QRect& logical) const {
        if (logical.isNull()) return QRect();
        return QRect(logical.topLeft() * ratio_, logical.size() * ratio_);
    }

    QImage image_;
    int ratio_;
};

class WaveChartTest : public ::testing::TestWithParam<int> {
  protected:
    WaveChartTest() { chart_.resize(kWidth, kHeight); }
    Picture paint(const char* name) {
        return Picture(paint_chart(chart_, GetParam(),
                                   QStringLiteral("wave_chart_%1_x%2").arg(name).arg(GetParam())));
    }

    WaveChart chart_;
};

TEST_P(WaveChartTest, LevelCurvesLieOnTheirRowsAcrossGaps) {
    chart_.set_history(ten_level_seconds());
    const Picture shot = paint("level");

    struct Curve {
        const char* name;
        QColor colour;
        int row;
    };
    const Curve curves[] = {{"speed", theme::kSpeed, kSpeedRow},
                            {"gx", theme::kGx, kGxRow},
                            {"gy", theme::kGy, kGyRow},
                            {"gz", theme::kGz, kGzRow},
                            {"temperature", theme::kTemperatureCurve, kTemperatureRow}};
    for (const Curve& curve : curves) {
        SCOPED_TRACE(curve.name);
        // From the newest second at the axis to the oldest, through the missing seconds.
        EXPECT_TRUE(shot.row_is(curve.row, kX0, kLastColumn, curve.colour));
        EXPECT_FALSE(shot.shows(curve.colour, QRect(kLastColumn + 1, 0, kWidth, kHeight)));
    }
    // One pixel thick: the rows beside the speed line keep the background.
    EXPECT_TRUE(shot.row_is(kSpeedRow - 1, kX0 + 1, kWidth - 1, theme::kPanel));
    EXPECT_TRUE(shot.row_is(kSpeedRow + 1, kX0 + 1, kWidth - 1, theme::kPanel));
    EXPECT_TRUE(shot.row_is(kSpeedRow, kLastColumn + 1, kWidth - 1, theme::kPanel));
    // Between the lines and curves, right of the axis, only the background.
    EXPECT_TRUE(shot.uniform(QRect(kX0 + 1, kGxRow + 1, kWidth - kX0 - 1, kGyRow - kGxRow - 1)));
    EXPECT_TRUE(shot.uniform(QRect(kX0 + 1, 185, kWidth - kX0 - 1, kTemperatureRow - 185)));
    EXPECT_EQ(shot.at(kX0 + 200, 170), theme::kPanel);
}

TEST_P(WaveChartTest, EmptyChartShowsAxesAndLabelsOnly) {
    chart_.set_history(WaveHistory{});
    const Picture shot = paint("empty");

    for (const int row : kAxisRows) {
        EXPECT_TRUE(shot.row_is(row, kX0, kLineEnd - 1, theme::kChartAxis)) << "row " << row;
        EXPECT_TRUE(shot.row_is(row, kLineEnd + 1, kWidth - 1, theme::kPanel)) << "row " << row;
    }
    for (int y = 0; y < kAxisRows[5]; ++y) {
        ASSERT_EQ(shot.at(kX0, y), theme::kChartAxis) << "axis at row " << y;
    }
    const QRect plot(kX0 + 1, 0, kWidth - kX0 - 1, kHeight);
    for (const QColor& colour :
         {theme::kSpeed, theme::kGx, theme::kGy, theme::kGz, theme::kTemperatureCurve}) {
        EXPECT_FALSE(shot.shows(colour, plot)) << colour.name().toStdString();
    }
    for (int band = 0; band + 1 < 6; ++band) {
        const int from = kAxisRows[band] + 1;
        const int to = kAxisRows[band + 1] - 1;
        EXPECT_TRUE(shot.uniform(QRect(kX0 + 1, from, kWidth - kX0 - 1, to - from + 1)));
    }
    EXPECT_TRUE(shot.shows(theme::kText, QRect(0, 0, kX0, kHeight)));  // the scale labels
}

TEST_P(WaveChartTest, FirstSampleAloneShows) {
    WaveHistory history;
    history.append(sample(0, 125, std::array<double, 3>{1.0, 0.0, -1.0}));
    chart_.set_history(history);
    const Picture shot = paint("first_sample");

    EXPECT_TRUE(shot.row_is(kSpeedRow, kX0, kX0, theme::kSpeed));
    EXPECT_TRUE(shot.row_is(kGxRow, kX0, kX0, theme::kGx));
    EXPECT_FALSE(shot.shows(theme::kSpeed, QRect(kX0 + 2, 0, kWidth, kHeight)));
}

TEST_P(WaveChartTest, NewRangesMoveTheCurves) {
    chart_.set_history(ten_level_seconds());
    chart_.set_ranges(WaveRanges{-4, 4, 150, -50, 100});
    const Picture shot = paint("ranges");

    EXPECT_TRUE(shot.row_is(134, kX0, kLastColumn, theme::kSpeed));  // 125 of 150
    EXPECT_TRUE(shot.row_is(49, kX0, kLastColumn, theme::kGx));      // 1 g of -4..4
    EXPECT_FALSE(shot.shows(theme::kSpeed, QRect(kX0 + 1, kSpeedRow, kWidth, 1)));
    EXPECT_FALSE(shot.shows(theme::kGx, QRect(kX0 + 1, kGxRow, kWidth, 1)));
}

// A full minute of changing values at two sizes: every point of the curves with their own bands
// (and of gz, drawn last) lies on the pixel its value gives, where the line passes more than half.
TEST_P(WaveChartTest, ChangingCurvesPassThroughTheirPoints) {
    WaveHistory history;
    for (int s = 0; s < 70; ++s) {
        const double phase = s / 6.0;
        const std::optional<int> speed =
            s % 17 == 3 ? std::nullopt
                        : std::optional<int>(static_cast<int>(120 + 90 * std::sin(phase)));
        history.append(WaveSample{utc_civil_time(kStart + static_cast<uint32_t>(s)), speed,
                                  static_cast<int>(30 + 40 * std::cos(phase / 2)),
                                  std::array<double, 3>{1.5 * std::sin(phase), std::cos(phase),
                                                        -0.5 + 0.3 * std::sin(2 * phase)}});
    }
    chart_.set_history(history);
    for (const QSize size : {QSize(kWidth, kHeight), QSize(360, 110)}) {
        chart_.resize(size);
        const QString name = QStringLiteral("minute_%1x%2").arg(size.width()).arg(size.height());
        const Picture shot = paint(name.toUtf8().constData());
        const WaveGeometry geometry = wave_geometry(size.width(), size.height());
        for (const WaveCurve curve : {WaveCurve::Speed, WaveCurve::Temperature, WaveCurve::Gz}) {
            const QColor colour = curve == WaveCurve::Speed         ? theme::kSpeed
                                  : curve == WaveCurve::Temperature ? theme::kTemperatureCurve
                                                                    : theme::kGz;
            const std::vector<WavePoint> points =
                wave_points(history, geometry, WaveRanges{}, curve);
            EXPECT_GE(points.size(), 56u);
            for (const WavePoint& p : points) {
                EXPECT_LT(p.x, size.width());  // the whole minute shows
                EXPECT_TRUE(shot.passes(p.x, p.y, colour))
                    << name.toStdString() << " " << colour.name().toStdString() << " at " << p.x
                    << "," << p.y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PixelRatio, WaveChartTest, ::testing::Values(1, 2),
                         [](const auto& ratio) { return "x" + std::to_string(ratio.param); });

TEST(WaveChartStateTest, KeepsCopiesOfWhatItIsGiven) {
    WaveChart chart;
    EXPECT_EQ(chart.objectName(), QStringLiteral("12016"));
    EXPECT_EQ(chart.ranges(), WaveRanges{});
    EXPECT_EQ(chart.history(), WaveHistory{});

    WaveHistory history = ten_level_seconds();
    chart.set_history(history);
    const WaveRanges ranges{-8, 8, 300, -20, 50};
    chart.set_ranges(ranges);
    history.clear();
    EXPECT_EQ(chart.history(), ten_level_seconds());
    EXPECT_EQ(chart.ranges(), ranges);
}

}  // namespace
}  // namespace velmora::test
