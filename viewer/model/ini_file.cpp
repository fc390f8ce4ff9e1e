#include "model/ini_file.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <vector>

namespace velmora {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSpaces = " \t\v\f";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(kSpaces);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kSpaces);
    return text.substr(first, last - first + 1);
}

char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

// One physical line: [begin, content_end) is its text, [content_end, end) its line break.
// A lone CR ends a line too, as it does for the profile API.
struct Line {
    std::size_t begin;
    std::size_t content_end;
    std::size_t end;
};

std::vector<Line> split_lines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        const auto brk = text.find_first_of("\r\n", begin);
        if (brk == std::string_view::npos) {
            lines.push_back({begin, text.size(), text.size()});
            break;
        }
        const std::size_t end =
            (text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n') ? brk + 2
                                                                                  : brk + 1;
        lines.push_back({begin, brk, end});
        begin = end;
    }
    return lines;
}

enum class LineKind { Other, Section, Entry };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;   // section name or key, trimmed; a view into the line
    std::string_view value;  // entries only, trimmed
};

ParsedLine parse_line(std::string_view content) {
    const std::string_view body = trim(content);
    if (body.empty() || body.front() == ';') return {};
    if (body.front() == '[') {
        const auto close = body.find(']');
        if (close == std::string_view::npos) return {};
        return {LineKind::Section, trim(body.substr(1, close - 1)), {}};
    }
    const auto eq = body.find('=');
    if (eq == std::string_view::npos) return {};
    const std::string_view key = trim(body.substr(0, eq));
    if (key.empty()) return {};
    return {LineKind::Entry, key, trim(body.substr(eq + 1))};
}

std::string_view line_content(std::string_view text, const Line& line, bool first) {
    std::string_view content = text.substr(line.begin, line.content_end - line.begin);
    if (first && content.substr(0, kUtf8Bom.size()) == kUtf8Bom)
        content.remove_prefix(kUtf8Bom.size());
    return content;
}

std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == '"' || value.front() == '\'')) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

bool has_line_break(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// nullopt: no such file (or not a regular one). Oversized files are flagged, not read whole.
struct FileText {
    std::string text;
    bool oversized = false;
};

std::optional<FileText> read_profile_file(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    FileText file;
    // Chunk by chunk: every value read opens the file afresh, so a buffer sized for the limit
    // would cost megabytes per value for a file of a few hundred bytes.
    char chunk[16384];
    while (file.text.size() <= kMaxProfileFileBytes && in.read(chunk, sizeof chunk).gcount() > 0) {
        file.text.append(chunk, static_cast<std::size_t>(in.gcount()));
    }
    if (file.text.size() > kMaxProfileFileBytes) {
        file.oversized = true;
        file.text.resize(kMaxProfileFileBytes);
    }
    return file;
}

// Read-modify-write of one file must not interleave with another in this process.
std::mutex& write_mutex() {
    static std::mutex mutex;
    return mutex;
}

std::string temp_suffix() {
    static std::mt19937_64 generator{std::random_device{}()};
    constexpr char kHex[] = "0123456789abcdef";
    std::string suffix = ".tmp-";
    auto bits = generator();
    for (int i = 0; i < 16; ++i, bits >>= 4) suffix += kHex[bits & 0xF];
    return suffix;
}

}  // namespace

std::optional<std::string> find_profile_value(std::string_view text, std::string_view section,
                                              std::string_view key) {
    section = trim(section);
    key = trim(key);
    if (key.empty()) return std::nullopt;
    const auto lines = split_lines(text);
    bool in_section = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const ParsedLine parsed = parse_line(line_content(text, lines[i], i == 0));
        if (parsed.kind == LineKind::Section) {
            // The first section of a name is the only one looked at.
            if (in_section) return std::nullopt;
            in_section = same_name(parsed.name, section);
        } else if (parsed.kind == LineKind::Entry && in_section && same_name(parsed.name, key)) {
            return std::string(unquote(parsed.value));
        }
    }
    return std::nullopt;
}

