// Telling recorder disks from other devices, on disk images and, as root, on a loop device.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/le.h"
#include "disk_image_support.h"
#include "format/recorder_disk.h"

namespace {

using fleet::format::DiskVerdict;
using fleet::format::FatFilePlan;
using fleet::format::FileByteSource;
using fleet::format::MbrPartition;
using fleet::format::recognise_recorder_disk;
using fmt_test::kMiB;

const std::vector<FatFilePlan> kIndexFiles = {
    {"timeindex", 16 * kMiB}, {"eventindex", 100 * 16}, {"quickindex", 3 * kMiB + 7}};

struct DiskCase {
    const char* what;
    std::vector<FatFilePlan> files;
    int partitions;
    DiskVerdict verdict;
    std::string why;  // part of the reason, for the failing verdicts
    // Changes the image after it is written (table = the partitions written).
    std::function<void(const std::string&, const std::vector<MbrPartition>&)> change = nullptr;
};

TEST(RecorderDisk, VerdictsOnDiskImages) {
    auto without = [](const std::string& name) {
        std::vector<FatFilePlan> files;
        for (const FatFilePlan& f : kIndexFiles) {
            if (f.name != name) files.push_back(f);
        }
        return files;
    };
    auto rewrite_table = [](auto edit) {
        return [edit](const std::string& image, const std::vector<MbrPartition>& table) {
            std::vector<MbrPartition> changed = table;
            edit(changed);
            auto mbr = fleet::format::build_mbr(changed);
            fmt_test::write_at(image, 0, {mbr.begin(), mbr.end()});
        };
    };
    const std::vector<DiskCase> cases = {
        {"recorder disk", kIndexFiles, 2, DiskVerdict::RecorderDisk, ""},
        {"names in upper case, other files around",
         {{"README.TXT", 10}, {"TIMEINDEX", 4096}, {"EventIndex", 16}, {"QUICKINDEX", 1}},
         2,
         DiskVerdict::RecorderDisk,
         ""},
        {"empty index files",
         {{"timeindex", 0}, {"eventindex", 0}, {"quickindex", 0}},
         2,
         DiskVerdict::RecorderDisk,
         ""},
        {"one partition only", kIndexFiles, 1, DiskVerdict::NotRecorderDisk, "two partitions"},
        {"no timeindex", without("timeindex"), 2, DiskVerdict::NotRecorderDisk, "timeindex"},
        {"no file system",
         {},
         2,
         DiskVerdict::NotRecorderDisk,
         "first partition",
         [](const std::string& image, const std::vector<MbrPartition>& table) {
             fmt_test::write_at(image, table[0].offset(), std::vector<uint8_t>(512, 0));
         }},
        {"no partition table", kIndexFiles, 2, DiskVerdict::NotRecorderDisk, "partition table",
         [](const std::string& image, const auto&) {
             fmt_test::write_at(image, 510, {0, 0});
         }},
        {"data partition beyond the device", kIndexFiles, 2, DiskVerdict::NotRecorderDisk,
         "past the end", rewrite_table([](auto& t) { t[1].sector_count += 1; })},
        {"index partition beyond the device", kIndexFiles, 2, DiskVerdict::NotRecorderDisk,
         "past the end", rewrite_table([](auto& t) { t[0].first_sector = 0xFFFFFF00; })},
        {"second entry empty", kIndexFiles, 2, DiskVerdict::NotRecorderDisk, "two partitions",
         rewrite_table([](auto& t) { t[1].type = 0; })},
        {"no quickindex", without("quickindex"), 2, DiskVerdict::IndexFileMissing, "quickindex"},
        {"no eventindex", without("eventindex"), 2, DiskVerdict::IndexFileMissing, "eventindex"},
        {"eventindex chain broken", kIndexFiles, 2, DiskVerdict::IndexFileMissing,
         "cannot open eventindex",
         [](const std::string& image, const std::vector<MbrPartition>& table) {
             // The FAT entry of the file's first cluster, found from the boot sector.
             auto boot = fmt_test::read_at(image, table[0].offset(), 512);
             int64_t fat = table[0].offset() + int64_t{fleet::load_u16(&boot[14])} * 512;
             int64_t cluster_bytes = int64_t{boot[13]} * 512;
             // Root (1 cluster) and timeindex come first, all contiguous.
             int64_t first = 3 + 16 * kMiB / cluster_bytes;
             fmt_test::write_at(image, fat + first * 4, {0, 0, 0, 0});
         }},
    };
    for (const DiskCase& c : cases) {
        SCOPED_TRACE(c.what);
        fleet::test::TempDir dir;
        std::string image = dir.file("disk.img");
        auto table =
            fmt_test::write_recorder_disk(image, c.files, 40 * kMiB, 8 * kMiB, c.partitions);
        if (c.change) c.change(image, table);
        FileByteSource device;
        ASSERT_TRUE(device.open(image));
        auto disk = recognise_recorder_disk(device, device.size());
        EXPECT_EQ(disk.verdict, c.verdict) << disk.why;
        if (c.verdict != DiskVerdict::RecorderDisk) {
            EXPECT_NE(disk.why.find(c.why), std::string::npos) << disk.why;
            EXPECT_FALSE(disk.time_index || disk.event_index || disk.quick_index);
            continue;
        }
        EXPECT_EQ(disk.index_partition.offset(), table[0].offset());
        EXPECT_EQ(disk.data_partition.offset(), table[1].offset());
        EXPECT_EQ(disk.data_partition.length(), 8 * kMiB);
        auto check = [&](fleet::format::FatFile* file, const std::string& name) {
            ASSERT_NE(file, nullptr) << name;
            const FatFilePlan* plan = nullptr;
            for (const FatFilePlan& f : c.files) {
                if (fmt_test::lower(f.name) == name) plan = &f;
            }
            ASSERT_NE(plan, nullptr);
            EXPECT_EQ(file->size(), plan->size);
            EXPECT_TRUE(fmt_test::read_all(*file, file->size()) ==
                        fmt_test::file_contents(plan->name, plan->size))
                << name;
        };
        check(disk.time_index.get(), "timeindex");
        check(disk.event_index.get(), "eventindex");
        check(disk.quick_index.get(), "quickindex");
    }
}

TEST(RecorderDisk, FoundOnAFat16IndexPartition) {
    for (const char* tool : {"mkfs.fat", "mcopy"}) {
        if (!fmt_test::find_tool(tool))
            GTEST_SKIP() << tool << " not installed (dosfstools, mtools)";
    }
    fleet::test::TempDir dir;
    std::string volume = dir.file("index.img");
    auto made = fmt_test::run_tool("mkfs.fat", {"-F", "16", "-C", volume, "16384"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    for (const char* name : {"timeindex", "eventindex", "quickindex"}) {
        fmt_test::write_at(dir.file(name), 0, fmt_test::file_contents(name, 1000));
        auto r = fmt_test::run_tool("mcopy", {"-i", volume, dir.file(name), "::/"});
        ASSERT_EQ(r.exit_code, 0) << r.err;
    }
    // The volume goes in as the first partition of a disk, the data partition after it.
    std::string image = dir.file("disk.img");
    std::string bytes = fleet::test::read_file(volume);
    std::vector<MbrPartition> table = {
        {0x06, 2048, static_cast<uint32_t>(bytes.size() / 512)},
        {0x83, 2048 + static_cast<uint32_t>(bytes.size() / 512), 2048}};
    auto mbr = fleet::format::build_mbr(table);
    fmt_test::write_at(image, 0, {mbr.begin(), mbr.end()});
    fmt_test::write_at(image, table[0].offset(), {bytes.begin(), bytes.end()});
    std::filesystem::resize_file(image,
                                 static_cast<uintmax_t>(table[1].offset() + table[1].length()));

    FileByteSource device;
    ASSERT_TRUE(device.open(image));
    auto disk = recognise_recorder_disk(device, device.size());
    ASSERT_EQ(disk.verdict, DiskVerdict::RecorderDisk) << disk.why;
    EXPECT_TRUE(fmt_test::read_all(*disk.quick_index, 1000) ==
                fmt_test::file_contents("quickindex", 1000));
}

// The engine opens whole block devices; a loop device over an image is one.
TEST(RecorderDisk, FoundOnALoopDevice) {
    if (::geteuid() != 0 || !fmt_test::find_tool("losetup")) {
        GTEST_SKIP() << "attaching a loop device needs root and losetup";
    }
    fleet::test::TempDir dir;
    std::string image = dir.file("disk.img");
    fmt_test::write_recorder_disk(image, kIndexFiles);
    auto attached = fmt_test::run_tool("losetup", {"--find", "--show", "--read-only", image});
    if (attached.exit_code != 0) GTEST_SKIP() << "no loop device here: " << attached.err;
    std::string loop = attached.out.substr(0, attached.out.find('\n'));
    FileByteSource device;
    bool opened = device.open(loop);
    int64_t size = device.size();
    auto disk = opened ? recognise_recorder_disk(device, size) : fleet::format::RecorderDisk{};
    bool read_ok = disk.time_index && fmt_test::read_all(*disk.time_index, 16 * kMiB) ==
                                          fmt_test::file_contents("timeindex", 16 * kMiB);
    device.close();
    fmt_test::run_tool("losetup", {"--detach", loop});
    ASSERT_TRUE(opened) << loop;
    EXPECT_EQ(size, static_cast<int64_t>(std::filesystem::file_size(image)));
    EXPECT_EQ(disk.verdict, DiskVerdict::RecorderDisk) << disk.why;
    EXPECT_TRUE(read_ok);
}

}  // namespace
