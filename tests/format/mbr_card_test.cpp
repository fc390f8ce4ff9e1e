// The partition table of a recorder disk and the marked sector of a recorder's SD card.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "common/le.h"
#include "format/card_layout.h"
#include "format/mbr.h"

namespace {

using fleet::format::build_card_sector;
using fleet::format::build_mbr;
using fleet::format::CardLayout;
using fleet::format::MbrPartition;
using fleet::format::parse_card_sector;
using fleet::format::parse_mbr;

TEST(Mbr, BuiltTableReadsBackInOrderWithEmptyEntries) {
    std::vector<MbrPartition> table = {
        {0x0C, 2048, 81920}, {0x83, 83968, 0xFFFFFFFF - 83968}, {}, {0x07, 0xFFFFFF00, 0x100}};
    auto sector = build_mbr(table);
    EXPECT_EQ(sector[510], 0x55);
    EXPECT_EQ(sector[511], 0xAA);
    // Entry 0 as every partitioning tool lays it out: type at +4, LBA at +8, count at +12.
    EXPECT_EQ(sector[446 + 4], 0x0C);
    EXPECT_EQ(fleet::load_u32(&sector[446 + 8]), 2048u);
    EXPECT_EQ(fleet::load_u32(&sector[446 + 12]), 81920u);

    auto parsed = parse_mbr(sector.data());
    ASSERT_TRUE(parsed);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ((*parsed)[i].type, table[i].type) << i;
        EXPECT_EQ((*parsed)[i].first_sector, table[i].first_sector) << i;
        EXPECT_EQ((*parsed)[i].sector_count, table[i].sector_count) << i;
    }
    EXPECT_TRUE((*parsed)[2].empty());
    EXPECT_FALSE((*parsed)[3].empty());
    // Offsets past 2 TiB do not wrap.
    EXPECT_EQ((*parsed)[3].offset(), int64_t{0xFFFFFF00} * 512);
    EXPECT_EQ((*parsed)[1].length(), int64_t{0xFFFFFFFF - 83968} * 512);
}

TEST(Mbr, EntryWithTypeOrCountZeroIsEmpty) {
    EXPECT_TRUE((MbrPartition{0, 2048, 100}).empty());
    EXPECT_TRUE((MbrPartition{0x0C, 2048, 0}).empty());
    EXPECT_FALSE((MbrPartition{0x0C, 0, 1}).empty());
}

TEST(Mbr, NoSignatureNoTable) {
    auto sector = build_mbr({{0x0C, 2048, 100}});
    for (auto [at, value] : {std::pair{510, 0x00}, {511, 0x00}, {510, 0xAA}}) {
        auto broken = sector;
        broken[static_cast<size_t>(at)] = static_cast<uint8_t>(value);
        EXPECT_FALSE(parse_mbr(broken.data())) << at;
    }
    std::array<uint8_t, 512> zeros{};
    EXPECT_FALSE(parse_mbr(zeros.data()));
}

TEST(CardSector, BuiltSectorGivesTheAreas) {
    constexpr int64_t kBase = 0x400000;
    constexpr int64_t kSize = int64_t{8} << 30;
    auto sector = build_card_sector(kBase);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(sector.data()), 14),
              std::string("SD RAW FORMAT\0", 14));
    EXPECT_EQ(fleet::load_u64(&sector[144]), uint64_t{kBase});
    std::optional<CardLayout> card = parse_card_sector(sector.data(), kSize);
    ASSERT_TRUE(card);
    EXPECT_EQ(card->time_index(), kBase);
    EXPECT_EQ(card->event_index(), kBase + 0x1000000);
    EXPECT_EQ(card->quick_index(), kBase + 0x2000000);
    EXPECT_EQ(card->data_start(), kBase + 0xA000000);
    EXPECT_EQ(card->data_length(), kSize - kBase - 0xA000000);
    // The areas follow each other without gaps up to the data.
    EXPECT_EQ(card->time_index() + fleet::format::kCardTimeIndexSize, card->event_index());
    EXPECT_EQ(card->event_index() + fleet::format::kCardEventIndexSize, card->quick_index());
    EXPECT_EQ(card->quick_index() + fleet::format::kCardQuickIndexSize, card->data_start());
}

struct CardCase {
    const char* what;
    std::string mark;  // the sector's first bytes
    uint64_t base;
    int64_t device_size;
    bool card;
};

TEST(CardSector, OnlyTheExactMarkWithDataInsideTheDevice) {
    const std::string mark("SD RAW FORMAT\0", 14);
    constexpr int64_t kData = 0xA000000;
    const std::vector<CardCase> cases = {
        {"base 0, one byte of data", mark, 0, kData + 1, true},
        {"base 512", mark, 512, 512 + kData + 1, true},
        {"mark without its zero", "SD RAW FORMATX", 0x400000, int64_t{1} << 32, false},
        {"lower-case mark", std::string("sd raw format\0", 14), 0x400000, int64_t{1} << 32, false},
        {"no mark", std::string(14, '\0'), 0x400000, int64_t{1} << 32, false},
        {"base not a multiple of 512", mark, 0x400001, int64_t{1} << 32, false},
        {"base 256", mark, 256, int64_t{1} << 32, false},
        {"data beyond the device", mark, 0x400000, 0x400000 + kData - 512, false},
        {"data exactly at the end", mark, 0x400000, 0x400000 + kData, false},
        {"base past the device", mark, uint64_t{1} << 40, int64_t{1} << 32, false},
        {"base overflowing", mark, ~uint64_t{511}, std::numeric_limits<int64_t>::max(), false},
        {"empty device", mark, 0, 0, false},
    };
    for (const CardCase& c : cases) {
        std::array<uint8_t, 512> sector{};
        std::copy(c.mark.begin(), c.mark.end(), sector.begin());
        fleet::store_u64(&sector[144], c.base);
        auto card = parse_card_sector(sector.data(), c.device_size);
        EXPECT_EQ(card.has_value(), c.card) << c.what;
        if (card) {
            EXPECT_EQ(card->base, static_cast<int64_t>(c.base)) << c.what;
        }
    }
}

}  // namespace
