// libkivra.so as a host loads it: by path, through dlopen and dlsym. Every name of the
// public header must resolve inside the library, and nothing else may be exported, so hosts
// cannot come to depend on the engine's internals.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "kivra/kivra.h"
#include "process.h"

namespace {

constexpr const char* kLibrary = KIVRA_LIBRARY_PATH;

// The export list of the public header, in binding order; the one list every table is made
// from.
const std::vector<std::string>& interface_names() {
#define KIVRA_EXPORT_NAME(name) #name,
    static const std::vector<std::string> names = {KIVRA_FOR_EACH_EXPORT(KIVRA_EXPORT_NAME)};
#undef KIVRA_EXPORT_NAME
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

// Hosts bind by name in the order of the list; the declarations in the header are the
// reference for that order, so a name moved in one place and not the other is caught.
TEST(LibraryExports, ListOrderIsTheDeclarationOrder) {
    const std::string header = fleet::test::read_file(KIVRA_HEADER_PATH);
    ASSERT_FALSE(header.empty()) << KIVRA_HEADER_PATH;
    const std::regex declaration(R"(\nKIVRA_EXPORT\s+[\w\s\*]*?\b(\w+)\s*\()");
    std::vector<std::string> declared;
    for (std::sregex_iterator it(header.begin(), header.end(), declaration), end; it != end; ++it) {
        declared.push_back((*it)[1]);
    }
    EXPECT_EQ(declared, interface_names());
}

// The numbers and record sizes hosts compile in. A renumbering or a layout change breaks every
// host built before it, so each is written here once more on purpose.
TEST(LibraryAbi, ValuesHostsRelyOn) {
    const struct {
        const char* name;
        long long value;
        long long pinned;
    } rows[] = {
        {"KIVRA_CMD_CLOSE", KIVRA_CMD_CLOSE, 0},
        {"KIVRA_CMD_PLAY", KIVRA_CMD_PLAY, 1},
        {"KIVRA_CMD_SEEK", KIVRA_CMD_SEEK, 7},
        {"KIVRA_CMD_POLL", KIVRA_CMD_POLL, 10},
        {"KIVRA_CMD_JUMP", KIVRA_CMD_JUMP, 11},
        {"KIVRA_EVENT_END_OF_DATA", KIVRA_EVENT_END_OF_DATA, 0},
        {"KIVRA_EVENT_READ_FAILED", KIVRA_EVENT_READ_FAILED, 2},
        {"KIVRA_RESULT_CLOSE_FAILED", KIVRA_RESULT_CLOSE_FAILED, 4},
        {"KIVRA_RESULT_PLAY_OK", KIVRA_RESULT_PLAY_OK, 7},
        {"KIVRA_RESULT_SNAPSHOT_OK", KIVRA_RESULT_SNAPSHOT_OK, 23},
        {"KIVRA_EVENT_DRAW_FAILED", KIVRA_EVENT_DRAW_FAILED, 24},
        {"KIVRA_RESULT_JUMP_OK", KIVRA_RESULT_JUMP_OK, 25},
        {"KIVRA_ERROR_READER_FROM_OPENED", KIVRA_ERROR_READER_FROM_OPENED, 40000},
        {"KIVRA_ERROR_OUTPUT_NO_DEVICE", KIVRA_ERROR_OUTPUT_NO_DEVICE, 40013},
        {"KIVRA_ERROR_CLOSE_DVR", KIVRA_ERROR_CLOSE_DVR, 40020},
        {"KIVRA_ERROR_POSITION_NOTHING_OPEN", KIVRA_ERROR_POSITION_NOTHING_OPEN, 40048},
        {"KIVRA_ERROR_SNAPSHOT_NO_SCREENS", KIVRA_ERROR_SNAPSHOT_NO_SCREENS, 40057},
        {"KIVRA_ERROR_RECORD_WRITE", KIVRA_ERROR_RECORD_WRITE, 40058},
        {"KIVRA_SOURCE_NONE", KIVRA_SOURCE_NONE, -1},
        {"KIVRA_SOURCE_REMOTE", KIVRA_SOURCE_REMOTE, 4},
        {"KIVRA_STATUS_STOPPED", KIVRA_STATUS_STOPPED, 5},
        {"KIVRA_DISK_REMOVED", KIVRA_DISK_REMOVED, 2},
        {"KIVRA_LINK_LISTENING", KIVRA_LINK_LISTENING, 13},
        {"KIVRA_EXTRACT_FAILED", KIVRA_EXTRACT_FAILED, -3},
        {"KIVRA_INDEX_MAGIC", KIVRA_INDEX_MAGIC, 0x1738BABE},
        {"sizeof(KivraIndexHeader)", sizeof(KivraIndexHeader), 16},
        {"sizeof(KivraIndexUnit)", sizeof(KivraIndexUnit), 16},
        {"offsetof(KivraIndexUnit, offset)", offsetof(KivraIndexUnit, offset), 8},
        {"sizeof(KivraQuickRecord)", sizeof(KivraQuickRecord), 128},
        {"sizeof(LiveParams)", sizeof(LiveParams), 56},
        {"sizeof(TyreRecord)", sizeof(TyreRecord), 16},
        // FrameSet reaches hosts through ExtractDataProc (64-bit layout).
        {"sizeof(FrameSet)", sizeof(FrameSet), 11448},
        {"offsetof(FrameSet, picture_width)", offsetof(FrameSet, picture_width), 16},
        {"offsetof(FrameSet, picture_buffer)", offsetof(FrameSet, picture_buffer), 40},
        {"offsetof(FrameSet, audio_buffer)", offsetof(FrameSet, audio_buffer), 1168},
        {"offsetof(FrameSet, gop_time)", offsetof(FrameSet, gop_time), 1328},
        {"offsetof(FrameSet, flags)", offsetof(FrameSet, flags), 11256},
    };
    for (const auto& row : rows) EXPECT_EQ(row.value, row.pinned) << row.name;
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
    EXPECT_STREQ(time, "12:01:36");
    EXPECT_STREQ(date, "Jul 12 2013");
    EXPECT_STREQ(error_text(12345), "unknown error");
    EXPECT_STRNE(error_text(KIVRA_ERROR_FILE_BEYOND_END), "unknown error");
    EXPECT_EQ(opened_type(), KIVRA_SOURCE_NONE);
}

}  // namespace
