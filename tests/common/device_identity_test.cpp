#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "common/block_devices.h"
#include "loop_device.h"
#include "process.h"

namespace fleet {
namespace {

namespace fs = std::filesystem;
using test::LoopDevice;
using test::TempDir;

constexpr int64_t kMiB = 1024 * 1024;

void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

void expect_reason(const std::string& reason, const std::string& path, const std::string& part) {
    if (part.empty()) {
        EXPECT_EQ(reason, "");
        return;
    }
    EXPECT_EQ(reason.rfind(path + ": ", 0), 0u) << reason;
    EXPECT_NE(reason.find(part), std::string::npos) << reason;
}

struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
    void reopen(const std::string& path, int flags) {
        if (fd >= 0) ::close(fd);
        fd = ::open(path.c_str(), flags | O_CLOEXEC);
    }
};

TEST(IdentifyDevice, RefusesWhatIsNeitherDiskNorFile) {
    TempDir dir;
    Descriptor folder;
    folder.reopen(dir.path(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder.fd, 0);
    auto id = identify_device(folder.fd, dir.path(), "");
    ASSERT_FALSE(id.ok());
    EXPECT_NE(id.error().message.find("neither"), std::string::npos) << id.error().message;
}

// An image file stays the same file as long as its path names the same inode.
TEST(RemovalReason, ImageFile) {
    struct Case {
        const char* what;
        std::function<void(const std::string& image, TempDir& dir)> change;
        std::string reason;  // a part of the reason; empty: not removed
    };
    const std::vector<Case> cases = {
        {"untouched", [](const std::string&, TempDir&) {}, ""},
        {"written to in place",
         [](const std::string& image, TempDir&) {
             std::ofstream(image, std::ios::binary | std::ios::app) << "more";
         },
         ""},
        {"another file renamed over it",
         [](const std::string& image, TempDir& dir) {
             write_file(dir.file("other.img"), std::string(4096, 'o'));
             fs::rename(dir.file("other.img"), image);
         },
         "another file"},
        {"deleted", [](const std::string& image, TempDir&) { fs::remove(image); }, "gone"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string image = dir.file("card.img");
        write_file(image, std::string(4096, 'i'));
        Descriptor opened;
        opened.reopen(image, O_RDONLY);
        ASSERT_GE(opened.fd, 0);
        auto id = identify_device(opened.fd, image, "");
        ASSERT_TRUE(id.ok()) << id.error().message;
        EXPECT_FALSE(id->block_device);
        EXPECT_EQ(id->size, 4096);
        EXPECT_EQ(id->sysfs_dir, "");
        EXPECT_EQ(removal_reason(*id, opened.fd), "");

        c.change(image, dir);
        expect_reason(removal_reason(*id, opened.fd), image, c.reason);
    }
}

// A sparse 64 MiB file on a real loop device, opened and identified. Members go in reverse:
// the descriptor closes before the device is detached.
struct OpenLoop {
    TempDir dir;
    std::string backing = dir.file("disk.img");
    LoopDevice loop;
    Descriptor opened;
    DeviceIdentity id;
    std::string failure;

    OpenLoop() {
        Descriptor file;
        file.reopen(backing, O_WRONLY | O_CREAT);
        if (file.fd < 0 || ::ftruncate(file.fd, 64 * kMiB) != 0) {
            failure = "cannot make the backing file";
        } else if (!loop.attach(backing)) {
            failure = loop.failure();
        } else {
            identify(O_RDONLY, "");
        }
    }
    void identify(int flags, const std::string& sysfs_dir) {
        opened.reopen(loop.path(), flags);
        if (opened.fd < 0) {
            failure = "cannot open " + loop.path();
            return;
        }
        auto found = identify_device(opened.fd, loop.path(), sysfs_dir);
        if (found) {
            id = *found;
        } else {
            failure = found.error().message;
        }
    }
    std::string kernel_sysfs_dir() const {
        return fs::canonical("/sys/block/" + fs::path(loop.path()).filename().string()).string();
    }
    // A copy of the attributes removal_reason reads, in a folder the test may change.
    std::string fake_sysfs() {
        const std::string sysfs = dir.file("sysfs");
        fs::create_directories(sysfs + "/loop");
        write_file(sysfs + "/diskseq", std::to_string(id.diskseq != 0 ? id.diskseq : 5) + "\n");
        write_file(sysfs + "/loop/autoclear", "0\n");
        identify(O_RDONLY, sysfs);
        if (const std::string reason = removal_reason(id, opened.fd); !reason.empty()) {
            failure = "the copied attributes already differ: " + reason;
        }
        return sysfs;
    }
};

TEST(IdentifyDevice, LoopDevice) {
    OpenLoop device;
    if (!device.failure.empty()) GTEST_SKIP() << device.failure;
    struct stat st;
    ASSERT_EQ(::stat(device.loop.path().c_str(), &st), 0);
    const DeviceIdentity& id = device.id;
    EXPECT_TRUE(id.block_device);
    EXPECT_EQ(id.path, device.loop.path());
    EXPECT_EQ(id.rdev, st.st_rdev);
    EXPECT_EQ(id.size, 64 * kMiB);
    EXPECT_EQ(id.sysfs_dir, device.kernel_sysfs_dir());
    const std::string seq = test::read_file(id.sysfs_dir + "/diskseq");
    EXPECT_EQ(id.diskseq, seq.empty() ? 0 : std::stoull(seq));
    EXPECT_FALSE(id.loop_autoclear);
    EXPECT_EQ(removal_reason(id, device.opened.fd), "");
}

TEST(RemovalReason, LoopDevice) {
    struct Case {
        const char* what;
        std::function<void(OpenLoop&)> change;
        std::string reason;  // a part of the reason; empty: not removed
    };
    const std::vector<Case> cases = {
        {"untouched", [](OpenLoop&) {}, ""},
        {"backing file shrunk, size taken over",
         [](OpenLoop& d) {
             ASSERT_EQ(::truncate(d.backing.c_str(), 32 * kMiB), 0);
             ASSERT_TRUE(d.loop.refresh_size()) << d.loop.failure();
         },
         "size changed from 67108864 to 33554432"},
        {"detached", [](OpenLoop& d) { ASSERT_TRUE(d.loop.detach()) << d.loop.failure(); },
         "told to detach"},
        {"sysfs entry gone", [](OpenLoop& d) { fs::remove_all(d.fake_sysfs()); }, "sysfs entry"},
        {"another disk under the name",
         [](OpenLoop& d) {
             const std::string sysfs = d.fake_sysfs();
             write_file(sysfs + "/diskseq", std::to_string(d.id.diskseq + 1) + "\n");
         },
         "disk sequence number changed"},
        {"first sector unreadable", [](OpenLoop& d) { d.identify(O_WRONLY, d.kernel_sysfs_dir()); },
         "first sector cannot be read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpenLoop device;
        if (!device.failure.empty()) GTEST_SKIP() << device.failure;
        c.change(device);
        ASSERT_EQ(device.failure, "");
        expect_reason(removal_reason(device.id, device.opened.fd), device.id.path, c.reason);
    }
}

}  // namespace
}  // namespace fleet
