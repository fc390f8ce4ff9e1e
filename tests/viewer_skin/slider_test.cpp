#include <gtest/gtest.h>

#include <QHelpEvent>

#include "qt_test_app.h"
#include "skin/slide_button.h"
#include "skin_test_util.h"

namespace velmora {
namespace {

using skin_test::Report;
using skin_test::Reported;
using skin_test::SliderReports;

constexpr int kControl = 10023;

// Track length L = width - height = 100 for every slider here.
template <typename Slider>
void size_for_length_100(Slider& s) {
    s.resize(110, 10);
}

struct PositionCase {
    int minimum, maximum, x, expected;
};

TEST(SliderBase, PositionAtMapsTheTrackOntoTheRange) {
    const PositionCase cases[] = {
        {1, 100, 0, 1},   {1, 100, 100, 100}, {1, 100, 50, 50},  // 1 + trunc(0.5 x 99)
        {1, 100, -20, 1}, {1, 100, 300, 100}, {0, 1000, 33, 330},
        {0, 7, 99, 6},  // truncation, not rounding
        {5, 5, 60, 5},
    };
    for (const PositionCase& c : cases) {
        SlideButton slider(kControl);
        size_for_length_100(slider);
        slider.set_range(c.minimum, c.maximum);
        EXPECT_EQ(slider.position_at(c.x), c.expected)
            << c.minimum << ".." << c.maximum << " at " << c.x;
    }
}

TEST(SliderBase, ThumbFollowsThePositionWithinTheTrack) {
    struct Case {
        int position, expected_x;
    };
    SlideVolume slider(kControl);
    size_for_length_100(slider);
    slider.set_range(0, 200);
    EXPECT_EQ(slider.track_length(), 100);
    for (Case c : {Case{0, 0}, Case{200, 100}, Case{101, 50}, Case{-50, 0}, Case{500, 100}}) {
        slider.set_position(c.position);
        EXPECT_EQ(slider.thumb_x(), c.expected_x) << c.position;
    }
}

TEST(SlideButton, PressDragReleaseReportInOrder) {
    SlideButton slider(kControl);
    SliderReports reports(slider);
    size_for_length_100(slider);
    slider.set_position(40);
    skin_test::press(slider, {10, 5});
    skin_test::drag_to(slider, {70, 5});
    skin_test::release(slider, {90, 5});
    const std::vector<Reported>& got = reports.received();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].report, Report::Pressed);
    EXPECT_EQ(got[0].position, 40);  // the position before the press
    EXPECT_EQ(got[1].report, Report::Dragged);
    EXPECT_EQ(got[1].position, slider.position_at(70));
    EXPECT_EQ(got[2].report, Report::Released);
    EXPECT_EQ(got[2].position, slider.position_at(90));
    EXPECT_EQ(slider.position(), slider.position_at(90));
}

TEST(SlideButton, ReportsAreCappedAtOneHundred) {
    SlideButton slider(kControl);
    SliderReports reports(slider);
    size_for_length_100(slider);
    slider.set_range(1, 1000);
    slider.set_position(900);
    skin_test::press(slider, {0, 5});
    skin_test::drag_to(slider, {100, 5});
    skin_test::release(slider, {100, 5});
    skin_test::hover_to(slider, {80, 5});
    const std::vector<Reported>& got = reports.received();
    ASSERT_EQ(got.size(), 4u);
    for (const Reported& r : got) EXPECT_EQ(r.position, 100) << static_cast<int>(r.report);
    EXPECT_EQ(slider.position(), 1000);  // only the reports are capped
}

TEST(SlideButton, MovesWithoutDragReportThePositionUnderThePointer) {
    SlideButton slider(kControl);
    SliderReports reports(slider);
    size_for_length_100(slider);
    slider.set_position(7);
    skin_test::hover_to(slider, {25, 5});
    const std::vector<Reported>& got = reports.received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].report, Report::Pointed);
    EXPECT_EQ(got[0].position, slider.position_at(25));
    EXPECT_EQ(slider.position(), 7);
    // Resting there reports a hover as well.
    EXPECT_TRUE(fleet_test::wait_until([&] { return got.size() == 2; }, 2000));
    EXPECT_EQ(got[1].report, Report::Hovered);
    EXPECT_EQ(got[1].position, slider.position_at(25));
}

TEST(SlideButton, WorksWithNobodyListening) {
    SlideButton slider(kControl);
    size_for_length_100(slider);
    skin_test::press(slider, {10, 5});
    skin_test::release(slider, {20, 5});
    EXPECT_EQ(slider.position(), slider.position_at(20));
}

TEST(SlideButton, TooltipTextComesFromTheProviderWhenShown) {
    SlideButton slider(kControl);
    size_for_length_100(slider);
    int asked = 0;
    slider.set_tooltip_provider([&] {
        ++asked;
        return QStringLiteral("00:01:%1").arg(asked);
    });
    QHelpEvent help(QEvent::ToolTip, QPoint(20, 5), slider.mapToGlobal(QPoint(20, 5)));
    EXPECT_TRUE(QCoreApplication::sendEvent(&slider, &help));
    EXPECT_EQ(asked, 1);
}

struct VolumeCase {
    int minimum, maximum, release_x, expected;
};

TEST(SlideVolume, ReleasePostsTheVolumeClampedToZeroToHundred) {
    const VolumeCase cases[] = {
        {1, 100, 0, 1},     {1, 100, 100, 100},
        {1, 100, 50, 50},   {0, 300, 100, 100},  // 300 clamps to 100
        {-50, 50, 0, 0},                         // -50 clamps to 0
        {-50, 50, 100, 50},
    };
    for (const VolumeCase& c : cases) {
        SlideVolume volume(kControl);
        SliderReports reports(volume);
        size_for_length_100(volume);
        volume.set_range(c.minimum, c.maximum);
        skin_test::press(volume, {30, 5});
        skin_test::release(volume, {c.release_x, 5});
        const std::vector<Reported>& got = reports.received();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].report, Report::VolumeSet);
        EXPECT_EQ(got[0].position, c.expected)
            << c.minimum << ".." << c.maximum << " at " << c.release_x;
    }
}

TEST(SlideVolume, DraggingMovesThePositionWithoutReporting) {
    SlideVolume volume(kControl);
    SliderReports reports(volume);
    size_for_length_100(volume);
    skin_test::press(volume, {10, 5});
    skin_test::drag_to(volume, {60, 5});
    EXPECT_EQ(volume.position(), volume.position_at(60));
    skin_test::hover_to(volume, {80, 5});
    EXPECT_TRUE(reports.received().empty());
}

TEST(Sliders, UseTheHandCursor) {
    SlideButton position(1);
    SlideVolume volume(2);
    EXPECT_EQ(position.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(volume.cursor().shape(), Qt::PointingHandCursor);
}

}  // namespace
}  // namespace velmora
