// The vehicle list's rules without the widget: name matching, the drawn texts, menu enabling,
// and the UTF-16 names they start from.
#include "model/car_list_rules.h"

#include <gtest/gtest.h>

#include "model/utf16_text.h"

namespace velmora {
namespace {

TEST(CarListRules, NamesMatchWhenOneIsAPrefixOfTheOther) {
    struct Case {
        const char* a;
        const char* b;
        bool match;
    };
    const Case cases[] = {
        {"TRUCK-01", "TRUCK-01", true},   {"TRUCK", "TRUCK-01", true},
        {"TRUCK-01-X", "TRUCK-01", true}, {"TRUCK-02", "TRUCK-01", false},
        {"truck-01", "TRUCK-01", false},  {"", "TRUCK-01", false},
        {"TRUCK-01", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vehicle_names_match(c.a, c.b), c.match) << c.a << " / " << c.b;
    }
}

TEST(CarListRules, EntryTextsFollowStateNatAndEvent) {
    struct Case {
        const char* what;
        std::u16string name;
        int state;
        int last_event;
        int connection_type;
        uint8_t capability;
        int open_links;
        VehicleLines expected;
    };
    const Case cases[] = {
        {"online", u"BUS-7", 1, 0, 0, 0x00, 1, {"BUS-7", "10.0.0.9", "(1/2)  "}},
        {"connected shows its tag",
         u"BUS-7",
         2,
         3,
         4,
         0x00,
         2,
         {"BUS-7  [R-type]", "10.0.0.9", "(2/2)  [ALARM]"}},
        {"behind NAT (low nibble)",
         u"BUS-7",
         3,
         13,
         0,
         0x01,
         0,
         {"BUS-7", "10.0.0.9(N)", "(0/2)  [G SENSOR]"}},
        {"high nibble is not NAT",
         u"BUS-7",
         1,
         14,
         0,
         0xF0,
         0,
         {"BUS-7", "10.0.0.9", "(0/2)  [OVER HEAT]"}},
        {"offline has no status line", u"BUS-7", 0, 2, 0, 0x00, 0, {"BUS-7", "10.0.0.9", ""}},
        {"event 16 or more is not drawn", u"BUS-7", 1, 16, 0, 0x00, 0, {"BUS-7", "10.0.0.9", ""}},
        {"15 characters are drawn",
         u"ABCDEFGHIJKLMNO",
         1,
         0,
         0,
         0,
         0,
         {"ABCDEFGHIJKLMNO", "10.0.0.9", "(0/2)  "}},
        {"16 characters are not", u"ABCDEFGHIJKLMNOP", 1, 0, 0, 0, 0, {"", "10.0.0.9", "(0/2)  "}},
        {"connection type 5 has no tag",
         u"BUS-7",
         2,
         0,
         5,
         0,
         1,
         {"BUS-7  ", "10.0.0.9", "(1/2)  "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VehicleRecord r;
        r.name = c.name;
        r.state = c.state;
        r.last_event = c.last_event;
        r.connection_type = c.connection_type;
        r.capability = c.capability;
        r.open_links = c.open_links;
        r.ipv4 = {10, 0, 0, 9};
        const VehicleLines lines = vehicle_lines(r);
        EXPECT_EQ(lines.name, c.expected.name);
        EXPECT_EQ(lines.address, c.expected.address);
        EXPECT_EQ(lines.status, c.expected.status);
    }
}

// A recorder added by hand on another port shows where it is reached.
TEST(VehicleLines, APortOtherThanTheDefaultIsShown) {
    VehicleRecord r;
    r.ipv4 = {10, 0, 0, 9};
    r.port = 2300;
    EXPECT_EQ(vehicle_lines(r).address, "10.0.0.9:2300");
    r.capability = 0x01;
    EXPECT_EQ(vehicle_lines(r).address, "10.0.0.9:2300(N)");
}

TEST(CarListRules, MenuItemsAreDisabledByStateLinksAndRunMode) {
    struct Case {
        int state;
        int open_links;
        int run_mode;
        CarMenuEnabled expected;
    };
    const Case cases[] = {
        {1, 0, 0, {true, true, true, true}},  {0, 0, 0, {false, false, false, true}},
        {2, 1, 0, {true, false, true, true}}, {3, 2, 0, {true, false, true, true}},
        {1, 0, 1, {true, true, true, false}}, {0, 2, 2, {false, false, false, false}},
    };
    for (const Case& c : cases) {
        VehicleRecord r;
        r.state = c.state;
        r.open_links = c.open_links;
        const CarMenuEnabled got = car_menu_enabled(r, c.run_mode);
        SCOPED_TRACE(testing::Message() << "state " << c.state << " links " << c.open_links
                                        << " run mode " << c.run_mode);
        EXPECT_EQ(got.realtime_play, c.expected.realtime_play);
        EXPECT_EQ(got.recorded_play, c.expected.recorded_play);
        EXPECT_EQ(got.uploaded_file, c.expected.uploaded_file);
        EXPECT_EQ(got.delete_vehicle, c.expected.delete_vehicle);
    }
}

TEST(Utf16Text, ConvertsToUtf8AndReplacesUnpairedSurrogates) {
    struct Case {
        std::u16string text;
        std::string utf8;
    };
    const Case cases[] = {
        {u"", ""},
        {u"BUS-7", "BUS-7"},
        {u"\u00e9", "\xc3\xa9"},
        {u"\u6253\u5f00", "\xe6\x89\x93\xe5\xbc\x80"},
        {u"\U0001F69A", "\xf0\x9f\x9a\x9a"},             // a pair: one character
        {std::u16string(1, u'\xD83D'), "\xef\xbf\xbd"},  // a high surrogate alone
        {std::u16string{u'\xDE9A', u'A'},
         "\xef\xbf\xbd"
         "A"},
    };
    for (const Case& c : cases) EXPECT_EQ(utf8_from_utf16(c.text), c.utf8);
}

}  // namespace
}  // namespace velmora
