// Language files are edited by hand and copied between machines: any bytes must load without
// a crash, and the keyless text never changes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "lang/language_table.h"

namespace {

const std::filesystem::path& work_dir() {
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() /
                 ("fuzz-lang-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d / "config" / "lang");
        return d;
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto path = work_dir() / "config" / "lang" / "f.lang";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    static velmora::LanguageTable table(work_dir().string());
    if (!table.load("f.lang")) std::abort();
    if (table.illegal_user_text() != "Illegal user!") std::abort();
    velmora::LanguageTable::display_name(path.string());
    return 0;
}
