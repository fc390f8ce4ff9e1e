#include "model/directories.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "home_override.h"
#include "process.h"

namespace {

namespace fs = std::filesystem;

TEST(Directories, ExistsTable) {
    fleet::test::TempDir dir;
    fs::create_directory(dir.file("d"));
    std::ofstream(dir.file("f")) << "x";
    fs::create_directory_symlink("d", dir.file("link"));
    const struct {
        std::string path;
        bool expected;
    } cases[] = {
        {dir.file("d"), true},
        {dir.file("d/"), true},
        {dir.file("link"), true},
        {dir.file("f"), false},
        {dir.file("f/"), false},
        {dir.file("missing"), false},
        {"", false},
        {"/", true},
    };
    for (const auto& c : cases) EXPECT_EQ(velmora::directory_exists(c.path), c.expected) << c.path;
}

TEST(Directories, EnsureCreatesEveryLevel) {
    fleet::test::TempDir dir;
    const std::string deep = dir.file("a/b/c");
    EXPECT_TRUE(velmora::ensure_directory(deep));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(velmora::ensure_directory(deep));  // already there
    EXPECT_TRUE(velmora::ensure_directory(dir.file("x/y/")));
    EXPECT_TRUE(fs::is_directory(dir.file("x/y")));

    std::ofstream(dir.file("file")) << "x";
    EXPECT_FALSE(velmora::ensure_directory(dir.file("file")));
    EXPECT_FALSE(velmora::ensure_directory(dir.file("file/sub")));
    EXPECT_FALSE(velmora::ensure_directory(""));
}

TEST(Directories, HomePaths) {
    const struct {
        const char* home;
        const char* leaf;
        const char* expected;
    } dvr_cases[] = {
        {"/home/op", "pic", "/home/op/DVR/pic"},
        {"/home/op/", "log", "/home/op/DVR/log"},
        {"/", "event", "/DVR/event"},
        {"/home/op", "", "/home/op/DVR"},
    };
    for (const auto& c : dvr_cases) {
        HomeOverride home(c.home);
        EXPECT_EQ(velmora::home_dvr_path(c.leaf), c.expected) << c.home << " " << c.leaf;
    }

    HomeOverride home("/home/op");
    const struct {
        const char* path;
        const char* expected;
    } expand_cases[] = {
        {"~", "/home/op"},        {"~/x/y", "/home/op/x/y"}, {"~other/x", "~other/x"},
        {"/abs/~/x", "/abs/~/x"}, {"rel/x", "rel/x"},        {"", ""},
    };
    for (const auto& c : expand_cases)
        EXPECT_EQ(velmora::expand_home(c.path), c.expected) << c.path;
}

}  // namespace
