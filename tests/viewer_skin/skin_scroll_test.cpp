#include "skin/skin_scroll.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <QTest>

#include "qt_test_app.h"
#include "skin_test_util.h"

namespace velmora {
namespace {

constexpr int kLength = 232;  // 200 pixels of track between the two 16-pixel arrows

struct ThumbCase {
    Qt::Orientation orientation;
    int minimum, maximum, page, value;
    int start, length;  // along the bar; length 0 = no thumb
};

QRect along(Qt::Orientation o, int start, int length) {
    return o == Qt::Vertical ? QRect(0, start, 16, length) : QRect(start, 0, length, 16);
}

TEST(SkinScroll, ThumbLengthIsThePageShareOfTheTrack) {
    const ThumbCase cases[] = {
        {Qt::Vertical, 0, 0, 10, 0, 0, 0},  // everything fits: no thumb
        {Qt::Vertical, 5, 5, 1, 5, 0, 0},
        {Qt::Vertical, 0, 5, 10, 0, 16, 133},        // 10 x 200 / 15
        {Qt::Vertical, 0, 5, 10, 5, 16 + 66, 133},   // 200 x 5 / 15
        {Qt::Vertical, 0, 90, 10, 45, 16 + 90, 20},  // 10 x 200 / 100, start 200 x 45 / 100
        {Qt::Horizontal, 0, 30, 10, 30, 16 + 150, 50},
        {Qt::Horizontal, 10, 40, 10, 10, 16, 50},         // the start counts from the minimum
        {Qt::Vertical, 0, 9990, 10, 9990, 16 + 190, 10},  // tiny thumbs keep a grip size
    };
    for (const ThumbCase& c : cases) {
        SkinScroll bar(c.orientation);
        bar.resize(c.orientation == Qt::Vertical ? QSize(16, kLength) : QSize(kLength, 16));
        bar.setRange(c.minimum, c.maximum);
        bar.setPageStep(c.page);
        bar.setValue(c.value);
        const QRect expected = c.length == 0 ? QRect() : along(c.orientation, c.start, c.length);
        EXPECT_EQ(bar.thumb_rect(), expected)
            << c.minimum << ".." << c.maximum << " page " << c.page << " at " << c.value;
    }
}

TEST(SkinScroll, PaintsTheThumbWhereItIsHit) {
    SkinScroll bar(Qt::Vertical);
    bar.resize(16, kLength);
    bar.setRange(0, 90);
    bar.setPageStep(10);
    bar.setValue(45);
    const QRect thumb = bar.thumb_rect();
    const QImage shot = bar.grab().toImage();
    const QRgb track = shot.pixel(8, 20);
    EXPECT_NE(shot.pixel(thumb.center()), track);
    EXPECT_EQ(shot.pixel(8, thumb.top() - 3), track);
    EXPECT_EQ(shot.pixel(8, thumb.bottom() + 3), track);
    bar.setRange(0, 0);
    EXPECT_EQ(bar.grab().toImage().pixel(thumb.center()), track);
}

TEST(SkinScroll, ArrowsSitAtBothEnds) {
    SkinScroll bar(Qt::Horizontal);
    bar.resize(kLength, 16);
    EXPECT_EQ(bar.first_arrow_rect(), QRect(0, 0, 16, 16));
    EXPECT_EQ(bar.second_arrow_rect(), QRect(kLength - 16, 0, 16, 16));
    EXPECT_EQ(skin_scroll_thickness(), 16);
    EXPECT_EQ(bar.sizeHint().height(), 16);
}

TEST(SkinScroll, DraggingThePaintedThumbScrolls) {
    SkinScroll bar(Qt::Vertical);
    bar.resize(16, kLength);
    bar.setRange(0, 90);
    bar.setPageStep(10);
    bar.show();
    const QRect thumb = bar.thumb_rect();
    ASSERT_FALSE(thumb.isEmpty());
    // 180 free pixels for a range of 90: two pixels per step.
    QTest::mousePress(&bar, Qt::LeftButton, {}, thumb.center());
    QTest::mouseMove(&bar, thumb.center() + QPoint(0, 60));
    EXPECT_EQ(bar.value(), 30);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, thumb.center() + QPoint(0, 60));
    EXPECT_EQ(bar.thumb_rect().top(), thumb.top() + 60);
}

TEST(SkinScroll, ClickInTheTrackPages) {
    SkinScroll bar(Qt::Vertical);
    bar.resize(16, kLength);
    bar.setRange(0, 90);
    bar.setPageStep(10);
    bar.show();
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(8, kLength - 20));
    EXPECT_EQ(bar.value(), 10);
}

