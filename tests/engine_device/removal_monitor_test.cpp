#include "source/removal_monitor.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

#include "loop_device.h"
#include "process.h"

namespace kivra {
namespace {

using namespace std::chrono_literals;

// Generous: the monitor checks every 250 ms; this only bounds a test that would otherwise hang.
constexpr auto kPatience = 10s;

// The reports a monitor made, for the test thread to wait on.
class Reports {
  public:
    RemovalMonitor::RemovedHandler handler(std::function<void()> also = nullptr) {
        return [this, also](const std::string& reason) {
            if (also) also();
            std::lock_guard<std::mutex> guard(lock_);
            reasons_.push_back(reason);
            arrived_.notify_all();
        };
    }
    bool wait_for_one() {
        std::unique_lock<std::mutex> guard(lock_);
        return arrived_.wait_for(guard, kPatience, [this] { return !reasons_.empty(); });
    }
    std::vector<std::string> reasons() {
        std::lock_guard<std::mutex> guard(lock_);
        return reasons_;
    }

  private:
    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<std::string> reasons_;
};

bool ends_within_patience(const RemovalMonitor& monitor) {
    const auto give_up = std::chrono::steady_clock::now() + kPatience;
    while (monitor.running()) {
        if (std::chrono::steady_clock::now() > give_up) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// An image file, open and identified, as the engine holds a card image.
class WatchedImage : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ofstream(image_, std::ios::binary) << std::string(4096, 'c');
        fd_ = ::open(image_.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd_, 0);
        auto id = fleet::identify_device(fd_, image_, "");
        ASSERT_TRUE(id.ok()) << id.error().message;
        id_ = *id;
    }
    void TearDown() override {
        monitor_.stop();
        if (fd_ >= 0) ::close(fd_);
    }

    fleet::test::TempDir dir_;
    std::string image_ = dir_.file("card.img");
    int fd_ = -1;
    fleet::DeviceIdentity id_;
    Reports reports_;
    RemovalMonitor monitor_;
};

TEST_F(WatchedImage, ReportsRemovalOnceAndEnds) {
    ASSERT_TRUE(monitor_.start(id_, fd_, reports_.handler()));
    EXPECT_TRUE(monitor_.running());
    std::filesystem::remove(image_);

    ASSERT_TRUE(reports_.wait_for_one());
    ASSERT_TRUE(ends_within_patience(monitor_));
    const std::vector<std::string> reasons = reports_.reasons();
    ASSERT_EQ(reasons.size(), 1u);
    EXPECT_EQ(reasons[0], image_ + ": the file is gone");
}

// A wait of an hour between checks: only an interrupted wait lets stop() return.
TEST_F(WatchedImage, StopEndsTheWaitWithoutReport) {
    ASSERT_TRUE(monitor_.start(id_, fd_, reports_.handler(), 1h));
    std::filesystem::remove(image_);
    monitor_.stop();
    EXPECT_FALSE(monitor_.running());
    EXPECT_TRUE(reports_.reasons().empty());
}

TEST_F(WatchedImage, StartRefusedWhileWatchingOrWithoutInterval) {
    RemovalMonitor other;
    EXPECT_FALSE(other.start(id_, fd_, reports_.handler(), 0ms));
    EXPECT_FALSE(other.start(id_, fd_, nullptr));
    EXPECT_FALSE(other.running());

    ASSERT_TRUE(monitor_.start(id_, fd_, reports_.handler(), 1h));
    EXPECT_FALSE(monitor_.start(id_, fd_, reports_.handler(), 1h));
    monitor_.stop();
    EXPECT_TRUE(monitor_.start(id_, fd_, reports_.handler(), 1h));
}

// The engine's reaction to a removal may stop the monitor from the report itself.
TEST_F(WatchedImage, StopFromInsideTheReportDoesNotWaitForItself) {
    ASSERT_TRUE(monitor_.start(id_, fd_, reports_.handler([this] { monitor_.stop(); })));
    std::filesystem::remove(image_);
    ASSERT_TRUE(reports_.wait_for_one());
    EXPECT_FALSE(monitor_.running());

    // Watching again works once the report is over.
    std::ofstream(image_, std::ios::binary) << "new";
    const int fd = ::open(image_.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    auto id = fleet::identify_device(fd, image_, "");
    ASSERT_TRUE(id.ok());
    EXPECT_TRUE(monitor_.start(*id, fd, reports_.handler(), 1h));
    monitor_.stop();
    ::close(fd);
    EXPECT_EQ(reports_.reasons().size(), 1u);
}

// A disk image on a real loop device, detached while the engine would hold it open.
TEST(RemovalMonitor, ReportsADetachedLoopDevice) {
    fleet::test::TempDir dir;
    const std::string backing = dir.file("disk.img");
    std::ofstream(backing).close();
    std::filesystem::resize_file(backing, 16 * 1024 * 1024);
    fleet::test::LoopDevice loop;
    if (!loop.attach(backing)) GTEST_SKIP() << loop.failure();
    const std::string device = loop.path();
    const int fd = ::open(device.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    auto id = fleet::identify_device(fd, device, "");
    ASSERT_TRUE(id.ok()) << id.error().message;
    Reports reports;
    RemovalMonitor monitor;
    ASSERT_TRUE(monitor.start(*id, fd, reports.handler()));

    ASSERT_TRUE(loop.detach()) << loop.failure();
    const bool reported = reports.wait_for_one();
    monitor.stop();
    ::close(fd);
    ASSERT_TRUE(reported);
    EXPECT_EQ(reports.reasons(),
              std::vector<std::string>{device + ": the loop device was told to detach"});
}

TEST(RemovalMonitor, StopAndDestructionWithoutStart) {
    RemovalMonitor monitor;
    EXPECT_FALSE(monitor.running());
    monitor.stop();
    EXPECT_FALSE(monitor.running());
}

}  // namespace
}  // namespace kivra
