// Downloads from a served recorder over a real link: the GOPs between two units, byte for byte
// as recorded, with the share still to come falling to 0 and then the zero-length end; from a
// file pair (as stored, renumbered across 0xFFFFF, relayed) and across a disk ring's seam;
// stretches outside the index refused with nothing sent.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dvrsim/served_index.h"
#include "format/byte_source.h"
#include "format/index_format.h"
#include "serve_fixture.h"

namespace {

using namespace fleet::test;
namespace ff = fleet::format;
namespace rm = fleet::recorder;

constexpr int kSeconds = 30;
constexpr int kUnitEvery = 5;  // units at GOPs 0, 5, ... 25, then the closing unit

struct DownloadCase {
    const char* name;
    uint32_t first_number;  // --first-unit
    uint8_t command;        // 48 direct, 26 relayed
    uint32_t position;      // of the first unit in the index
    uint32_t span;
};

void PrintTo(const DownloadCase& c, std::ostream* os) {
    *os << c.name;
}

const DownloadCase kDownloadCases[] = {
    {"whole_recording", 1, rm::kCmdLive, 0, 6},       {"two_units", 1, rm::kCmdLive, 1, 2},
    {"to_the_closing_unit", 1, rm::kCmdLive, 5, 1},   {"nothing_between", 1, rm::kCmdLive, 2, 0},
    {"across_the_wrap", 0xFFFFE, rm::kCmdLive, 1, 3}, {"relayed", 0xFFFFE, rm::kCmdHello, 0, 6},
};

// Every remaining share is at most the one before; the last GOP leaves nothing to come.
void expect_falling_to_zero(const std::vector<uint32_t>& remaining) {
    if (remaining.empty()) return;
    for (size_t i = 1; i < remaining.size(); ++i) EXPECT_LE(remaining[i], remaining[i - 1]);
    EXPECT_LT(remaining.front(), 100u);
    if (remaining.size() > 1) {
        EXPECT_GT(remaining.front(), remaining.back());
    }
    EXPECT_EQ(remaining.back(), 0u);
}

class PairDownload : public testing::TestWithParam<DownloadCase> {};

TEST_P(PairDownload, SendsTheGopsBetweenTheUnits) {
    const DownloadCase& c = GetParam();
    TempDir dir;
    const std::string base = record_pair(dir, "pair", kSeconds, kUnitEvery);
    const auto records = pair_records(base);
    const auto gops = pair_gops(base);
    ASSERT_EQ(gops.size(), static_cast<size_t>(kSeconds));
    ServedRecorder recorder({"--pair", base, "--first-unit", std::to_string(c.first_number)});
    ASSERT_TRUE(recorder.ready()) << recorder.err();
    EngineLink link;
    ASSERT_TRUE(link.connected());

    // The units' numbers along the ring, as the engine holds them.
    const uint32_t first = dvrsim::advance_unit(c.first_number, c.position);
    const uint32_t last = dvrsim::advance_unit(first, c.span);
    ASSERT_TRUE(link.send(rm::encode_data_request(c.command, first, last)));
    const auto reply = next_reply(link);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->sub, rm::kSubData);
    EXPECT_EQ(reply->status, rm::kStatusAccepted);
    const VideoRun run = read_download(link);
    EXPECT_TRUE(run.ended);

    const int64_t from = ff::IndexUnit::decode(records[c.position].data()).offset;
    const int64_t to = ff::IndexUnit::decode(records[c.position + c.span].data()).offset;
    std::vector<std::vector<uint8_t>> expected;
    for (const auto& gop : gops) {
        if (gop.offset >= from && gop.offset < to) expected.push_back(gop.bytes);
    }
    EXPECT_EQ(expected.size(), static_cast<size_t>(c.span * kUnitEvery));
    EXPECT_EQ(run.gops, expected);
    for (uint32_t flags : run.flags) EXPECT_EQ(flags & 3, 2u);
    expect_falling_to_zero(run.remaining);
    EXPECT_EQ(recorder.stop(SIGINT), 0) << recorder.err();
}

INSTANTIATE_TEST_SUITE_P(Ranges, PairDownload, testing::ValuesIn(kDownloadCases),
                         [](const testing::TestParamInfo<DownloadCase>& param) {
                             return std::string(param.param.name);
                         });

