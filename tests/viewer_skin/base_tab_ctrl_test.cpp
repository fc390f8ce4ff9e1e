#include "skin/base_tab_ctrl.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "skin/theme.h"

namespace velmora {
namespace {

TEST(BaseTabCtrl, RefusesTheSeventeenthPage) {
    BaseTabCtrl tabs;
    for (int i = 0; i < BaseTabCtrl::kMaxPages; ++i)
        EXPECT_EQ(tabs.add_page(QStringLiteral("Page %1").arg(i), new QWidget, 100 + i), 1) << i;
    auto* extra = new QWidget;
    EXPECT_EQ(tabs.add_page(QStringLiteral("one too many"), extra, 999), 0);
    EXPECT_EQ(tabs.count(), 16);
    EXPECT_EQ(tabs.page_id(15), 115);
    EXPECT_EQ(tabs.page_id(16), -1);
    EXPECT_EQ(extra->parent(), nullptr);  // a refused page stays the caller's
    delete extra;
}

TEST(BaseTabCtrl, PagesAreHiddenUntilChosenAndFillTheAreaBelowTheTabs) {
    BaseTabCtrl tabs;
    tabs.resize(400, 300);
    auto* first = new QWidget;
    auto* second = new QWidget;
    tabs.add_page(QStringLiteral("Vehicle"), first, 1);
    tabs.add_page(QStringLiteral("Alarm"), second, 2);
    tabs.show();
    EXPECT_EQ(tabs.current_index(), -1);
    EXPECT_FALSE(first->isVisible());
    EXPECT_FALSE(second->isVisible());
    QSignalSpy changed(&tabs, &BaseTabCtrl::current_changed);
    QTest::mouseClick(&tabs, Qt::LeftButton, {}, tabs.tab_rect(1).center());
    EXPECT_EQ(tabs.current_index(), 1);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toInt(), 1);
    EXPECT_TRUE(second->isVisible());
    EXPECT_FALSE(first->isVisible());
    const QRect tab = tabs.tab_rect(1);
    EXPECT_GE(second->geometry().top(), tab.bottom());
    EXPECT_GE(second->geometry().height(), 300 - tab.height() - 4);
    tabs.set_current_index(0);
    EXPECT_TRUE(first->isVisible());
    EXPECT_FALSE(second->isVisible());
}

TEST(BaseTabCtrl, TabsFollowEachOtherAlongTheRow) {
    BaseTabCtrl tabs;
    tabs.add_page(QStringLiteral("A"), new QWidget, 1);
    tabs.add_page(QStringLiteral("A much longer title"), new QWidget, 2);
    EXPECT_LT(tabs.tab_rect(0).right(), tabs.tab_rect(1).left());
    EXPECT_GT(tabs.tab_rect(1).width(), tabs.tab_rect(0).width());
    EXPECT_TRUE(tabs.tab_rect(2).isNull());
}

TEST(BaseTabCtrl, PageAreaIsFramedInWhite) {
    BaseTabCtrl tabs;
    tabs.resize(200, 120);
    tabs.add_page(QStringLiteral("A"), new QWidget, 1);
    const QImage shot = tabs.grab().toImage();
    const int top = tabs.tab_rect(0).bottom() + 1;
    EXPECT_EQ(QColor(shot.pixel(100, top)), theme::kText);
    EXPECT_EQ(QColor(shot.pixel(0, 80)), theme::kText);
    EXPECT_EQ(QColor(shot.pixel(199, 80)), theme::kText);
}

}  // namespace
}  // namespace velmora
