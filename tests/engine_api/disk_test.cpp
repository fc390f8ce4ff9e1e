// Recorder disks and cards made by dvrsim, opened through the engine's C interface the three
// ways a host can reach them: the image named directly, a search over the devices the
// override names, and a search that finds the image on a real loop device. What the engine
// reports must equal the simulator's truth, and the medium must come out unchanged.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/block_devices.h"
#include "engine_host.h"
#include "format/gop_header.h"
#include "format/index_format.h"
#include "format/recorder_medium.h"
#include "kivra/kivra.h"
#include "loop_device.h"
#include "process.h"
#include "scoped_env.h"
#include "source/ring_source.h"

namespace engine_api {
namespace {

using fleet::test::LoopDevice;
using fleet::test::ScopedEnv;
using fleet::test::TempDir;
using nlohmann::json;

constexpr Millis kFoundLimit{1000};
constexpr Millis kRemovedLimit{500};

struct Image {
    std::string path;
    json truth;
};

void make_image(const TempDir& dir, const std::string& kind, const std::string& name,
                const std::vector<std::string>& options, Image& out) {
    out.path = dir.file(name + ".img");
    std::vector<std::string> argv = {DVRSIM_PATH, kind, "--out", out.path};
    argv.insert(argv.end(), options.begin(), options.end());
    auto made = fleet::test::run_process(argv);
    ASSERT_EQ(made.exit_code, 0) << made.err;
    out.truth = json::parse(fleet::test::read_file(out.path + ".truth.json"));
}

std::string checksum(const std::string& path) {
    auto summed = fleet::test::run_process({"/usr/bin/sha256sum", path});
    EXPECT_EQ(summed.exit_code, 0) << summed.err;
    return summed.out.substr(0, 64);
}

int source_type(const std::string& kind) {
    return kind == "disk" ? KIVRA_SOURCE_DISK : KIVRA_SOURCE_CARD;
}

enum class Access { Named, Searched, LoopDevice };

struct ImageCase {
    const char* name;
    const char* kind;
    std::vector<std::string> options;
    bool wrapped;
};

void PrintTo(const ImageCase& c, std::ostream* os) {
    *os << c.name;
}

void PrintTo(Access a, std::ostream* os) {
    const char* names[] = {"named", "searched", "on a loop device"};
    *os << names[static_cast<int>(a)];
}

std::vector<ImageCase> image_cases() {
    const std::vector<std::string> small = {"--fps", "2", "--ring-size", "1M"};
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.end(), small.begin(), small.end());
        return more;
    };
    return {
        {"DiskUnwrapped", "disk", with({"--seconds", "40"}), false},
        {"DiskWrappedUnitsCrossTheLastNumber", "disk",
         with({"--seconds", "400", "--first-unit", "1048560", "--unit-every", "7"}), true},
        {"DiskWrappedStaleHeader", "disk", with({"--seconds", "400", "--stale-header"}), true},
        {"CardWrappedToTheDataStart", "card", with({"--seconds", "400", "--stale-header"}), true},
    };
}

// Opens the image the way `access` says and waits for the engine to report it found.
class DiskImageTest : public EngineTest,
                      public testing::WithParamInterface<std::tuple<ImageCase, Access>> {
  protected:
    void open_image(const ImageCase& c, Access access) {
        ASSERT_NO_FATAL_FAILURE(make_image(dir_, c.kind, c.name, c.options, image_));
        ASSERT_EQ(image_.truth["wrapped"].get<bool>(), c.wrapped) << "the image is not the case";
        before_ = checksum(image_.path);
        std::string device = image_.path;
        if (access == Access::LoopDevice) {
            if (!loop_.attach(image_.path)) GTEST_SKIP() << loop_.failure();
            device = loop_.path();
        }
        const bool named = access == Access::Named;
        env_.emplace(fleet::kScanDevicesVariable, named ? std::string("/nonexistent") : device);
        const size_t mark = reports().disk_mark();
        ASSERT_EQ(zOpen(source_type(c.kind), named ? device.c_str() : nullptr, nullptr, 0, 0), 1);
        auto found = reports().wait_disk(mark, KIVRA_DISK_OPENED, kFoundLimit);
        ASSERT_TRUE(found) << "not found within a second";
        EXPECT_EQ(found->device, device);
        EXPECT_EQ(found->type, source_type(c.kind));
    }

    void TearDown() override {
        EngineTest::TearDown();
        if (!image_.path.empty()) {
            EXPECT_EQ(checksum(image_.path), before_) << "the medium changed";
        }
    }

    Image image_;
    std::string before_;
    LoopDevice loop_;
    std::optional<ScopedEnv> env_;
};

