#include "ui/log_manager_dialog.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <filesystem>

#include "lang/language_table.h"
#include "model/operation_log.h"
#include "process.h"
#include "qt_test_app.h"
#include "skin/sub_dialog.h"
#include "skin/theme.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using fleet::test::TempDir;

std::tm day_time(int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

QStringList texts_of(const QListWidget& list) {
    QStringList out;
    for (int i = 0; i < list.count(); ++i) out << list.item(i)->text();
    return out;
}

// A few days of what a working viewer writes.
void write_sample_days(const std::string& dir) {
    OperationLog log;
    log.set_directory(dir);
    log.write_at("application opened, user:admin", day_time(5, 2, 8, 1, 12));
    log.write_at("open local file.", day_time(5, 2, 8, 3, 40));
    log.write_at("open completed.", day_time(5, 2, 8, 3, 41));
    log.write_at("application closed.", day_time(5, 2, 17, 30, 2));
    log.write_at("application opened, user:admin", day_time(5, 3, 7, 55, 0));
    log.write_at("searching local hdd.", day_time(5, 3, 7, 56, 10));
    log.write_at("open hdd completed.", day_time(5, 3, 7, 56, 31));
    log.write_at("application opened, user:admin", day_time(5, 6, 9, 0, 4));
    log.write_at("open local file.", day_time(5, 6, 9, 2, 15));
    log.write_at("open completed.", day_time(5, 6, 9, 2, 16));
    log.write_at("play ok.", day_time(5, 6, 9, 2, 20));
    log.write_at("pic capture ok.", day_time(5, 6, 9, 4, 51));
    // Translated messages arrive as UTF-8 (this machine has no CJK font for the screenshot).
    log.write_at(
        "Wiedergabe gestoppt, Aufnahme ge\xC3\xB6"
        "ffnet.",
        day_time(5, 6, 9, 5, 0));
    log.write_at("open screen capture.", day_time(5, 6, 9, 6, 30));
    log.write_at("close screen capture.", day_time(5, 6, 9, 12, 30));
    log.write_at("stop ok.", day_time(5, 6, 9, 13, 2));
}

TEST(LogManagerDialog, OpensOnTheNewestDayAndFollowsTheSelection) {
    TempDir dir;
    write_sample_days(dir.path());
    const LanguageTable texts(dir.path());
    LogManagerDialog dialog(dir.path(), texts);
    EXPECT_EQ(dialog.days_list()->objectName(), QStringLiteral("15000"));
    EXPECT_EQ(dialog.lines_list()->objectName(), QStringLiteral("15001"));
    EXPECT_EQ(texts_of(*dialog.days_list()),
              (QStringList{"2024-05-02", "2024-05-03", "2024-05-06"}));
    EXPECT_EQ(dialog.days_list()->currentRow(), 2);
    EXPECT_EQ(dialog.lines_list()->count(), 9);
    EXPECT_EQ(dialog.lines_list()->item(8)->text(), QStringLiteral("09:13:02 [Viewer]: stop ok."));
    EXPECT_EQ(dialog.title(), QStringLiteral("Operation Log"));

    dialog.days_list()->setCurrentRow(1);
    EXPECT_EQ(texts_of(*dialog.lines_list()),
              (QStringList{"07:55:00 [Viewer]: application opened, user:admin",
                           "07:56:10 [Viewer]: searching local hdd.",
                           "07:56:31 [Viewer]: open hdd completed."}));
}

TEST(LogManagerDialog, OpeningPrunesToThirtyDays) {
    TempDir dir;
    OperationLog log;
    log.set_directory(dir.path());
    for (int day = 1; day <= 31; ++day) log.write_at("x", day_time(3, day, 12, 0, 0));
    for (int day = 1; day <= 2; ++day) log.write_at("y", day_time(4, day, 12, 0, 0));
    const LanguageTable texts(dir.path());
    LogManagerDialog dialog(dir.path(), texts);
    EXPECT_EQ(dialog.days_list()->count(), 30);
    EXPECT_EQ(dialog.days_list()->item(0)->text(), QStringLiteral("2024-03-04"));
    EXPECT_EQ(dialog.days_list()->currentItem()->text(), QStringLiteral("2024-04-02"));
    EXPECT_FALSE(fs::exists(dir.file("2024-03-03.log")));
}

TEST(LogManagerDialog, EmptyDirectoryShowsEmptyLists) {
    TempDir dir;
    const LanguageTable texts(dir.path());
    LogManagerDialog dialog(dir.path(), texts);
    EXPECT_EQ(dialog.days_list()->count(), 0);
    EXPECT_EQ(dialog.lines_list()->count(), 0);
}

TEST(LogManagerDialog, Screenshot) {
    TempDir dir;
    write_sample_days(dir.path());
    const LanguageTable texts(dir.path());
    LogManagerDialog dialog(dir.path(), texts);
    dialog.show();
    fleet_test::process_events_for(30);
    const QImage shot = fleet_test::grab_screenshot(dialog, QStringLiteral("log_manager"));
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(fleet_test::shows_colour(shot, theme::kCaption,
                                         QRect(0, 0, shot.width(), SubDialog::caption_height())));
    // Both lists hold text: the days, and the lines of the selected day.
    ASSERT_GT(dialog.days_list()->count(), 0);
    ASSERT_GT(dialog.lines_list()->count(), 0);
    for (const QWidget* list :
         {static_cast<QWidget*>(dialog.days_list()), static_cast<QWidget*>(dialog.lines_list())}) {
        const QRect region = fleet_test::region_of(*list, dialog);
        EXPECT_GT(fleet_test::colour_count(shot, region), 8) << list->objectName().toStdString();
    }
}

}  // namespace
}  // namespace velmora