// Units outside the index start or end no download: the refusal, and nothing else before the
// answer to the next request.
TEST(PairDownload, RefusesStretchesOutsideTheIndex) {
    TempDir dir;
    const std::string base = record_pair(dir, "pair", kSeconds, kUnitEvery);
    ServedRecorder recorder({"--pair", base, "--first-unit", "0xFFFFE"});
    ASSERT_TRUE(recorder.ready()) << recorder.err();
    EngineLink link;
    ASSERT_TRUE(link.connected());
    struct Stretch {
        uint32_t first, last;
    };
    // Listed: 0xFFFFE, 0xFFFFF, 1 ... 5.
    for (const Stretch s :
         {Stretch{0xFFFFD, 0xFFFFF}, Stretch{4, 6}, Stretch{6, 7}, Stretch{0xFFFFE, 0xFFFFE + 7}}) {
        SCOPED_TRACE(std::to_string(s.first) + ".." + std::to_string(s.last));
        ASSERT_TRUE(link.send(rm::encode_data_request(rm::kCmdLive, s.first, s.last)));
        const auto reply = next_reply(link);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->sub, rm::kSubData);
        EXPECT_EQ(reply->status, rm::kStatusBusy);
        ASSERT_TRUE(link.send(rm::encode_index_header_request(rm::kCmdIndex)));
        const auto next = link.next();
        ASSERT_TRUE(next);
        EXPECT_TRUE(rm::parse_index_header_reply(next->message()));
    }
    EXPECT_EQ(recorder.stop(SIGINT), 0) << recorder.err();
}

// A wrapped disk or card: the GOPs between two units in play order, across the seam where the
// ring starts over, each as the image holds it at its physical offset.
class ImageDownload : public testing::TestWithParam<ImageCase> {};

TEST_P(ImageDownload, SendsTheGopsAcrossTheSeam) {
    TempDir dir;
    const std::string image = make_wrapped_image(dir, GetParam().kind, GetParam().extra);
    const auto truth = read_truth(image);
    ASSERT_TRUE(truth["wrapped"].get<bool>());
    const auto units = listed_units(truth);
    ASSERT_GE(units.size(), 8u);
    const int64_t seam_logical = truth["ring_end"].get<int64_t>() - truth["start"].get<int64_t>();
    ff::FileByteSource bytes;
    ASSERT_TRUE(bytes.open(image));
    const int64_t origin = physical_origin(truth);

    ServedRecorder recorder({"--disk", image});
    ASSERT_TRUE(recorder.ready()) << recorder.err();
    EngineLink link;
    ASSERT_TRUE(link.connected());
    struct Stretch {
        size_t from, to;  // positions in the index
    };
    const size_t last = units.size() - 1;
    for (const Stretch s : {Stretch{0, last}, Stretch{2, last - 2}, Stretch{1, 2}}) {
        SCOPED_TRACE(std::to_string(s.from) + ".." + std::to_string(s.to));
        const uint32_t first = units[s.from]["n"].get<uint32_t>();
        const uint32_t last_number = units[s.to]["n"].get<uint32_t>();
        ASSERT_TRUE(link.send(rm::encode_data_request(rm::kCmdLive, first, last_number)));
        const auto reply = next_reply(link);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, rm::kStatusAccepted);
        const VideoRun run = read_download(link);
        EXPECT_TRUE(run.ended);

        const int64_t begin = units[s.from]["logical"].get<int64_t>();
        const int64_t end = s.to == last ? INT64_MAX : units[s.to]["logical"].get<int64_t>();
        std::vector<std::vector<uint8_t>> expected;
        bool crosses_seam = false;
        for (const auto& gop : truth["gops"]) {
            const int64_t logical = gop["logical"].get<int64_t>();
            if (logical < begin || logical >= end) continue;
            std::vector<uint8_t> gop_bytes(gop["length"].get<size_t>());
            ASSERT_TRUE(bytes.read_at(origin + gop["physical"].get<int64_t>(), gop_bytes.data(),
                                      gop_bytes.size()));
            expected.push_back(std::move(gop_bytes));
            crosses_seam |= logical >= seam_logical;
        }
        if (s.to == last) {
            EXPECT_TRUE(crosses_seam);
        }
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(run.gops, expected);
        expect_falling_to_zero(run.remaining);
    }
    EXPECT_EQ(recorder.stop(SIGINT), 0) << recorder.err();
}

INSTANTIATE_TEST_SUITE_P(Images, ImageDownload, testing::ValuesIn(kImageCases),
                         [](const testing::TestParamInfo<ImageCase>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
