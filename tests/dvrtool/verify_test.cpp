// dvrtool verify: what counts as damage, and what is only padding.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "format/gop_header.h"
#include "format/index_format.h"
#include "pair_builder.h"
#include "run_dvrtool.h"

namespace dvrtool_test {
namespace {

using Lines = std::vector<std::string>;

std::string region(int64_t begin, int64_t end, const std::string& reason) {
    return "damage " + std::to_string(begin) + "-" + std::to_string(end) + " (" +
           std::to_string(end - begin) + " bytes): " + reason;
}

std::vector<uint8_t> filler_block() {
    fleet::format::GopHeader h;
    h.word[0] = fleet::format::kGopMagic;  // total length 0: announces no data
    std::vector<uint8_t> block(512, 0);
    h.write(block.data());
    return block;
}

struct Case {
    const char* name;
    std::function<void(PairBuilder&)> build;
    // Damage lines expected, then the summary; built from where the items landed.
    std::function<Lines(const PairBuilder&)> expected;
    int exit_code;
};

void build_clean(PairBuilder& p) {
    write_three_gops(p);
}

void build_with_padding(PairBuilder& p) {
    p.add_gop(make_gop(kT0, {0, 2}, 2));
    p.add_raw(filler_block());
    p.add_raw(std::vector<uint8_t>(1024, 0));
    p.add_gop(make_gop(kT0 + 1, {0, 2}, 2));
    p.add_raw(filler_block());
    p.add_gop(make_gop(kT0 + 2, {0, 2}, 2));
    p.finish();
}

void build_with_garbage(PairBuilder& p) {
    p.add_gop(make_gop(kT0, {0, 2}, 2));
    p.add_raw(std::vector<uint8_t>(1000, 0x5A));  // two blocks, one region
    p.add_gop(make_gop(kT0 + 1, {0, 2}, 2));
    p.add_gop(make_gop(kT0 + 2, {0, 2}, 2));
    p.finish();
}

void build_truncated(PairBuilder& p) {
    write_three_gops(p);
    std::filesystem::resize_file(p.dvr(), static_cast<uintmax_t>(p.items()[2].offset + 700));
}

void build_with_rejected(PairBuilder& p) {
    p.add_gop(make_gop(kT0, {0, 2}, 2));
    fleet::format::GopPlan bad = make_gop(kT0 + 1, {0, 2}, 2);
    bad.version = 9;
    p.add_gop(bad);
    p.add_gop(make_gop(kT0 + 2, {0, 2}, 2));
    p.finish();
}

void build_with_bad_back_link(PairBuilder& p) {
    p.add_gop(make_gop(kT0, {0, 2}, 2));
    fleet::format::GopPlan gop = make_gop(kT0 + 1, {0, 2}, 2);
    gop.previous_length = 999;
    p.add_gop(gop);
    p.add_gop(make_gop(kT0 + 2, {0, 2}, 2));
    p.finish();
}

void build_with_index_time_off(PairBuilder& p) {
    p.add_gop(make_gop(kT0, {0, 2}, 2), kT0 + 100);
    p.add_gop(make_gop(kT0 + 1, {0, 2}, 2));
    p.finish();
}

// The closing unit says the data ends inside the last GOP.
void build_with_early_end(PairBuilder& p) {
    write_three_gops(p);
    std::FILE* f = std::fopen(p.inx().c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    auto closing = fleet::format::IndexUnit{kT0 + 2, 0, p.length() - 512}.encode();
    EXPECT_EQ(std::fseek(f, 2 * static_cast<long>(fleet::format::kIndexRecordSize), SEEK_SET), 0);
    EXPECT_EQ(std::fwrite(closing.data(), closing.size(), 1, f), 1u);
    std::fclose(f);
}

int64_t end_of(const PairBuilder& p, size_t item) {
    return p.items()[item].offset +
           fleet::format::round_up_block(static_cast<int64_t>(p.items()[item].length));
}

const Case kCases[] = {
    {"clean", build_clean, [](const PairBuilder&) { return Lines{"3 GOPs, 0 damaged regions"}; },
     0},
    {"padding", build_with_padding,
     [](const PairBuilder&) { return Lines{"3 GOPs, 0 damaged regions"}; }, 0},
    {"garbage", build_with_garbage,
     [](const PairBuilder& p) {
         return Lines{region(p.items()[1].offset, p.items()[2].offset, "garbage"),
                      "3 GOPs, 1 damaged regions"};
     },
     1},
    {"truncated", build_truncated,
     [](const PairBuilder& p) {
         const int64_t at = p.items()[2].offset;
         return Lines{
             region(at, p.length(),
                    "GOP of " + std::to_string(p.items()[2].length) +
                        " bytes runs past the end of the file at " + std::to_string(at + 700)),
             "2 GOPs, 1 damaged regions"};
     },
     1},
    {"rejected", build_with_rejected,
     [](const PairBuilder& p) {
         return Lines{region(p.items()[1].offset, end_of(p, 1), "GOP rejected: bad header"),
                      "3 GOPs, 1 damaged regions"};
     },
     1},
    {"back-link", build_with_bad_back_link,
     [](const PairBuilder& p) {
         return Lines{region(p.items()[1].offset, end_of(p, 1),
                             "back-link 999 does not match the previous GOP's length " +
                                 std::to_string(p.items()[0].length)),
                      "3 GOPs, 1 damaged regions"};
     },
     1},
    {"index time", build_with_index_time_off,
     [](const PairBuilder&) {
         return Lines{
             "damage at 0: index unit 1 has time 2024-05-01 12:01:40, the GOP has "
             "2024-05-01 12:00:00",
             "2 GOPs, 1 damaged regions"};
     },
     1},
    {"index end inside a GOP", build_with_early_end,
     [](const PairBuilder& p) {
         return Lines{"damage at " + std::to_string(p.length() - 512) +
                          ": index unit 2 closes the data here, but it ends at " +
                          std::to_string(p.length()),
                      "3 GOPs, 1 damaged regions"};
     },
     1},
};

TEST(DvrtoolVerify, ReportsDamageAndOnlyDamage) {
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        fleet::test::TempDir dir;
        PairBuilder pair(dir.file("rec"));
        c.build(pair);
        auto result = dvrtool({"verify", pair.dvr()});
        EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
        EXPECT_EQ(fleet::test::split_lines(result.out), c.expected(pair));
    }
}

}  // namespace
}  // namespace dvrtool_test
