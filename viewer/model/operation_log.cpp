#include "model/operation_log.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

namespace velmora {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kLogSuffix = ".log";
constexpr std::size_t kDayFileNameLength = 14;  // "YYYY-MM-DD.log"

fs::path utf8_path(std::string_view text) {
    std::u8string u8;
    u8.reserve(text.size());
    for (const char c : text) u8.push_back(static_cast<char8_t>(c));
    return fs::path(u8);
}

std::string utf8_name(const fs::path& path) {
    const std::u8string u8 = path.filename().u8string();
    std::string text;
    text.reserve(u8.size());
    for (const char8_t c : u8) text.push_back(static_cast<char>(c));
    return text;
}

bool is_continuation_byte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0u) == 0x80u;
}

// The longest prefix of text within max_bytes that does not split a UTF-8 character.
std::string_view utf8_prefix(std::string_view text, std::size_t max_bytes) {
    if (text.size() <= max_bytes) return text;
    std::size_t cut = max_bytes;
    while (cut > 0 && is_continuation_byte(text[cut])) --cut;
    return text.substr(0, cut);
}

bool ends_with_log_suffix(std::string_view name) {
    if (name.size() < kLogSuffix.size()) return false;
    const std::string_view tail = name.substr(name.size() - kLogSuffix.size());
    return std::equal(tail.begin(), tail.end(), kLogSuffix.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

bool is_day_file_name(std::string_view name) {
    return name.size() == kDayFileNameLength && name[4] == '-' && name[7] == '-' &&
           ends_with_log_suffix(name);
}

struct LogFiles {
    std::vector<std::string> days;    // day-named, sorted
    std::vector<std::string> others;  // any other ".log", sorted
};

LogFiles scan_log_files(const fs::path& dir) {
    LogFiles files;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) return files;
    for (const fs::directory_entry& entry : it) {
        std::error_code type_ec;
        if (entry.is_directory(type_ec)) continue;
        std::string name = utf8_name(entry.path());
        if (!ends_with_log_suffix(name)) continue;
        (is_day_file_name(name) ? files.days : files.others).push_back(std::move(name));
    }
    std::sort(files.days.begin(), files.days.end());
    std::sort(files.others.begin(), files.others.end());
    return files;
}

// The day's file as listed: "<day>.log", or the same name with its suffix in another case.
fs::path day_file_path(const fs::path& folder, const std::string& day) {
    const std::string wanted = day + std::string(kLogSuffix);
    fs::path exact = folder / utf8_path(wanted);
    std::error_code ec;
    if (fs::exists(exact, ec)) return exact;
    const LogFiles files = scan_log_files(folder);
    for (const auto* list : {&files.days, &files.others}) {
        for (const std::string& name : *list) {
            if (name.size() == wanted.size() && name.compare(0, day.size(), day) == 0) {
                return folder / utf8_path(name);
            }
        }
    }
    return exact;
}

std::string without_suffix(const std::string& name) {
    return name.substr(0, name.size() - kLogSuffix.size());
}

}  // namespace

std::string log_file_name(const std::tm& local) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d.log", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday);
    return buffer;
}

std::string format_log_line(const std::tm& local, std::string_view message) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d [Viewer]: ", local.tm_hour, local.tm_min,
                  local.tm_sec);
    std::string body = stamp;
    body.append(message);
    std::string line(utf8_prefix(body, kMaxLogLineBytes - 1));
    line.push_back('\n');
    return line;
}

std::tm local_time_now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local;
}

OperationLog& OperationLog::instance() {
    static OperationLog log;
    return log;
}

void OperationLog::set_directory(std::string utf8_dir) {
    std::lock_guard lock(mutex_);
    directory_ = std::move(utf8_dir);
}

void OperationLog::set_fallback_directory(std::string utf8_dir) {
    std::lock_guard lock(mutex_);
    fallback_directory_ = std::move(utf8_dir);
}

std::string OperationLog::directory() const {
    std::lock_guard lock(mutex_);
    if (!directory_.empty()) return directory_;
    if (!fallback_directory_.empty()) return fallback_directory_;
    return ".";
}

bool OperationLog::write(std::string_view message) {
    return write_at(message, local_time_now());
}

bool OperationLog::write_at(std::string_view message, const std::tm& local) {
    const std::string line = format_log_line(local, message);
    const fs::path file = utf8_path(directory()) / log_file_name(local);
    // Held across open, write and close: two threads appending to the same file through separate
    // streams could otherwise interleave parts of their lines.
    std::lock_guard lock(mutex_);
    std::ofstream out(file, std::ios::binary | std::ios::app);
    if (!out) return false;
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    out.close();
    return !out.fail();
}

std::vector<std::string> prune_and_list_log_days(const std::string& dir, std::size_t keep) {
    const fs::path folder = utf8_path(dir);
    LogFiles files = scan_log_files(folder);
    const std::size_t excess = files.days.size() > keep ? files.days.size() - keep : 0;
    std::vector<std::string> listed;
    listed.reserve(files.days.size() - excess + files.others.size());
    for (std::size_t i = 0; i < files.days.size(); ++i) {
        if (i < excess) {
            std::error_code ec;
            fs::remove(folder / utf8_path(files.days[i]), ec);
        } else {
            listed.push_back(without_suffix(files.days[i]));
        }
    }
    for (const std::string& other : files.others) listed.push_back(without_suffix(other));
    return listed;
}

bool is_log_day_name(std::string_view listed_name) {
    return listed_name.size() == kDayFileNameLength - kLogSuffix.size() && listed_name[4] == '-' &&
           listed_name[7] == '-';
}

std::vector<std::string> read_log_lines(const std::string& dir, const std::string& day) {
    std::vector<std::string> lines;
    if (day.empty() || day.find_first_of("/\\") != std::string::npos) return lines;
    std::ifstream in(day_file_path(utf8_path(dir), day), std::ios::binary);
    if (!in) return lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace velmora
