// dvrtool index: header and units along the ring.
#include <gtest/gtest.h>

#include <cstdio>

#include "format/index_format.h"
#include "pair_builder.h"
#include "run_dvrtool.h"

namespace dvrtool_test {
namespace {

using nlohmann::json;

json index_json(const std::string& inx) {
    auto result = dvrtool({"index", inx, "--json"});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    return json::parse(result.out);
}

TEST(DvrtoolIndex, ListsHeaderAndUnitsOfAWrittenPair) {
    fleet::test::TempDir dir;
    PairBuilder pair(dir.file("rec"));
    write_three_gops(pair);

    json j = index_json(pair.inx());
    EXPECT_EQ(j["magic"], fleet::format::kIndexMagic);
    EXPECT_EQ(j["first"], 1);
    EXPECT_EQ(j["last"], 2);
    EXPECT_EQ(j["wrapped"], 0);
    EXPECT_EQ(j["units"], json::parse(R"([
        {"number": 1, "time": 1714564800, "time_text": "2024-05-01 12:00:00", "tag": 0, "offset": 0},
        {"number": 2, "time": 1714564802, "time_text": "2024-05-01 12:00:02", "tag": 0,
         "offset": )" + std::to_string(pair.length()) +
                                      "}]"));
}

void put_record(std::FILE* f, int64_t at,
                const std::array<uint8_t, fleet::format::kIndexRecordSize>& r) {
    ASSERT_EQ(std::fseek(f, static_cast<long>(at), SEEK_SET), 0);
    ASSERT_EQ(std::fwrite(r.data(), r.size(), 1, f), 1u);
}

TEST(DvrtoolIndex, FollowsTheRingPastItsLastNumber) {
    fleet::test::TempDir dir;
    const std::string path = dir.file("ring.inx");
    const uint32_t numbers[] = {fleet::format::kLastUnitNumber - 1, fleet::format::kLastUnitNumber,
                                1, 2};
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        put_record(f, 0,
                   fleet::format::IndexHeader{fleet::format::kIndexMagic, numbers[0], numbers[3], 1}
                       .encode());
        for (uint32_t i = 0; i < 4; ++i) {
            fleet::format::IndexUnit unit{kT0 + i, i, 512 * static_cast<int64_t>(i)};
            put_record(f, numbers[i] * static_cast<int64_t>(fleet::format::kIndexRecordSize),
                       unit.encode());
        }
        std::fclose(f);
    }

    json units = index_json(path)["units"];
    ASSERT_EQ(units.size(), 4u);
    for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(units[i]["number"], numbers[i]);
        EXPECT_EQ(units[i]["time"], kT0 + i);
        EXPECT_EQ(units[i]["tag"], i);
        EXPECT_EQ(units[i]["offset"], 512 * i);
    }
}

}  // namespace
}  // namespace dvrtool_test