uint32_t u32_at(const uint8_t* p) {
    return fleet::format::IndexHeader::decode(p).magic;
}

TEST_P(DiskImageTest, ReportsTheTruthsBoundsIndexesAndGops) {
    const auto& [c, access] = GetParam();
    ASSERT_NO_FATAL_FAILURE(open_image(c, access));
    const json& t = image_.truth;
    EXPECT_EQ(zTellOpenedType(), source_type(c.kind));
    EXPECT_EQ(static_cast<uint32_t>(zTellBegTime()), t["begin_time"].get<uint32_t>());
    EXPECT_EQ(static_cast<uint32_t>(zTellEndTime()), t["end_time"].get<uint32_t>());
    EXPECT_EQ(zTellTotalLen(), t["length"].get<int64_t>());
    EXPECT_EQ(zTellp(), 0);

    uint8_t record[16];
    ASSERT_EQ(zTellTimeInxHd(record), 1);
    auto header = fleet::format::IndexHeader::decode(record);
    EXPECT_EQ(header.first, t["oldest_unit"].get<uint32_t>());
    EXPECT_EQ(header.last, t["header"]["last"].get<uint32_t>());
    for (const char* list : {"time_units", "event_units"}) {
        const bool time = std::string(list) == "time_units";
        for (const json& u : t[list]) {
            const int32_t n = u["n"].get<int32_t>();
            ASSERT_EQ(time ? zTellTimeInxUnit(n, record) : zTellEvtInxUnit(n, record), 1) << n;
            auto unit = fleet::format::IndexUnit::decode(record);
            EXPECT_EQ(unit.time, u["time"].get<uint32_t>()) << list << " " << n;
            EXPECT_EQ(unit.tag, u["tag"].get<uint32_t>()) << list << " " << n;
            EXPECT_EQ(unit.offset, u["logical"].get<int64_t>()) << list << " " << n;
        }
    }
    ASSERT_EQ(zTellEvtInxHd(record), 1);
    EXPECT_EQ(fleet::format::IndexHeader::decode(record).last,
              t["event_header"]["last"].get<uint32_t>());
    uint8_t quick[128];
    ASSERT_EQ(zTellQuickInxHd(quick), 1);
    EXPECT_EQ(u32_at(quick), KIVRA_INDEX_MAGIC);
    const uint32_t some_unit = t["oldest_unit"].get<uint32_t>();
    ASSERT_EQ(zTellQuickInxUnit(static_cast<int32_t>(some_unit), quick), 1);
    EXPECT_EQ(fleet::format::IndexHeader::decode(quick).magic, some_unit);  // its time unit
    EXPECT_EQ(zTellQuickInxUnit(0, quick), 0);
}

// Where the newer lap begins in the truth's play order (the first GOP, unwrapped).
size_t seam_index(const json& gops) {
    for (size_t i = 1; i < gops.size(); ++i) {
        if (gops[i]["physical"].get<int64_t>() < gops[i - 1]["physical"].get<int64_t>()) return i;
    }
    return 0;
}

// The distinct GOP times in the order frames reported them.
std::vector<uint32_t> gop_sequence(const std::vector<uint32_t>& frames) {
    std::vector<uint32_t> gops;
    for (uint32_t t : frames) {
        if (gops.empty() || gops.back() != t) gops.push_back(t);
    }
    return gops;
}

void seek_to(int64_t logical) {
    ASSERT_EQ(command(KIVRA_CMD_SEEK, 0, static_cast<int32_t>(logical & 0xFFFFFFFF),
                      static_cast<int32_t>(logical >> 32)),
              std::optional<int32_t>(KIVRA_RESULT_SEEK_OK));
}

