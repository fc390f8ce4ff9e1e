#include "skin/skin_static.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "skin/artwork.h"
#include "skin/theme.h"
#include "skin_test_util.h"

namespace velmora {
namespace {

TEST(SkinStatic, FillsFromTheOffsetWithItsBackgroundAndDrawsBorders) {
    SkinStatic label(1);
    label.resize(120, 20);
    const QColor background(10, 90, 30);
    label.set_text(QStringLiteral("00:12:59"), 30, Qt::white, background);
    const QImage shot = label.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(0, 10)), theme::kBorderLine);
    EXPECT_EQ(QColor(shot.pixel(119, 10)), theme::kBorderLine);
    EXPECT_EQ(QColor(shot.pixel(31, 1)), background);
    EXPECT_NE(QColor(shot.pixel(29, 1)), background);  // left of the offset stays unpainted
    label.set_border(false);
    EXPECT_EQ(QColor(label.grab().toImage().pixel(119, 10)), background);
}

TEST(SkinStatic, TextSetterKeepsOffsetAndColours) {
    SkinStatic label(1);
    label.set_text(QStringLiteral("a"), 7, Qt::red, Qt::blue);
    label.set_text(QStringLiteral("b"));
    EXPECT_EQ(label.text(), QStringLiteral("b"));
    label.resize(50, 10);
    EXPECT_EQ(QColor(label.grab().toImage().pixel(45, 1)), QColor(Qt::blue));
}

TEST(SkinStatic, ClickedOnlyOnReleaseInside) {
    SkinStatic label(1);
    label.resize(60, 20);
    QSignalSpy clicks(&label, &SkinStatic::clicked);
    QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(100, 10));
    EXPECT_EQ(clicks.count(), 1);
}

TEST(SkinMenuText, DrawsItsBoxOnlyWithText) {
    SkinMenuText title(2);
    title.resize(80, 20);
    EXPECT_NE(QColor(title.grab().toImage().pixel(1, 1)), theme::kMenuTitle);
    title.set_text(QStringLiteral("File"), Qt::white, Qt::gray);
    EXPECT_EQ(QColor(title.grab().toImage().pixel(1, 1)), theme::kMenuTitle);
    QSignalSpy clicks(&title, &SkinMenuText::clicked);
    QTest::mouseClick(&title, Qt::LeftButton, {}, QPoint(40, 10));
    EXPECT_EQ(clicks.count(), 1);
}

}  // namespace
}  // namespace velmora
