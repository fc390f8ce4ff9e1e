#include "ui/about_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>

#include "qt_test_app.h"
#include "skin/theme.h"

namespace velmora {
namespace {

TEST(AboutDialog, TextHasTheViewerLineAndOneLinePerLibrary) {
    const QString expected =
        "Velmora Player 1.0.3 (build 2024-05-02)"
        "\n\nlibombrel.so version 2.1.0 10:22:31 May  2 2024"
        "\n\nlibkivra.so version 3.4.1 09:01:07 Apr 30 2024";
    AboutDialog about(QStringLiteral("Velmora Player 1.0.3 (build 2024-05-02)"),
                      {"2.1.0", "10:22:31", "May  2 2024"}, {"3.4.1", "09:01:07", "Apr 30 2024"});
    EXPECT_EQ(about.text(), expected);
    EXPECT_EQ(about.label()->objectName(), QStringLiteral("28000"));
    EXPECT_TRUE(about.label()->alignment() & Qt::AlignHCenter);
}

TEST(AboutDialog, LibraryWithEmptyTextsStillGetsItsLine) {
    EXPECT_EQ(about_text(QStringLiteral("Viewer"), {"", "", ""}, {"1.0", "", ""}),
              QStringLiteral("Viewer\n\nlibombrel.so version   \n\nlibkivra.so version 1.0  "));
}

TEST(AboutDialog, Screenshot) {
    AboutDialog about(QStringLiteral("Velmora Player version 1.0.3"),
                      {"2.1.0", "10:22:31", "May  2 2024"}, {"3.4.1", "09:01:07", "Apr 30 2024"});
    about.show();
    fleet_test::process_events_for(30);
    const QImage shot = fleet_test::grab_screenshot(about, QStringLiteral("about_box"));
    ASSERT_FALSE(shot.isNull());
    // The painted caption band over the dark dialog, and white text in the label.
    EXPECT_TRUE(fleet_test::shows_colour(shot, theme::kCaption,
                                         QRect(0, 0, shot.width(), SubDialog::caption_height())));
    EXPECT_TRUE(fleet_test::shows_colour(shot, theme::kDialog));
    const QRect label = fleet_test::region_of(*about.label(), about);
    EXPECT_TRUE(fleet_test::shows_colour(shot, theme::kText, label, 40));
    EXPECT_GT(fleet_test::colour_count(shot, label), 8);  // lines of anti-aliased text
}

}  // namespace
}  // namespace velmora
