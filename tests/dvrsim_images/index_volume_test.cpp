// The disk image's index file system checked by the FAT tools of dosfstools and mtools: it is
// sound, and its files hold the index records the truth describes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/index_format.h"
#include "image_reading.h"
#include "process.h"

namespace {

using fleet::test::ImageBytes;
using fleet::test::run_process;
using fleet::test::TempDir;
using nlohmann::json;
namespace format = fleet::format;

bool have_tools() {
    for (const char* tool : {DD_PATH, FSCK_FAT_PATH, MCOPY_PATH}) {
        if (std::string(tool).empty()) return false;
    }
    return true;
}

std::vector<uint8_t> bytes_of(const std::string& text) {
    return {text.begin(), text.end()};
}

struct VolumeCase {
    const char* name;
    std::vector<std::string> args;
};

class IndexVolume : public testing::TestWithParam<VolumeCase> {};

TEST_P(IndexVolume, PassesFsckAndItsFilesHoldTheIndexes) {
    if (!have_tools()) GTEST_SKIP() << "dd, fsck.fat or mcopy not installed";
    TempDir dir;
    const std::string path = dir.file("disk.img");
    const auto run = fleet::test::run_dvrsim_image("disk", path, GetParam().args);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const json truth = fleet::test::load_made_image(path).truth;
    const int64_t offset = truth["index_partition"]["offset"].get<int64_t>();
    const int64_t length = truth["index_partition"]["length"].get<int64_t>();

    const std::string volume = dir.file("volume.img");
    const auto copied = run_process(
        {DD_PATH, "if=" + path, "of=" + volume, "bs=512", "skip=" + std::to_string(offset / 512),
         "count=" + std::to_string(length / 512), "conv=sparse", "status=none"});
    ASSERT_EQ(copied.exit_code, 0) << copied.err;
    const auto fsck = run_process({FSCK_FAT_PATH, "-n", volume});
    EXPECT_EQ(fsck.exit_code, 0) << fsck.out << fsck.err;

    ImageBytes image(path);
    const std::string at = path + "@@" + std::to_string(offset);
    for (const char* file : {"timeindex", "eventindex", "quickindex"}) {
        SCOPED_TRACE(file);
        const std::string out = dir.file(file);
        const auto got = run_process({MCOPY_PATH, "-n", "-i", at, std::string("::") + file, out});
        ASSERT_EQ(got.exit_code, 0) << got.err;
        const auto contents = bytes_of(fleet::test::read_file(out));
        EXPECT_EQ(std::ssize(contents), truth["index_files"][file].get<int64_t>());
        const std::string area = std::string(file).substr(0, std::string(file).find("index"));
        EXPECT_TRUE(contents ==
                    image.read(truth["index_areas"][area].get<int64_t>(), contents.size()));
    }
    // The time index file's records, decoded: the header and every unit the truth lists.
    const auto timeindex = bytes_of(fleet::test::read_file(dir.file("timeindex")));
    ASSERT_GE(timeindex.size(), format::kIndexRecordSize);
    const auto header = format::IndexHeader::decode(timeindex.data());
    EXPECT_EQ(header.first, truth["header"]["first"].get<uint32_t>());
    EXPECT_EQ(header.last, truth["header"]["last"].get<uint32_t>());
    for (const json& u : truth["time_units"]) {
        const size_t at_record = u["n"].get<size_t>() * format::kIndexRecordSize;
        ASSERT_LE(at_record + format::kIndexRecordSize, timeindex.size());
        const auto unit = format::IndexUnit::decode(timeindex.data() + at_record);
        EXPECT_EQ(unit.time, u["time"].get<uint32_t>());
        EXPECT_EQ(unit.offset, u["physical"].get<int64_t>());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Images, IndexVolume,
    testing::Values(VolumeCase{"short", {"--seconds", "30"}},
                    VolumeCase{"full_files", {"--seconds", "80", "--first-unit", "0xFFFFA"}}),
    [](const testing::TestParamInfo<VolumeCase>& param) { return param.param.name; });

}  // namespace
