// The "app:" addresses a map page navigates to, read by exact, case-sensitive prefix.
#include "model/map_navigation.h"

#include <gtest/gtest.h>

namespace velmora::test {
namespace {

struct LinkCase {
    const char* address;
    std::optional<MapLink> link;
};

TEST(MapNavigation, EachPrefixIsReadExactlyAndOthersAreNotHandled) {
    using K = MapLinkKind;
    const LinkCase cases[] = {
        {"app:nomal&1600000000", MapLink{K::SeekToTime, "1600000000"}},
        {"app:search&17", MapLink{K::PlayQuickEntry, "17"}},
        {"app:GetFocus&", MapLink{K::Focus, ""}},
        {"app:GCMresponse&500", MapLink{K::PushAnswer, "500"}},
        {"app:Online&", MapLink{K::Online, ""}},
        {"app:nomal&", MapLink{K::SeekToTime, ""}},
        {"app:nomal&12&34", MapLink{K::SeekToTime, "12&34"}},
        {"app:Nomal&1600000000", std::nullopt},
        {"app:NOMAL&1600000000", std::nullopt},
        {"app:getfocus&", std::nullopt},
        {"app:online&", std::nullopt},
        {"app:nomal1600000000", std::nullopt},
        {"app:normal&1600000000", std::nullopt},
        {" app:nomal&1", std::nullopt},
        {"file:///x/app:nomal&1", std::nullopt},
        {"", std::nullopt},
    };
    for (const LinkCase& c : cases) EXPECT_EQ(parse_map_link(c.address), c.link) << c.address;
}

TEST(MapNavigation, NumbersAreWholeDecimals) {
    EXPECT_EQ(link_number("0"), 0u);
    EXPECT_EQ(link_number("4294967295"), 4294967295u);
    EXPECT_EQ(link_number("4294967296"), std::nullopt);
    for (const char* bad : {"", "-1", "+1", "12x", " 12", "1.5", "0x10"})
        EXPECT_EQ(link_number(bad), std::nullopt) << bad;
    EXPECT_EQ(link_status("200"), 200);
    EXPECT_EQ(link_status("-3"), -3);
    EXPECT_EQ(link_status("5OO"), std::nullopt);
    EXPECT_EQ(link_status(""), std::nullopt);
}

}  // namespace
}  // namespace velmora::test
