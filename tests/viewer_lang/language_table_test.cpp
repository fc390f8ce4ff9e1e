// The built-in table: its shape and its English texts.
#include "lang/language_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <string_view>

namespace velmora {
namespace {

TEST(LanguageTableShape, HoldsEveryTextOnceInTableOrder) {
    const auto entries = language_entries();
    const LanguageTable table;
    ASSERT_EQ(entries.size(), 315u);
    EXPECT_EQ(table.size(), 315u);

    const auto keys = table.keys();
    ASSERT_EQ(keys.size(), 314u);
    EXPECT_EQ(std::set<std::string_view>(keys.begin(), keys.end()).size(), 314u);
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i], entries[i].key);
        ASSERT_FALSE(keys[i].empty());
        for (const char c : keys[i]) {
            EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '_') << keys[i];
        }
    }
    EXPECT_TRUE(entries.back().key.empty());
    EXPECT_EQ(entries.back().english, "Illegal user!");
    EXPECT_EQ(table.illegal_user_text(), "Illegal user!");
}

TEST(LanguageTableShape, GroupsAreContiguousWithTheirSizes) {
    const auto keys = LanguageTable().keys();
    auto group_of = [](std::string_view key) {
        if (key.starts_with("IDS_STRING")) return 2;
        if (key.starts_with("ID_MENU_") || key.starts_with("ID_CARMENU_") ||
            key.starts_with("ID_PIC_")) {
            return 1;
        }
        if (key.starts_with("IDC_") || key == "IDOK" || key == "IDCANCEL") return 0;
        return -1;
    };
    struct Group {
        std::string_view first;
        std::string_view last;
        size_t count;
    };
    const Group groups[] = {{"IDC_STATIC_TIME", "IDC_NEW_PW_CONFIRM", 74},
                            {"ID_MENU_FILE", "ID_PIC_SAVESCREEN", 37},
                            {"IDS_STRING216", "IDS_STRING666", 203}};
    size_t at = 0;
    for (int g = 0; g < 3; ++g) {
        SCOPED_TRACE(g);
        const Group& group = groups[g];
        ASSERT_LE(at + group.count, keys.size());
        EXPECT_EQ(keys[at], group.first);
        EXPECT_EQ(keys[at + group.count - 1], group.last);
        for (size_t i = at; i < at + group.count; ++i) {
            EXPECT_EQ(group_of(keys[i]), g) << keys[i];
        }
        at += group.count;
    }
    EXPECT_EQ(at, keys.size());
}

TEST(LanguageTableDefaults, FreshTableShowsEnglish) {
    const LanguageTable table;
    for (const auto& entry : language_entries()) {
        if (!entry.key.empty()) {
            EXPECT_EQ(table.text(entry.key), entry.english) << entry.key;
        }
    }
}

TEST(LanguageTableDefaults, SpotChecksKeepTheSystemsOwnWording) {
    const struct {
        std::string_view key;
        std::string_view english;
    } cases[] = {
        {"IDC_STATIC_TIME", "Time Index"},
        {"IDC_BUTTON_DelUser", "Del User"},
        {"IDC_STATIC_JT", "JEPG File Directory"},
        {"IDC_STATIC_TIMESPAN", "TimeSpan(Minutes)"},
        {"IDOK", "Login"},
        {"IDCANCEL", "Cancel"},
        {"IDC_BTN_CLOSE", "Close"},
        {"ID_MENU_CLOSE", "Close/Stop Search"},
        {"ID_MENU_TEMPERATRUE_UNIT", "Temperature Unit"},
        {"ID_CARMENU_DEL_CAR", "Delete from List"},
        {"ID_PIC_SAVESCREEN", "Save Full Screen Picture"},
        {"IDS_STRING224", "fast forard"},
        {"IDS_STRING273", "9/4"},
        {"IDS_STRING255", "Open file fail, the suffix of the file name must be .dvr or .DVR!"},
        {"IDS_STRING297", "Dvr ini file is not exist!"},
        {"IDS_STRING336", "Can't connect to server. WSockError:"},
        {"IDS_STRING364", "Can't create the jepg file default directory!"},
        {"IDS_STRING429", "pload dvr bin file completed."},
        {"IDS_STRING447", "Pelisto logout, user:"},
    };
    const LanguageTable table;
    for (const auto& c : cases) {
        EXPECT_EQ(table.text(c.key), c.english) << c.key;
    }
    EXPECT_FALSE(table.text("IDS_STRING666").empty());
}

TEST(LanguageTableDefaults, NonKeysHaveNoText) {
    const LanguageTable table;
    for (const std::string_view key : {"", "Language", "idc_btn_close", "IDC_BTN_CLOSE ",
                                       " IDC_BTN_CLOSE", "Illegal user!", "IDS_STRING999"}) {
        EXPECT_EQ(table.text(key), "") << '"' << key << '"';
    }
}

}  // namespace
}  // namespace velmora
