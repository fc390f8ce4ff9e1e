// The viewer's own configuration, "./config/AppConfig.ini": read once at start-up, with single
// keys written back by the unit and map menus and the settings dialog.
#pragma once

#include <cstddef>
#include <string>

#include "model/directories.h"

namespace velmora {

// Relative to the current directory, not to the program folder.
inline constexpr const char* kAppConfigPath = "./config/AppConfig.ini";

// Short text keys were read into 32-character buffers; longer values are cut the same way.
inline constexpr std::size_t kShortTextUnits = 31;

// The deepest zoom a map page accepts.
inline constexpr int kMaxMapZoom = 22;

// "EventSetting" flags: read and kept, used by nothing yet.
struct EventDefaults {
    int alarm = 0;
    int vloss = 0;
    int relay = 0;
    int tpms = 0;
    int gsensor = 0;
    int car_speed = 0;
    int time_adjust = 0;
    int over_heat = 0;
    int record_error = 0;
    int hd_error = 0;
    int sd_error = 0;
    int fan_error = 0;
};

// Members are in the order of the file's reading; initialisers are the defaults.
struct AppConfig {
    std::string lang_file;  // file name under "config/lang/"; empty = built-in English
    int run_mode = 0;
    std::string server_ip = "127.0.0.1";
    std::string user_name = "admin";
    std::string password = "*";
    std::string jpeg_dir = home_dvr_path("pic");
    std::string screen_capture_dir = home_dvr_path("capture");
    int max_time_span_minutes = 30;
    std::string download_dir = home_dvr_path("record");
    std::string event_dir = home_dvr_path("event");
    EventDefaults events;
    int speed_unit = 0;
    int temperature_unit = 0;
    int pressure_unit = 0;
    int map_type = 0;
    // Map tiles the pages draw under the track: one address per map type ({z}/{x}/{y}
    // templates; empty = no tiles, the page draws its plain grid), the credit line shown on the
    // map and the deepest zoom the tiles offer (1..kMaxMapZoom, anything else gives the default).
    std::string map_tile_url = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
    std::string map_alternate_tile_url = "https://tile.openstreetmap.fr/hot/{z}/{x}/{y}.png";
    std::string map_tile_attribution = "\u00a9 OpenStreetMap contributors";
    int map_max_zoom = 19;
    std::string log_dir = home_dvr_path("log");

    // Only exactly 1 selects the alternative; any other stored number means the first choice.
    bool miles_per_hour() const { return speed_unit == 1; }
    bool fahrenheit() const { return temperature_unit == 1; }
    bool kilopascal() const { return pressure_unit == 1; }
    bool yandex_maps() const { return map_type == 1; }
};

// Defaults for whatever the file (or the file itself) lacks. Directories may start with "~/".
AppConfig load_app_config(const std::string& path);

// "~/DVR" first, then the picture, screen recording, download, event and log directories.
// True when all exist afterwards; the caller goes on with the paths either way.
bool ensure_app_directories(const AppConfig& config);

enum class UnitKind { Speed, Temperature, Pressure };

// The unit menus: 0 = km/h, Celsius, PSI; 1 = miles per hour, Fahrenheit, kPa.
bool write_unit_setting(const std::string& config_path, UnitKind kind, int value);

// The map menu: 0 = Google pages, 1 = Yandex pages.
bool write_map_type(const std::string& config_path, int map_type);

// What the settings dialog edits, as the operator typed it.
struct OtherSettings {
    std::string lang_file;
    std::string log_dir;
    std::string jpeg_dir;
    std::string screen_capture_dir;
    std::string max_time_span_text;
};

// Writes the language, the three directories and the time span text as typed.
bool write_other_settings(const std::string& config_path, const OtherSettings& settings);

// The running viewer's copy after Apply: the time span becomes its leading number (0 if none).
void apply_other_settings(AppConfig& config, const OtherSettings& settings);

}  // namespace velmora