std::optional<std::string> apply_profile_write(std::string_view text, std::string_view section,
                                               std::string_view key,
                                               std::optional<std::string_view> value) {
    section = trim(section);
    key = trim(key);
    if (section.empty() || key.empty() || has_line_break(section) || has_line_break(key) ||
        section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos ||
        key.front() == ';' || key.front() == '[' || (value && has_line_break(*value))) {
        return std::nullopt;
    }

    const auto lines = split_lines(text);
    const std::string_view eol =
        (!lines.empty() && lines[0].end - lines[0].content_end == 2) ? "\r\n" : "\n";

    std::optional<std::size_t> header;  // line of the section header
    std::optional<std::size_t> last;    // last non-blank line of the section
    std::optional<std::size_t> entry;   // line of the key
    std::size_t key_end = 0;            // offset in the line just past the key as written
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view content = line_content(text, lines[i], i == 0);
        const ParsedLine parsed = parse_line(content);
        if (parsed.kind == LineKind::Section) {
            if (header) break;
            if (same_name(parsed.name, section)) header = last = i;
            continue;
        }
        if (!header) continue;
        if (!trim(content).empty()) last = i;
        if (parsed.kind == LineKind::Entry && same_name(parsed.name, key)) {
            entry = i;
            key_end =
                static_cast<std::size_t>(parsed.name.data() + parsed.name.size() - text.data()) -
                lines[i].begin;
            break;
        }
    }

    std::string out(text);
    if (entry) {
        const Line& line = lines[*entry];
        if (value) {
            out.replace(line.begin + key_end, line.content_end - line.begin - key_end,
                        "=" + std::string(*value));
        } else {
            out.erase(line.begin, line.end - line.begin);
        }
        return out;
    }
    if (!value) return out;

    const std::string new_entry = std::string(key) + "=" + std::string(*value);
    if (header) {
        const Line& line = lines[*last];
        if (line.end > line.content_end) {
            out.insert(line.end, new_entry + std::string(eol));
        } else {
            out.insert(line.end, std::string(eol) + new_entry + std::string(eol));
        }
        return out;
    }
    if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += eol;
    out += "[" + std::string(section) + "]" + std::string(eol) + new_entry + std::string(eol);
    return out;
}

int leading_int(std::string_view text, int fallback) {
    std::size_t i = text.find_first_not_of(kSpaces);
    if (i == std::string_view::npos) return fallback;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    constexpr std::int64_t kCeiling = std::int64_t{std::numeric_limits<int>::max()} + 1;
    std::int64_t magnitude = 0;
    bool any_digit = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        any_digit = true;
        if (magnitude < kCeiling) magnitude = magnitude * 10 + (text[i] - '0');
    }
    if (!any_digit) return fallback;
    if (negative) return static_cast<int>(-std::min(magnitude, kCeiling));
    return static_cast<int>(std::min(magnitude, kCeiling - 1));
}

std::string truncate_utf16_units(std::string_view text, std::size_t max_units) {
    std::size_t units = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        std::size_t width = 1;
        if (lead >= 0xF0 && lead <= 0xF7) {
            length = 4;
            width = 2;  // a surrogate pair
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
        } else if (lead >= 0xC0 && lead <= 0xDF) {
            length = 2;
        }
        // A malformed or cut-off sequence counts byte by byte.
        if (length > text.size() - i) {
            length = 1;
            width = 1;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                length = 1;
                width = 1;
                break;
            }
        }
        if (units + width > max_units) break;
        units += width;
        i += length;
    }
    return std::string(text.substr(0, i));
}

std::string IniFile::get_string(std::string_view section, std::string_view key,
                                std::string_view default_value, std::size_t max_units) const {
    const auto file = read_profile_file(path_);
    std::optional<std::string> value;
    if (file) value = find_profile_value(file->text, section, key);
    const std::string_view result = value ? std::string_view(*value) : default_value;
    return max_units == kNoLimit ? std::string(result) : truncate_utf16_units(result, max_units);
}

int IniFile::get_int(std::string_view section, std::string_view key, int default_value) const {
    const auto file = read_profile_file(path_);
    if (!file) return default_value;
    const auto value = find_profile_value(file->text, section, key);
    return value ? leading_int(*value, default_value) : default_value;
}

bool IniFile::write_string(std::string_view section, std::string_view key,
                           std::optional<std::string_view> value) {
    std::lock_guard lock(write_mutex());
    std::error_code ec;
    fs::path target = path_;
    // Replace the file a link points to, not the link.
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (ec) return false;
        target = resolved;
    }
    const bool exists = fs::exists(target, ec);
    const auto file = read_profile_file(target);
    if (exists && (!file || file->oversized)) return false;
    const std::string old_text = file ? file->text : std::string();

    const auto new_text = apply_profile_write(old_text, section, key, value);
    if (!new_text) return false;
    if (exists && *new_text == old_text) return true;
    if (!exists && !value) return true;

    const fs::path temp = target.string() + temp_suffix();
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(new_text->data(), static_cast<std::streamsize>(new_text->size()));
        out.close();
        if (!out) {
            fs::remove(temp, ec);
            return false;
        }
    }
    if (exists) {
        const auto status = fs::status(target, ec);
        if (!ec) fs::permissions(temp, status.permissions(), ec);
    }
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

}  // namespace velmora
