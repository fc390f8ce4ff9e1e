#include "ui/about_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>

#include "qt_test_app.h"

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
    EXPECT_FALSE(fleet_test::save_screenshot(about, QStringLiteral("about_box")).isEmpty());
}

}  // namespace
}  // namespace velmora
