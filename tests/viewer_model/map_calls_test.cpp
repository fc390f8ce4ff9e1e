// Script calls to the map pages: the argument encoding, the calls held back while a page loads
// (no more than a bounded number) and given again (the track) to a page loaded afresh.
#include "model/map_calls.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace velmora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct LiteralCase {
    const char* name;
    std::string text;
    std::string literal;
};

TEST(MapCalls, TextsBecomeStringLiteralsThatHoldThemVerbatim) {
    const LiteralCase cases[] = {
        {"plain", "AB-123", R"("AB-123")"},
        {"empty", "", R"("")"},
        {"quotes and backslash", R"(a"b\c'd)", R"("a\"b\\c'd")"},
        {"markup", "'\"</script><b>", R"("'\"\u003c/script\u003e\u003cb\u003e")"},
        {"ampersand", "a&b", R"("a\u0026b")"},
        {"line breaks and tab", "a\nb\rc\td", R"("a\nb\rc\td")"},
        {"other control characters",
         std::string("a\x01"
                     "b\x1f"
                     "c\x7f",
                     6),
         R"("a\u0001b\u001fc\u007f")"},
        {"zero byte", std::string("a\0b", 3), R"("a\u0000b")"},
        {"line and paragraph separators", "a\u2028b\u2029c", R"("a\u2028b\u2029c")"},
        {"other text as UTF-8", "Zürich 東京 \u2027", "\"Zürich 東京 \u2027\""},
        {"lead byte of the separators at the end", "a\xE2\x80", "\"a\xE2\x80\""},
    };
    for (const LiteralCase& c : cases) EXPECT_EQ(js_string_literal(c.text), c.literal) << c.name;
}

TEST(MapCalls, ACallPassesTheTextsInOrderAndOnlyToAPlainFunctionName) {
    const std::vector<std::string> texts = {"online", "01-02-03-04-05-06", "Truck \"7\""};
    EXPECT_EQ(script_call("ModifyMark_O", texts),
              R"(if (typeof ModifyMark_O === 'function') ModifyMark_O("online", )"
              R"("01-02-03-04-05-06", "Truck \"7\"");)");
    EXPECT_EQ(script_call("ClearAll_N", {}), "if (typeof ClearAll_N === 'function') ClearAll_N();");
    for (const char* bad : {"", "9lives", "alert(1);x", "a.b", "a b", "ClearAll_N()"})
        EXPECT_EQ(script_call(bad, texts), "") << bad;
}

MapCall point(const char* time) {
    return {"AddGLatLng_N", {"AB-1", time, "24.999920", "121.500000"}};
}

TEST(MapCalls, CallsWaitWhileThePageLoadsAndArriveAfterTheTrack) {
    MapCallQueue queue;
    EXPECT_FALSE(queue.ready());
    EXPECT_EQ(queue.call({"ClearAll_O", {}}), std::nullopt);
    EXPECT_EQ(queue.call(point("100")), std::nullopt);
    EXPECT_EQ(queue.call({"FindAndPanto_O", {"Truck", "01-02-03-04-05-06"}}), std::nullopt);
    EXPECT_EQ(queue.call(point("101")), std::nullopt);
    EXPECT_THAT(queue.page_loaded(),
                ElementsAre(point("100"), point("101"), MapCall{"ClearAll_O", {}},
                            MapCall{"FindAndPanto_O", {"Truck", "01-02-03-04-05-06"}}));
    EXPECT_TRUE(queue.ready());
    EXPECT_THAT(queue.waiting(), IsEmpty());
    // Loaded: calls go at once, and nothing waits.
    EXPECT_EQ(queue.call(point("102")), point("102"));
    EXPECT_EQ(queue.call({"ClearAll_O", {}}), (MapCall{"ClearAll_O", {}}));
    EXPECT_THAT(queue.waiting(), IsEmpty());
}

TEST(MapCalls, APageLoadedAgainGetsTheTrackSinceTheLastClearOnce) {
    MapCallQueue queue;
    queue.page_loaded();
    queue.call(point("100"));
    EXPECT_EQ(queue.call({"ClearAll_N", {}}), (MapCall{"ClearAll_N", {}}));
    queue.call(point("200"));
    queue.call(point("201"));
    queue.call({"ModifyMark_O", {"online", "01-02-03-04-05-06", "Truck", "1", "2"}});

    queue.page_loading();  // the map type changed
    EXPECT_EQ(queue.call(point("202")), std::nullopt);
    EXPECT_THAT(queue.page_loaded(), ElementsAre(point("200"), point("201"), point("202")));
    // A third load replays the same track, not twice the points.
    queue.page_loading();
    EXPECT_THAT(queue.page_loaded(), ElementsAre(point("200"), point("201"), point("202")));
}

TEST(MapCalls, AClearWhileThePageLoadsLeavesNothingToReplay) {
    MapCallQueue queue;
    queue.page_loaded();
    queue.call(point("100"));
    queue.page_loading();
    EXPECT_EQ(queue.call({"ClearAll_N", {}}), std::nullopt);
    queue.call(point("300"));
    EXPECT_THAT(queue.page_loaded(), ElementsAre(point("300")));
    EXPECT_THAT(queue.track(), ElementsAre(point("300")));
}

TEST(MapCalls, APageThatNeverLoadsKeepsTheNewestMarkCallsAndTheWholeTrack) {
    MapCallQueue queue;
    const std::size_t made = MapCallQueue::kMaxWaitingCalls + 5;
    const auto mark = [](std::size_t n) { return MapCall{"ModifyMark_O", {std::to_string(n)}}; };
    for (std::size_t n = 0; n < made; ++n) {
        queue.call(mark(n));
        if (n % 500 == 0) queue.call(point(std::to_string(n).c_str()));
    }
    ASSERT_EQ(queue.waiting().size(), MapCallQueue::kMaxWaitingCalls);
    EXPECT_EQ(queue.waiting().front(), mark(5));
    EXPECT_EQ(queue.waiting().back(), mark(made - 1));
    EXPECT_THAT(queue.track(), ElementsAre(point("0"), point("500"), point("1000")));

    const std::vector<MapCall> calls = queue.page_loaded();
    ASSERT_EQ(calls.size(), 3 + MapCallQueue::kMaxWaitingCalls);
    EXPECT_EQ(calls[2], point("1000"));
    EXPECT_EQ(calls[3], mark(5));
    EXPECT_EQ(calls.back(), mark(made - 1));
}

}  // namespace
}  // namespace velmora::test
