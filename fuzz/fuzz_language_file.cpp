// Language files are edited by hand and copied between machines: any bytes must load without
// a crash, and the keyless text never changes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "lang/language_table.h"
#include "scratch_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::ScratchDir dir("lang");
    static const std::filesystem::path lang_dir = [] {
        auto p = dir.path() / "config" / "lang";
        std::filesystem::create_directories(p);
        return p;
    }();
    static velmora::LanguageTable table(dir.path().string());
    const auto path = lang_dir / "f.lang";
    const fuzz::FileCleanup cleanup{path};
    if (!fuzz::write_file(path, data, size)) std::abort();

    if (!table.load("f.lang")) std::abort();
    if (table.illegal_user_text() != "Illegal user!") std::abort();
    velmora::LanguageTable::display_name(path.string());
    return 0;
}
