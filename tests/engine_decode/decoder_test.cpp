// H264Decoder against libavcodec's own decode of the same units.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "decode/decoder_bank.h"
#include "decode/yv12_crop.h"
#include "streams.h"

namespace decode_test {
namespace {

using fleet::format::DecodedPicture;
using kivra::H264Decoder;

constexpr int kGops = 2;
constexpr int kFramesPerGop = 6;

struct Decoded {
    std::vector<Bytes> pictures;  // empty entry: decode() said false
    std::vector<fleet::format::DecodedPicture> info;
};

Decoded decode_all(H264Decoder& decoder, const std::vector<Bytes>& units) {
    Decoded out;
    Bytes buffer(KIVRA_PICTURE_CAPACITY);
    for (const Bytes& unit : units) {
        fleet::format::DecodedPicture picture;
        const bool ok =
            decoder.decode(unit.data(), unit.size(), buffer.data(), buffer.size(), picture);
        out.info.push_back(picture);
        out.pictures.emplace_back();
        if (ok) out.pictures.back().assign(buffer.begin(), buffer.begin() + picture.size);
    }
    return out;
}

struct SizeCase {
    int width, height;
    int cropped_height;
    int32_t size;
};

class ByteIdentical : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ByteIdentical, EveryPictureMatchesLibavcodec) {
    const SizeCase c = GetParam();
    const std::vector<Bytes> units = encode_channel(1, c.width, c.height, kGops, kFramesPerGop);
    const std::vector<Bytes> expected = reference_pictures(units);
    ASSERT_EQ(expected.size(), units.size());

