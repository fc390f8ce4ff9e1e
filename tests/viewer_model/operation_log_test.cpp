#include "model/operation_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "local_time.h"
#include "process.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using fleet::test::TempDir;

void write_text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Whole characters only: every lead byte is followed by its continuation bytes.
bool is_valid_utf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80         ? 1
                              : lead >> 5 == 0x6  ? 2
                              : lead >> 4 == 0xE  ? 3
                              : lead >> 3 == 0x1E ? 4
                                                  : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

TEST(OperationLogFormat, FileNameIsTheLocalDate) {
    EXPECT_EQ(log_file_name(test::local_time(2024, 3, 7, 10, 0, 0)), "2024-03-07.log");
    EXPECT_EQ(log_file_name(test::local_time(1999, 12, 31, 23, 59, 59)), "1999-12-31.log");
}

TEST(OperationLogFormat, LineIsTimeTagAndMessage) {
    const std::tm t = test::local_time(2024, 3, 7, 9, 5, 3);
    EXPECT_EQ(format_log_line(t, "play ok."), "09:05:03 [Viewer]: play ok.\n");
    EXPECT_EQ(format_log_line(t, ""), "09:05:03 [Viewer]: \n");
}

TEST(OperationLogFormat, LongLinesAreCutTo319BytesOnCharacterBoundaries) {
    const std::tm t = test::local_time(2024, 3, 7, 23, 0, 1);
    const std::string prefix = "23:00:01 [Viewer]: ";  // 19 bytes
    struct Case {
        const char* what;
        std::string message;
        std::size_t expected_size;
    };
    const std::string han = "\xE6\x97\xA5";  // 3 bytes
    const std::string umlaut = "\xC3\xBC";   // 2 bytes
    auto repeat = [](const std::string& s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i) out += s;
        return out;
    };
    const Case cases[] = {
        {"ascii exactly fits", std::string(299, 'a'), 319},
        {"ascii one over", std::string(300, 'a'), 319},
        {"ascii far over", std::string(2000, 'x'), 319},
        // 19 + 3*99 = 316 fits, a 100th character would end at 319 > 318 bytes before the LF.
        {"three-byte characters", repeat(han, 200), 317},
        // 19 + 2*149 = 317 fits, the 150th would need 319.
        {"two-byte characters", repeat(umlaut, 200), 318},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string line = format_log_line(t, c.message);
        EXPECT_EQ(line.size(), c.expected_size);
        EXPECT_LE(line.size(), kMaxLogLineBytes);
        EXPECT_EQ(line.back(), '\n');
        EXPECT_EQ(line.rfind(prefix, 0), 0u);
        EXPECT_TRUE(is_valid_utf8(line));
        const std::string body = line.substr(prefix.size(), line.size() - prefix.size() - 1);
        EXPECT_EQ(c.message.rfind(body, 0), 0u) << "the kept text is the message's start";
    }
}

TEST(OperationLogWrite, LineAfterMidnightGoesIntoTheNewDaysFile) {
    TempDir dir;
    OperationLog log;
    log.set_directory(dir.path());
    ASSERT_TRUE(log.write_at("before midnight", test::local_time(2023, 12, 31, 23, 59, 59)));
    ASSERT_TRUE(log.write_at("after midnight", test::local_time(2024, 1, 1, 0, 0, 0)));
    EXPECT_EQ(fleet::test::read_file(dir.file("2023-12-31.log")),
              "23:59:59 [Viewer]: before midnight\n");
    EXPECT_EQ(fleet::test::read_file(dir.file("2024-01-01.log")),
              "00:00:00 [Viewer]: after midnight\n");
}

TEST(OperationLogWrite, AppendsToTheDaysFile) {
    TempDir dir;
    OperationLog log;
    log.set_directory(dir.path());
    const std::tm t = test::local_time(2024, 5, 1, 8, 0, 0);
    ASSERT_TRUE(log.write_at("open local file.", t));
    ASSERT_TRUE(log.write_at("open completed.", t));
    EXPECT_EQ(read_log_lines(dir.path(), "2024-05-01"),
              (std::vector<std::string>{"08:00:00 [Viewer]: open local file.",
                                        "08:00:00 [Viewer]: open completed."}));
}

TEST(OperationLogWrite, ChineseTextIsStoredAsUtf8AndReadBackUnchanged) {
    TempDir dir;
    OperationLog log;
    log.set_directory(dir.path());
    const std::string message =
        "\xE6\x89\x93\xE5\xBC\x80\xE6\x9C\xAC\xE5\x9C\xB0\xE6\x96\x87"
        "\xE4\xBB\xB6\xE3\x80\x82";  // "open local file." in Chinese
    ASSERT_TRUE(log.write_at(message, test::local_time(2024, 2, 29, 12, 30, 45)));
    const std::string bytes = fleet::test::read_file(dir.file("2024-02-29.log"));
    EXPECT_EQ(bytes, "12:30:45 [Viewer]: " + message + "\n");
    const auto lines = read_log_lines(dir.path(), "2024-02-29");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "12:30:45 [Viewer]: " + message);
}

TEST(OperationLogWrite, EmptyDirectoryUsesTheFallbackDirectory) {
    TempDir configured;
    TempDir program_folder;
    OperationLog log;
    log.set_fallback_directory(program_folder.path());
    EXPECT_EQ(log.directory(), program_folder.path());
    const std::tm t = test::local_time(2024, 6, 1, 1, 2, 3);
    ASSERT_TRUE(log.write_at("first", t));
    log.set_directory(configured.path());
    ASSERT_TRUE(log.write_at("second", t));
    EXPECT_EQ(read_log_lines(program_folder.path(), "2024-06-01").size(), 1u);
    EXPECT_EQ(read_log_lines(configured.path(), "2024-06-01").size(), 1u);
}

