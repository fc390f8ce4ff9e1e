#include "skin/skin_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>

#include "skin/artwork.h"
#include "skin_test_util.h"

namespace velmora {
namespace {

using skin_test::press;
using skin_test::release;

void enter(QWidget& w) {
    QEnterEvent event(QPointF(24, 24), QPointF(24, 24), w.mapToGlobal(QPointF(24, 24)));
    QCoreApplication::sendEvent(&w, &event);
}

void leave(QWidget& w) {
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(&w, &event);
}

TEST(SkinButton, FrameFollowsHoverPressAndEnabledState) {
    SkinButton button(10007, art::kPlay);
    EXPECT_EQ(button.current_frame(), 1);
    enter(button);
    EXPECT_EQ(button.current_frame(), 2);
    press(button, {24, 24});
    EXPECT_EQ(button.current_frame(), 3);
    release(button, {24, 24});
    EXPECT_EQ(button.current_frame(), 2);
    leave(button);
    EXPECT_EQ(button.current_frame(), 1);
}

TEST(SkinButton, DisabledShowsFrameFourAndForgetsHover) {
    SkinButton button(10007, art::kPlay);
    enter(button);
    ASSERT_EQ(button.current_frame(), 2);
    button.setEnabled(false);
    EXPECT_EQ(button.current_frame(), 4);
    enter(button);
    EXPECT_EQ(button.current_frame(), 4);
    button.setEnabled(true);
    EXPECT_EQ(button.current_frame(), 1);  // the hover seen while disabled was not kept
}

// A click takes the focus only where the focus policy allows it.
TEST(SkinButton, PressTakesTheFocusOnlyWhenThePolicyAllows) {
    QWidget window;
    auto* focusable = new SkinButton(10007, art::kPlay, &window);
    auto* unfocusable = new SkinButton(10008, art::kStepBackward, &window);
    unfocusable->move(60, 0);
    unfocusable->setFocusPolicy(Qt::NoFocus);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::mouseClick(focusable, Qt::LeftButton, {}, QPoint(24, 24));
    EXPECT_TRUE(focusable->hasFocus());
    QTest::mouseClick(unfocusable, Qt::LeftButton, {}, QPoint(24, 24));
    EXPECT_FALSE(unfocusable->hasFocus());
}

TEST(SkinButton, DisabledButtonDoesNotClick) {
    SkinButton button(10007, art::kPlay);
    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(24, 24));
    EXPECT_EQ(clicks.count(), 0);
}

struct ReleaseCase {
    const char* name;
    QPoint release_at;
    int clicks;
};

TEST(SkinButton, ClicksOnlyWhenReleasedOnTheButton) {
    const ReleaseCase cases[] = {
        {"centre", {24, 24}, 1},
        {"inside near the rim", {24, 3}, 1},
        {"outside the widget", {70, 24}, 0},
        {"inside the widget, outside the round shape", {1, 1}, 0},
    };
    for (const ReleaseCase& c : cases) {
        SCOPED_TRACE(c.name);
        SkinButton button(10007, art::kPlay);
        QSignalSpy clicks(&button, &QAbstractButton::clicked);
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(24, 24));
        QTest::mouseRelease(&button, Qt::LeftButton, {}, c.release_at);
        EXPECT_EQ(clicks.count(), c.clicks);
    }
}

TEST(SkinButton, DoubleClickGivesOneClick) {
    SkinButton button(10007, art::kPlay);
    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    QTest::mouseDClick(&button, Qt::LeftButton, {}, QPoint(24, 24));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(24, 24));
    EXPECT_LE(clicks.count(), 1);
    EXPECT_FALSE(button.isDown());
}

TEST(SkinButton, RegionModeShapesTheWidgetRectangleModeDoesNot) {
    SkinButton button(10015, art::kOpenFile);
    EXPECT_EQ(button.sizeHint(), QSize(32, 32));
    EXPECT_TRUE(button.mask().contains(QPoint(16, 16)));
    EXPECT_FALSE(button.mask().contains(QPoint(0, 0)));
    button.set_mode(SkinButton::Mode::Rectangle);
    EXPECT_TRUE(button.mask().isEmpty());
    EXPECT_EQ(button.sizeHint(), QSize(38, 38));
}

TEST(SkinButton, PaintsTheFrameItShows) {
    SkinButton button(10007, art::kPlay);
    button.resize(button.sizeHint());
    const QImage expected_normal = strip_frame(skin_pixmap(art::kPlay, 1.0), 1).toImage();
    const QImage expected_hover = strip_frame(skin_pixmap(art::kPlay, 1.0), 2).toImage();
    const QPoint centre(24, 24);
    EXPECT_EQ(button.grab().toImage().pixel(centre), expected_normal.pixel(centre));
    enter(button);
    EXPECT_EQ(button.grab().toImage().pixel(centre), expected_hover.pixel(centre));
}

}  // namespace
}  // namespace velmora