    H264Decoder decoder;
    ASSERT_TRUE(decoder.init());
    const Decoded decoded = decode_all(decoder, units);
    for (size_t i = 0; i < units.size(); ++i) {
        SCOPED_TRACE("picture " + std::to_string(i));
        EXPECT_EQ(decoded.info[i].width, c.width);
        EXPECT_EQ(decoded.info[i].height, c.cropped_height);
        EXPECT_EQ(decoded.info[i].size, c.size);
        EXPECT_TRUE(decoded.pictures[i] == expected[i]) << "pictures differ";
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ByteIdentical,
                         ::testing::Values(SizeCase{352, 296, 288, 152064},
                                           SizeCase{720, 488, 480, 518400}),
                         [](const auto& p) {
                             return std::to_string(p.param.width) + "x" +
                                    std::to_string(p.param.height);
                         });

constexpr uint8_t kUntouched = 0x5A;
constexpr size_t kGuard = 256;

struct CapacityCase {
    const char* name;
    long shortfall;  // capacity = needed - shortfall
    bool fits;
};

TEST(H264Decoder, NeverWritesPastCapacity) {
    const std::vector<Bytes> units = encode_channel(0, 352, 296, 1, 1);
    ASSERT_EQ(units.size(), 1u);
    const size_t needed = kivra::yv12_size(352, 288);
    const CapacityCase cases[] = {
        {"one byte short", 1, false},
        {"one row short", 352, false},
        {"nothing", static_cast<long>(needed), false},
        {"exact", 0, true},
    };
    for (const CapacityCase& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t capacity = needed - static_cast<size_t>(c.shortfall);
        Bytes buffer(capacity + kGuard, kUntouched);
        H264Decoder decoder;
        ASSERT_TRUE(decoder.init());
        fleet::format::DecodedPicture picture;
        EXPECT_EQ(
            decoder.decode(units[0].data(), units[0].size(), buffer.data(), capacity, picture),
            c.fits);
        EXPECT_EQ(picture.size, c.fits ? static_cast<int32_t>(needed) : 0);
        const auto untouched = [](auto from, auto to) {
            return std::all_of(from, to, [](uint8_t b) { return b == kUntouched; });
        };
        EXPECT_TRUE(untouched(buffer.begin() + static_cast<ptrdiff_t>(capacity), buffer.end()))
            << "bytes written past the capacity";
        if (!c.fits) {
            EXPECT_TRUE(untouched(buffer.begin(), buffer.end())) << "a refused picture wrote";
        }
    }
}

TEST(H264Decoder, DecodesOnlyBetweenInitAndRelease) {
    const std::vector<Bytes> units = encode_channel(0, 352, 296, 1, 1);
    ASSERT_EQ(units.size(), 1u);
    Bytes buffer(kivra::yv12_size(352, 288));
    fleet::format::DecodedPicture picture;
    const auto decodes = [&](H264Decoder& d) {
        return d.decode(units[0].data(), units[0].size(), buffer.data(), buffer.size(), picture);
    };

    H264Decoder decoder;
    EXPECT_FALSE(decoder.ready());
    EXPECT_FALSE(decodes(decoder));
    ASSERT_TRUE(decoder.init());
    EXPECT_TRUE(decoder.ready());
    EXPECT_TRUE(decodes(decoder));
    decoder.release();
    EXPECT_FALSE(decoder.ready());
    EXPECT_FALSE(decodes(decoder));
    EXPECT_EQ(picture.size, 0);
    ASSERT_TRUE(decoder.init());
    EXPECT_TRUE(decodes(decoder));
}

// What comes between two GOPs of a channel must not keep the second GOP from decoding.
struct DamageCase {
    const char* name;
    std::vector<Bytes> (*between)(const std::vector<Bytes>& first_gop);
};

const DamageCase kDamage[] = {
    {"garbage",
     [](const std::vector<Bytes>&) {
         return std::vector<Bytes>{garbage(5000, 7), garbage(40, 9)};
     }},
    {"key frame cut short",
     [](const std::vector<Bytes>& g) {
         return std::vector<Bytes>{Bytes(g[0].begin(), g[0].begin() + std::ssize(g[0]) / 3)};
     }},
    {"predicted frames without their key frame",
     [](const std::vector<Bytes>& g) { return std::vector<Bytes>(g.begin() + 2, g.end()); }},
    {"empty unit", [](const std::vector<Bytes>&) { return std::vector<Bytes>{Bytes{}}; }},
};

TEST(H264Decoder, NextKeyFrameDecodesAfterDamage) {
    const std::vector<Bytes> units = encode_channel(3, 352, 296, kGops, kFramesPerGop);
    ASSERT_EQ(units.size(), static_cast<size_t>(kGops * kFramesPerGop));
    const std::vector<Bytes> first(units.begin(), units.begin() + kFramesPerGop);
    const std::vector<Bytes> second(units.begin() + kFramesPerGop, units.end());
    const std::vector<Bytes> expected = reference_pictures(second);
    ASSERT_EQ(expected.size(), second.size());

    for (const DamageCase& c : kDamage) {
        SCOPED_TRACE(c.name);
        H264Decoder decoder;
        ASSERT_TRUE(decoder.init());
        decode_all(decoder, first);
        decode_all(decoder, c.between(first));
        const Decoded decoded = decode_all(decoder, second);
        for (size_t i = 0; i < second.size(); ++i) {
            EXPECT_TRUE(decoded.pictures[i] == expected[i]) << "picture " << i << " differs";
        }
    }
}

TEST(H264Decoder, UnitsThatHoldNoPictureGiveNone) {
    const std::vector<Bytes> units = encode_channel(5, 352, 296, 1, 3);
    ASSERT_EQ(units.size(), 3u);
    const std::vector<Bytes> nothing_to_show[] = {
        {garbage(3000, 1)},
        {units[1], units[2]},  // a fresh decoder has no key frame to predict from
    };
    for (const auto& sequence : nothing_to_show) {
        H264Decoder decoder;
        ASSERT_TRUE(decoder.init());
        const Decoded decoded = decode_all(decoder, sequence);
        for (const fleet::format::DecodedPicture& p : decoded.info) {
            EXPECT_EQ(p.size, 0);
            EXPECT_EQ(p.width, 0);
        }
    }
}

}  // namespace
}  // namespace decode_test
