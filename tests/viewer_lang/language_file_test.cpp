// Language files: loading, refused names, display names and readers on other threads.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "lang/language_table.h"
#include "process.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using Texts = std::map<std::string, std::string>;

const std::string kBom = "\xEF\xBB\xBF";

std::string repeat(const std::string& piece, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += piece;
    return out;
}

class LanguageFiles : public ::testing::Test {
  protected:
    void SetUp() override { fs::create_directories(lang_dir()); }

    fs::path lang_dir() const { return fs::path(dir_.path()) / "config" / "lang"; }

    std::string write(const std::string& name, const std::string& content) const {
        const fs::path path = lang_dir() / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    // Every keyed text is English except those named in changed.
    static void expect_texts(const LanguageTable& table, const Texts& changed) {
        for (const auto& entry : language_entries()) {
            if (entry.key.empty()) continue;
            const auto it = changed.find(std::string(entry.key));
            EXPECT_EQ(table.text(entry.key), it == changed.end() ? entry.english : it->second)
                << entry.key;
        }
        EXPECT_EQ(table.illegal_user_text(), "Illegal user!");
    }

    fleet::test::TempDir dir_;
};

TEST_F(LanguageFiles, LineRules) {
    const std::string key = "IDS_STRING263=";  // 14 characters before the text
    const struct {
        const char* what;
        std::string content;
        Texts changed;
    } cases[] = {
        {"exact key",
         "Language=Deutsch\nIDC_BTN_CLOSE=Schließen\n",
         {{"IDC_BTN_CLOSE", "Schließen"}}},
        {"key in lower case", "idc_btn_close=Zu\n", {}},
        {"space before =", "IDC_BTN_CLOSE =Zu\n", {}},
        {"space before key", " IDC_BTN_CLOSE=Zu\n", {}},
        {"= inside text", "IDS_STRING263=a=b = c\n", {{"IDS_STRING263", "a=b = c"}}},
        {"spaces in text kept", "IDC_BTN_OK= Gut \n", {{"IDC_BTN_OK", " Gut "}}},
        {"empty text", "IDC_BTN_OK=\n", {{"IDC_BTN_OK", ""}}},
        {"last duplicate wins", "IDC_BTN_OK=Eins\nIDC_BTN_OK=Zwei\n", {{"IDC_BTN_OK", "Zwei"}}},
        {"no = and unknown keys ignored",
         "IDC_BTN_OK\nNO_SUCH_KEY=x\n\nIDC_BTN_EXIT=Ende\n",
         {{"IDC_BTN_EXIT", "Ende"}}},
        {"display-name line only", "Language=Deutsch\n", {}},
        {"keyless text cannot change", "=Hacked\nIllegal user!=Hacked\n", {}},
        {"CRLF",
         "IDC_BTN_OK=Gut\r\nIDC_BTN_EXIT=Ende\r\n",
         {{"IDC_BTN_OK", "Gut"}, {"IDC_BTN_EXIT", "Ende"}}},
        {"CR ending the last line", "IDC_BTN_OK=Gut\r", {{"IDC_BTN_OK", "Gut"}}},
        {"CR inside a line kept", "IDC_BTN_OK=a\rb\n", {{"IDC_BTN_OK", "a\rb"}}},
        {"no final newline",
         "IDC_BTN_EXIT=Ende\nIDC_BTN_OK=Gut",
         {{"IDC_BTN_EXIT", "Ende"}, {"IDC_BTN_OK", "Gut"}}},
        {"BOM skipped", kBom + "IDC_BTN_OK=Gut\n", {{"IDC_BTN_OK", "Gut"}}},
        {"BOM only at the start",
         "IDC_BTN_EXIT=Ende\n" + kBom + "IDC_BTN_OK=Gut\n",
         {{"IDC_BTN_EXIT", "Ende"}}},
        {"511 characters", key + repeat("x", 497) + "\n", {{"IDS_STRING263", repeat("x", 497)}}},
        {"512 characters skipped, reading goes on",
         key + repeat("x", 498) + "\nIDC_BTN_OK=Gut\n",
         {{"IDC_BTN_OK", "Gut"}}},
        {"511 two-byte characters",
         key + repeat("ä", 497) + "\n",
         {{"IDS_STRING263", repeat("ä", 497)}}},
        {"512 two-byte characters skipped", key + repeat("ä", 498) + "\n", {}},
        {"CR and BOM not counted",
         kBom + key + repeat("x", 497) + "\r\n",
         {{"IDS_STRING263", repeat("x", 497)}}},
        {"huge line then more",
         key + repeat("x", 100000) + "\nIDC_BTN_OK=Gut\n",
         {{"IDC_BTN_OK", "Gut"}}},
        {"huge last line without newline",
         "IDC_BTN_OK=Gut\n" + key + repeat("x", 1000000),
         {{"IDC_BTN_OK", "Gut"}}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "case" + std::to_string(n++) + ".lang";
        write(name, c.content);
        LanguageTable table(dir_.path());
        ASSERT_TRUE(table.load(name));
        expect_texts(table, c.changed);
    }
}

TEST_F(LanguageFiles, EachLoadStartsFromEnglish) {
    write("a.lang", "IDC_BTN_OK=A-Ok\nIDC_BTN_EXIT=A-Exit\n");
    write("b.lang", "IDC_BTN_OK=B-Ok\n");
    LanguageTable table(dir_.path());

    ASSERT_TRUE(table.load("a.lang"));
    expect_texts(table, {{"IDC_BTN_OK", "A-Ok"}, {"IDC_BTN_EXIT", "A-Exit"}});
    ASSERT_TRUE(table.load("b.lang"));
    expect_texts(table, {{"IDC_BTN_OK", "B-Ok"}});
    ASSERT_TRUE(table.load("a.lang"));
    EXPECT_FALSE(table.load("missing.lang"));
    expect_texts(table, {});
}

TEST_F(LanguageFiles, NamesOutsideTheLanguageFolderOrTooLongAreRefused) {
    enum Kind { kNone, kFile, kDirectory };
    // "config/lang/" is 12 characters; the whole relative path may hold 59.
    const std::string longest = repeat("n", 42) + ".lang";
    const struct {
        std::string name;
        Kind kind;
        bool loads;
    } cases[] = {
        {longest, kFile, true},
        {"n" + longest, kFile, false},
        {repeat("ü", 42) + ".lang", kFile, true},  // characters count, not bytes
        {"", kNone, false},
        {"sub/x.lang", kFile, false},
        {"../outside.lang", kFile, false},
        {"a..b.lang", kFile, false},
        {"folder.lang", kDirectory, false},
    };
    ASSERT_EQ(longest.size(), 47u);
    write("prior.lang", "IDC_BTN_OK=Prior\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.kind == kFile) write(c.name, "IDC_BTN_OK=Loaded\n");
        if (c.kind == kDirectory) fs::create_directories(lang_dir() / c.name);
        LanguageTable table(dir_.path());
        ASSERT_TRUE(table.load("prior.lang"));
        EXPECT_EQ(table.load(c.name), c.loads);
        EXPECT_EQ(table.text("IDC_BTN_OK"), c.loads ? "Loaded" : "Ok");
    }
}

TEST_F(LanguageFiles, DisplayName) {
    const struct {
        const char* what;
        std::string content;
        std::string name;
    } cases[] = {
        {"first line", "Language=Deutsch\nIDC_BTN_OK=Gut\n", "Deutsch"},
        {"after text lines", "IDC_BTN_OK=Bien\nLanguage=Français\n", "Français"},
        {"first of two", "Language=Eins\nLanguage=Zwei\n", "Eins"},
        {"nine characters dropped, not the tag", "  Language=Deutsch\n", "e=Deutsch"},
        {"characters, not bytes", "ÄÖÜLanguage=X\n", "ge=X"},
        {"empty name", "Language=\nLanguage=Zwei\n", ""},
        {"case matters", "language=deutsch\n", ""},
        {"no display-name line", "IDC_BTN_OK=Gut\n", ""},
        {"empty file", "", ""},
        {"BOM and CRLF", kBom + "Language=Deutsch\r\n", "Deutsch"},
        {"over-long line skipped", "Language=" + repeat("x", 600) + "\nLanguage=Kurz\n", "Kurz"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = write("name" + std::to_string(n++) + ".lang", c.content);
        EXPECT_EQ(LanguageTable::display_name(path), c.name);
    }
    EXPECT_EQ(LanguageTable::display_name((lang_dir() / "missing.lang").string()), "");
    EXPECT_EQ(LanguageTable::display_name(lang_dir().string()), "");
}

TEST_F(LanguageFiles, ReadersOnOtherThreadsSeeWholeTexts) {
    const std::string a = repeat("A", 300);
    const std::string b = repeat("B", 300);
    write("a.lang", "IDS_STRING263=" + a + "\n");
    write("b.lang", "IDS_STRING263=" + b + "\n");
    LanguageTable table(dir_.path());
    ASSERT_TRUE(table.load("a.lang"));

    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 2; ++r) {
        readers.emplace_back([&] {
            while (!stop.load()) {
                const std::string t = table.text("IDS_STRING263");
                if (t != a && t != b) ++bad;
            }
        });
    }
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(table.load(i % 2 ? "a.lang" : "b.lang"));
    }
    stop = true;
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(bad.load(), 0);
}

}  // namespace
}  // namespace velmora
