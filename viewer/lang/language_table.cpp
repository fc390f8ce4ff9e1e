#include "lang/language_table.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace velmora {
namespace {

// The texts are the system's own wording, misspellings included: translators key their files
// on these keys and operators know these texts, so they are not corrected here.
constexpr LanguageEntry kEntries[] = {
    // Dialog control texts.
    {"IDC_STATIC_TIME", "Time Index"},
    {"IDC_STATIC_EVENT", "Event Index"},
    {"IDC_STATIC_QUICK", "Quick Index"},
    {"IDC_STATIC_S", "speed"},
    {"IDC_BTN_SPEED_FIND", "Search"},
    {"IDC_STATIC_G3", "temperature"},
    {"IDC_STATIC_T", "tire temperature"},
    {"IDC_STATIC_P", "tire pressure"},
    {"IDC_STATIC_LO", "longitude"},
    {"IDC_STATIC_LA", "latitude"},
    {"IDC_STATIC_ID", "User Name"},
    {"IDC_STATIC_PW", "Password"},
    {"IDOK", "Login"},
    {"IDCANCEL", "Cancel"},
    {"IDC_BUTTON_ADDUSER", "Add User"},
    {"IDC_BUTTON_DelUser", "Del User"},
    {"IDC_BUTTON_EDIT", "Modify Admin"},
    {"IDC_BTN_CLOSE", "Close"},
    {"IDC_STATIC_LANGUAGE", "Language"},
    {"IDC_STATIC_LOG", "LOG File Directory"},
    {"IDC_STATIC_JT", "JEPG File Directory"},
    {"IDC_STATIC_AVI", "Screen Avi Directory"},
    {"IDC_STATIC_TIMESPAN", "TimeSpan(Minutes)"},
    {"IDC_STATIC_DOWNLOAD", "Download Directory"},
    {"IDC_STATIC_EVENT_DIR", "Event Directory"},
    {"IDC_BTN_OK", "Ok"},
    {"IDC_BTN_APPLY", "Apply"},
    {"IDC_BTN_EXIT", "Exit"},
    {"IDC_STATIC_SVRMODE", "Server mode"},
    {"IDC_STATIC_CLTMODE", "Client mode"},
    {"IDC_STATIC_IP", "Server IP"},
    {"IDC_TEXT_STIME", "start time"},
    {"IDC_TEXT_ETIME", "end time"},
    {"IDC_TARGET_DIR", "target directory"},
    {"IDC_TEXT_GOP", "gop file(fast)"},
    {"IDC_CHECK_ALLCH", "all ch avi file"},
    {"IDC_CHECK_CH1", "ch1 avi file"},
    {"IDC_CHECK_CH2", "ch2 avi file"},
    {"IDC_CHECK_CH3", "ch3 avi file"},
    {"IDC_CHECK_CH4", "ch4 avi file"},
    {"IDC_CHECK_CH5", "ch5 avi file"},
    {"IDC_CHECK_CH6", "ch6 avi file"},
    {"IDC_CHECK_CH7", "ch7 avi file"},
    {"IDC_CHECK_CH8", "ch8 avi file"},
    {"IDC_BTN_START", "Start"},
    {"IDC_BUTTON_CLEAR", "Reset"},
    {"IDC_BTN_DOWNLOAD", "Download"},
    {"IDC_BTN_LINK", "Link Again"},
    {"IDC_NETPLAY_TITLE", "Network data parameters"},
    {"IDC_NETPLAY_DVR", "Dvr ip:%s, channel num:%d"},
    {"IDC_NETPLAY_CHANNEL", "ch%d:"},
    {"IDC_NETPLAY_BUFFERING", "buffering on:"},
    {"IDC_NETPLAY_LOG", "log:"},
    {"IDC_NETPLAY_FLOWCTRL", "flowctrl on:"},
    {"IDC_NETPLAY_NO_AUDIO", "no audio:"},
    {"IDC_NETPLAY_AUDIO_DIV1", "audio div1:"},
    {"IDC_NETPLAY_AUDIO_DIV2", "audio div2:"},
    {"IDC_NETPLAY_AUDIO_DIV4", "audio div4:"},
    {"IDC_NETPLAY_RESOLUTION", "Resolution:"},
    {"IDC_NETPLAY_FRAMERATE", "Frame rate:"},
    {"IDC_NETPLAY_NO_VIDEO", "No video"},
    {"IDC_NETHIS_TITLE", "Recorded data"},
    {"IDC_ADDREC_TITLE", "Add recorder"},
    {"IDC_ADDREC_ADDRESS", "IP address"},
    {"IDC_ADDREC_PORT", "Port"},
    {"IDC_ADDREC_NAME", "Name"},
    {"IDC_ADDREC_CHANNELS", "Channels"},
    {"IDC_BTN_UPLOAD", "Upload"},
    {"IDC_BTN_REFRESH", "Refresh"},
    {"IDC_STATIC_BINFILE", "Uploaded File"},
    {"IDC_PW_CONFIRM", "Password Confirm"},
    {"IDC_STATIC_OLD_PW", "Old Password"},
    {"IDC_STATIC_NEW_PW", "New Password"},
    {"IDC_NEW_PW_CONFIRM", "New Password Confirm"},
    // Menu texts.
    {"ID_MENU_FILE", "File"},
    {"ID_MENU_OPENFILE", "Open File"},
    {"ID_MENU_SEARCH_HDD", "Search HDD"},
    {"ID_MENU_SEARCH_SD", "Search SD"},
    {"ID_MENU_OPEN_HDD_IMAGE", "Open disk image..."},
    {"ID_MENU_OPEN_SD_IMAGE", "Open card image..."},
    {"ID_MENU_CLOSE", "Close/Stop Search"},
    {"ID_MENU_WINDOW", "Windows"},
    {"ID_MENU_WINDOW_TYPE", "Layout"},
    {"ID_MENU_SIGDISP", "Single Screen"},
    {"ID_MENU_DBLDISP", "Double Screen"},
    {"ID_MENU_WAVE", "Wave Chart Setting"},
    {"ID_MENU_GSENSOR", "G-Sensor"},
    {"ID_MENU_CONTROL", "Control"},
    {"ID_MENU_FINDLOCATE", "Find and Play"},
    {"ID_MENU_SCREEN_RECORD", "Screen Record"},
    {"ID_MENU_LOG_MGR", "Operation Log"},
    {"ID_MENU_SETTING", "Settings"},
    {"ID_MENU_NETCONFIG", "Server/Client"},
    {"ID_MENU_USER_ACCOUNT", "User Account"},
    {"ID_MENU_OTHER", "Other"},
    {"ID_MENU_HELP", "Help"},
    {"ID_MENU_ABOUT", "About"},
    {"ID_MENU_EVENTCONFIG", "Video-upload config"},
    {"ID_MENU_EVENT_MGR", "Event Log"},
    {"ID_MENU_UNIT_SETTING", "Unit Setting"},
    {"ID_MENU_SPEED_PER_HOUR_UNIT", "Speed per Hour Unit"},
    {"ID_MENU_TEMPERATRUE_UNIT", "Temperature Unit"},
    {"ID_MENU_PRESSURE_UNIT", "Pressure Unit"},
    {"ID_MENU_MAP_TYPE", "Map Type"},
    {"ID_CARMENU_PLAY_RT", "Net Realtime Play"},
    {"ID_CARMENU_PLAY_HIS", "Net Recorded Play"},
    {"ID_CARMENU_DEL_CAR", "Delete from List"},
    {"ID_CARMENU_ADD_RECORDER", "Add recorder..."},
    {"ID_PIC_SAVECURRENT", "Save Current Channel Picture"},
    {"ID_PIC_SAVEALL", "Save All Channel Picture"},
    {"ID_PIC_SAVESCREEN", "Save Full Screen Picture"},
    // Message, status and log texts.
    {"IDS_STRING216", "stop screen record"},
    {"IDS_STRING217", "open talkback"},
    {"IDS_STRING218", "close talkback"},
    {"IDS_STRING219", "play"},
    {"IDS_STRING220", "pause"},
    {"IDS_STRING221", "step backward"},
    {"IDS_STRING222", "step forward"},
    {"IDS_STRING223", "fast backward"},
    {"IDS_STRING224", "fast forard"},
    {"IDS_STRING225", "stop"},
    {"IDS_STRING226", "extract"},
    {"IDS_STRING227", "capture picture"},
    {"IDS_STRING228", "close audio"},
    {"IDS_STRING229", "open audio"},
    {"IDS_STRING230", "audio volume"},
    {"IDS_STRING273", "9/4"},
    {"IDS_STRING239", "Network initializing..."},
    {"IDS_STRING240", "Online"},
    {"IDS_STRING241", "Login complete..."},
    {"IDS_STRING242", "Login fail, wait"},
    {"IDS_STRING243", "Link break..."},
    {"IDS_STRING244", "Start login..."},
    {"IDS_STRING307", "loading data,please wait..."},
    {"IDS_STRING321", "Downloading data,please wait..."},
    {"IDS_STRING451", "NO EVENT"},
    {"IDS_STRING452", "POWER ON"},
    {"IDS_STRING453", "POWER OFF"},
    {"IDS_STRING454", "ALARM IN"},
    {"IDS_STRING456", "VLOSS"},
    {"IDS_STRING457", "REC_STOP"},
    {"IDS_STRING458", "TIME_ADJUST_BACK"},
    {"IDS_STRING459", "TIME_ADJUST_JUMP"},
    {"IDS_STRING460", "RELAY OUT"},
    {"IDS_STRING461", "FORMAT"},
    {"IDS_STRING462", "CAR SPEED"},
    {"IDS_STRING463", "TPMS"},
    {"IDS_STRING464", "G-SENSOR"},
    {"IDS_STRING465", "OVER HEAT"},
    {"IDS_STRING298", "Time"},
    {"IDS_STRING299", "Position"},
    {"IDS_STRING300", "Status"},
    {"IDS_STRING305", "wheel number"},
    {"IDS_STRING309", "Stop Download"},
    {"IDS_STRING347", "LOCAL GROUP"},
    {"IDS_STRING348", "CLIENT GROUP"},
    {"IDS_STRING349", "DVR GROUP"},
    {"IDS_STRING350", "Pelisto GROUP"},
    {"IDS_STRING231", "open hdd fail!"},
    {"IDS_STRING232", "hdd is removed!"},
    {"IDS_STRING233", "open sd fail!"},
    {"IDS_STRING234", "sd is removed!"},
    {"IDS_STRING235", "link fail!"},
    {"IDS_STRING236", "data request fail, play later!"},
    {"IDS_STRING237", "data request is refused, play later!"},
    {"IDS_STRING252", "zInit fail, please check and try again!"},
    {"IDS_STRING253", "Player releasing fail!"},
    {"IDS_STRING254", "Open file fail, illegal file name!"},
    {"IDS_STRING255", "Open file fail, the suffix of the file name must be .dvr or .DVR!"},
    {"IDS_STRING256",
     "Open file fail, there must be a .inx file with same name in the same directory!"},
    {"IDS_STRING257", "Open file fail,an unkown error occurred!"},
    {"IDS_STRING258", "realtime net data open fail!"},
    {"IDS_STRING259", "record net data open fail!"},
    {"IDS_STRING260", "The Net Config file has been modified, must restart, are you sure to exit?"},
    {"IDS_STRING261", "Not permitted!"},
    {"IDS_STRING262", "Capture picture fail!"},
    {"IDS_STRING263", "Picture saved to"},
    {"IDS_STRING264", "Talkback link faile!"},
    {"IDS_STRING265", "Talkback link breakup!"},
    {"IDS_STRING266", "This operation will close the application, are you sure to continue?"},
    {"IDS_STRING281", "Extracting open fail!"},
    {"IDS_STRING282", "Extracting completed!"},
    {"IDS_STRING283", "Extracting error!"},
    {"IDS_STRING284", "Illegal time selected!"},
    {"IDS_STRING285", "No target file is selected!"},
    {"IDS_STRING287", "The target directory is not existed, try to create fail!"},
    {"IDS_STRING288", "Can not get channel number, extract fail!"},
    {"IDS_STRING289", "Start extract fail, please check the index data source!"},
    {"IDS_STRING290", "Start extract fail, please check the gop data source!"},
    {"IDS_STRING291", "Stop extracting by user!"},
    {"IDS_STRING292", "Nothing is opened!"},
    {"IDS_STRING293", "The source data type is not supported!"},
    {"IDS_STRING294", "Can't get time index date!"},
    {"IDS_STRING296", "Please make sure speaker or headphone plugged!"},
    {"IDS_STRING301", "Find nothing!"},
    {"IDS_STRING310", "Recorded data link fail!"},
    {"IDS_STRING311", "Dowload time index data fail!"},
    {"IDS_STRING312", "Dowload time index data completed."},
    {"IDS_STRING313", "Dowload recorded data fail!"},
    {"IDS_STRING314", "Recorded data link is break up!"},
    {"IDS_STRING315", "Illegal Start time or End time!"},
    {"IDS_STRING316", "Dowload default dir is not set correctly!"},
    {"IDS_STRING317", "Download recorded data fail, unkown error!"},
    {"IDS_STRING318", "Not allowed!"},
    {"IDS_STRING320", "Save downloaded files?"},
    {"IDS_STRING327", "Upload dvr ini file fail!"},
    {"IDS_STRING328", "Upload dvr ini file completed!"},
    {"IDS_STRING329", "Dvr ini file is not exist!"},
    {"IDS_STRING331", "Find SN of a dvr used!"},
    {"IDS_STRING333", "Upload dvr bin file fail!"},
    {"IDS_STRING334", "Upload dvr bin file completed!"},
    {"IDS_STRING335", "Dvr bin file is not exist!"},
    {"IDS_STRING339", "Please input ip!"},
    {"IDS_STRING342", "Please input user name!"},
    {"IDS_STRING343", "Please input password!"},
    {"IDS_STRING352", "Can't Delete Administrator User!"},
    {"IDS_STRING353", "Delete User fail!"},
    {"IDS_STRING355", "Please select one user account first!"},
    {"IDS_STRING356", "User name is empty!"},
    {"IDS_STRING357", "Confirm password is not right!"},
    {"IDS_STRING358", "Add User fail, already existed!"},
    {"IDS_STRING359", "Fail, unkown error!"},
    {"IDS_STRING360", "Modify User fail, password is not right!"},
    {"IDS_STRING362", "DVR offline"},
    {"IDS_STRING363", "Creating recording file failed!"},
    {"IDS_STRING364", "Can't create the jepg file default directory!"},
    {"IDS_STRING365", "Can't create the screen avi file default directory!"},
    {"IDS_STRING366", "Can't create the download file default directory!"},
    {"IDS_STRING367", "Can't create the log file default directory!"},
    {"IDS_STRING368", "Can't create the event file default directory!"},
    {"IDS_STRING415", "Reach the maximum of connection!"},
    {"IDS_STRING417", "Please run as administrator!"},
    {"IDS_STRING418", "No permission to read these disks:"},
    {"IDS_STRING419",
     "To read them, join the disk group (sudo usermod -aG disk $USER, then log in again) or add "
     "a udev rule that gives your user read access to them."},
    {"IDS_STRING448",
     "This desktop lets no program capture the whole screen (Wayland, or no display): save the "
     "channel pictures instead."},
    {"IDS_STRING297", "Dvr ini file is not exist!"},
    {"IDS_STRING336", "Can't connect to server. WSockError:"},
    {"IDS_STRING337", "Send username & password fail. WSockError:"},
    {"IDS_STRING338", "Wrong username/password."},
    {"IDS_STRING369", "application opened, user:"},
    {"IDS_STRING370", "application closed."},
    {"IDS_STRING371", "open local file."},
    {"IDS_STRING372", "searching local hdd."},
    {"IDS_STRING373", "searching local sd."},
    {"IDS_STRING374", "open completed."},
    {"IDS_STRING375", "open fail."},
    {"IDS_STRING376", "open hdd completed."},
    {"IDS_STRING377", "open sd completed."},
    {"IDS_STRING378", "open hdd image."},
    {"IDS_STRING379", "open sd image."},
    {"IDS_STRING380", "close ok."},
    {"IDS_STRING381", "close fail."},
    {"IDS_STRING382", "play ok."},
    {"IDS_STRING383", "play fail."},
    {"IDS_STRING384", "pause ok."},
    {"IDS_STRING385", "pause fail."},
    {"IDS_STRING386", "step forward ok."},
    {"IDS_STRING387", "step forward fail."},
    {"IDS_STRING388", "step backward ok."},
    {"IDS_STRING389", "step backward fail."},
    {"IDS_STRING390", "fast forward ok."},
    {"IDS_STRING391", "fast forward fail."},
    {"IDS_STRING392", "pic capture ok."},
    {"IDS_STRING393", "pic capture fail."},
    {"IDS_STRING394", "stop ok."},
    {"IDS_STRING395", "stop fail."},
    {"IDS_STRING398", "start extract ok."},
    {"IDS_STRING399", "start extract fail."},
    {"IDS_STRING400", "extract data completed."},
    {"IDS_STRING401", "extract data fail."},
    {"IDS_STRING402", "open screen capture."},
    {"IDS_STRING403", "close screen capture."},
    {"IDS_STRING404", "start screen capture fail."},
    {"IDS_STRING406", "start talkback fail."},
    {"IDS_STRING407", "start talkback ok."},
    {"IDS_STRING408", "talkback link breakup."},
    {"IDS_STRING411", "initialization of opening realtime net data fail."},
    {"IDS_STRING412", "initialization of opening realtime net data ok."},
    {"IDS_STRING413", "realtime net data link fail."},
    {"IDS_STRING414", "realtime net data link ok."},
    {"IDS_STRING420", "realtime net data play link is breakup."},
    {"IDS_STRING421", "recorded net data play link is breakup."},
    {"IDS_STRING422", "recorded net data link ok."},
    {"IDS_STRING423", "recorded net data link fail."},
    {"IDS_STRING424", "get recorded net data index fail."},
    {"IDS_STRING425", "start recorded net data download fail."},
    {"IDS_STRING426", "recorded net data download completed."},
    {"IDS_STRING427", "start upload dvr bin file."},
    {"IDS_STRING428", "start upload dvr bin file fail."},
    {"IDS_STRING429", "pload dvr bin file completed."},
    {"IDS_STRING430", "start upload dvr ini file."},
    {"IDS_STRING433", "client login, refused, illegal user:"},
    {"IDS_STRING434", "client login, accepted, user:"},
    {"IDS_STRING435", "dvr login, refused, illegal carid:"},
    {"IDS_STRING436", "dvr login, accepted, carid:"},
    {"IDS_STRING437", "client logout, user:"},
    {"IDS_STRING438", "dvr logout, carid:"},
    {"IDS_STRING439", "client link breakup, user:"},
    {"IDS_STRING440", "dvr link breakup,carid:"},
    {"IDS_STRING441", "local hdd is removed."},
    {"IDS_STRING442", "local sd is removed."},
    {"IDS_STRING443", "fast backward ok."},
    {"IDS_STRING444", "fast backward fail."},
    {"IDS_STRING445", "Pelisto login, refused, illegal user:"},
    {"IDS_STRING446", "Pelisto login, accepted, user:"},
    {"IDS_STRING447", "Pelisto logout, user:"},
    {"IDS_STRING_EXTRACT_DIR_LONG", "The target directory is too long!"},
    {"IDS_STRING_EXTRACT_RUNNING", "An extraction is running!"},
    {"IDS_STRING_RECORDER_BAD_ADDRESS", "Please input the recorder's IPv4 address!"},
    {"IDS_STRING_RECORDER_BAD_PORT", "The port must be a number from 1 to 65535!"},
    {"IDS_STRING_RECORDER_NO_NAME", "Please input the recorder's name!"},
    {"IDS_STRING_RECORDER_LONG_NAME", "The recorder's name is too long!"},
    {"IDS_STRING_RECORDER_EXISTS", "This recorder is already in the list!"},
    {"IDS_STRING666", "Copyright (C) the VelmoraPlayer developers. All rights reserved."},
    // The one text no language file replaces, hence no key.
    {"", "Illegal user!"},
};

constexpr size_t kKeyedCount = std::size(kEntries) - 1;
static_assert(std::size(kEntries) == 315);
static_assert(kEntries[kKeyedCount].key.empty());

constexpr std::string_view kLangDir = "config/lang/";
// The viewer has always addressed language files through a 60-character path (59 plus the
// terminator), and configurations written for it stay within that. A longer name is refused
// rather than cut short, since a shortened name could select another file.
constexpr size_t kMaxRelativePathChars = 59;
// Language files have always been written for a 511-character line; a longer line is skipped
// whole rather than split, so no half of it can pass for a key line.
constexpr size_t kMaxLineChars = 511;
// Byte budget while collecting a line: past it, the line cannot be within kMaxLineChars even
// with a BOM and a CR stripped, so the rest of it is skipped without being stored.
constexpr size_t kMaxLineBytes = kMaxLineChars * 4 + 4;

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kDisplayNameTag = "Language=";

// Index just past the character that starts at i. Malformed UTF-8 advances by one byte, so
// every byte belongs to exactly one counted character and the count stays bounded.
size_t next_char(std::string_view s, size_t i) {
    const auto lead = static_cast<unsigned char>(s[i]);
    const size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 1;
    size_t j = i + 1;
    while (j < s.size() && j < i + length && (static_cast<unsigned char>(s[j]) & 0xC0) == 0x80) {
        ++j;
    }
    return j;
}

size_t char_count(std::string_view s) {
    size_t count = 0;
    for (size_t i = 0; i < s.size(); i = next_char(s, i)) {
        ++count;
    }
    return count;
}

std::string_view drop_chars(std::string_view s, size_t n) {
    size_t i = 0;
    for (; n > 0 && i < s.size(); --n) {
        i = next_char(s, i);
    }
    return s.substr(i);
}

// Calls on_line(line) for every line within the length bound until it returns false. Memory
// stays bounded whatever the file holds, and an over-long line never stops the reading.
template <class OnLine>
void for_each_line(std::istream& in, OnLine&& on_line) {
    std::string line;
    bool overlong = false;
    bool first = true;
    // True to go on reading.
    auto finish = [&]() {
        std::string_view view = line;
        if (first && view.starts_with(kBom)) {
            view.remove_prefix(kBom.size());
        }
        first = false;
        // Files written on Windows end their lines with CR LF; a final line may lack the LF.
        if (view.ends_with('\r')) {
            view.remove_suffix(1);
        }
        const bool go_on = overlong || char_count(view) > kMaxLineChars || on_line(view);
        line.clear();
        overlong = false;
        return go_on;
    };

    std::array<char, 4096> buffer;
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<size_t>(in.gcount());
        for (size_t i = 0; i < got; ++i) {
            const char c = buffer[i];
            if (c == '\n') {
                if (!finish()) {
                    return;
                }
            } else if (!overlong) {
                line.push_back(c);
                if (line.size() > kMaxLineBytes) {
                    overlong = true;
                    line.clear();
                }
            }
        }
    }
    if (!line.empty() || overlong) {
        finish();
    }
}

