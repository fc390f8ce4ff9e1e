// libkivra.so as a host loads it: by path, through dlopen and dlsym. Every name of the
// public header must resolve inside the library, and nothing else may be exported, so hosts
// cannot come to depend on the engine's internals.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "kivra/kivra.h"
#include "process.h"

namespace {

constexpr const char* kLibrary = KIVRA_LIBRARY_PATH;

const std::vector<std::string>& interface_names() {
    static const std::vector<std::string> names = {
        "KivraInfo",       "zInit",           "zRelease",           "zOpen",
        "zOpenEx",         "zOpenRx",         "zDownload",          "zStopDownload",
        "zTellOpenedType", "zTellStatusType", "zPlayMSG",           "zTellScreenNum",
        "zTellSampleRate", "zTellSampleBits", "zTellFullScreenIdx", "zSetFullScreen",
        "zTellDivStatus",  "zSetDivStatus",   "zTellCarId",         "zOpenVoice",
        "zCloseVoice",     "zSetVoiceVolume", "zTellVoiceVolume",   "zTellp",
        "zTellTotalLen",   "zTellBegTime",    "zTellEndTime",       "zStartExtract",
        "zStopExtract",    "zTellTimeInxHd",  "zTellTimeInxUnit",   "zTellEvtInxHd",
        "zTellEvtInxUnit", "zTellQuickInxHd", "zTellQuickInxUnit",  "zSetRecord",
        "KivraErrorText"};
    return names;
}

// Loaded once and kept: unloading a library whose engine may own threads is not worth it.
void* library() {
    static void* handle = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    return handle;
}

template <typename Fn>
Fn symbol(const char* name) {
    return reinterpret_cast<Fn>(dlsym(library(), name));
}

class ExportedName : public ::testing::TestWithParam<std::string> {};

TEST_P(ExportedName, ResolvesInsideTheLibrary) {
    ASSERT_NE(library(), nullptr) << dlerror();
    void* address = dlsym(library(), GetParam().c_str());
    ASSERT_NE(address, nullptr) << GetParam() << ": " << dlerror();
    // A name found in some other loaded object would hide a missing export.
    Dl_info where{};
    ASSERT_NE(dladdr(address, &where), 0);
    ASSERT_NE(where.dli_fname, nullptr);
    ASSERT_NE(where.dli_sname, nullptr);
    EXPECT_STREQ(where.dli_sname, GetParam().c_str());
    char* resolved = realpath(where.dli_fname, nullptr);
    char* expected = realpath(kLibrary, nullptr);
    ASSERT_NE(resolved, nullptr);
    ASSERT_NE(expected, nullptr);
    EXPECT_STREQ(resolved, expected);
    std::free(resolved);
    std::free(expected);
}

INSTANTIATE_TEST_SUITE_P(Interface, ExportedName, ::testing::ValuesIn(interface_names()),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                             return param.param;
                         });

// Defined, non-local symbols of the dynamic symbol table, with their ELF types. Read from the
// file rather than through nm, so the check needs no binutils at a known path.
std::map<std::string, unsigned> defined_dynamic_symbols(const std::string& image) {
    std::map<std::string, unsigned> out;
    if (image.size() < sizeof(Elf64_Ehdr)) return out;
    const auto* bytes = reinterpret_cast<const unsigned char*>(image.data());
    Elf64_Ehdr header;
    std::memcpy(&header, bytes, sizeof header);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr) ||
        header.e_shoff + uint64_t{header.e_shnum} * sizeof(Elf64_Shdr) > image.size()) {
        return out;
    }
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    std::memcpy(sections.data(), bytes + header.e_shoff, sections.size() * sizeof(Elf64_Shdr));
    for (const Elf64_Shdr& table : sections) {
        if (table.sh_type != SHT_DYNSYM || table.sh_link >= sections.size()) continue;
        const Elf64_Shdr& strings = sections[table.sh_link];
        if (table.sh_offset + table.sh_size > image.size() ||
            strings.sh_offset + strings.sh_size > image.size()) {
            continue;
        }
        for (uint64_t at = sizeof(Elf64_Sym); at + sizeof(Elf64_Sym) <= table.sh_size;
             at += sizeof(Elf64_Sym)) {
            Elf64_Sym sym;
            std::memcpy(&sym, bytes + table.sh_offset + at, sizeof sym);
            if (sym.st_shndx == SHN_UNDEF || ELF64_ST_BIND(sym.st_info) == STB_LOCAL) continue;
            if (sym.st_name >= strings.sh_size) continue;
            const char* name =
                reinterpret_cast<const char*>(bytes + strings.sh_offset + sym.st_name);
            out[std::string(name, strnlen(name, strings.sh_size - sym.st_name))] =
                ELF64_ST_TYPE(sym.st_info);
        }
    }
    return out;
}

// Every defined global symbol counts, whatever its type, so leaked data (typeinfo, vtables,
// template statics) fails too. Only the markers the linker itself may add are ignored.
TEST(LibraryExports, DynamicTableHoldsExactlyTheInterface) {
    const std::set<std::string> linker_markers = {"_init", "_fini", "_edata", "_end",
                                                  "__bss_start"};
    const std::string image = fleet::test::read_file(kLibrary);
    ASSERT_FALSE(image.empty()) << kLibrary;
    const auto symbols = defined_dynamic_symbols(image);
    ASSERT_FALSE(symbols.empty()) << "no dynamic symbols read from " << kLibrary;

    std::set<std::string> exported;
    for (const auto& [name, type] : symbols) {
        if (linker_markers.count(name) != 0) continue;
        exported.insert(name);
        EXPECT_EQ(type, unsigned{STT_FUNC}) << name << " is exported but is not a function";
    }
    const std::set<std::string> wanted(interface_names().begin(), interface_names().end());
    ASSERT_EQ(wanted.size(), 37u);
    for (const auto& name : exported) {
        EXPECT_TRUE(wanted.count(name) != 0) << "exported beyond the interface: " << name;
    }
    for (const auto& name : wanted) {
        EXPECT_TRUE(exported.count(name) != 0) << "not exported: " << name;
    }
}

// The resolved names are the real functions, not stand-ins that merely share a name.
TEST(LibraryExports, LoadedFunctionsAnswer) {
    ASSERT_NE(library(), nullptr) << dlerror();
    auto info = symbol<decltype(&KivraInfo)>("KivraInfo");
    auto error_text = symbol<decltype(&KivraErrorText)>("KivraErrorText");
    auto opened_type = symbol<decltype(&zTellOpenedType)>("zTellOpenedType");
    ASSERT_NE(info, nullptr);
    ASSERT_NE(error_text, nullptr);
    ASSERT_NE(opened_type, nullptr);

    char version[19] = {}, time[19] = {}, date[19] = {};
    info(version, time, date);
    EXPECT_STREQ(version, "3.0d");
    EXPECT_STRNE(time, "");
    EXPECT_STRNE(date, "");
    EXPECT_STREQ(error_text(12345), "unknown error");
    EXPECT_STRNE(error_text(40051), "unknown error");
    EXPECT_EQ(opened_type(), -1);
}

}  // namespace
