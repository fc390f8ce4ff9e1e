// Images a reader must refuse, and options dvrsim itself refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/le.h"
#include "format/card_layout.h"
#include "format/mbr.h"
#include "image_reading.h"
#include "process.h"

namespace {

using fleet::test::ImageBytes;
using fleet::test::TempDir;
namespace format = fleet::format;

struct DecoyCase {
    const char* kind;
    const char* decoy;
};

void PrintTo(const DecoyCase& c, std::ostream* os) {
    *os << c.kind << " " << c.decoy;
}

class Decoys : public testing::TestWithParam<DecoyCase> {};

// Everything but the decoy is a complete image: its first played GOP is where the truth says.
TEST_P(Decoys, SpoilTheDeviceTablesAndNothingElse) {
    const DecoyCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file("decoy.img");
    const auto run =
        fleet::test::run_dvrsim_image(c.kind, path, {"--seconds", "12", "--decoy", c.decoy});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const auto made = fleet::test::load_made_image(path);
    EXPECT_EQ(made.truth["decoy"], c.decoy);
    ImageBytes image(path);
    const auto first =
        image.gop_at(fleet::test::physical_origin(made.truth) + made.truth["start"].get<int64_t>());
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->time(), made.truth["begin_time"].get<uint32_t>());

    if (std::string(c.kind) == "disk") {
        const auto table = format::parse_mbr(image.read(0, format::kSectorSize).data());
        ASSERT_TRUE(table.has_value());
        EXPECT_EQ((*table)[0].type, 0x0C);
        EXPECT_EQ((*table)[0].offset(), made.truth["index_partition"]["offset"].get<int64_t>());
        for (size_t i = 1; i < 4; ++i) EXPECT_TRUE((*table)[i].empty()) << i;
        // The index volume is still there, with its time index.
        if (std::string(MCOPY_PATH).empty()) return;
        const std::string volume = path + "@@" + made.truth["index_partition"]["offset"].dump();
        const auto copied =
            fleet::test::run_process({MCOPY_PATH, "-i", volume, "::timeindex", "-"});
        EXPECT_EQ(copied.exit_code, 0) << copied.err;
        EXPECT_EQ(std::ssize(copied.out), made.truth["index_files"]["timeindex"].get<int64_t>());
        return;
    }
    const auto sector = image.read(format::kCardMarkOffset, format::kSectorSize);
    ASSERT_EQ(sector.size(), format::kSectorSize);
    EXPECT_FALSE(format::parse_card_sector(sector.data(), image.size()).has_value());
    const uint64_t base = fleet::load_u64(sector.data() + format::kCardBaseField);
    EXPECT_EQ(base, made.truth["card_sector_base"].get<uint64_t>());
    const std::string decoy = c.decoy;
    if (decoy == "mark") {
        EXPECT_EQ(std::memcmp(sector.data(), "SD RAW FORMATX", 14), 0);
        EXPECT_EQ(base, made.truth["base"].get<uint64_t>());
    } else if (decoy == "base-unaligned") {
        EXPECT_NE(base % 512, 0u);
    } else {
        EXPECT_EQ(base % 512, 0u);
        EXPECT_GE(base + format::kCardDataOffset, static_cast<uint64_t>(image.size()));
    }
}

INSTANTIATE_TEST_SUITE_P(Images, Decoys,
                         testing::Values(DecoyCase{"disk", "one-partition"},
                                         DecoyCase{"card", "mark"},
                                         DecoyCase{"card", "base-unaligned"},
                                         DecoyCase{"card", "data-outside"}),
                         [](const testing::TestParamInfo<DecoyCase>& param) {
                             std::string name = param.param.decoy;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

struct Refusal {
    const char* kind;
    std::vector<std::string> args;
    int exit_code;  // 2: the options are wrong; 1: the recording cannot be made
    const char* says;
};

TEST(Images, ImpossibleOptionsAreRefusedInOneLineAndLeaveNoFiles) {
    const std::vector<Refusal> refusals = {
        {"disk", {"--ring-size", "4K"}, 1, "too small for one GOP"},
        {"card", {"--ring-size", "8K"}, 1, "too small for one GOP"},
        {"disk", {"--ring-size", "40K", "--seconds", "30"}, 1, "no time unit survived"},
        {"card", {"--base", "1000"}, 2, "--base"},
        {"card", {"--base", "0"}, 2, "--base"},
        {"card", {"--size", "100M"}, 2, "no data area"},
        {"disk", {"--size", "20M"}, 2, "leaves no ring"},
        {"disk", {"--size", "1000"}, 2, "multiple of 512"},
        {"disk", {"--size", "1G", "--ring-size", "4M"}, 2, "not both"},
        {"disk", {"--size", "3T"}, 2, "2 TiB"},
        {"disk", {"--size", "4Q"}, 2, "--size"},
        {"disk", {"--decoy", "mark"}, 2, "--decoy"},
        {"card", {"--decoy", "one-partition"}, 2, "--decoy"},
        {"card", {"--sparse-units", "100"}, 2, "unknown option"},
        {"disk", {"--sparse-units", "100", "--seconds", "5"}, 2, "--seconds"},
        {"disk", {"--sparse-units", "100", "--stale-header"}, 2, "--stale-header"},
        {"disk", {"--first-unit", "0"}, 2, "--first-unit"},
        {"disk", {"--first-unit", "0x100000"}, 2, "--first-unit"},
        {"disk", {"--unit-every", "0"}, 2, "--unit-every"},
        {"disk", {"--damage", "garbage"}, 2, "--damage"},
        {"disk", {"--channels", "3"}, 2, "--channels"},
        {"disk", {"--ring-size", "0x7FFFFFFFFFFFFE00"}, 2, "1 PiB"},
        {"card", {"--base", "0x7FFFFFFFFFFFFE00"}, 2, "1 PiB"},
        {"disk", {"--first-unit", "0x0x10"}, 2, "--first-unit"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(std::string(r.kind) + " " + testing::PrintToString(r.args));
        TempDir dir;
        const std::string path = dir.file("refused.img");
        const auto run = fleet::test::run_dvrsim_image(r.kind, path, r.args);
        EXPECT_EQ(run.exit_code, r.exit_code) << run.err;
        EXPECT_NE(run.err.find(r.says), std::string::npos) << run.err;
        EXPECT_EQ(run.err.rfind("dvrsim: ", 0), 0u) << run.err;
        // One line, and for a usage error the pointer to the help after it.
        const auto lines = fleet::test::split_lines(run.err);
        EXPECT_EQ(lines.size(), r.exit_code == 2 ? 2u : 1u) << run.err;
        for (const char* suffix : {"", ".truth.json", ".truth.jsonl", ".truth.spool"}) {
            EXPECT_NE(::access((path + suffix).c_str(), F_OK), 0) << suffix;
        }
    }
}

// A path that names something other than a file (a device given by mistake, here a FIFO)
// is neither written nor removed.
TEST(Images, AnOutputThatIsNotARegularFileIsLeftAlone) {
    TempDir dir;
    const std::string path = dir.file("not-a-file");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const auto run = fleet::test::run_dvrsim_image("card", path, {"--seconds", "2"});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0) << "the FIFO was removed";
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

}  // namespace
