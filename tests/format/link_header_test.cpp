#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "link/link_header.h"

namespace {

using fleet::LinkHeader;

TEST(LinkHeader, RoundTripsEveryField) {
    const LinkHeader rows[] = {
        {}, {0x1234, 0x56, 0x78, 0x9ABCDEF0}, {0xFFFF, 0xFF, 0xFF, 0xFFFFFFFF}};
    for (const auto& h : rows) {
        auto bytes = h.encode();
        auto back = LinkHeader::decode(bytes.data(), bytes.size());
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, h);
    }
}

TEST(LinkHeader, LayoutIsLittleEndian) {
    const std::array<uint8_t, 12> expected = {0x29, 0x04, 0xCD, 0xAB, 0x34, 0x12,
                                              0x56, 0x78, 0xF0, 0xDE, 0xBC, 0x9A};
    EXPECT_EQ((LinkHeader{0x1234, 0x56, 0x78, 0x9ABCDEF0}.encode()), expected);
}

// A longer buffer is fine: the payload follows the header.
TEST(LinkHeader, DecodeNeedsTwelveBytesAndTheMagic) {
    auto good = LinkHeader{7, 1, 0, 3}.encode();
    std::vector<uint8_t> with_payload(good.begin(), good.end());
    with_payload.insert(with_payload.end(), {1, 2, 3});
    auto wrong_magic = good;
    wrong_magic[3] ^= 0x01;
    struct Row {
        const char* name;
        const uint8_t* data;
        size_t length;
        bool decodes;
    } rows[] = {{"exact", good.data(), good.size(), true},
                {"with payload", with_payload.data(), with_payload.size(), true},
                {"one byte short", good.data(), 11, false},
                {"empty", good.data(), 0, false},
                {"null", nullptr, 12, false},
                {"wrong magic", wrong_magic.data(), wrong_magic.size(), false}};
    for (const auto& row : rows) {
        EXPECT_EQ(LinkHeader::decode(row.data, row.length).has_value(), row.decodes) << row.name;
    }
}

}  // namespace
