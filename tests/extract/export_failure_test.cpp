// Exports that must not start or must not leave anything behind, through the library's exports.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>

#include "ombrel/ombrel.h"
#include "process.h"
#include "recorded_gops.h"

namespace extract_test {
namespace {

namespace fs = std::filesystem;
using fleet::test::TempDir;

void set_path(char (&field)[OMBREL_PATH_SIZE], const std::string& path) {
    std::snprintf(field, sizeof field, "%s", path.c_str());
}

// Channels 1 and 3 of a four-channel recording with 16-bit sound.
ExtractJob sound_job(const std::string& dir) {
    ExtractJob job{};
    job.screen_count = 4;
    job.sample_rate = 8000;
    job.sample_bits = 16;
    set_path(job.target_directory, dir);
    job.channel_avi[0] = job.channel_avi[2] = 1;
    set_path(job.channel_avi_path[0], dir + "/a_ch1.avi");
    set_path(job.channel_avi_path[2], dir + "/a_ch3.avi");
    return job;
}

// Every file and directory under `dir` with the file's bytes.
std::map<std::string, std::string> listing(const std::string& dir) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::string path = entry.path().string();
        entries[path] = entry.is_regular_file() ? fleet::test::read_file(path) : "<dir>";
    }
    return entries;
}

struct RefusedJob {
    const char* what;
    std::function<void(ExtractJob&, const std::string& dir)> spoil;
};

const RefusedJob kRefused[] = {
    {"an output in a missing directory",
     [](ExtractJob& j, const std::string& d) { set_path(j.channel_avi_path[2], d + "/no/x.avi"); }},
    {"an output that exists already",
     [](ExtractJob& j, const std::string& d) {
         set_path(j.channel_avi_path[2], d + "/kept.avi");
         std::FILE* f = std::fopen((d + "/kept.avi").c_str(), "w");
         std::fputs("evidence", f);
         std::fclose(f);
     }},
    {"no screen count", [](ExtractJob& j, const std::string&) { j.screen_count = 0; }},
    {"a channel flag that is not 0 or 1",
     [](ExtractJob& j, const std::string&) { j.channel_avi[2] = 2; }},
    {"a channel the recording does not have",
     [](ExtractJob& j, const std::string& d) {
         j.channel_avi[5] = 1;
         set_path(j.channel_avi_path[5], d + "/a_ch6.avi");
     }},
    {"a path without its terminating zero",
     [](ExtractJob& j, const std::string&) {
         std::memset(j.channel_avi_path[2], 'a', OMBREL_PATH_SIZE);
     }},
    {"an asked channel without a path",
     [](ExtractJob& j, const std::string&) { j.channel_avi_path[2][0] = '\0'; }},
    {"MP4 with sound its AAC track cannot carry (4000 Hz)",
     [](ExtractJob& j, const std::string&) {
         j.reserved1[0] = 1;
         j.sample_rate = 4000;
     }},
    {"12-bit sound", [](ExtractJob& j, const std::string&) { j.sample_bits = 12; }},
    {"no output asked for",
     [](ExtractJob& j, const std::string&) { j.channel_avi[0] = j.channel_avi[2] = 0; }},
    {"a mosaic without a picture size",
     [](ExtractJob& j, const std::string& d) {
         j.all_channels_avi = 1;
         set_path(j.all_channels_avi_path, d + "/a_ch_all.avi");
     }},
};

TEST(ExportRefusal, ABadJobOrAnOutputThatCannotBeMadeLeavesEverythingAsItWas) {
    for (const RefusedJob& c : kRefused) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        ExtractJob job = sound_job(dir.path());
        c.spoil(job, dir.path());
        const auto before = listing(dir.path());
        EXPECT_EQ(zExtractPre(job), 0);
        EXPECT_EQ(zIsExtractOpened(), 0);
        EXPECT_EQ(listing(dir.path()), before);
    }
}

TEST(ExportRefusal, ASecondPreparationWhileOpenIsRefused) {
    TempDir dir;
    ASSERT_EQ(zExtractPre(sound_job(dir.path())), 1);
    ExtractJob other = sound_job(dir.path());
    set_path(other.channel_avi_path[0], dir.file("b_ch1.avi"));
    set_path(other.channel_avi_path[2], dir.file("b_ch3.avi"));
    EXPECT_EQ(zExtractPre(other), 0);
    EXPECT_FALSE(fs::exists(dir.file("b_ch1.avi")));
    EXPECT_EQ(zIsExtractOpened(), 1);
    // Finishing without a single key frame of the channels cannot give a playable file.
    zExtractFin();
    EXPECT_EQ(zIsExtractOpened(), 0);
    EXPECT_TRUE(listing(dir.path()).empty());
}

// A mounted tmpfs of a few kilobytes: writing past it fails as on a full disk.
class TinyFilesystem {
  public:
    explicit TinyFilesystem(const std::string& path) : path_(path) {
        fs::create_directory(path_);
        mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, "size=4k") == 0;
    }
    ~TinyFilesystem() {
        if (mounted_) ::umount(path_.c_str());
    }
    bool mounted() const { return mounted_; }

  private:
    std::string path_;
    bool mounted_ = false;
};

TEST(ExportFailure, AFullDiskUnderOneOutputRemovesAllOutputs) {
    TempDir dir;
    TinyFilesystem tiny(dir.file("tiny"));
    if (!tiny.mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
    std::string error;
    ASSERT_TRUE(record(dir.file("rec"),
                       {"--channels", "4", "--stream-version", "3", "--seconds", "10",
                        "--resolution", "d1", "--scene", "camera", "--seed", "5"},
                       error))
        << error;
    const RecordedGops gops(dir.file("rec.dvr"));
    ExtractJob job = sound_job(dir.path());
    set_path(job.channel_avi_path[0], dir.file("tiny/a_ch1.avi"));

    ASSERT_EQ(zExtractPre(job), 1);
    int written_while_open = 0;
    gops.for_each([&](const RecordedGop& gop, FrameSet& set) {
        zExtractWrite(OMBREL_WRITE_GOP, gop.data, gop.length, &set);
        if (zIsExtractOpened() == 1) ++written_while_open;
    });
    EXPECT_LT(written_while_open, static_cast<int>(gops.gops().size()));
    EXPECT_EQ(zIsExtractOpened(), 0);
    zExtractFin();
    EXPECT_FALSE(fs::exists(dir.file("tiny/a_ch1.avi")));
    EXPECT_FALSE(fs::exists(dir.file("a_ch3.avi")));
}

TEST(ExportInfo, TellsVersionTimeAndDate) {
    char version[19] = {}, time[19] = {}, date[19] = {};
    zExtractInfo(version, time, date);
    EXPECT_STREQ(version, "1.0.0");
    EXPECT_EQ(std::strlen(time), 8u);   // hh:mm:ss
    EXPECT_EQ(std::strlen(date), 11u);  // Mmm dd yyyy
}

}  // namespace
}  // namespace extract_test
