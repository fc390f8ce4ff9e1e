#include "model/app_config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "home_override.h"
#include "process.h"

namespace {

using velmora::AppConfig;

std::string text(const std::string& s) {
    return s;
}
std::string text(int n) {
    return std::to_string(n);
}

// One row per key the start-up reads: what a missing file gives, and what a written value gives.
// "~" in expectations stands for the test's home folder.
struct KeyRow {
    const char* section;
    const char* key;
    const char* written;
    std::function<std::string(const AppConfig&)> field;
    const char* by_default;
    const char* loaded;
};

const std::vector<KeyRow>& key_table() {
    static const std::vector<KeyRow> rows = {
        {"MutiLanguage", "LangFile", "Deutsch.lang",
         [](const AppConfig& c) { return text(c.lang_file); }, "", "Deutsch.lang"},
        {"NetWorkSetting", "RunMode", "2", [](const AppConfig& c) { return text(c.run_mode); }, "0",
         "2"},
        {"NetWorkSetting", "ServerIp", "10.1.2.3",
         [](const AppConfig& c) { return text(c.server_ip); }, "127.0.0.1", "10.1.2.3"},
        {"NetWorkSetting", "UserName", "operator",
         [](const AppConfig& c) { return text(c.user_name); }, "admin", "operator"},
        {"NetWorkSetting", "PassWord", "secret",
         [](const AppConfig& c) { return text(c.password); }, "*", "secret"},
        {"JpegCaptureSetting", "DefaultDir", "~/shots/jpeg",
         [](const AppConfig& c) { return text(c.jpeg_dir); }, "~/DVR/pic", "~/shots/jpeg"},
        {"ScreenCaptureSetting", "DefaultDir", "~/clips",
         [](const AppConfig& c) { return text(c.screen_capture_dir); }, "~/DVR/capture", "~/clips"},
        {"ScreenCaptureSetting", "DefaultMAXTimeSpan", "15min",
         [](const AppConfig& c) { return text(c.max_time_span_minutes); }, "30", "15"},
        {"DownloadSetting", "DefaultDir", "~/net/record",
         [](const AppConfig& c) { return text(c.download_dir); }, "~/DVR/record", "~/net/record"},
        {"EventSetting", "DefaultDir", "~/ev", [](const AppConfig& c) { return text(c.event_dir); },
         "~/DVR/event", "~/ev"},
        {"EventSetting", "DefaultAlarm", "1",
         [](const AppConfig& c) { return text(c.events.alarm); }, "0", "1"},
        {"EventSetting", "DefaultVLOSS", "2",
         [](const AppConfig& c) { return text(c.events.vloss); }, "0", "2"},
        {"EventSetting", "DefaultRelay", "3",
         [](const AppConfig& c) { return text(c.events.relay); }, "0", "3"},
        {"EventSetting", "DefaultTPMS", "4", [](const AppConfig& c) { return text(c.events.tpms); },
         "0", "4"},
        {"EventSetting", "DefaultGsensor", "5",
         [](const AppConfig& c) { return text(c.events.gsensor); }, "0", "5"},
        {"EventSetting", "DefaultCarSpeed", "6",
         [](const AppConfig& c) { return text(c.events.car_speed); }, "0", "6"},
        {"EventSetting", "DefaultTimeAdjust", "7",
         [](const AppConfig& c) { return text(c.events.time_adjust); }, "0", "7"},
        {"EventSetting", "DefaultOverHeat", "8",
         [](const AppConfig& c) { return text(c.events.over_heat); }, "0", "8"},
        {"EventSetting", "DefaultRecordError", "9",
         [](const AppConfig& c) { return text(c.events.record_error); }, "0", "9"},
        {"EventSetting", "DefaultHDError", "10",
         [](const AppConfig& c) { return text(c.events.hd_error); }, "0", "10"},
        {"EventSetting", "DefaultSDError", "11",
         [](const AppConfig& c) { return text(c.events.sd_error); }, "0", "11"},
        {"EventSetting", "DefaultFanError", "12",
         [](const AppConfig& c) { return text(c.events.fan_error); }, "0", "12"},
        {"UnitSetting", "DefaultSpeedUnit", "1",
         [](const AppConfig& c) { return text(c.speed_unit); }, "0", "1"},
        {"UnitSetting", "DefaultTemperatureUnit", "1",
         [](const AppConfig& c) { return text(c.temperature_unit); }, "0", "1"},
        {"UnitSetting", "DefaultPressureUnit", "1",
         [](const AppConfig& c) { return text(c.pressure_unit); }, "0", "1"},
        {"UnitSetting", "DefaultMapType", "1", [](const AppConfig& c) { return text(c.map_type); },
         "0", "1"},
        {"UnitSetting", "MapTileUrl", "http://127.0.0.1:8080/{z}/{x}/{y}.png",
         [](const AppConfig& c) { return text(c.map_tile_url); },
         "https://tile.openstreetmap.org/{z}/{x}/{y}.png", "http://127.0.0.1:8080/{z}/{x}/{y}.png"},
        {"UnitSetting", "MapAlternateTileUrl", "",
         [](const AppConfig& c) { return text(c.map_alternate_tile_url); },
         "https://tile.openstreetmap.fr/hot/{z}/{x}/{y}.png", ""},
        {"UnitSetting", "MapTileAttribution", "local tiles",
         [](const AppConfig& c) { return text(c.map_tile_attribution); },
         "\u00a9 OpenStreetMap contributors", "local tiles"},
        {"UnitSetting", "MapMaxZoom", "17", [](const AppConfig& c) { return text(c.map_max_zoom); },
         "19", "17"},
        {"LogFileSetting", "DefaultDir", "~/logs/op",
         [](const AppConfig& c) { return text(c.log_dir); }, "~/DVR/log", "~/logs/op"},
    };
    return rows;
}

std::string at_home(const fleet::test::TempDir& home, const std::string& s) {
    return s.starts_with("~") ? home.path() + s.substr(1) : s;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Every row's key in the file, sections in table order; spelling changed by respell.
std::string config_text(const std::function<std::string(const std::string&)>& respell) {
    std::string out;
    std::string section;
    for (const auto& row : key_table()) {
        if (row.section != section) out += "[" + respell(row.section) + "]\n";
        section = row.section;
        out += respell(row.key) + "=" + row.written + "\n";
    }
    return out;
}

void write_text(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

TEST(AppConfig, MissingFileGivesEveryDefaultAndTheDirectories) {
    fleet::test::TempDir home;
    HomeOverride override_home(home.path());
    const AppConfig config = velmora::load_app_config(home.file("config/AppConfig.ini"));
    for (const auto& row : key_table()) {
        EXPECT_EQ(row.field(config), at_home(home, row.by_default))
            << row.section << "/" << row.key;
    }
    EXPECT_FALSE(config.miles_per_hour());
    EXPECT_FALSE(config.fahrenheit());
    EXPECT_FALSE(config.kilopascal());
    EXPECT_FALSE(config.yandex_maps());

    EXPECT_TRUE(velmora::ensure_app_directories(config));
    for (const char* leaf :
         {"DVR", "DVR/pic", "DVR/capture", "DVR/record", "DVR/event", "DVR/log"}) {
        EXPECT_TRUE(std::filesystem::is_directory(home.file(leaf))) << leaf;
    }
    EXPECT_FALSE(std::filesystem::exists(home.file("config")));
}

TEST(AppConfig, EveryKeyIsReadWhateverItsCase) {
    const std::function<std::string(const std::string&)> spellings[] = {
        [](const std::string& s) { return s; },
        [](const std::string& s) { return lower(s); },
    };
    for (const auto& respell : spellings) {
        fleet::test::TempDir home;
        HomeOverride override_home(home.path());
        write_text(home.file("AppConfig.ini"), config_text(respell));
        const AppConfig config = velmora::load_app_config(home.file("AppConfig.ini"));
        for (const auto& row : key_table()) {
            EXPECT_EQ(row.field(config), at_home(home, row.loaded))
                << row.section << "/" << row.key;
        }
        EXPECT_TRUE(config.miles_per_hour() && config.fahrenheit() && config.kilopascal() &&
                    config.yandex_maps());

        EXPECT_TRUE(velmora::ensure_app_directories(config));
        for (const char* leaf : {"DVR", "shots/jpeg", "clips", "net/record", "ev", "logs/op"}) {
            EXPECT_TRUE(std::filesystem::is_directory(home.file(leaf))) << leaf;
        }
        EXPECT_FALSE(std::filesystem::exists(home.file("DVR/pic")));
    }
}

TEST(AppConfig, ValuesAreInterpretedAsTheViewerUsesThem) {
    const struct {
        const char* name;
        const char* file;
        std::function<bool(const AppConfig&)> holds;
    } cases[] = {
        {"speed unit 2 is km/h", "[UnitSetting]\nDefaultSpeedUnit=2\n",
         [](const AppConfig& c) { return !c.miles_per_hour(); }},
        {"map type -1 is Google", "[UnitSetting]\nDefaultMapType=-1\n",
         [](const AppConfig& c) { return c.map_type == -1 && !c.yandex_maps(); }},
        {"time span of letters is 0", "[ScreenCaptureSetting]\nDefaultMAXTimeSpan=abc\n",
         [](const AppConfig& c) { return c.max_time_span_minutes == 0; }},
        {"time span empty is 0", "[ScreenCaptureSetting]\nDefaultMAXTimeSpan=\n",
         [](const AppConfig& c) { return c.max_time_span_minutes == 0; }},
        {"run mode of letters keeps 0", "[NetWorkSetting]\nRunMode=x1\n",
         [](const AppConfig& c) { return c.run_mode == 0; }},
        {"language file cut to 31 characters",
         "[MutiLanguage]\nLangFile=0123456789012345678901234567890123.lang\n",
         [](const AppConfig& c) { return c.lang_file == "0123456789012345678901234567890"; }},
        {"empty directory keeps the default", "[LogFileSetting]\nDefaultDir=\n",
         [](const AppConfig& c) { return c.log_dir == velmora::home_dvr_path("log"); }},
        {"map zoom 0 keeps 19", "[UnitSetting]\nMapMaxZoom=0\n",
         [](const AppConfig& c) { return c.map_max_zoom == 19; }},
        {"map zoom 23 keeps 19", "[UnitSetting]\nMapMaxZoom=23\n",
         [](const AppConfig& c) { return c.map_max_zoom == 19; }},
        {"map zoom 22 taken", "[UnitSetting]\nMapMaxZoom=22\n",
         [](const AppConfig& c) { return c.map_max_zoom == 22; }},
        {"tile address longer than 31 characters kept whole",
         "[UnitSetting]\nMapTileUrl=http://tiles.example.test:8080/base/{z}/{x}/{y}.png\n",
         [](const AppConfig& c) {
             return c.map_tile_url == "http://tiles.example.test:8080/base/{z}/{x}/{y}.png";
         }},
        {"absolute directory as written", "[DownloadSetting]\nDefaultDir=/srv/dvr/rec ords\n",
         [](const AppConfig& c) { return c.download_dir == "/srv/dvr/rec ords"; }},
    };
    fleet::test::TempDir home;
    HomeOverride override_home(home.path());
    for (const auto& c : cases) {
        write_text(home.file("AppConfig.ini"), c.file);
        EXPECT_TRUE(c.holds(velmora::load_app_config(home.file("AppConfig.ini")))) << c.name;
    }
}

TEST(AppConfig, WritersChangeTheirKeysAndNothingElse) {
    fleet::test::TempDir home;
    HomeOverride override_home(home.path());
    const std::string path = home.file("AppConfig.ini");
    write_text(path,
               "; operator's notes\n"
               "[MutiLanguage]\n"
               "LangFile=\n"
               "[NetWorkSetting]\n"
               "RunMode=1\n"
               "ServerIp=10.0.0.9\n"
               "\n"
               "[unitsetting]\n"
               "defaultspeedunit = 0\n"
               "; chosen by the menu\n"
               "DefaultMapType=0\n"
               "\n"
               "[LogFileSetting]\n"
               "DefaultDir=/var/log/dvr\n");

    ASSERT_TRUE(velmora::write_unit_setting(path, velmora::UnitKind::Speed, 1));
    ASSERT_TRUE(velmora::write_unit_setting(path, velmora::UnitKind::Temperature, 1));
    ASSERT_TRUE(velmora::write_unit_setting(path, velmora::UnitKind::Pressure, 0));
    ASSERT_TRUE(velmora::write_map_type(path, 1));
    ASSERT_TRUE(velmora::write_other_settings(
        path, {"Deutsch.lang", "/data/log", "/data/pic", "/data/avi", "abc"}));

    EXPECT_EQ(fleet::test::read_file(path),
              "; operator's notes\n"
              "[MutiLanguage]\n"
              "LangFile=Deutsch.lang\n"
              "[NetWorkSetting]\n"
              "RunMode=1\n"
              "ServerIp=10.0.0.9\n"
              "\n"
              "[unitsetting]\n"
              "defaultspeedunit=1\n"
              "; chosen by the menu\n"
              "DefaultMapType=1\n"
              "DefaultTemperatureUnit=1\n"
              "DefaultPressureUnit=0\n"
              "\n"
              "[LogFileSetting]\n"
              "DefaultDir=/data/log\n"
              "[JpegCaptureSetting]\n"
              "DefaultDir=/data/pic\n"
              "[ScreenCaptureSetting]\n"
              "DefaultDir=/data/avi\n"
              "DefaultMAXTimeSpan=abc\n");

    const AppConfig config = velmora::load_app_config(path);
    EXPECT_TRUE(config.miles_per_hour());
    EXPECT_TRUE(config.fahrenheit());
    EXPECT_FALSE(config.kilopascal());
    EXPECT_TRUE(config.yandex_maps());
    EXPECT_EQ(config.run_mode, 1);
    EXPECT_EQ(config.lang_file, "Deutsch.lang");
    EXPECT_EQ(config.max_time_span_minutes, 0);

    ASSERT_TRUE(velmora::write_unit_setting(path, velmora::UnitKind::Speed, 0));
    EXPECT_FALSE(velmora::load_app_config(path).miles_per_hour());
}

TEST(AppConfig, WritersCreateTheFileButNotItsFolder) {
    fleet::test::TempDir home;
    HomeOverride override_home(home.path());
    EXPECT_FALSE(velmora::write_map_type(home.file("config/AppConfig.ini"), 1));
    ASSERT_TRUE(velmora::write_map_type(home.file("AppConfig.ini"), 1));
    EXPECT_EQ(fleet::test::read_file(home.file("AppConfig.ini")),
              "[UnitSetting]\nDefaultMapType=1\n");
}

TEST(AppConfig, ApplyingOtherSettingsTakesTheLeadingNumber) {
    const struct {
        const char* typed;
        int minutes;
    } cases[] = {{"45", 45}, {"15min", 15}, {"abc", 0}, {"", 0}};
    for (const auto& c : cases) {
        AppConfig config;
        velmora::apply_other_settings(config, {"x.lang", "/l", "/j", "/s", c.typed});
        EXPECT_EQ(config.max_time_span_minutes, c.minutes) << c.typed;
        EXPECT_EQ(config.lang_file, "x.lang");
        EXPECT_EQ(config.log_dir + config.jpeg_dir + config.screen_capture_dir, "/l/j/s");
    }
}

}  // namespace
