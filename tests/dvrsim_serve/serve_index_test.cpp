// A served recorder's time index, asked for over a real link as the engine asks: the header and
// the units of a file pair (as stored, renumbered, renumbered across 0xFFFFF, on a direct and on
// a relayed link) and of a wrapped disk image, and units outside the index refused.
#include <gtest/gtest.h>

#include <signal.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "format/index_format.h"
#include "serve_fixture.h"

namespace {

using namespace fleet::test;
namespace ff = fleet::format;
namespace rm = fleet::recorder;

struct IndexCase {
    const char* name;
    std::vector<std::string> args;
    uint8_t command;       // 64 direct, 26 on a relayed link
    uint32_t first, last;  // the header as listed
};

void PrintTo(const IndexCase& c, std::ostream* os) {
    *os << c.name;
}

const IndexCase kIndexCases[] = {
    {"as_stored", {}, rm::kCmdIndex, 1, 7},
    {"relayed", {}, rm::kCmdHello, 1, 7},
    {"renumbered", {"--first-unit", "500"}, rm::kCmdIndex, 500, 506},
    {"renumbered_across_the_wrap", {"--first-unit", "0xFFFFC"}, rm::kCmdIndex, 0xFFFFC, 3},
    {"relayed_across_the_wrap", {"--first-unit", "0xFFFFF"}, rm::kCmdHello, 0xFFFFF, 6},
};

class PairIndex : public testing::TestWithParam<IndexCase> {};

std::optional<rm::IndexHeaderReply> ask_header(EngineLink& link, uint8_t command) {
    if (!link.send(rm::encode_index_header_request(command))) return std::nullopt;
    const auto received = link.next();
    if (!received) return std::nullopt;
    return rm::parse_index_header_reply(received->message());
}

// The records of an index unit reply; nullopt for anything else.
std::optional<std::vector<std::array<uint8_t, 16>>> ask_units(EngineLink& link, uint8_t command,
                                                              uint32_t first, uint32_t count) {
    if (!link.send(rm::encode_index_unit_request(command, first, count))) return std::nullopt;
    const auto received = link.next();
    if (!received) return std::nullopt;
    const auto units = rm::parse_index_units(received->message());
    if (!units) return std::nullopt;
    std::vector<std::array<uint8_t, 16>> records(units->size() / 16);
    for (size_t i = 0; i < records.size(); ++i) {
        std::copy_n(units->begin() + static_cast<std::ptrdiff_t>(i * 16), 16, records[i].begin());
    }
    return records;
}

TEST_P(PairIndex, ListsThePairsIndex) {
    const IndexCase& c = GetParam();
    TempDir dir;
    const std::string base = record_pair(dir, "pair", 30, 5);
    const auto stored = pair_records(base);
    ASSERT_EQ(stored.size(), 7u);  // GOPs 0, 5, ... 25 and the closing unit
    std::vector<std::string> args{"--pair", base};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ServedRecorder recorder(args);
    ASSERT_TRUE(recorder.ready()) << recorder.err();
    EXPECT_EQ(recorder.ready_line(), "serving on 2200");
    EngineLink link;
    ASSERT_TRUE(link.connected());

    const auto header = ask_header(link, c.command);
    ASSERT_TRUE(header);
    EXPECT_TRUE(header->index_follows);
    const auto listed = ff::IndexHeader::decode(header->header.data());
    EXPECT_EQ(listed.magic, pair_header(base).magic);
    EXPECT_EQ(listed.first, c.first);
    EXPECT_EQ(listed.last, c.last);
    EXPECT_EQ(listed.wrapped, 0u);

    // All of them, then two from the second on (across the wrap where there is one).
    EXPECT_EQ(ask_units(link, c.command, listed.first, 7), stored);
    const uint32_t second = ff::next_unit_number(listed.first);
    EXPECT_EQ(ask_units(link, c.command, second, 2),
              (std::vector<std::array<uint8_t, 16>>{stored[1], stored[2]}));

    // Past the last unit, and before the first: refused, on the same sub-code.
    for (const auto& [first, count] :
         {std::pair{second, 7u}, std::pair{ff::previous_unit_number(listed.first), 1u},
          std::pair{ff::next_unit_number(listed.last), 1u}}) {
        SCOPED_TRACE(std::to_string(first) + " count " + std::to_string(count));
        ASSERT_TRUE(link.send(rm::encode_index_unit_request(c.command, first, count)));
        const auto refused = next_reply(link);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->sub, rm::kSubIndexUnits);
        EXPECT_EQ(refused->status, rm::kStatusBusy);
    }
    EXPECT_EQ(recorder.stop(SIGINT), 0) << recorder.err();
}

INSTANTIATE_TEST_SUITE_P(Links, PairIndex, testing::ValuesIn(kIndexCases),
                         [](const testing::TestParamInfo<IndexCase>& param) {
                             return std::string(param.param.name);
                         });

// A disk or card that has wrapped its ring and its unit numbers: the index is listed from the
// oldest unit still recorded, every record as the image's time index stores it (physical
// offsets); overwritten units are not listed.
class ImageIndex : public testing::TestWithParam<ImageCase> {};

TEST_P(ImageIndex, ListsTheTimeIndexFromTheOldestUnit) {
    TempDir dir;
    const std::string image = make_wrapped_image(dir, GetParam().kind, GetParam().extra);
    const auto truth = read_truth(image);
    ASSERT_TRUE(truth["wrapped"].get<bool>());
    ServedRecorder recorder({"--disk", image});
    ASSERT_TRUE(recorder.ready()) << recorder.err();
    EngineLink link;
    ASSERT_TRUE(link.connected());

    const auto header = ask_header(link, rm::kCmdIndex);
    ASSERT_TRUE(header);
    const auto listed = ff::IndexHeader::decode(header->header.data());
    EXPECT_EQ(listed.first, truth["oldest_unit"].get<uint32_t>());
    EXPECT_EQ(listed.last, truth["header"]["last"].get<uint32_t>());
    EXPECT_NE(listed.wrapped, 0u);
    ASSERT_GT(listed.first, listed.last);  // the numbers have wrapped too

    const auto expected = listed_units(truth);
    const uint32_t count = ff::units_between(listed.first, listed.last);
    ASSERT_EQ(count, expected.size());
    const auto records = ask_units(link, rm::kCmdIndex, listed.first, count);
    ASSERT_TRUE(records);
    ASSERT_EQ(records->size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("unit " + expected[i]["n"].dump());
        const auto unit = ff::IndexUnit::decode((*records)[i].data());
        EXPECT_EQ(unit.time, expected[i]["time"].get<uint32_t>());
        EXPECT_EQ(unit.tag, expected[i]["tag"].get<uint32_t>());
        EXPECT_EQ(unit.offset, expected[i]["physical"].get<int64_t>());
    }

    const uint32_t stored_first = truth["header"]["first"].get<uint32_t>();
    if (stored_first != listed.first) {
        ASSERT_TRUE(link.send(rm::encode_index_unit_request(rm::kCmdIndex, stored_first, 1)));
        const auto refused = next_reply(link);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, rm::kStatusBusy);
    }
    EXPECT_EQ(recorder.stop(SIGTERM), 0) << recorder.err();
}

INSTANTIATE_TEST_SUITE_P(Images, ImageIndex, testing::ValuesIn(kImageCases),
                         [](const testing::TestParamInfo<ImageCase>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
