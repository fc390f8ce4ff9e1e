// A page's navigation address and a text for the page, from the input. Beyond the sanitizers:
// only the viewer's exact prefixes are links, only digits make a number,
// and a text passed to the page can never end its string or its script.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "model/map_calls.h"
#include "model/map_navigation.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

bool starts_with_app(std::string_view address) {
    return address.substr(0, 4) == "app:";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (const auto link = velmora::parse_map_link(input)) check(starts_with_app(input));
    if (velmora::link_number(input)) {
        // Only digits make a number (leading zeros included).
        check(!input.empty() && input.find_first_not_of("0123456789") == std::string_view::npos);
    }
    (void)velmora::link_status(input);

    const std::string literal = velmora::js_string_literal(input);
    check(literal.size() >= 2 && literal.front() == '"' && literal.back() == '"');
    for (size_t i = 1; i + 1 < literal.size(); ++i) {
        const char c = literal[i];
        // Anything that could close the string, the script element or the line is escaped.
        check(c != '"' && c != '<' && c != '>' && c != '\n' && c != '\r');
        if (c == '\\') ++i;  // the escaped character
    }
    const std::vector<std::string> texts{std::string(input)};
    check(!velmora::script_call("AddGLatLng_N", texts).empty());
    return 0;
}
