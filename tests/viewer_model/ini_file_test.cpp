#include "model/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <random>

#include "process.h"

namespace {

using velmora::apply_profile_write;
using velmora::find_profile_value;
using velmora::IniFile;

using namespace std::string_literals;

void write_text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

struct LookupCase {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

TEST(ProfileLookup, Table) {
    const std::string long_value(1 << 20, 'x');
    const LookupCase cases[] = {
        {"plain", "[A]\nk=v\n", "A", "k", "v"},
        {"section and key without case", "[NetWorkSetting]\nRunMode=2\n", "networksetting",
         "RUNMODE", "2"},
        {"value trimmed, case and inner spaces kept", "[A]\n  k  =  Hello World \t\n", "A", "k",
         "Hello World"},
        {"names trimmed", "[ A ]\nk=v\n", " A", "k ", "v"},
        {"value may hold '='", "[A]\nk=a=b\n", "A", "k", "a=b"},
        {"matching quotes removed", "[A]\nk=\"x y\"\n", "A", "k", "x y"},
        {"single quote kept", "[A]\nk=\"x\n", "A", "k", "\"x"},
        {"empty value", "[A]\nk=\n", "A", "k", ""},
        {"CRLF", "[A]\r\nk=v\r\n", "A", "k", "v"},
        {"lone CR", "[A]\rk=v\r", "A", "k", "v"},
        {"UTF-8 BOM", "\xEF\xBB\xBF[A]\nk=v\n", "A", "k", "v"},
        {"UTF-8 value", "[A]\nk=Grüße ℃\n", "A", "k", "Grüße ℃"},
        {"no final newline", "[A]\nk=v", "A", "k", "v"},
        {"key before any section", "k=v\n[A]\n", "A", "k", std::nullopt},
        {"key of another section", "[A]\nx=1\n[B]\nk=v\n", "A", "k", std::nullopt},
        {"first duplicate section wins", "[A]\nk=1\n[a]\nk=2\n", "A", "k", "1"},
        {"later duplicate section not searched", "[A]\nx=1\n[A]\nk=2\n", "A", "k", std::nullopt},
        {"first duplicate key wins", "[A]\nk=1\nK=2\n", "A", "k", "1"},
        {"comment is no key", "[A]\n;k=v\nk=w\n", "A", "k", "w"},
        {"header without ']' is no header", "[A\nk=v\n", "A", "k", std::nullopt},
        {"header without ']' leaves the section", "[A]\n[B\nk=v\n", "A", "k", "v"},
        {"empty key never matches", "[A]\n=v\n", "A", "", std::nullopt},
        {"line without '=' is no key", "[A]\nk\n", "A", "k", std::nullopt},
        {"empty section name", "[]\nk=v\n", "", "k", "v"},
        {"empty text", "", "A", "k", std::nullopt},
        {"NUL bytes", "[A]\n\0\0=\0\nk=v\0w\n"s, "A", "k", "v\0w"s},
        {"binary junk", "\xFF\xFE[\x80]\n=\n]]]][[[\n\x01=\x02"s, "A", "k", std::nullopt},
        {"very long line", "[A]\nk=" + long_value + "\n", "A", "k", long_value},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(find_profile_value(c.text, c.section, c.key), c.expected) << c.name;
    }
}

struct WriteCase {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    std::optional<std::string> value;
    std::optional<std::string> expected;
};

TEST(ProfileWrite, Table) {
    const WriteCase cases[] = {
        {"new file", "", "S", "k", "v", "[S]\nk=v\n"},
        {"existing spelling and indentation kept", "[Unitsetting]\n  DEFAULTspeedunit = 0\n",
         "UnitSetting", "DefaultSpeedUnit", "1", "[Unitsetting]\n  DEFAULTspeedunit=1\n"},
        {"new key after the section's last line", "; top\n[A]\n; c\nx=1\n\n[B]\ny=2\n", "a", "k",
         "v", "; top\n[A]\n; c\nx=1\nk=v\n\n[B]\ny=2\n"},
        {"new key in an empty last section", "[A]", "A", "k", "v", "[A]\nk=v\n"},
        {"new section after unterminated line", "[A]\nx=1", "B", "k", "v", "[A]\nx=1\n[B]\nk=v\n"},
        {"CRLF kept", "[A]\r\nx=1\r\n", "A", "k", "v", "[A]\r\nx=1\r\nk=v\r\n"},
        {"first duplicate section written", "[A]\nx=1\n[a]\nk=2\n", "A", "k", "3",
         "[A]\nx=1\nk=3\n[a]\nk=2\n"},
        {"BOM kept", "\xEF\xBB\xBF[A]\nk=1\n", "A", "k", "2", "\xEF\xBB\xBF[A]\nk=2\n"},
        {"delete", "[A]\nx=1\nK=v\ny=2\n", "A", "k", std::nullopt, "[A]\nx=1\ny=2\n"},
        {"delete absent key", "[A]\nx=1\n", "A", "k", std::nullopt, "[A]\nx=1\n"},
        {"delete in absent section", "[A]\nk=1\n", "B", "k", std::nullopt, "[A]\nk=1\n"},
        {"empty value", "[A]\nk=1\n", "A", "k", "", "[A]\nk=\n"},
        {"empty key refused", "", "A", " ", "v", std::nullopt},
        {"empty section refused", "", "", "k", "v", std::nullopt},
        {"'=' in key refused", "", "A", "a=b", "v", std::nullopt},
        {"']' in section refused", "", "A]", "k", "v", std::nullopt},
        {"comment-like key refused", "", "A", ";k", "v", std::nullopt},
        {"line break in value refused", "", "A", "k", "a\nb", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto value = c.value ? std::optional<std::string_view>(*c.value) : std::nullopt;
        EXPECT_EQ(apply_profile_write(c.text, c.section, c.key, value), c.expected) << c.name;
    }
}

// Whatever the file holds, a write reads back, a second identical write changes nothing and a
// delete removes what was written.
TEST(ProfileWrite, OddTextsKeepTheirPromises) {
    const std::string alphabet = "[]=; \t\r\n\"'sSkK\0\xFF\x80"s;
    std::mt19937 random(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::string text(random() % 120, ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        SCOPED_TRACE(::testing::PrintToString(text));

        (void)find_profile_value(text, "s", "k");
        const auto written = apply_profile_write(text, "S", "k", "v");
        ASSERT_TRUE(written.has_value());
        ASSERT_EQ(find_profile_value(*written, "s", "K"), "v");
        ASSERT_EQ(apply_profile_write(*written, "s", "K", "v"), written);
        const auto deleted = apply_profile_write(*written, "S", "k", std::nullopt);
        ASSERT_TRUE(deleted.has_value());
        // 'v' is not in the alphabet, so only the written line could have held it.
        ASSERT_NE(find_profile_value(*deleted, "S", "k"), "v");
    }
}

TEST(LeadingInt, Table) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"12", 12},
        {"12abc", 12},
        {"abc", -1},
        {"", -1},
        {"-7", -7},
        {"+5", 5},
        {"  3", 3},
        {"-", -1},
        {"- 5", -1},
        {"0x1F", 0},
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(velmora::leading_int(c.text, -1), c.expected) << c.text;
}

TEST(TruncateUtf16Units, Table) {
    const struct {
        std::string text;
        std::size_t units;
        std::string expected;
    } cases[] = {
        {"abcdef", 3, "abc"},
        {"abc", 31, "abc"},
        {"äöü", 2, "äö"},
        {"\xF0\x9F\x98\x80"
         "a",
         1, ""},  // a surrogate pair does not fit in one unit
        {"\xF0\x9F\x98\x80"
         "a",
         2, "\xF0\x9F\x98\x80"},
        {"\xFF"
         "ab",
         2,
         "\xFF"
         "a"},
        {"a\xE2\x82", 5, "a\xE2\x82"},
        {"x", 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(velmora::truncate_utf16_units(c.text, c.units), c.expected) << c.text;
    }
}

TEST(IniFile, MissingFileReadsDefaults) {
    fleet::test::TempDir dir;
    const IniFile ini(dir.file("absent.ini"));
    EXPECT_EQ(ini.get_string("A", "k", "fallback"), "fallback");
    EXPECT_EQ(ini.get_string("A", "k", "fallback", 4), "fall");
    EXPECT_EQ(ini.get_int("A", "k", 42), 42);
    EXPECT_EQ(IniFile(dir.path()).get_string("A", "k", "dir"), "dir");
}

TEST(IniFile, ReadsIntsLikeTheProfileApi) {
    fleet::test::TempDir dir;
    write_text(dir.file("a.ini"), "[A]\nn=12abc\nneg=-3\nword=abc\nempty=\n");
    const IniFile ini(dir.file("a.ini"));
    EXPECT_EQ(ini.get_int("a", "N", 5), 12);
    EXPECT_EQ(ini.get_int("A", "neg", 5), -3);
    EXPECT_EQ(ini.get_int("A", "word", 5), 5);
    EXPECT_EQ(ini.get_int("A", "empty", 5), 5);
    EXPECT_EQ(ini.get_int("A", "missing", 5), 5);
    EXPECT_EQ(ini.get_string("A", "n", "", 2), "12");
}

TEST(IniFile, WriteCreatesReplacesAndLeavesNoTemporaries) {
    fleet::test::TempDir dir;
    const std::string path = dir.file("a.ini");
    IniFile ini(path);
    ASSERT_TRUE(ini.write_string("A", "k", "1"));
    EXPECT_EQ(fleet::test::read_file(path), "[A]\nk=1\n");

    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(ini.write_string("a", "K", "2"));
    EXPECT_EQ(fleet::test::read_file(path), "[A]\nk=2\n");
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777u, 0640u);

    ASSERT_TRUE(ini.write_string("A", "k", std::nullopt));
    EXPECT_EQ(ini.get_string("A", "k", "gone"), "gone");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(IniFile, WriteFailsWithoutFolderAndThroughALinkKeepsTheLink) {
    fleet::test::TempDir dir;
    EXPECT_FALSE(IniFile(dir.file("none/a.ini")).write_string("A", "k", "v"));
    EXPECT_FALSE(IniFile(dir.path()).write_string("A", "k", "v"));

    write_text(dir.file("real.ini"), "[A]\nx=1\n");
    std::filesystem::create_symlink("real.ini", dir.file("link.ini"));
    ASSERT_TRUE(IniFile(dir.file("link.ini")).write_string("A", "k", "v"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.ini")));
    EXPECT_EQ(fleet::test::read_file(dir.file("real.ini")), "[A]\nx=1\nk=v\n");
}

}  // namespace