bool open_file(const std::filesystem::path& path, std::ifstream& in) {
    std::error_code ec;
    // Opening a directory succeeds on some platforms; it is not a file that can be read.
    if (std::filesystem::is_directory(path, ec)) {
        return false;
    }
    in.open(path, std::ios::binary);
    return in.is_open();
}

// A name selects a file inside config/lang and nothing else.
bool name_allowed(std::string_view name) {
    if (name.empty() ||
        name.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos ||
        name.find("..") != std::string_view::npos) {
        return false;
    }
    return char_count(kLangDir) + char_count(name) <= kMaxRelativePathChars;
}

const std::unordered_map<std::string_view, size_t>& key_index() {
    static const auto index = [] {
        std::unordered_map<std::string_view, size_t> map;
        for (size_t i = 0; i < kKeyedCount; ++i) {
            map.emplace(kEntries[i].key, i);
        }
        return map;
    }();
    return index;
}

std::vector<std::string> english_texts() {
    std::vector<std::string> texts;
    texts.reserve(kKeyedCount);
    for (size_t i = 0; i < kKeyedCount; ++i) {
        texts.emplace_back(kEntries[i].english);
    }
    return texts;
}

}  // namespace

std::span<const LanguageEntry> language_entries() {
    return kEntries;
}

LanguageTable::LanguageTable(std::string base_dir)
    : base_dir_(std::move(base_dir)),
      illegal_user_(kEntries[kKeyedCount].english),
      texts_(english_texts()) {}

