// Export file names: a vehicle identifier from the recording made safe for a path, the local
// time stamp, and the next free stem when any file of a stem exists.
#include "export_host/output_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>

namespace fleet::export_host::test {
namespace {

TEST(OutputNamesTest, VehicleIdentifiersAreMadeSafe) {
    struct Case {
        const char* id;  // up to 16 bytes, as a frame set carries it
        const char* safe;
    };
    const Case cases[] = {
        {"BUS-12", "BUS-12"},
        {"", "unknow"},
        {"../../etc", "___.._etc"},  // leading dots, then separators
        {"..", "__"},
        {".hidden", "_hidden"},
        {"a.b", "a.b"},  // a dot inside is harmless
        {"dir\\name/x", "dir_name_x"},
        {"tab\there\x7f", "tab_here_"},
        {"line\nbreak", "line_break"},
        {"\xe4\xb8\xad\xe6\x96\x87", "\xe4\xb8\xad\xe6\x96\x87"},  // UTF-8 stays as it is
        {"\xf0\x9f\x9a\x8c"
         "42",
         "\xf0\x9f\x9a\x8c"
         "42"},  // four bytes too
        // A recorder writing GBK: bytes that are no UTF-8, each one replaced.
        {"\xd4\xc1"
         "B12345",
         "__B12345"},
        {"\xbe\xa9"
         "A-0042",
         "__A-0042"},
        // A character cut at the 16-byte field's end.
        {"ABCDEFGHIJKLMN\xe4\xb8", "ABCDEFGHIJKLMN__"},
        {"ABCDEFGHIJKLMNO\xf0", "ABCDEFGHIJKLMNO_"},
        {"\xc0\xaf"
         "x",
         "__x"},  // an overlong '/'
        {"\xed\xa0\x80"
         "x",
         "___x"},                      // a surrogate
        {"\xf4\x90\x80\x80", "____"},  // past U+10FFFF
        {"\x80"
         "x\xe4\xb8"
         "y",
         "_x__y"},  // a lone continuation, a sequence broken off
        // What FAT refuses in a name.
        {"a:b*c?d\"e<f>g|h", "a_b_c_d_e_f_g_h"},
        {"BUS. .", "BUS___"},  // trailing dots and spaces
        {"a b.c", "a b.c"},    // inside they are harmless
        {" ", "_"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        char field[16] = {};
        std::memcpy(field, c.id, std::strlen(c.id));
        EXPECT_EQ(safe_vehicle_id(field), c.safe);
    }
    // Sixteen bytes without an end: no byte past the field is read.
    const char full[17] = "ABCDEFGHIJKLMNOP";
    char field[16];
    std::memcpy(field, full, 16);
    EXPECT_EQ(safe_vehicle_id(field), "ABCDEFGHIJKLMNOP");
}

TEST(OutputNamesTest, TheStampIsLocalTime) {
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(name_stamp(1700000000), "20231114_2213_20");
    EXPECT_EQ(name_stamp(946684800), "20000101_0000_00");
    setenv("TZ", "JST-9", 1);
    tzset();
    EXPECT_EQ(name_stamp(1700000000), "20231115_0713_20");
    setenv("TZ", "UTC", 1);
    tzset();
}

TEST(OutputNamesTest, StemBaseJoinsWithOneSeparator) {
    EXPECT_EQ(stem_base("/out", "BUS", "20000101_0000_00"), "/out/BUS_20000101_0000_00");
    EXPECT_EQ(stem_base("/out//", "BUS", "s"), "/out/BUS_s");
    EXPECT_EQ(stem_base("/", "BUS", "s"), "//BUS_s");
}

TEST(OutputNamesTest, EachOutputHasItsSuffix) {
    ExportRequest request;
    request.channels[0] = request.channels[7] = true;
    request.all_channels = request.file_pair = true;
    request.telemetry_csv = request.gpx_track = true;
    const auto paths =
        choose_output_paths(request, "/o/S", [](const std::string&) { return false; });
    ASSERT_TRUE(paths.ok());
    EXPECT_EQ(paths->all(),
              (std::vector<std::string>{"/o/S_ch1.avi", "/o/S_ch8.avi", "/o/S_ch_all.avi",
                                        "/o/S.dvr", "/o/S.inx", "/o/S_telemetry.csv", "/o/S.gpx"}));
    request.mp4 = true;
    const auto mp4 = choose_output_paths(request, "/o/S", [](const std::string&) { return false; });
    ASSERT_TRUE(mp4.ok());
    EXPECT_EQ(mp4->channel[0], "/o/S_ch1.mp4");
    EXPECT_EQ(mp4->all_channels, "/o/S_ch_all.avi");  // the mosaic is always AVI
}

TEST(OutputNamesTest, AnyTakenFileOfAStemMovesAllToTheNextStem) {
    ExportRequest request;
    request.channels[2] = true;
    request.file_pair = true;
    struct Case {
        std::set<std::string> taken;
        const char* stem;
    };
    const Case cases[] = {
        {{}, "/o/S"},
        {{"/o/S.inx"}, "/o/S_1"},  // only the index of an earlier pair
        {{"/o/S_ch3.avi", "/o/S_1.dvr"}, "/o/S_2"},
        // Files of outputs not asked for: two exports never share a stem.
        {{"/o/S_ch4.avi", "/o/S_ch_all.avi"}, "/o/S_1"},
        {{"/o/S.gpx", "/o/S_1_ch3.mp4"}, "/o/S_2"},
        // Files no export writes.
        {{"/o/S_ch9.avi", "/o/S.txt", "/o/S_ch3.mkv", "/o/S_2.dvr"}, "/o/S"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stem);
        const auto paths = choose_output_paths(
            request, "/o/S", [&](const std::string& path) { return c.taken.count(path) != 0; });
        ASSERT_TRUE(paths.ok());
        EXPECT_EQ(paths->stem, c.stem);
        EXPECT_EQ(paths->channel[2], std::string(c.stem) + "_ch3.avi");
        EXPECT_EQ(paths->dvr, std::string(c.stem) + ".dvr");
    }
}

TEST(OutputNamesTest, EveryPossibleOutputTakesItsStemAlone) {
    ExportRequest request;
    request.channels[0] = true;
    std::vector<std::string> suffixes = {"_ch_all.avi", ".dvr", ".inx", "_telemetry.csv", ".gpx"};
    for (int channel = 1; channel <= 8; ++channel) {
        for (const char* ext : {".avi", ".mp4"})
            suffixes.push_back("_ch" + std::to_string(channel) + ext);
    }
    for (const std::string& suffix : suffixes) {
        SCOPED_TRACE(suffix);
        const auto paths = choose_output_paths(
            request, "/o/S", [&](const std::string& path) { return path == "/o/S" + suffix; });
        ASSERT_TRUE(paths.ok());
        EXPECT_EQ(paths->stem, "/o/S_1");
    }
}

// The worst case START checks is the name an export can really be given: the longest
// identifier, the last stem tried, the longest suffix.
TEST(OutputNamesTest, TheLongestOutputPathIsOneAnExportCanBeGiven) {
    setenv("TZ", "UTC", 1);
    tzset();
    ExportRequest request;
    request.channels.fill(true);
    request.all_channels = request.file_pair = request.telemetry_csv = request.gpx_track = true;
    const std::string id(kVehicleIdBytes, 'I');
    const std::string base = stem_base("/exports/d", id, name_stamp(1700000000));
    const std::string last_stem = base + "_9999";
    const auto paths = choose_output_paths(request, base, [&](const std::string& path) {
        return path.compare(0, last_stem.size(), last_stem) != 0;
    });
    ASSERT_TRUE(paths.ok()) << paths.error().message;
    ASSERT_EQ(paths->stem, last_stem);
    size_t longest = 0;
    for (const std::string& path : paths->all()) longest = std::max(longest, path.size());
    EXPECT_EQ(longest, paths->telemetry_csv.size());
    EXPECT_EQ(longest_output_path("/exports/d"), longest);
    EXPECT_EQ(longest_output_path("/exports/d//"), longest);
    EXPECT_EQ(longest_output_path("/exports/d"), std::string("/exports/d").size() + 53);
}

TEST(OutputNamesTest, PathsLongerThanTheLibraryTakesAreRefused) {
    ExportRequest request;
    request.channels[0] = true;
    const auto never = [](const std::string&) { return false; };
    // "_ch1.avi" is 8 bytes: a stem of 251 makes exactly 259.
    const std::string fits(251, 's');
    const auto ok = choose_output_paths(request, fits, never);
    ASSERT_TRUE(ok.ok());
    EXPECT_EQ(ok->channel[0].size(), kMaxPathBytes);
    EXPECT_FALSE(choose_output_paths(request, fits + "s", never).ok());
    // The collision suffix counts too.
    const auto taken_once = [&](const std::string& path) { return path == fits + "_ch1.avi"; };
    EXPECT_FALSE(choose_output_paths(request, fits, taken_once).ok());
}

TEST(OutputNamesTest, AFullDirectoryIsRefusedNotSearchedForEver) {
    ExportRequest request;
    request.channels[0] = true;
    EXPECT_FALSE(
        choose_output_paths(request, "/o/S", [](const std::string&) { return true; }).ok());
}

}  // namespace
}  // namespace fleet::export_host::test
