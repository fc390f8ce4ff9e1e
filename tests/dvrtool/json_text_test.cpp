// Recorded bytes as JSON text: well-formed UTF-8 kept, every other byte read as Latin-1.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "report/json_text.h"

namespace {

struct Case {
    const char* what;
    std::string bytes;
    std::string text;
};

TEST(JsonText, EveryByteOutsideWellFormedUtf8IsReadAsLatin1) {
    const Case cases[] = {
        {"ASCII unchanged", "BUS-42", "BUS-42"},
        {"NUL kept", std::string("A\0B", 3), std::string("A\0B", 3)},
        {"two-, three- and four-byte characters kept", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x9A\x8C",
         "é€🚌"},
        {"lone Latin-1 bytes", "BUS\xE9\xFF", "BUSéÿ"},
        {"continuation byte without a lead", "\x80", "\xC2\x80"},
        {"overlong NUL", "\xC0\x80", "À\xC2\x80"},
        {"overlong three-byte slash", "\xE0\x80\xAF", "à\xC2\x80\xC2\xAF"},
        {"surrogate", "\xED\xA0\x80", "í\xC2\xA0\xC2\x80"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "ô\xC2\x90\xC2\x80\xC2\x80"},
        {"sequence cut by the end", "x\xE2\x82", "xâ\xC2\x82"},
        {"sequence cut by ASCII", "\xE2\x82Z", "â\xC2\x82Z"},
        {"GBK plate text",
         "\xD4\xC1"
         "B123",
         "ÔÁB123"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string text = fleet::utf8_text(c.bytes);
        EXPECT_EQ(text, c.text);
        // JSON writes it and reads it back unchanged.
        const std::string dumped = nlohmann::json(text).dump();
        EXPECT_EQ(nlohmann::json::parse(dumped).get<std::string>(), c.text);
    }
}

}  // namespace