bool LanguageTable::load(const std::string& file_name) {
    // Built aside and swapped in whole, so a reader never sees half of one language and half of
    // another.
    std::vector<std::string> texts = english_texts();
    bool opened = false;
    if (name_allowed(file_name)) {
        std::ifstream in;
        opened = open_file(std::filesystem::path(base_dir_) / kLangDir / file_name, in);
        if (opened) {
            const auto& index = key_index();
            for_each_line(in, [&](std::string_view line) {
                const size_t eq = line.find('=');
                if (eq != std::string_view::npos) {
                    if (const auto it = index.find(line.substr(0, eq)); it != index.end()) {
                        texts[it->second].assign(line.substr(eq + 1));
                    }
                }
                return true;
            });
        }
    }
    {
        std::unique_lock lock(mutex_);
        texts_.swap(texts);
    }
    // The previous texts are released here, outside the lock.
    return opened;
}

std::string LanguageTable::text(std::string_view key) const {
    const auto& index = key_index();
    const auto it = index.find(key);
    if (it == index.end()) {
        return {};
    }
    std::shared_lock lock(mutex_);
    return texts_[it->second];
}

std::string LanguageTable::display_name(const std::string& path) {
    std::ifstream in;
    if (!open_file(path, in)) {
        return {};
    }
    std::string name;
    for_each_line(in, [&](std::string_view line) {
        if (line.find(kDisplayNameTag) == std::string_view::npos) {
            return true;
        }
        // The rule is "the line without its first nine characters"; for the usual line that
        // starts with the tag, that is the name after it.
        name.assign(drop_chars(line, kDisplayNameTag.size()));
        return false;
    });
    return name;
}

size_t LanguageTable::size() const {
    return std::size(kEntries);
}

std::vector<std::string_view> LanguageTable::keys() const {
    std::vector<std::string_view> keys;
    keys.reserve(kKeyedCount);
    for (size_t i = 0; i < kKeyedCount; ++i) {
        keys.push_back(kEntries[i].key);
    }
    return keys;
}

}  // namespace velmora
