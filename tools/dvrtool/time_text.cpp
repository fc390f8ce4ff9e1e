#include "time_text.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <limits>

namespace dvrtool {

std::string time_text(uint32_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (gmtime_r(&t, &parts) == nullptr) return "invalid time";
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

namespace {

// The digits of text[at, at + count) as a number; nothing when any is not a digit.
std::optional<int> digits_at(std::string_view text, size_t at, size_t count) {
    int value = 0;
    const char* begin = text.data() + at;
    auto [end, ec] = std::from_chars(begin, begin + count, value);
    if (ec != std::errc() || end != begin + count || *begin == '-' || *begin == '+') {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<uint32_t> parse_time_text(std::string_view text) {
    constexpr std::string_view kShape = "0000-00-00 00:00:00";
    if (text.size() != kShape.size()) return std::nullopt;
    for (size_t i = 0; i < kShape.size(); ++i) {
        if (kShape[i] != '0' && text[i] != kShape[i]) return std::nullopt;
    }
    const auto year = digits_at(text, 0, 4), month = digits_at(text, 5, 2),
               day = digits_at(text, 8, 2), hour = digits_at(text, 11, 2),
               minute = digits_at(text, 14, 2), second = digits_at(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    if (*hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(*year),
                                           std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok()) return std::nullopt;
    const long long seconds = std::chrono::sys_days(date).time_since_epoch().count() * 86400LL +
                              *hour * 3600LL + *minute * 60LL + *second;
    if (seconds < 0 || seconds > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    return static_cast<uint32_t>(seconds);
}

fleet::Result<uint32_t> parse_time_option(const CommandLine& line, std::string_view name) {
    const auto value = line.value(name);
    if (!value) return usage_error("missing " + std::string(name) + " \"YYYY-MM-DD HH:MM:SS\"");
    const auto seconds = parse_time_text(*value);
    if (!seconds) {
        return usage_error(std::string(name) +
                           " takes a UTC time as \"YYYY-MM-DD HH:MM:SS\", not '" + *value + "'");
    }
    return *seconds;
}

}  // namespace dvrtool
