// Arbitrary bytes as the viewer's AppConfig.ini, read the way the viewer starts: texts cut to
// their 31-unit buffers, numbers read as the profile API reads them, directories with "~"
// expanded and never empty. Numbers are checked against the C library's strtoll.
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "model/app_config.h"
#include "model/directories.h"
#include "model/ini_file.h"
#include "scratch_dir.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

// Optional blanks, a sign and decimal digits, saturated to int: what leading_int promises.
int reference_int(const std::string& value, int fallback) {
    const char* start = value.c_str();
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(start, &end, 10);
    if (end == start) return fallback;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

struct Reader {
    std::string_view text;

    std::optional<std::string> raw(std::string_view section, std::string_view key) const {
        return velmora::find_profile_value(text, section, key);
    }
    void check_int(int read, std::string_view section, std::string_view key, int fallback) const {
        auto value = raw(section, key);
        check(read == (value ? reference_int(*value, fallback) : fallback));
    }
    // A prefix of what the file holds, cut on a character boundary within 31 units.
    void check_short_text(const std::string& read, std::string_view section, std::string_view key,
                          const std::string& fallback) const {
        const std::string whole = raw(section, key).value_or(fallback);
        check(whole.compare(0, read.size(), read) == 0);
        check(velmora::truncate_utf16_units(read, velmora::kShortTextUnits) == read);
        const std::string longer =
            velmora::truncate_utf16_units(whole, velmora::kShortTextUnits + 1);
        check(longer.compare(0, read.size(), read) == 0);
    }
    void check_directory(const std::string& read, std::string_view section,
                         const std::string& fallback) const {
        check(!read.empty());
        auto value = raw(section, "DefaultDir");
        if (!value || value->empty()) {
            check(read == fallback);
        } else if (*value == "~" ||
                   (value->size() > 1 && (*value)[0] == '~' && (*value)[1] == '/')) {
            check(read.rfind(velmora::home_path(), 0) == 0);
            check(read.size() >= value->size() - 1 &&
                  read.compare(read.size() - (value->size() - 1), std::string::npos,
                               value->substr(1)) == 0);
        } else {
            check(read == *value);
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::ScratchDir dir("app-config");
    const auto path = dir.path() / "AppConfig.ini";
    const fuzz::FileCleanup cleanup{path};
    if (!fuzz::write_file(path, data, size)) std::abort();

    const velmora::AppConfig c = velmora::load_app_config(path.string());
    const velmora::AppConfig d;  // the defaults
    const Reader r{std::string_view(reinterpret_cast<const char*>(data), size)};

    r.check_short_text(c.lang_file, "MutiLanguage", "LangFile", d.lang_file);
    r.check_short_text(c.server_ip, "NetWorkSetting", "ServerIp", d.server_ip);
    r.check_short_text(c.user_name, "NetWorkSetting", "UserName", d.user_name);
    r.check_short_text(c.password, "NetWorkSetting", "PassWord", d.password);
    r.check_int(c.run_mode, "NetWorkSetting", "RunMode", d.run_mode);
    r.check_int(c.events.alarm, "EventSetting", "DefaultAlarm", 0);
    r.check_int(c.events.fan_error, "EventSetting", "DefaultFanError", 0);
    r.check_int(c.speed_unit, "UnitSetting", "DefaultSpeedUnit", d.speed_unit);
    r.check_int(c.temperature_unit, "UnitSetting", "DefaultTemperatureUnit", d.temperature_unit);
    r.check_int(c.pressure_unit, "UnitSetting", "DefaultPressureUnit", d.pressure_unit);
    r.check_int(c.map_type, "UnitSetting", "DefaultMapType", d.map_type);
    // A time span stored without a number reads as 0, not as the default 30.
    check(c.max_time_span_minutes ==
          reference_int(r.raw("ScreenCaptureSetting", "DefaultMAXTimeSpan").value_or("30"), 0));
    r.check_directory(c.jpeg_dir, "JpegCaptureSetting", d.jpeg_dir);
    r.check_directory(c.screen_capture_dir, "ScreenCaptureSetting", d.screen_capture_dir);
    r.check_directory(c.download_dir, "DownloadSetting", d.download_dir);
    r.check_directory(c.event_dir, "EventSetting", d.event_dir);
    r.check_directory(c.log_dir, "LogFileSetting", d.log_dir);
    return 0;
}
