// FAT volumes: what our writer makes, read back by our reader and checked by dosfstools and
// mtools; volumes the system's tools make, read by our reader; damaged volumes refused.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "common/le.h"
#include "disk_image_support.h"
#include "format/fat_volume.h"
#include "format/fat_writer.h"

namespace {

using fleet::format::FatEntry;
using fleet::format::FatFile;
using fleet::format::FatFilePlan;
using fleet::format::FatVolume;
using fleet::format::FileByteSource;
using fmt_test::file_contents;
using fmt_test::kMiB;

// Counts the reads that reach the device.
class CountingSource final : public fleet::format::ByteSource {
  public:
    explicit CountingSource(fleet::format::ByteSource& inner) : inner_(inner) {}
    bool read_at(int64_t offset, uint8_t* dest, size_t n) override {
        ++reads;
        return inner_.read_at(offset, dest, n);
    }
    int reads = 0;

  private:
    fleet::format::ByteSource& inner_;
};

std::vector<std::string> names_of(const std::vector<FatEntry>& entries) {
    std::vector<std::string> out;
    for (const FatEntry& e : entries) out.push_back(e.name + (e.directory ? "/" : ""));
    return out;
}

// The names mdir lists in the root of the volume at `offset`, in directory order.
std::vector<std::string> mdir_names(const std::string& image, int64_t offset) {
    auto r = fmt_test::run_tool("mdir", {"-b", "-i", image + "@@" + std::to_string(offset), "::"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::vector<std::string> out;
    for (const std::string& line : fleet::test::split_lines(r.out)) {
        if (line.rfind("::/", 0) == 0) out.push_back(line.substr(3));
    }
    return out;
}

std::vector<uint8_t> mcopy_bytes(const std::string& image, int64_t offset, const std::string& name,
                                 const std::string& scratch) {
    auto r = fmt_test::run_tool(
        "mcopy", {"-n", "-i", image + "@@" + std::to_string(offset), "::/" + name, scratch});
    EXPECT_EQ(r.exit_code, 0) << name << ": " << r.err;
    std::string text = fleet::test::read_file(scratch);
    return {text.begin(), text.end()};
}

// fsck.fat on the volume at `offset`; a volume inside a disk is copied out first.
fleet::test::ProcessResult fsck(const std::string& image, int64_t offset, int64_t length,
                                const fleet::test::TempDir& dir) {
    std::string volume = image;
    if (offset != 0) {
        volume = dir.file("partition.img");
        auto dd = fmt_test::run_tool(
            "dd", {"if=" + image, "of=" + volume, "bs=512", "skip=" + std::to_string(offset / 512),
                   "count=" + std::to_string(length / 512), "conv=sparse", "status=none"});
        EXPECT_EQ(dd.exit_code, 0) << dd.err;
    }
    return fmt_test::run_tool("fsck.fat", {"-n", volume});
}

bool tools_missing(std::initializer_list<const char*> tools, std::string& missing) {
    for (const char* t : tools) {
        if (!fmt_test::find_tool(t)) missing += std::string(missing.empty() ? "" : ", ") + t;
    }
    return !missing.empty();
}

#define SKIP_WITHOUT(...)                                                     \
    do {                                                                      \
        std::string missing;                                                  \
        if (tools_missing({__VA_ARGS__}, missing)) {                          \
            GTEST_SKIP() << missing << " not installed (dosfstools, mtools)"; \
        }                                                                     \
    } while (0)

// ---- our writer, read back ----

struct WrittenVolume {
    const char* what;
    int64_t offset, length;
    int64_t cluster_bytes;
};

const std::vector<FatFilePlan> kMixedFiles = {
    {"timeindex", 3 * kMiB + 100},  // many clusters, the last one partly used
    {"eventindex", 1},
    {"quickindex", 0},
    {"UPPER.TXT", 4097},  // an exact 8.3 name: no long name needed
    {"lower.txt", 512},
    {"timeindex.old", 10},  // the same 8.3 basis as timeindex
    {"Übersicht der Fahrten – Woche 52.bin", 70000},
    {std::string(200, 'n') + ".long", 33},
    {".hidden name", 2},
};

TEST(FatWriter, VolumesReadBackAndAgreeWithTheSystemTools) {
    SKIP_WITHOUT("fsck.fat", "mdir", "mcopy", "dd");
    const std::vector<WrittenVolume> volumes = {
        {"64 MiB at 0", 0, 64 * kMiB, 512},
        {"300 MiB inside a disk", kMiB, 300 * kMiB, 4096},
        {"40 GiB", 0, int64_t{40} << 30, 32768},
    };
    for (const WrittenVolume& v : volumes) {
        SCOPED_TRACE(v.what);
        fleet::test::TempDir dir;
        std::string image = dir.file("disk.img");
        auto placed = fmt_test::write_volume(image, v.offset, v.length, kMixedFiles);
        ASSERT_EQ(placed.size(), kMixedFiles.size());

        FileByteSource device;
        ASSERT_TRUE(device.open(image));
        FatVolume volume;
        auto opened = volume.open(device, v.offset, v.length);
        ASSERT_TRUE(opened.ok()) << opened.error().message;
        EXPECT_EQ(volume.fat_bits(), 32);
        EXPECT_EQ(volume.cluster_size(), v.cluster_bytes);
        EXPECT_GE(volume.cluster_count(), 65525u);

        auto entries = volume.root_entries();
        ASSERT_TRUE(entries.ok()) << entries.error().message;
        std::vector<std::string> planned_names;
        for (const FatFilePlan& f : kMixedFiles) planned_names.push_back(f.name);
        EXPECT_EQ(names_of(*entries), planned_names);
        EXPECT_EQ(mdir_names(image, v.offset), planned_names);

        std::set<std::string> short_names;
        for (size_t i = 0; i < entries->size(); ++i) {
            const FatEntry& e = (*entries)[i];
            SCOPED_TRACE(e.name);
            EXPECT_TRUE(short_names.insert(e.short_name).second) << e.short_name;
            EXPECT_EQ(int64_t{e.size}, kMixedFiles[i].size);
            auto file = volume.open_file(e);
            ASSERT_TRUE(file.ok()) << file.error().message;
            EXPECT_EQ((*file)->size(), kMixedFiles[i].size);
            EXPECT_EQ((*file)->extent_count(), kMixedFiles[i].size > 0 ? 1u : 0u);
            auto expected = file_contents(e.name, kMixedFiles[i].size);
            EXPECT_TRUE(fmt_test::read_all(**file, (*file)->size()) == expected);
            EXPECT_TRUE(mcopy_bytes(image, v.offset, e.name, dir.file("copy")) == expected);
        }
        EXPECT_EQ((*entries)[0].short_name, "TIMEIN~1");
        EXPECT_EQ((*entries)[3].short_name, "UPPER.TXT");
        EXPECT_EQ((*entries)[5].short_name, "TIMEIN~1.OLD");
        EXPECT_EQ((*entries)[8].short_name, "HIDDEN~1");

        auto check = fsck(image, v.offset, v.length, dir);
        EXPECT_EQ(check.exit_code, 0) << check.out << check.err;
    }
}

TEST(FatWriter, OnlyMetadataIsWritten) {
    fleet::test::TempDir dir;
    std::string image = dir.file("sparse.img");
    fmt_test::write_volume(image, 0, int64_t{4} << 30, {{"timeindex", 0}}, "");
    struct stat st;
    ASSERT_EQ(::stat(image.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, int64_t{4} << 30);
    // Boot sectors, the used start of both FATs and one root cluster.
    EXPECT_LE(int64_t{st.st_blocks} * 512, kMiB);
}

TEST(FatWriter, WritingOverAnOldVolumeLeavesNothingOfIt) {
    SKIP_WITHOUT("fsck.fat");
    fleet::test::TempDir dir;
    std::string image = dir.file("reused.img");
    fmt_test::write_volume(image, 0, 64 * kMiB, kMixedFiles);
    fmt_test::write_volume(image, 0, 64 * kMiB, {{"only", 5}}, "");
    FileByteSource device;
    ASSERT_TRUE(device.open(image));
    FatVolume volume;
    ASSERT_TRUE(volume.open(device, 0, 64 * kMiB).ok());
    auto entries = volume.root_entries();
    ASSERT_TRUE(entries.ok());
    EXPECT_EQ(names_of(*entries), std::vector<std::string>{"only"});
    auto check = fsck(image, 0, 64 * kMiB, dir);
    EXPECT_EQ(check.exit_code, 0) << check.out << check.err;
}

TEST(FatWriter, AliasesStayUniqueAcrossManySimilarNames) {
    SKIP_WITHOUT("fsck.fat", "mdir");
    std::vector<FatFilePlan> files;
    for (int i = 0; i < 30; ++i) files.push_back({"recording part " + std::to_string(i), 1});
    fleet::test::TempDir dir;
    std::string image = dir.file("many.img");
    fmt_test::write_volume(image, 0, 64 * kMiB, files);
    FileByteSource device;
    ASSERT_TRUE(device.open(image));
    FatVolume volume;
    ASSERT_TRUE(volume.open(device, 0, 64 * kMiB).ok());
    auto entries = volume.root_entries();
    ASSERT_TRUE(entries.ok());
    std::set<std::string> aliases;
    for (const FatEntry& e : *entries) aliases.insert(e.short_name);
    EXPECT_EQ(aliases.size(), files.size());
    EXPECT_TRUE(aliases.count("RECORD~9") && aliases.count("RECOR~10"));
    EXPECT_EQ(mdir_names(image, 0).size(), files.size());
    auto check = fsck(image, 0, 64 * kMiB, dir);
    EXPECT_EQ(check.exit_code, 0) << check.out << check.err;
}

struct WriterRefusal {
    const char* what;
    int64_t offset, length;
    std::vector<FatFilePlan> files;
    std::string label;
};

TEST(FatWriter, RefusesWhatCannotBeAVolume) {
    const std::vector<WriterRefusal> cases = {
        {"too small for FAT32", 0, 32 * kMiB, {}, "X"},
        {"offset not on a sector", 100, 64 * kMiB, {}, "X"},
        {"larger than 2 TiB", 0, int64_t{3} << 40, {}, "X"},
        {"empty name", 0, 64 * kMiB, {{"", 1}}, "X"},
        {"slash in a name", 0, 64 * kMiB, {{"a/b", 1}}, "X"},
        {"name ending in a dot", 0, 64 * kMiB, {{"name.", 1}}, "X"},
        {"name of 256 characters", 0, 64 * kMiB, {{std::string(256, 'a'), 1}}, "X"},
        {"not UTF-8", 0, 64 * kMiB, {{"bad\xFFname", 1}}, "X"},
        {"names differing in case only", 0, 64 * kMiB, {{"timeindex", 1}, {"TimeIndex", 1}}, "X"},
        {"negative size", 0, 64 * kMiB, {{"a", -1}}, "X"},
        {"4 GiB file", 0, 64 * kMiB, {{"a", int64_t{1} << 32}}, "X"},
        {"files larger than the volume", 0, 64 * kMiB, {{"a", 40 * kMiB}, {"b", 40 * kMiB}}, "X"},
        {"label too long", 0, 64 * kMiB, {}, "TWELVE CHARS"},
        {"label with a dot", 0, 64 * kMiB, {}, "A.B"},
    };
    for (const WriterRefusal& c : cases) {
        fleet::test::TempDir dir;
        int fd = ::open(dir.file("x.img").c_str(), O_RDWR | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        auto r = fleet::format::write_fat32_volume(fd, c.offset, c.length, c.files, c.label);
        ::close(fd);
        EXPECT_FALSE(r.ok()) << c.what;
        if (!r.ok()) {
            EXPECT_NE(r.error().message, "") << c.what;
        }
    }
}

// ---- names ----

TEST(FatVolumeNames, RootLookupIgnoresCaseOfLongAndShortNames) {
    fleet::test::TempDir dir;
    std::string image = dir.file("v.img");
    fmt_test::write_volume(image, 0, 64 * kMiB, kMixedFiles);
    FileByteSource device;
    ASSERT_TRUE(device.open(image));
    FatVolume volume;
    ASSERT_TRUE(volume.open(device, 0, 64 * kMiB).ok());
    const std::vector<std::pair<std::string, std::string>> found = {
        {"timeindex", "timeindex"},
        {"TIMEINDEX", "timeindex"},
        {"TimeIndex", "timeindex"},
        {"timein~1", "timeindex"},
        {"TIMEIN~1.OLD", "timeindex.old"},
        {"upper.txt", "UPPER.TXT"},
        {"LOWER.TXT", "lower.txt"},
        {"Übersicht DER FAHRTEN – woche 52.BIN", "Übersicht der Fahrten – Woche 52.bin"},
    };
    for (const auto& [query, name] : found) {
        auto entry = volume.find_in_root(query);
        ASSERT_TRUE(entry) << query;
        EXPECT_EQ(entry->name, name) << query;
    }
    // Case is folded for ASCII only; no prefix or partial matches.
    for (const char* query :
         {"timeinde", "timeindex2", "übersicht der fahrten – woche 52.bin", "", "RECORDER"}) {
        EXPECT_FALSE(volume.find_in_root(query)) << query;
    }
}

struct LongNameDamage {
    const char* what;
    std::function<void(std::vector<uint8_t>& root)> damage;  // entries 0 label, 1-2 long, 3 short
};

TEST(FatVolumeNames, LongNamesThatDoNotBelongAreDropped) {
    fleet::test::TempDir dir;
    std::string image = dir.file("v.img");
    // A name of 20 characters takes two long-name entries.
    fmt_test::write_volume(image, 0, 64 * kMiB, {{"a name of twenty chr", 1}, {"second file", 1}});
    FileByteSource probe;
    ASSERT_TRUE(probe.open(image));
    std::vector<uint8_t> boot(512);
    ASSERT_TRUE(probe.read_at(0, boot.data(), boot.size()));
    int64_t root =
        (int64_t{fleet::load_u16(&boot[14])} + 2 * int64_t{fleet::load_u32(&boot[36])}) * 512;
    const std::vector<uint8_t> clean = fmt_test::read_at(image, root, 512);
    ASSERT_EQ(clean[32], 0x42);  // the last part comes first
    ASSERT_EQ(clean[64], 0x01);

    const std::vector<LongNameDamage> cases = {
        {"checksum of one part", [](auto& r) { r[64 + 13] ^= 1; }},
        {"short name changed", [](auto& r) { r[96 + 5] = 'Z'; }},
        {"parts swapped",
         [](auto& r) { std::swap_ranges(r.begin() + 32, r.begin() + 64, r.begin() + 64); }},
        {"first part deleted", [](auto& r) { r[32] = 0xE5; }},
        {"last part deleted", [](auto& r) { r[64] = 0xE5; }},
        {"order number wrong", [](auto& r) { r[64] = 0x03; }},
    };
    for (const LongNameDamage& c : cases) {
        std::vector<uint8_t> root_bytes = clean;
        c.damage(root_bytes);
        fmt_test::write_at(image, root, root_bytes);
        FileByteSource device;
        ASSERT_TRUE(device.open(image));
        FatVolume volume;
        ASSERT_TRUE(volume.open(device, 0, 64 * kMiB).ok());
        auto entries = volume.root_entries();
        ASSERT_TRUE(entries.ok()) << c.what;
        ASSERT_EQ(entries->size(), 2u) << c.what;
        EXPECT_EQ((*entries)[0].name, (*entries)[0].short_name) << c.what;
        EXPECT_EQ((*entries)[1].name, "second file") << c.what;
    }
    fmt_test::write_at(image, root, clean);
}

// ---- damage ----

// Where things are in a volume our writer made at offset 0, from its boot sector.
struct Layout {
    int64_t fat, root, cluster_bytes;
    explicit Layout(const std::vector<uint8_t>& boot)
        : fat(int64_t{fleet::load_u16(&boot[14])} * 512),
          root(fat + 2 * int64_t{fleet::load_u32(&boot[36])} * 512),
          cluster_bytes(int64_t{boot[13]} * 512) {}
    int64_t fat_entry(uint32_t cluster) const { return fat + int64_t{cluster} * 4; }
    int64_t root_entry(int n) const { return root + 32 * int64_t{n}; }
};

enum class Stage { Open, Root, File };

struct Damage {
    const char* what;
    Stage fails_at;
    std::string reason;  // part of the message
    // Gets the image, the layout and the first cluster of DATA.BIN (3 clusters, root entry 1).
    std::function<void(const std::string&, const Layout&, uint32_t)> apply;
    int64_t length = 64 * kMiB;  // the space the volume is opened in
};

std::vector<uint8_t> u32(uint32_t v) {
    std::vector<uint8_t> b(4);
    fleet::store_u32(b.data(), v);
    return b;
}
std::vector<uint8_t> u16(uint16_t v) {
    std::vector<uint8_t> b(2);
    fleet::store_u16(b.data(), v);
    return b;
}

TEST(FatVolumeDamage, RefusedWithAReason) {
    using fmt_test::write_at;
    const std::vector<Damage> cases = {
        {"no signature", Stage::Open, "signature",
         [](auto& img, auto&, auto) {
             write_at(img, 510, {0, 0});
         }},
        {"no jump", Stage::Open, "jump",
         [](auto& img, auto&, auto) {
             write_at(img, 0, {0, 0, 0});
         }},
        {"zero bytes per sector", Stage::Open, "0 bytes per sector",
         [](auto& img, auto&, auto) { write_at(img, 11, u16(0)); }},
        {"768 bytes per sector", Stage::Open, "768 bytes per sector",
         [](auto& img, auto&, auto) { write_at(img, 11, u16(768)); }},
        {"8192 bytes per sector", Stage::Open, "8192 bytes per sector",
         [](auto& img, auto&, auto) { write_at(img, 11, u16(8192)); }},
        {"3 sectors per cluster", Stage::Open, "sectors per cluster",
         [](auto& img, auto&, auto) { write_at(img, 13, {3}); }},
        {"no FATs", Stage::Open, "0 FATs", [](auto& img, auto&, auto) { write_at(img, 16, {0}); }},
        {"no reserved sectors", Stage::Open, "reserved",
         [](auto& img, auto&, auto) { write_at(img, 14, u16(0)); }},
        {"larger than its partition", Stage::Open, "past the end", [](auto&, auto&, auto) {},
         64 * kMiB - 512},
        {"FAT32 layout, FAT16 cluster count", Stage::Open, "laid out as FAT32",
         [](auto& img, auto&, auto) { write_at(img, 32, u32(60000)); }},
        {"FAT too small", Stage::Open, "FAT is too small",
         [](auto& img, auto&, auto) { write_at(img, 36, u32(8)); }},
        {"root directory outside", Stage::Open, "root directory",
         [](auto& img, auto&, auto) { write_at(img, 44, u32(0x0FFFFFF0)); }},
        {"active FAT that does not exist", Stage::Open, "active FAT",
         [](auto& img, auto&, auto) { write_at(img, 40, u16(0x83)); }},
        {"root chain loops", Stage::Root, "loops",
         [](auto& img, auto& l, auto) { write_at(img, l.fat_entry(2), u32(2)); }},
        {"root chain through a free cluster", Stage::Root, "free cluster",
         [](auto& img, auto& l, auto) { write_at(img, l.fat_entry(2), u32(60000)); }},
        {"cluster chain loop", Stage::File, "loops",
         [](auto& img, auto& l, uint32_t c) { write_at(img, l.fat_entry(c + 2), u32(c)); }},
        {"chain through a free cluster", Stage::File, "free cluster",
         [](auto& img, auto& l, uint32_t c) { write_at(img, l.fat_entry(c), u32(60000)); }},
        {"chain through a bad cluster", Stage::File, "bad cluster",
         [](auto& img, auto& l, uint32_t c) {
             write_at(img, l.fat_entry(c + 1), u32(0x0FFFFFF7));
         }},
        {"chain through a reserved value", Stage::File, "reserved",
         [](auto& img, auto& l, uint32_t c) { write_at(img, l.fat_entry(c), u32(1)); }},
        {"chain leaving the volume", Stage::File, "leaves the volume",
         [](auto& img, auto& l, uint32_t c) { write_at(img, l.fat_entry(c), u32(0x0FFFFFEF)); }},
        {"size larger than its chain", Stage::File, "bytes in a chain of 3",
         [](auto& img, auto& l, auto) { write_at(img, l.root_entry(1) + 28, u32(3 * 512 + 1)); }},
        {"size smaller than its chain", Stage::File, "longer than its file",
         [](auto& img, auto& l, auto) { write_at(img, l.root_entry(1) + 28, u32(1024)); }},
        {"first cluster 1", Stage::File, "outside the volume",
         [](auto& img, auto& l, auto) { write_at(img, l.root_entry(1) + 26, u16(1)); }},
        {"first cluster past the end", Stage::File, "outside the volume",
         [](auto& img, auto& l, auto) { write_at(img, l.root_entry(1) + 20, u16(0x0FFF)); }},
    };
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.what);
        fleet::test::TempDir dir;
        std::string image = dir.file("damaged.img");
        fmt_test::write_volume(image, 0, 64 * kMiB, {{"DATA.BIN", 3 * 512}});
        Layout layout(fmt_test::read_at(image, 0, 512));
        uint32_t first =
            fleet::load_u16(&fmt_test::read_at(image, layout.root_entry(1) + 26, 2)[0]);
        ASSERT_GT(first, 2u);
        c.apply(image, layout, first);

        FileByteSource device;
        ASSERT_TRUE(device.open(image));
        FatVolume volume;
        fleet::Error error;
        auto opened = volume.open(device, 0, c.length);
        if (!opened.ok()) {
            error = opened.error();
        } else if (auto entries = volume.root_entries(); !entries.ok()) {
            EXPECT_NE(c.fails_at, Stage::Open);
            error = entries.error();
        } else {
            EXPECT_EQ(c.fails_at, Stage::File);
            ASSERT_EQ(entries->size(), 1u);
            auto file = volume.open_file((*entries)[0]);
            ASSERT_FALSE(file.ok()) << "the damaged file opened";
            error = file.error();
        }
        EXPECT_EQ(opened.ok(), c.fails_at != Stage::Open) << error.message;
        EXPECT_NE(error.message.find(c.reason), std::string::npos) << error.message;
    }
}

TEST(FatVolumeDamage, Fat12IsRefused) {
    SKIP_WITHOUT("mkfs.fat");
    fleet::test::TempDir dir;
    std::string image = dir.file("fat12.img");
    auto made = fmt_test::run_tool("mkfs.fat", {"-F", "12", "-C", image, "2048"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    FileByteSource device;
    ASSERT_TRUE(device.open(image));
    FatVolume volume;
    auto opened = volume.open(device, 0, device.size());
    ASSERT_FALSE(opened.ok());
    EXPECT_NE(opened.error().message.find("FAT12"), std::string::npos) << opened.error().message;
}

// ---- volumes the system's tools make ----

// FAT32 keeps a hint where free clusters begin, which mtools follows past a hole; without it
// the search starts at the front.
void forget_next_free_cluster(const std::string& image) {
    auto boot = fmt_test::read_at(image, 0, 512);
    int64_t fs_info = int64_t{fleet::load_u16(&boot[48])} * fleet::load_u16(&boot[11]);
    fmt_test::write_at(image, fs_info + 492, u32(0xFFFFFFFF));
}

struct ToolVolume {
    const char* what;
    std::vector<std::string> mkfs;  // options
    int64_t kib;
    int bits;
};

TEST(FatVolumeFromTools, ReadsWhatMkfsAndMtoolsWrote) {
    SKIP_WITHOUT("mkfs.fat", "mcopy", "mdir", "mdel", "mmd");
    const std::vector<ToolVolume> volumes = {
        {"FAT16", {"-F", "16"}, 16 * 1024, 16},
        {"FAT16, 4096-byte sectors", {"-F", "16", "-S", "4096"}, 64 * 1024, 16},
        {"FAT16, one FAT, 2 KiB clusters", {"-F", "16", "-f", "1", "-s", "4"}, 24 * 1024, 16},
        {"FAT32", {"-F", "32"}, 64 * 1024, 32},
        {"FAT32, 4096-byte sectors", {"-F", "32", "-S", "4096", "-s", "1"}, 300 * 1024, 32},
    };
    for (const ToolVolume& v : volumes) {
        SCOPED_TRACE(v.what);
        fleet::test::TempDir dir;
        std::string image = dir.file("tool.img");
        std::vector<std::string> args = v.mkfs;
        args.insert(args.end(), {"-C", image, std::to_string(v.kib)});
        auto made = fmt_test::run_tool("mkfs.fat", args);
        ASSERT_EQ(made.exit_code, 0) << made.err;

        auto put = [&](const std::string& name, int64_t size) {
            fmt_test::write_at(dir.file("src"), 0, file_contents(name, size));
            std::filesystem::resize_file(dir.file("src"), static_cast<uintmax_t>(size));
            auto r =
                fmt_test::run_tool("mcopy", {"-o", "-i", image, dir.file("src"), "::/" + name});
            ASSERT_EQ(r.exit_code, 0) << r.err;
        };
        // A hole left by a deleted file makes the next large file fragmented.
        put("gap", 9000);
        put("TIMEINDEX", 5000);
        ASSERT_EQ(fmt_test::run_tool("mdel", {"-i", image, "::/gap"}).exit_code, 0);
        if (v.bits == 32) forget_next_free_cluster(image);
        put("eventindex", 300000);
        put("a.txt", 1);
        put("Quick Index – ünïcode.dat", 0);
        ASSERT_EQ(fmt_test::run_tool("mmd", {"-i", image, "::/folder"}).exit_code, 0);

        FileByteSource device;
        ASSERT_TRUE(device.open(image));
        FatVolume volume;
        auto opened = volume.open(device, 0, device.size());
        ASSERT_TRUE(opened.ok()) << opened.error().message;
        EXPECT_EQ(volume.fat_bits(), v.bits);
        auto entries = volume.root_entries();
        ASSERT_TRUE(entries.ok()) << entries.error().message;
        std::vector<std::string> listed = mdir_names(image, 0);
        EXPECT_EQ(names_of(*entries), listed);
        EXPECT_EQ(listed.size(), 5u);

        for (const FatEntry& e : *entries) {
            SCOPED_TRACE(e.name);
            if (e.directory) {
                EXPECT_EQ(e.name, "folder");
                EXPECT_FALSE(volume.open_file(e).ok());
                continue;
            }
            auto file = volume.open_file(e);
            ASSERT_TRUE(file.ok()) << file.error().message;
            auto bytes = fmt_test::read_all(**file, (*file)->size());
            EXPECT_TRUE(bytes == file_contents(e.name, e.size));
            EXPECT_TRUE(bytes == mcopy_bytes(image, 0, e.name, dir.file("copy")));
            if (e.name == "eventindex") {
                EXPECT_GE((*file)->extent_count(), 2u);
            }
        }
        auto time = volume.find_in_root("timeindex");
        ASSERT_TRUE(time);
        EXPECT_EQ(time->short_name, "TIMEIN~1");
        auto a = volume.find_in_root("A.TXT");
        ASSERT_TRUE(a);
        EXPECT_EQ(a->name, "a.txt");  // stored as 8.3 with case flags
        EXPECT_EQ(a->short_name, "A.TXT");
    }
}

// ---- reading files ----

TEST(FatFileReads, BoundsAndFewDeviceReadsForSmallSteps) {
    fleet::test::TempDir dir;
    std::string image = dir.file("v.img");
    constexpr int64_t kSize = kMiB + 40;
    fmt_test::write_volume(image, 0, 64 * kMiB, {{"timeindex", kSize}});
    FileByteSource file_device;
    ASSERT_TRUE(file_device.open(image));
    CountingSource device(file_device);
    FatVolume volume;
    ASSERT_TRUE(volume.open(device, 0, 64 * kMiB).ok());
    auto entry = volume.find_in_root("timeindex");
    ASSERT_TRUE(entry);
    auto opened = volume.open_file(*entry);
    ASSERT_TRUE(opened.ok());
    FatFile& file = **opened;
    const auto expected = file_contents("timeindex", kSize);

    uint8_t buffer[16];
    EXPECT_FALSE(file.read_at(-1, buffer, 1));
    EXPECT_FALSE(file.read_at(kSize - 15, buffer, 16));
    EXPECT_FALSE(file.read_at(kSize + 1, buffer, 0));
    EXPECT_TRUE(file.read_at(kSize, buffer, 0));
    ASSERT_TRUE(file.read_at(kSize - 16, buffer, 16));
    EXPECT_TRUE(std::equal(buffer, buffer + 16, expected.end() - 16));

    // Backwards in 16-byte records counted from the end, so some straddle chunk edges, then
    // forwards: one device read per 64 KiB chunk each way.
    device.reads = 0;
    bool same = true;
    for (int64_t at = kSize - 16; at >= 0; at -= 16) {
        ASSERT_TRUE(file.read_at(at, buffer, 16)) << at;
        same = same && std::equal(buffer, buffer + 16, expected.begin() + at);
    }
    for (int64_t at = 0; at + 16 <= kSize; at += 16) {
        ASSERT_TRUE(file.read_at(at, buffer, 16)) << at;
        same = same && std::equal(buffer, buffer + 16, expected.begin() + at);
    }
    EXPECT_TRUE(same);
    const int64_t chunks = (kSize + 0xFFFF) / 0x10000;
    EXPECT_LE(device.reads, 2 * chunks + 2);

    // Reads across chunk edges and large reads give the same bytes.
    std::vector<uint8_t> big(0x30000);
    ASSERT_TRUE(file.read_at(0x8000, big.data(), big.size()));
    EXPECT_TRUE(std::equal(big.begin(), big.end(), expected.begin() + 0x8000));
    std::vector<uint8_t> across(100);
    ASSERT_TRUE(file.read_at(0x10000 - 50, across.data(), across.size()));
    EXPECT_TRUE(std::equal(across.begin(), across.end(), expected.begin() + 0x10000 - 50));
}

}  // namespace