TEST(OperationLogWrite, UnwritableDirectoryLosesTheLineAndSaysSo) {
    TempDir dir;
    OperationLog log;
    log.set_directory(dir.file("missing/deeper"));
    EXPECT_FALSE(log.write_at("lost", test::local_time(2024, 6, 1, 1, 2, 3)));
}

TEST(OperationLogWrite, ConcurrentWritersProduceWholeLines) {
    TempDir dir;
    OperationLog log;
    log.set_directory(dir.path());
    constexpr int kThreads = 8;
    constexpr int kLinesEach = 300;
    const std::tm t = test::local_time(2024, 7, 4, 16, 20, 0);
    {
        std::vector<std::jthread> writers;
        for (int w = 0; w < kThreads; ++w) {
            writers.emplace_back([&log, &t, w] {
                // Long lines make torn writes likely if writers were not serialised.
                const std::string padding(250, static_cast<char>('a' + w));
                for (int i = 0; i < kLinesEach; ++i) {
                    log.write_at("w" + std::to_string(w) + " n" + std::to_string(i) + " " + padding,
                                 t);
                }
            });
        }
    }
    const auto lines = read_log_lines(dir.path(), "2024-07-04");
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLinesEach));
    // A whole line: "16:20:00 [Viewer]: w<W> n<I> " and 250 times the writer's letter.
    std::vector<int> per_writer(kThreads, 0);
    const std::string prefix = "16:20:00 [Viewer]: w";
    for (const std::string& line : lines) {
        ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
        const int w = line[prefix.size()] - '0';
        ASSERT_TRUE(w >= 0 && w < kThreads) << line;
        const std::size_t padding_start = line.find(' ', prefix.size() + 2);
        ASSERT_NE(padding_start, std::string::npos) << line;
        EXPECT_EQ(line.substr(prefix.size() + 1, 2), " n") << line;
        EXPECT_EQ(line.substr(padding_start + 1), std::string(250, static_cast<char>('a' + w)))
            << line;
        ++per_writer[static_cast<std::size_t>(w)];
    }
    for (int count : per_writer) EXPECT_EQ(count, kLinesEach);
}

TEST(LogDays, PruningThirtyThreeDaysKeepsTheNewestThirtyAndLeavesOtherFiles) {
    TempDir dir;
    std::vector<std::string> days;
    for (int i = 0; i < 33; ++i) {
        // Across a month boundary, so name order must also be date order.
        const std::tm t = test::local_time(2024, 1 + (i / 31), 1 + (i % 31), 0, 0, 0);
        days.push_back(log_file_name(t).substr(0, 10));
    }
    // Created in shuffled order so directory order cannot give the right answer by luck.
    std::vector<std::string> shuffled = days;
    std::reverse(shuffled.begin(), shuffled.end());
    std::rotate(shuffled.begin(), shuffled.begin() + 11, shuffled.end());
    for (const std::string& day : shuffled) write_text(dir.file(day + ".log"), "x\n");
    write_text(dir.file("notes.log"), "keep me\n");
    write_text(dir.file("readme.txt"), "keep me too\n");
    fs::create_directory(dir.file("2000-01-01.log"));  // a folder is no log file

    const auto listed = prune_and_list_log_days(dir.path());

    std::vector<std::string> expected(days.begin() + 3, days.end());
    expected.push_back("notes");
    EXPECT_EQ(listed, expected);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(fs::exists(dir.file(days[i] + ".log"))) << days[i];
    for (int i = 3; i < 33; ++i) EXPECT_TRUE(fs::exists(dir.file(days[i] + ".log"))) << days[i];
    EXPECT_TRUE(fs::exists(dir.file("notes.log")));
    EXPECT_TRUE(fs::exists(dir.file("readme.txt")));
    EXPECT_TRUE(fs::is_directory(dir.file("2000-01-01.log")));
}

TEST(LogDays, SuffixInAnyCaseCountsAndIsReadable) {
    TempDir dir;
    write_text(dir.file("2024-01-01.LOG"), "old\n");
    write_text(dir.file("2024-01-02.Log"), "mid\n");
    write_text(dir.file("2024-01-03.log"), "new\n");
    const auto listed = prune_and_list_log_days(dir.path(), 2);
    EXPECT_EQ(listed, (std::vector<std::string>{"2024-01-02", "2024-01-03"}));
    EXPECT_FALSE(fs::exists(dir.file("2024-01-01.LOG")));
    EXPECT_EQ(read_log_lines(dir.path(), "2024-01-02"), std::vector<std::string>{"mid"});
}

TEST(LogDays, MissingDirectoryListsNothing) {
    TempDir dir;
    EXPECT_TRUE(prune_and_list_log_days(dir.file("absent")).empty());
}

TEST(LogLines, LineEndsAreStrippedAndLongLinesComeBackWhole) {
    TempDir dir;
    const std::string long_line(1500, 'L');
    write_text(dir.file("2024-01-01.log"), "one\r\ntwo\n" + long_line + "\nlast without end");
    EXPECT_EQ(read_log_lines(dir.path(), "2024-01-01"),
              (std::vector<std::string>{"one", "two", long_line, "last without end"}));
}

TEST(LogLines, MissingFileOrPathInDayNameGivesNothing) {
    TempDir dir;
    fs::create_directory(dir.file("sub"));
    write_text(dir.file("sub/2024-01-01.log"), "hidden\n");
    EXPECT_TRUE(read_log_lines(dir.path(), "2024-01-09").empty());
    EXPECT_TRUE(read_log_lines(dir.path(), "sub/2024-01-01").empty());
    EXPECT_TRUE(read_log_lines(dir.path(), "").empty());
}

}  // namespace
}  // namespace velmora
