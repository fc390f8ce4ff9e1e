#include "skin/sub_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "qt_test_app.h"
#include "skin/theme.h"
#include "skin_test_util.h"

namespace velmora {
namespace {

TEST(SubDialog, CloseBoxClickRejectsLikeTheSystemClose) {
    SubDialog dialog;
    dialog.resize(300, 200);
    dialog.show();
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, dialog.close_rect().center());
    EXPECT_EQ(rejected.count(), 1);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(SubDialog, PressOnCloseBoxReleasedElsewhereKeepsTheDialog) {
    SubDialog dialog;
    dialog.resize(300, 200);
    dialog.show();
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QTest::mousePress(&dialog, Qt::LeftButton, {}, dialog.close_rect().center());
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(100, 10));  // caption, not the box
    EXPECT_EQ(rejected.count(), 0);
    EXPECT_TRUE(dialog.isVisible());
}

TEST(SubDialog, CloseBoxLightsUpUnderThePointer) {
    SubDialog dialog;
    dialog.resize(300, 200);
    dialog.show();
    const QPoint centre = dialog.close_rect().center() + QPoint(0, 3);
    const QColor normal = dialog.grab().toImage().pixel(centre);
    skin_test::hover_to(dialog, centre);
    const QColor lit = dialog.grab().toImage().pixel(centre);
    EXPECT_GT(lit.red(), 180);
    EXPECT_LT(lit.green(), 90);
    EXPECT_LT(normal.red(), 120);
    skin_test::hover_to(dialog, QPoint(100, 100));
    EXPECT_EQ(QColor(dialog.grab().toImage().pixel(centre)), normal);
}

TEST(SubDialog, CloseBoxSitsAtTheRightOfTheCaption) {
    SubDialog dialog;
    dialog.resize(300, 200);
    const QRect box = dialog.close_rect();
    EXPECT_EQ(box.size(), QSize(16, 16));
    EXPECT_GT(box.left(), 300 - 30);
    EXPECT_LE(box.right(), 300 - 3);
    EXPECT_GE(box.top(), 0);
    EXPECT_LE(box.bottom(), SubDialog::caption_height());
}

TEST(SubDialog, PaintsCaptionBandEdgesAndBody) {
    SubDialog dialog;
    dialog.set_title(QStringLiteral("Extract"));
    dialog.resize(300, 200);
    const QImage shot = dialog.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(150, SubDialog::caption_height() - 2)), theme::kCaption);
    EXPECT_EQ(QColor(shot.pixel(150, 100)), theme::kDialog);
    EXPECT_NE(QColor(shot.pixel(150, 0)), theme::kCaption);   // the top edge
    EXPECT_NE(QColor(shot.pixel(0, 100)), theme::kDialog);    // the left edge
    EXPECT_NE(QColor(shot.pixel(150, 199)), theme::kDialog);  // the bottom edge
}

TEST(SubDialog, LayoutsStartBelowTheCaption) {
    SubDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(QStringLiteral("content"), &dialog);
    layout->addWidget(label);
    dialog.resize(300, 200);
    dialog.show();
    QCoreApplication::processEvents();
    EXPECT_GE(label->geometry().top(), SubDialog::caption_height());
    EXPECT_EQ(dialog.windowFlags() & Qt::FramelessWindowHint, Qt::FramelessWindowHint);
}

TEST(SubDialog, DraggingTheCaptionMovesTheDialog) {
    SubDialog dialog;
    dialog.resize(300, 200);
    dialog.move(100, 100);
    dialog.show();
    const QPoint before = dialog.pos();
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(60, 10));
    QTest::mouseMove(&dialog, QPoint(90, 50));
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(90, 50));
    // The offscreen platform has no system move, so the dialog moves itself.
    EXPECT_EQ(dialog.pos(), before + QPoint(30, 40));
}

TEST(DialogPalette, WhiteTextOnDarkButEditsAndListsStayStandard) {
    SubDialogNoTitle page;
    auto* label = new QLabel(QStringLiteral("Channel"), &page);
    auto* edit = new QLineEdit(&page);
    auto* list = new QListWidget(&page);
    list->setGeometry(0, 60, 120, 60);
    page.resize(300, 200);
    page.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(label->palette().color(QPalette::WindowText), theme::kText);
    EXPECT_EQ(page.palette().color(QPalette::Window), theme::kDialog);
    const QPalette standard = QApplication::palette(edit);
    EXPECT_EQ(edit->palette().color(QPalette::Base), standard.color(QPalette::Base));
    EXPECT_EQ(edit->palette().color(QPalette::Text), standard.color(QPalette::Text));
    EXPECT_EQ(list->palette().color(QPalette::Base),
              QApplication::palette(list).color(QPalette::Base));
    const QImage shot = page.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(250, 150)), theme::kDialog);
    EXPECT_EQ(QColor(shot.pixel(60, 100)), standard.color(QPalette::Base));  // inside the list
}

}  // namespace
}  // namespace velmora
