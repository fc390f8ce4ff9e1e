// Configuration files come from disk and may hold anything: reading and rewriting a value must
// stay inside the text and keep the key readable.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "model/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first bytes pick section, key and value lengths; the rest is the file.
    if (size < 3) return 0;
    std::string_view all(reinterpret_cast<const char*>(data), size);
    size_t section_len = data[0] % 8, key_len = data[1] % 8, value_len = data[2] % 8;
    all.remove_prefix(3);
    if (all.size() < section_len + key_len + value_len) return 0;
    std::string_view section = all.substr(0, section_len);
    std::string_view key = all.substr(section_len, key_len);
    std::string_view value = all.substr(section_len + key_len, value_len);
    std::string_view text = all.substr(section_len + key_len + value_len);

    velmora::find_profile_value(text, section, key);
    velmora::leading_int(text, 0);
    if (auto written = velmora::apply_profile_write(text, section, key, value)) {
        if (!velmora::find_profile_value(*written, section, key)) std::abort();
    }
    velmora::apply_profile_write(text, section, key, std::nullopt);
    return 0;
}
