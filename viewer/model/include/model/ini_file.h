// Profile (INI) files read and written with the semantics of the Windows profile API, which the
// viewer's configuration files were made for: sections and keys match without regard to ASCII
// case, the first of duplicate sections or keys wins, values come back as written (trimmed), and
// a missing file or key reads as the caller's default. Text is UTF-8.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

inline constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();

// Files beyond this are not configuration; reads see only this much and writes refuse them.
inline constexpr std::size_t kMaxProfileFileBytes = 8u << 20;

// The value of section/key in profile text, trimmed and with one pair of matching surrounding
// quotes removed; nullopt when the section or key is absent.
std::optional<std::string> find_profile_value(std::string_view text, std::string_view section,
                                              std::string_view key);

// The text with section/key set to value (nullopt removes the key). Every other line, its bytes
// and its line ending stay as they were; an existing section or key keeps its spelling.
// nullopt when the request cannot be written as one line (empty or multi-line names, '=' in the
// key, ']' in the section, line breaks in the value).
std::optional<std::string> apply_profile_write(std::string_view text, std::string_view section,
                                               std::string_view key,
                                               std::optional<std::string_view> value);

// Optional sign and leading decimal digits, as the profile API and _wtoi read numbers: "12abc"
// is 12, "-3" is -3. Saturates at the int range; fallback when there is no digit.
int leading_int(std::string_view text, int fallback);

// At most max_units UTF-16 code units of text, cut on a character boundary: the profile API
// fills fixed wide-character buffers, and callers that mirror those buffers keep their limits.
std::string truncate_utf16_units(std::string_view text, std::size_t max_units);

class IniFile {
  public:
    explicit IniFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // Every call reads the file afresh, so writes by other parts of the program show at once.
    std::string get_string(std::string_view section, std::string_view key,
                           std::string_view default_value, std::size_t max_units = kNoLimit) const;
    int get_int(std::string_view section, std::string_view key, int default_value) const;

    // Creates the file, section or key as needed (not the folder); replaces the file atomically.
    bool write_string(std::string_view section, std::string_view key,
                      std::optional<std::string_view> value);

  private:
    std::string path_;
};

}  // namespace velmora
