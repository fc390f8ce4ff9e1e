#include "common/block_devices.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "loop_device.h"
#include "process.h"
#include "scoped_env.h"

namespace fleet {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;

void touch(const fs::path& path, const std::string& text = "") {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

std::vector<std::string> paths_of(const std::vector<WholeDisk>& disks) {
    std::vector<std::string> paths;
    for (const WholeDisk& disk : disks) paths.push_back(disk.path);
    return paths;
}

// One entry of <sys>/block and what makes it what it is.
struct SysfsEntry {
    std::string name;
    std::vector<std::string> files;  // relative to the entry's directory
};

TEST(ListWholeDisks, SysfsScanKeepsWholeSearchableDisksInKernelOrder) {
    ScopedEnv no_override(kScanDevicesVariable, std::nullopt);
    const std::vector<SysfsEntry> tree = {
        {"sda", {"size", "sda1/partition"}},
        {"sdb", {"size"}},
        {"sdaa", {"size"}},
        {"sdc1", {"partition"}},
        {"mmcblk0p1", {"partition"}},
        {"loop2p1", {"partition"}},
        {"sr0", {"size"}},
        {"ram0", {"size"}},
        {"zram0", {"size"}},
        {"dm-0", {"size"}},
        {"md0", {"size"}},
        {"nbd0", {"size"}},
        {"rbd0", {"size"}},
        {"drbd0", {"size"}},
        {"loop0", {"size"}},
        {"loop10", {"loop/backing_file"}},
        {"loop2", {"loop/backing_file"}},
        {"mmcblk0", {"size"}},
        {"mmcblk0boot0", {"size"}},
        {"mmcblk0rpmb", {"size"}},
        {"nvme10n1", {"size"}},
        {"nvme0n1", {"size", "nvme0n1p1/partition"}},
        {"nvme0c0n1", {"size"}},
        {"nvme1n1", {"size"}},
        {"vda", {"size"}},
        {"xvdb", {"size"}},
    };
    const std::vector<std::string> expected = {
        "loop2", "loop10", "mmcblk0", "nvme0n1", "nvme1n1", "nvme10n1",
        "sda",   "sdb",    "sdaa",    "vda",     "xvdb",
    };

    TempDir sys;
    const fs::path root = fs::canonical(sys.path());
    for (const SysfsEntry& entry : tree) {
        fs::create_directories(root / "block" / entry.name);
        for (const std::string& file : entry.files) touch(root / "block" / entry.name / file);
    }

    const std::vector<WholeDisk> disks = list_whole_disks(root.string());
    std::vector<std::string> expected_paths;
    for (const std::string& name : expected) expected_paths.push_back("/dev/" + name);
    ASSERT_EQ(paths_of(disks), expected_paths);
    for (size_t i = 0; i < disks.size(); ++i) {
        EXPECT_EQ(disks[i].sysfs_dir, (root / "block" / expected[i]).string());
    }
}

TEST(ListWholeDisks, NoSysfsBlockFolderMeansNoDisks) {
    ScopedEnv no_override(kScanDevicesVariable, std::nullopt);
    TempDir sys;
    EXPECT_TRUE(list_whole_disks(sys.path()).empty());
}

bool lists(const std::vector<WholeDisk>& disks, const WholeDisk& wanted) {
    return std::any_of(disks.begin(), disks.end(), [&](const WholeDisk& disk) {
        return disk.path == wanted.path && disk.sysfs_dir == wanted.sysfs_dir;
    });
}

// The machine's own sysfs, read only: a loop device is a disk while a file is attached to it.
TEST(ListWholeDisks, SysfsScanListsALoopDeviceWhileAttached) {
    ScopedEnv no_override(kScanDevicesVariable, std::nullopt);
    TempDir dir;
    const std::string backing = dir.file("disk.img");
    std::ofstream(backing).close();
    fs::resize_file(backing, 1024 * 1024);
    test::LoopDevice loop;
    if (!loop.attach(backing)) GTEST_SKIP() << loop.failure();
    const std::string name = fs::path(loop.path()).filename().string();
    const WholeDisk attached{loop.path(), fs::canonical("/sys/block/" + name).string()};

    EXPECT_TRUE(lists(list_whole_disks(), attached));
    ASSERT_TRUE(loop.detach()) << loop.failure();
    // A reader such as udev's probe may still hold the device; the kernel detaches on its close.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (lists(list_whole_disks(), attached) && std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(lists(list_whole_disks(), attached));
}

// The override names an image file and a real loop device (attached or not, its node exists);
// the fake sysfs it is given must not be scanned.
TEST(ListWholeDisks, NamedDevicesReplaceTheScan) {
    const std::string loop = "/dev/loop0";
    struct stat st;
    if (::stat(loop.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) {
        GTEST_SKIP() << loop << " does not exist here";
    }
    const std::string loop_sysfs = fs::canonical("/sys/block/loop0").string();
    TempDir dir;
    const std::string image = dir.file("card.img");
    touch(image, "image");
    const std::string missing = dir.file("not-there.img");
    TempDir fake_sys;
    fs::create_directories(fs::path(fake_sys.path()) / "block" / "sda");

    struct Case {
        std::string variable;
        std::vector<WholeDisk> expected;
    };
    const std::vector<Case> cases = {
        {image + ":" + loop, {{image, ""}, {loop, loop_sysfs}}},
        {loop + "::" + missing + ":" + image + ":", {{loop, loop_sysfs}, {image, ""}}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.variable);
        ScopedEnv named(kScanDevicesVariable, c.variable);
        const std::vector<WholeDisk> disks = list_whole_disks();
        ASSERT_EQ(disks.size(), c.expected.size());
        for (size_t i = 0; i < disks.size(); ++i) {
            EXPECT_EQ(disks[i].path, c.expected[i].path);
            EXPECT_EQ(disks[i].sysfs_dir, c.expected[i].sysfs_dir);
        }
        EXPECT_EQ(paths_of(list_whole_disks(fake_sys.path())), paths_of(c.expected));
    }
}

// Root may open anything, so the check runs in a child that has given up root.
std::optional<std::vector<std::string>> refused_as_nobody(const std::vector<WholeDisk>& disks) {
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe_ends[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(2);
        }
        std::string text;
        for (const std::string& path : devices_refusing_access(disks)) text += path + "\n";
        const bool written =
            ::write(pipe_ends[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(written ? 0 : 3);
    }
    ::close(pipe_ends[1]);
    std::string text;
    char chunk[256];
    for (ssize_t n; (n = ::read(pipe_ends[0], chunk, sizeof chunk)) > 0;) text.append(chunk, n);
    ::close(pipe_ends[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    return test::split_lines(text);
}

TEST(DevicesRefusingAccess, ListsOnlyWhatCannotBeOpenedForReading) {
    TempDir dir;
    ::chmod(dir.path().c_str(), 0755);
    const std::string readable = dir.file("readable.img"), locked = dir.file("locked.img");
    touch(readable, "r");
    touch(locked, "l");
    ::chmod(readable.c_str(), 0644);
    ::chmod(locked.c_str(), 0000);
    const std::vector<WholeDisk> disks = {
        {readable, ""}, {locked, ""}, {dir.file("missing.img"), ""}};

    std::optional<std::vector<std::string>> refused;
    if (::geteuid() == 0) {
        refused = refused_as_nobody(disks);
        ASSERT_TRUE(refused.has_value()) << "the unprivileged child failed";
    } else {
        refused = devices_refusing_access(disks);
    }
    EXPECT_EQ(*refused, std::vector<std::string>{locked});
}

}  // namespace
}  // namespace fleet