class DiskSeamTest : public DiskImageTest {};

TEST_P(DiskSeamTest, PlaysOverTheSeamBothWays) {
    const auto& [c, access] = GetParam();
    ASSERT_NO_FATAL_FAILURE(open_image(c, access));
    const json& gops = image_.truth["gops"];
    const size_t seam = seam_index(gops);
    ASSERT_GE(gops.size(), seam + 4);
    const size_t from = seam >= 2 ? seam - 2 : 0;

    ASSERT_EQ(command(KIVRA_CMD_PLAY), std::optional<int32_t>(KIVRA_RESULT_PLAY_OK));
    seek_to(gops[from]["logical"].get<int64_t>());
    reports().reset_frames("");
    auto played = [&] { return gop_sequence(reports().frame_times()).size(); };
    for (int i = 0; i < 100 && played() < 6; ++i) std::this_thread::sleep_for(Millis(100));
    std::vector<uint32_t> forward = gop_sequence(reports().frame_times());
    ASSERT_GE(forward.size(), 5u);
    // The frames of the GOP playing when the seek landed may come first.
    auto at = std::find(forward.begin(), forward.end(), gops[from]["time"].get<uint32_t>());
    ASSERT_NE(at, forward.end());
    for (size_t i = 0; at + static_cast<std::ptrdiff_t>(i) + 1 < forward.end(); ++i) {
        EXPECT_EQ(at[static_cast<std::ptrdiff_t>(i)], gops[from + i]["time"].get<uint32_t>());
    }

    const size_t back_from = seam + 2;
    seek_to(gops[back_from]["logical"].get<int64_t>());
    ASSERT_EQ(command(KIVRA_CMD_FAST_BACKWARD, 1),
              std::optional<int32_t>(KIVRA_RESULT_FAST_BACKWARD_OK));
    reports().reset_frames("");
    const uint32_t below = gops[seam >= 2 ? seam - 2 : 0]["time"].get<uint32_t>();
    auto crossed = [&] {
        auto times = reports().frame_times();
        return !times.empty() && times.back() <= below;
    };
    for (int i = 0; i < 100 && !crossed(); ++i) std::this_thread::sleep_for(Millis(100));
    std::vector<uint32_t> backward = gop_sequence(reports().frame_times());
    EXPECT_TRUE(crossed() || (seam < 2 && !backward.empty())) << "fast backward did not cross";
    EXPECT_TRUE(std::is_sorted(backward.rbegin(), backward.rend())) << "time went forward";
    std::vector<uint32_t> truth_times;
    for (const json& g : gops) truth_times.push_back(g["time"].get<uint32_t>());
    for (uint32_t t : backward) {
        EXPECT_NE(std::find(truth_times.begin(), truth_times.end(), t), truth_times.end())
            << "a GOP that is not recorded data: " << t;
    }
}

class DiskWalkTest : public DiskImageTest {};

// Every GOP of the truth, in order, with its logical offset, forwards and backwards through
// the source the player reads, on the medium itself.
TEST_P(DiskWalkTest, TheSourceWalksTheWholeRingBothWays) {
    const auto& [c, access] = GetParam();
    ASSERT_NO_FATAL_FAILURE(make_image(dir_, c.kind, c.name, c.options, image_));
    before_ = checksum(image_.path);
    std::string device = image_.path;
    if (access == Access::LoopDevice) {
        if (!loop_.attach(image_.path)) GTEST_SKIP() << loop_.failure();
        device = loop_.path();
    }
    const auto kind = std::string(c.kind) == "disk" ? fleet::format::MediumKind::Disk
                                                    : fleet::format::MediumKind::Card;
    auto found = fleet::format::find_medium_at(kind, device);
    ASSERT_EQ(found.verdict, fleet::format::MediumFound::Usable) << found.why;
    kivra::RingSource source(KIVRA_ERROR_DISK_OFFSET);
    ASSERT_TRUE(source.open(std::move(found.medium)));

    std::vector<uint8_t> bytes(fleet::format::kWalkBufferSize);
    fleet::format::WalkBuffer buffer{bytes.data(), bytes.size(), 0};
    const json& gops = image_.truth["gops"];
    for (const json& g : gops) {
        const int64_t at = source.tell();
        ASSERT_EQ(source.next(buffer), fleet::format::kWalkRead) << "at " << at;
        EXPECT_EQ(fleet::format::GopHeader::read(buffer.data).time(), g["time"].get<uint32_t>());
        EXPECT_EQ(at, g["logical"].get<int64_t>());
    }
    EXPECT_EQ(source.next(buffer), fleet::format::kWalkEnd);
    EXPECT_EQ(source.tell(), image_.truth["length"].get<int64_t>());
    for (auto g = gops.rbegin(); g != gops.rend(); ++g) {
        ASSERT_EQ(source.previous(buffer), fleet::format::kWalkRead);
        EXPECT_EQ(fleet::format::GopHeader::read(buffer.data).time(), (*g)["time"].get<uint32_t>());
    }
    EXPECT_EQ(source.previous(buffer), fleet::format::kWalkBeginning);
}

