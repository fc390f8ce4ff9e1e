#include "model/app_config.h"

#include <utility>

#include "model/ini_file.h"

namespace velmora {
namespace {

// A directory key: the stored path with "~" expanded; an empty value keeps the default, since
// an empty directory would put the viewer's files at the file system root.
std::string read_directory(const IniFile& ini, const char* section, const std::string& fallback) {
    std::string value = expand_home(ini.get_string(section, "DefaultDir", fallback));
    return value.empty() ? fallback : value;
}

}  // namespace

AppConfig load_app_config(const std::string& path) {
    const IniFile ini(path);
    AppConfig c;
    c.lang_file = ini.get_string("MutiLanguage", "LangFile", c.lang_file, kShortTextUnits);
    c.run_mode = ini.get_int("NetWorkSetting", "RunMode", c.run_mode);
    c.server_ip = ini.get_string("NetWorkSetting", "ServerIp", c.server_ip, kShortTextUnits);
    c.user_name = ini.get_string("NetWorkSetting", "UserName", c.user_name, kShortTextUnits);
    c.password = ini.get_string("NetWorkSetting", "PassWord", c.password, kShortTextUnits);
    c.jpeg_dir = read_directory(ini, "JpegCaptureSetting", c.jpeg_dir);
    c.screen_capture_dir = read_directory(ini, "ScreenCaptureSetting", c.screen_capture_dir);
    c.max_time_span_minutes =
        leading_int(ini.get_string("ScreenCaptureSetting", "DefaultMAXTimeSpan", "30"), 0);
    c.download_dir = read_directory(ini, "DownloadSetting", c.download_dir);
    c.event_dir = read_directory(ini, "EventSetting", c.event_dir);

    const std::pair<const char*, int EventDefaults::*> event_keys[] = {
        {"DefaultAlarm", &EventDefaults::alarm},
        {"DefaultVLOSS", &EventDefaults::vloss},
        {"DefaultRelay", &EventDefaults::relay},
        {"DefaultTPMS", &EventDefaults::tpms},
        {"DefaultGsensor", &EventDefaults::gsensor},
        {"DefaultCarSpeed", &EventDefaults::car_speed},
        {"DefaultTimeAdjust", &EventDefaults::time_adjust},
        {"DefaultOverHeat", &EventDefaults::over_heat},
        {"DefaultRecordError", &EventDefaults::record_error},
        {"DefaultHDError", &EventDefaults::hd_error},
        {"DefaultSDError", &EventDefaults::sd_error},
        {"DefaultFanError", &EventDefaults::fan_error},
    };
    for (const auto& [key, member] : event_keys) {
        c.events.*member = ini.get_int("EventSetting", key, c.events.*member);
    }

    c.speed_unit = ini.get_int("UnitSetting", "DefaultSpeedUnit", c.speed_unit);
    c.temperature_unit = ini.get_int("UnitSetting", "DefaultTemperatureUnit", c.temperature_unit);
    c.pressure_unit = ini.get_int("UnitSetting", "DefaultPressureUnit", c.pressure_unit);
    c.map_type = ini.get_int("UnitSetting", "DefaultMapType", c.map_type);
    c.map_tile_url = ini.get_string("UnitSetting", "MapTileUrl", c.map_tile_url);
    c.map_alternate_tile_url =
        ini.get_string("UnitSetting", "MapAlternateTileUrl", c.map_alternate_tile_url);
    c.map_tile_attribution =
        ini.get_string("UnitSetting", "MapTileAttribution", c.map_tile_attribution);
    const int max_zoom = ini.get_int("UnitSetting", "MapMaxZoom", c.map_max_zoom);
    if (max_zoom >= 1 && max_zoom <= kMaxMapZoom) c.map_max_zoom = max_zoom;
    c.log_dir = read_directory(ini, "LogFileSetting", c.log_dir);
    return c;
}

bool ensure_app_directories(const AppConfig& config) {
    bool all = ensure_directory(home_dvr_path(""));
    for (const std::string* dir : {&config.jpeg_dir, &config.screen_capture_dir,
                                   &config.download_dir, &config.event_dir, &config.log_dir}) {
        all = ensure_directory(*dir) && all;
    }
    return all;
}

bool write_unit_setting(const std::string& config_path, UnitKind kind, int value) {
    const char* key = "DefaultSpeedUnit";
    if (kind == UnitKind::Temperature) key = "DefaultTemperatureUnit";
    if (kind == UnitKind::Pressure) key = "DefaultPressureUnit";
    return IniFile(config_path).write_string("UnitSetting", key, std::to_string(value));
}

bool write_map_type(const std::string& config_path, int map_type) {
    return IniFile(config_path)
        .write_string("UnitSetting", "DefaultMapType", std::to_string(map_type));
}

bool write_other_settings(const std::string& config_path, const OtherSettings& settings) {
    IniFile ini(config_path);
    return ini.write_string("MutiLanguage", "LangFile", settings.lang_file) &&
           ini.write_string("LogFileSetting", "DefaultDir", settings.log_dir) &&
           ini.write_string("JpegCaptureSetting", "DefaultDir", settings.jpeg_dir) &&
           ini.write_string("ScreenCaptureSetting", "DefaultDir", settings.screen_capture_dir) &&
           ini.write_string("ScreenCaptureSetting", "DefaultMAXTimeSpan",
                            settings.max_time_span_text);
}

void apply_other_settings(AppConfig& config, const OtherSettings& settings) {
    config.lang_file = settings.lang_file;
    config.log_dir = settings.log_dir;
    config.jpeg_dir = settings.jpeg_dir;
    config.screen_capture_dir = settings.screen_capture_dir;
    config.max_time_span_minutes = leading_int(settings.max_time_span_text, 0);
}

}  // namespace velmora