TEST(SkinScroll, HeldArrowRepeatsUntilTheEndOfTheRange) {
    SkinScroll bar(Qt::Vertical);
    bar.resize(16, kLength);
    bar.setRange(0, 4);
    bar.setPageStep(10);
    bar.show();
    QTest::mousePress(&bar, Qt::LeftButton, {}, bar.second_arrow_rect().center());
    EXPECT_EQ(bar.value(), 1);  // the first step comes with the press
    // Four steps at 100 ms reach the end well within a second; none goes past it.
    EXPECT_TRUE(fleet_test::wait_until([&] { return bar.value() == 4; }, 1500));
    fleet_test::process_events_for(250);
    EXPECT_EQ(bar.value(), 4);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, bar.second_arrow_rect().center());
}

TEST(SkinScroll, ArrowRepeatRunsAtAHundredMilliseconds) {
    SkinScroll bar(Qt::Horizontal);
    bar.resize(kLength, 16);
    bar.setRange(0, 1000);
    bar.show();
    QTest::mousePress(&bar, Qt::LeftButton, {}, bar.second_arrow_rect().center());
    fleet_test::process_events_for(550);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, bar.second_arrow_rect().center());
    // 1 on the press plus about five repeats; the style's 50 ms default would give about ten.
    const int held_steps = bar.value();
    EXPECT_GE(held_steps, 3);
    EXPECT_LE(held_steps, 7);
    fleet_test::process_events_for(300);
    EXPECT_EQ(bar.value(), held_steps);  // the release stopped the repeat
}

TEST(WrapWithSkinScroll, GivesTheAreaSkinnedBarsAndACorner) {
    QListWidget list;
    for (int i = 0; i < 200; ++i)
        list.addItem(QStringLiteral("a fairly long vehicle name %1 ............").arg(i));
    list.resize(200, 150);
    wrap_with_skin_scroll(&list);
    list.show();
    ASSERT_NE(qobject_cast<SkinScroll*>(list.verticalScrollBar()), nullptr);
    ASSERT_NE(qobject_cast<SkinScroll*>(list.horizontalScrollBar()), nullptr);
    QCoreApplication::processEvents();
    const QWidget* corner = list.findChild<QWidget*>(QStringLiteral("skin_scroll_corner"));
    ASSERT_NE(corner, nullptr);
    EXPECT_TRUE(corner->isVisible());
    const QRect vbar(list.verticalScrollBar()->mapTo(&list, QPoint(0, 0)),
                     list.verticalScrollBar()->size());
    const QRect hbar(list.horizontalScrollBar()->mapTo(&list, QPoint(0, 0)),
                     list.horizontalScrollBar()->size());
    EXPECT_EQ(corner->geometry(), QRect(vbar.left(), hbar.top(), 16, 16));
    EXPECT_EQ(list.verticalScrollBar()->width(), 16);
    EXPECT_FALSE(static_cast<SkinScroll*>(list.verticalScrollBar())->thumb_rect().isEmpty());
    list.verticalScrollBar()->setValue(50);
    EXPECT_EQ(list.verticalScrollBar()->value(), 50);
}

TEST(WrapWithSkinScroll, AShortListShowsNoBarsAndNoCorner) {
    QListWidget list;
    list.addItem(QStringLiteral("one"));
    list.resize(200, 150);
    wrap_with_skin_scroll(&list);
    list.show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(list.verticalScrollBar()->isVisible());
    EXPECT_FALSE(list.horizontalScrollBar()->isVisible());
    EXPECT_FALSE(list.findChild<QWidget*>(QStringLiteral("skin_scroll_corner"))->isVisible());
}

TEST(WrapWithSkinScroll, OneBarLeavesNoCorner) {
    QListWidget list;
    for (int i = 0; i < 200; ++i) list.addItem(QStringLiteral("short %1").arg(i));
    list.resize(200, 150);
    wrap_with_skin_scroll(&list);
    list.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(list.verticalScrollBar()->isVisible());
    EXPECT_FALSE(list.horizontalScrollBar()->isVisible());
    EXPECT_FALSE(list.findChild<QWidget*>(QStringLiteral("skin_scroll_corner"))->isVisible());
    // The lone bar runs the full height of the list's viewport.
    const QScrollBar* bar = list.verticalScrollBar();
    EXPECT_EQ(bar->mapTo(&list, QPoint(0, bar->height() - 1)).y(),
              list.viewport()->geometry().bottom());
}

}  // namespace
}  // namespace velmora
