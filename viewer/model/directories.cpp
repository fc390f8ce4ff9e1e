#include "model/directories.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace velmora {
namespace {

namespace fs = std::filesystem;

bool is_separator(char c) {
    return c == '/' || c == static_cast<char>(fs::path::preferred_separator);
}

std::string without_trailing_separator(std::string path) {
    if (path.size() > 1 && is_separator(path.back())) path.pop_back();
    return path;
}

}  // namespace

bool directory_exists(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    return fs::is_directory(without_trailing_separator(path), ec);
}

bool ensure_directory(const std::string& path) {
    if (directory_exists(path)) return true;
    if (path.empty()) return false;
    std::error_code ec;
    // A parent that appeared meanwhile, or a level that cannot be made, shows in the final check.
    fs::create_directories(without_trailing_separator(path), ec);
    return directory_exists(path);
}

std::string home_path() {
    for (const char* name : {"HOME", "USERPROFILE"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return without_trailing_separator(value);
    }
    return ".";
}

std::string home_dvr_path(const std::string& leaf) {
    std::string path = home_path();
    if (!is_separator(path.back())) path += '/';
    path += "DVR";
    if (!leaf.empty()) path += "/" + leaf;
    return path;
}

std::string expand_home(const std::string& path) {
    if (path == "~") return home_path();
    if (path.size() >= 2 && path[0] == '~' && is_separator(path[1])) {
        const std::string home = home_path();
        return (is_separator(home.back()) ? home.substr(0, home.size() - 1) : home) +
               path.substr(1);
    }
    return path;
}

}  // namespace velmora