std::string case_name(const testing::TestParamInfo<std::tuple<ImageCase, Access>>& info) {
    const char* how[] = {"Named", "Searched", "OnLoopDevice"};
    return std::string(std::get<0>(info.param).name) +
           how[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(Images, DiskImageTest,
                         testing::Combine(testing::ValuesIn(image_cases()),
                                          testing::Values(Access::Named, Access::Searched,
                                                          Access::LoopDevice)),
                         case_name);

std::vector<ImageCase> wrapped_cases() {
    std::vector<ImageCase> cases;
    for (const ImageCase& c : image_cases()) {
        if (c.wrapped) cases.push_back(c);
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Images, DiskWalkTest,
                         testing::Combine(testing::ValuesIn(image_cases()),
                                          testing::Values(Access::Named, Access::LoopDevice)),
                         case_name);

// Playing takes real time: the seam is crossed on the image itself and on a loop device.
INSTANTIATE_TEST_SUITE_P(Images, DiskSeamTest,
                         testing::Combine(testing::ValuesIn(wrapped_cases()),
                                          testing::Values(Access::Named, Access::LoopDevice)),
                         case_name);

class DiskDecoyTest : public EngineTest {};

TEST_F(DiskDecoyTest, DecoysAreNeverFoundAndNamedOnesAreReportedAsFailures) {
    struct Decoy {
        const char* kind;
        const char* decoy;
    } decoys[] = {{"disk", "one-partition"},
                  {"card", "mark"},
                  {"card", "base-unaligned"},
                  {"card", "data-outside"}};
    for (const Decoy& d : decoys) {
        SCOPED_TRACE(std::string(d.kind) + " " + d.decoy);
        Image image;
        ASSERT_NO_FATAL_FAILURE(make_image(
            dir_, d.kind, d.decoy, {"--decoy", d.decoy, "--seconds", "5", "--fps", "2"}, image));
        ScopedEnv env(fleet::kScanDevicesVariable, image.path);
        size_t mark = reports().disk_mark();
        ASSERT_EQ(zOpen(source_type(d.kind), nullptr, nullptr, 0, 0), 1);
        EXPECT_FALSE(reports().wait_disk(mark, KIVRA_DISK_OPENED, Millis(700)));
        EXPECT_TRUE(reports().disks_since(mark).empty()) << "a search reports nothing it skips";
        close_everything();

        mark = reports().disk_mark();
        ASSERT_EQ(zOpen(source_type(d.kind), image.path.c_str(), nullptr, 0, 0), 1);
        EXPECT_TRUE(reports().wait_disk(mark, KIVRA_DISK_OPEN_FAILED, kFoundLimit));
        close_everything();
    }
}

class DiskDeviceTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(
            make_image(dir_, "disk", "disk", {"--seconds", "60", "--fps", "2"}, image_));
    }
    Image image_;
};

TEST_F(DiskDeviceTest, ADeviceAttachedAfterTheSearchStartedIsFound) {
    const std::string device = LoopDevice::first_free();
    if (device.empty()) GTEST_SKIP() << "needs root, losetup and a free loop device";
    ScopedEnv env(fleet::kScanDevicesVariable, device);
    const size_t mark = reports().disk_mark();
    ASSERT_EQ(zOpen(KIVRA_SOURCE_DISK, nullptr, nullptr, 0, 0), 1);
    std::this_thread::sleep_for(Millis(600));
    // Tests run side by side: another one may attach its own image to the same device.
    const std::string name = device.substr(device.rfind('/') + 1);
    if (::access(("/sys/block/" + name + "/loop/backing_file").c_str(), F_OK) == 0) {
        GTEST_SKIP() << "another process took " << device;
    }
    EXPECT_TRUE(reports().disks_since(mark).empty());
    LoopDevice loop;
    ASSERT_TRUE(loop.attach(image_.path)) << loop.failure();
    if (loop.path() != device) GTEST_SKIP() << "another process took " << device;
    auto found = reports().wait_disk(mark, KIVRA_DISK_OPENED, Millis(500));
    ASSERT_TRUE(found) << "not found within 500 ms of attaching";
    EXPECT_EQ(found->device, device);
}

TEST_F(DiskDeviceTest, ADeviceRemovedWhilePlayingIsReportedAndCloses) {
    const std::string copy = dir_.file("backing.img");
    ASSERT_EQ(fleet::test::run_process({"/bin/cp", "--sparse=always", image_.path, copy}).exit_code,
              0);
    LoopDevice loop;
    if (!loop.attach(copy)) GTEST_SKIP() << loop.failure();
    ScopedEnv env(fleet::kScanDevicesVariable, loop.path());
    size_t mark = reports().disk_mark();
    ASSERT_EQ(zOpen(KIVRA_SOURCE_DISK, nullptr, nullptr, 0, 0), 1);
    ASSERT_TRUE(reports().wait_disk(mark, KIVRA_DISK_OPENED, kFoundLimit));
    ASSERT_EQ(command(KIVRA_CMD_PLAY), std::optional<int32_t>(KIVRA_RESULT_PLAY_OK));
    std::this_thread::sleep_for(Millis(300));
    mark = reports().disk_mark();
    ASSERT_EQ(::truncate(copy.c_str(), 1 << 20), 0);
    ASSERT_TRUE(loop.refresh_size());
    auto removed = reports().wait_disk(mark, KIVRA_DISK_REMOVED, kRemovedLimit);
    ASSERT_TRUE(removed) << "no removal report within 500 ms";
    EXPECT_EQ(removed->type, KIVRA_SOURCE_DISK);
    EXPECT_TRUE(removed->device.empty());
    close_everything();  // stop and close still answer
}

TEST_F(DiskDeviceTest, AnImageReplacedUnderItsNameCountsAsRemoved) {
    size_t mark = reports().disk_mark();
    ASSERT_EQ(zOpen(KIVRA_SOURCE_DISK, image_.path.c_str(), nullptr, 0, 0), 1);
    ASSERT_TRUE(reports().wait_disk(mark, KIVRA_DISK_OPENED, kFoundLimit));
    mark = reports().disk_mark();
    const std::string other = dir_.file("other");
    fleet::test::run_process({"/bin/cp", "--sparse=always", image_.path, other});
    ASSERT_EQ(std::rename(other.c_str(), image_.path.c_str()), 0);
    EXPECT_TRUE(reports().wait_disk(mark, KIVRA_DISK_REMOVED, kRemovedLimit));
}

TEST_F(DiskDeviceTest, CloseEndsASearchThatFindsNothing) {
    ScopedEnv env(fleet::kScanDevicesVariable, dir_.file("nothing-here"));
    const size_t mark = reports().disk_mark();
    ASSERT_EQ(zOpen(KIVRA_SOURCE_CARD, nullptr, nullptr, 0, 0), 1);
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_CARD);
    EXPECT_EQ(zTellTotalLen(), KIVRA_UNKNOWN);
    std::this_thread::sleep_for(Millis(300));
    EXPECT_EQ(command(KIVRA_CMD_CLOSE), std::optional<int32_t>(KIVRA_RESULT_CLOSE_OK));
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);
    EXPECT_TRUE(reports().disks_since(mark).empty());
}

}  // namespace
}  // namespace engine_api
