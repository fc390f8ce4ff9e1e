// The viewer's user-interface texts: built-in English defaults, replaceable from a language file
// in <base>/config/lang/. Texts are UTF-8.
#pragma once

#include <cstddef>
#include <shared_mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct LanguageEntry {
    std::string_view key;  // empty for the one text a language file may not change
    std::string_view english;
};

// Every entry in table order; the keyless entry comes last.
std::span<const LanguageEntry> language_entries();

class LanguageTable {
  public:
    // base_dir is the directory that holds config/lang/ (the working directory in the viewer).
    explicit LanguageTable(std::string base_dir = ".");

    LanguageTable(const LanguageTable&) = delete;
    LanguageTable& operator=(const LanguageTable&) = delete;

    // Resets every text to English, then applies config/lang/<file_name>. False, with English
    // left in place, when the file cannot be opened or the name is refused: empty, containing a
    // path separator or "..", or making "config/lang/<file_name>" longer than 59 characters.
    // Call from the UI thread only.
    bool load(const std::string& file_name);

    // The current text of a key; empty for a key that is not in the table. Any thread.
    std::string text(std::string_view key) const;

    // The keyless text; it never changes, so the reference stays valid and needs no lock.
    const std::string& illegal_user_text() const { return illegal_user_; }

    // The display name a language file declares ("Language=..." line); empty when the file
    // cannot be opened or declares none.
    static std::string display_name(const std::string& path);

    // Number of texts, the keyless one included.
    size_t size() const;
    // The keys in table order (the keyless entry has none).
    std::vector<std::string_view> keys() const;

  private:
    std::string base_dir_;
    const std::string illegal_user_;
    mutable std::shared_mutex mutex_;
    std::vector<std::string> texts_;  // one per keyed entry, in table order
};

}  // namespace velmora
