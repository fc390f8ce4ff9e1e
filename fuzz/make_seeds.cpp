// Writes the seed corpus: valid GOPs of each version and shape for fuzz_gop_parser and
// fuzz_telemetry_json; short streams and an index, each followed by a walk script, for
// fuzz_walkers; small file pairs, clean and damaged, for fuzz_file_source and fuzz_dvrtool;
// configuration files for fuzz_app_config; disks, volumes and card sectors for fuzz_mbr,
// fuzz_fat and fuzz_card_sector; received message streams cut into chunks for
// fuzz_link_framing.
//   make_fuzz_seeds DIR   (writes DIR/<target>/*)
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "common/le.h"
#include "dvrsim/h264_encoder.h"
#include "engine_receive_input.h"
#include "format/byte_source.h"
#include "format/card_layout.h"
#include "format/fat_writer.h"
#include "format/file_pair_writer.h"
#include "format/gop_builder.h"
#include "format/gop_header.h"
#include "format/index_format.h"
#include "format/info_block_writer.h"
#include "format/mbr.h"
#include "kivra/kivra.h"
#include "link/recorder_messages.h"
#include "link_stream_input.h"
#include "sparse_image.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

bool write(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

Bytes read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The fuzz decoder reads the picture size in 16-byte units from the first two bytes.
Bytes access_unit(uint16_t units) {
    return {static_cast<uint8_t>(units), static_cast<uint8_t>(units >> 8), 0x65, 0x88};
}

std::vector<fleet::format::FrameRecord> frames(int channels, int per_channel, uint16_t units = 8) {
    std::vector<fleet::format::FrameRecord> out;
    for (int k = 0; k < per_channel; ++k) {
        for (int c = 0; c < channels; ++c) out.push_back({c, k == 0, access_unit(units)});
    }
    return out;
}

Bytes pcm(size_t n) {
    Bytes out(n);
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(i * 7);
    return out;
}

Bytes info(uint32_t version, int records, int tyre_words, const std::string& vehicle = "TRUCK-0042",
           const std::string& position = "2237.1234N11402.5678E") {
    fleet::format::InfoBlockPlan plan;
    plan.status = std::vector<fleet::format::StatusRecord>(static_cast<size_t>(records),
                                                           {vehicle, -3, 0xA5, 0x05});
    plan.speed =
        std::vector<uint16_t>(static_cast<size_t>(records), fleet::format::speed_word(1205));
    plan.position = std::vector<std::string>(static_cast<size_t>(records), position);
    plan.gsensor = std::vector<std::array<int8_t, 3>>(static_cast<size_t>(records), {-4, 0, 64});
    fleet::format::TyreSection tyres{tyre_words, {}, std::nullopt};
    for (int g = 0; g < records; ++g) {
        tyres.groups.emplace_back();
        for (int w = 0; w < tyre_words; ++w) {
            tyres.groups.back().push_back(version == 3
                                              ? fleet::format::tyre_word_v3(w, 0x14, 30, 110)
                                              : fleet::format::tyre_word_v12(w, 825, 30));
        }
    }
    if (version == 3) tyres.summary = fleet::format::tyre_summary_word({1, 2, 3}, {0, 1, 2});
    plan.tyres = tyres;
    return fleet::format::build_info_block(plan);
}

std::vector<std::pair<std::string, Bytes>> gop_seeds() {
    std::vector<std::pair<std::string, Bytes>> out;
    auto add = [&](const std::string& name, const fleet::format::GopPlan& plan) {
        out.emplace_back(name, fleet::format::build_gop(plan));
    };
    fleet::format::GopPlan s;
    s.version = 3;
    s.channel_count = 4;
    s.announced_frames = 3;
    s.frames = frames(4, 3);
    s.audio = {8000, 16, 2, pcm(96)};
    s.info = info(3, 3, 6);
    add("v3_4ch_stereo_info", s);

    s = {};
    s.version = 3;
    s.channel_count = 8;
    s.announced_frames = 2;
    s.frames = frames(8, 2);
    s.audio = {16000, 8, 1, pcm(40)};
    s.info = info(3, 2, 4);
    add("v3_8ch_mono", s);

    s = {};
    s.version = 3;
    s.channel_count = 16;
    s.announced_frames = 1;
    s.frames = frames(16, 1);
    add("v3_16ch", s);

    s = {};
    s.version = 1;
    s.announced_frames = 2;
    s.frames = frames(4, 2);
    s.audio = {8000, 16, 1, pcm(64)};
    s.info = info(1, 2, 4);
    add("v1_tyres", s);

    s = {};
    s.version = 2;
    s.announced_frames = 15;
    s.frames = frames(8, 2);
    s.info = info(2, 2, 2);
    add("v2_8ch", s);

    s = {};
    s.version = 0;
    s.announced_frames = 2;
    s.frames = frames(4, 2);
    s.info = info(0, 2, 2);
    add("v0_info_ignored", s);

    s = {};
    s.version = 3;
    s.announced_frames = 4;
    s.audio = {8000, 8, 4, pcm(81)};
    add("header_only_audio", s);

    s = {};
    s.version = 1;
    s.announced_frames = 20;
    s.frames = frames(1, 20);
    s.audio = {8000, 8, 1, pcm(40)};
    s.info = info(1, 20, 1);
    add("v1_20_frames", s);

    s = {};
    s.version = 3;
    s.channel_count = 1;
    s.announced_frames = 10;
    s.frames = frames(1, 10, 0xFFFF);  // about 1 MiB each: the channel buffer runs full
    add("pictures_fill_buffer", s);

    s = {};
    s.version = 3;
    s.channel_count = 1;
    s.frames = frames(1, 16);
    s.info = info(3, 16, 40);
    add("tyres_40_words", s);

    // Just over the 1 MiB of audio a GOP may keep: the parser drops it and plays on.
    s = {};
    s.version = 3;
    s.channel_count = 1;
    s.announced_frames = 2;
    s.frames = frames(1, 2);
    s.audio = {8000, 16, 1, pcm(KIVRA_AUDIO_CAPACITY + 2)};
    add("audio_over_1mib", s);
    return out;
}

// Recorded texts that are not UTF-8 next to ones that are.
std::vector<std::pair<std::string, Bytes>> telemetry_seeds() {
    std::vector<std::pair<std::string, Bytes>> out;
    for (auto& [name, gop] : gop_seeds()) {
        if (name == "v3_4ch_stereo_info" || name == "v1_tyres" || name == "tyres_40_words") {
            out.emplace_back(name, std::move(gop));
        }
    }
    fleet::format::GopPlan s;
    s.version = 3;
    s.announced_frames = 2;
    s.frames = frames(4, 2);
    s.info = info(3, 2, 2, "BUS\xE9\xFF-\xC3\xA9",
                  "2237.12\x99"
                  "4N11402.5678\xC0");
    out.emplace_back("texts_not_utf8", fleet::format::build_gop(s));
    return out;
}

// The walk script fuzz_walkers reads from the last 16 bytes.
enum : uint8_t { kNext = 0, kPrevious = 2, kSkipForward = 4, kSkipBackward = 5, kSeek = 6 };
uint8_t op(uint8_t which, int arg) {
    return static_cast<uint8_t>(which | (arg + (which == kSeek ? 0 : 8)) << 3);
}

Bytes script(uint8_t head, uint16_t failing, std::vector<uint8_t> ops) {
    Bytes out = {head, static_cast<uint8_t>(failing / 512), static_cast<uint8_t>(failing % 512)};
    ops.resize(13, op(kNext, 0));
    out.insert(out.end(), ops.begin(), ops.end());
    return out;
}

struct Stream {
    Bytes bytes;
    uint32_t previous = 0;
    void gop(size_t data_size, uint32_t time) {
        fleet::format::GopPlan plan;
        plan.channel_count = 1;
        plan.announced_frames = 1;
        plan.time = time;
        plan.previous_length = previous;
        plan.frames = {{0, true, Bytes(data_size, 0x11)}};
        Bytes g = fleet::format::build_gop(plan);
        previous = static_cast<uint32_t>(g.size());
        bytes.insert(bytes.end(), g.begin(), g.end());
        pad();
    }
    void block(uint8_t fill) { bytes.insert(bytes.end(), 512, fill); }
    void pad() {
        bytes.resize(
            static_cast<size_t>(fleet::format::round_up_block(static_cast<int64_t>(bytes.size()))));
    }
};

std::vector<std::pair<std::string, Bytes>> walker_seeds() {
    std::vector<std::pair<std::string, Bytes>> out;
    auto add = [&](const std::string& name, Bytes stream, const Bytes& tail) {
        stream.insert(stream.end(), tail.begin(), tail.end());
        out.emplace_back(name, std::move(stream));
    };
    Stream clean;
    uint32_t time = 1000;
    for (size_t size : {100u, 700u, 1500u, 472u, 10u, 2000u}) clean.gop(size, time++);
    add("forward", clean.bytes, script(0, 0, {}));
    add("backward_from_end", clean.bytes,
        script(0, 0,
               {op(kSeek, 31), op(kPrevious, 0), op(kPrevious, 0), op(kPrevious, 0),
                op(kPrevious, 0), op(kPrevious, 0), op(kPrevious, 0), op(kPrevious, 0)}));
    add("skips", clean.bytes,
        script(1, 0,
               {op(kSkipForward, 2), op(kSkipBackward, 1), op(kSkipForward, 9), op(kSeek, 31),
                op(kSkipBackward, 3), op(kSkipBackward, 0), op(kSeek, 12), op(kPrevious, 0),
                op(kNext, 0)}));
    add("read_failure", clean.bytes,
        script(0x80, 1536 + 600,
               {op(kNext, 0), op(kNext, 0), op(kNext, 0), op(kSeek, 31), op(kPrevious, 0),
                op(kPrevious, 0), op(kPrevious, 0)}));

    Stream damaged;
    damaged.block(0x37);
    damaged.gop(100, 1);
    damaged.block(0);
    Bytes unfinished(512, 0);
    fleet::store_u32(unfinished.data(), fleet::format::kGopMagic);
    damaged.bytes.insert(damaged.bytes.end(), unfinished.begin(), unfinished.end());
    damaged.gop(900, 2);
    damaged.block(0xFF);
    Bytes too_long(512, 0);
    fleet::store_u32(too_long.data(), fleet::format::kGopMagic);
    fleet::store_u32(too_long.data() + 32, 100000);
    damaged.bytes.insert(damaged.bytes.end(), too_long.begin(), too_long.end());
    damaged.gop(40, 3);
    damaged.bytes.resize(damaged.bytes.size() - 100);  // cut inside the last GOP's padding
    add("damaged", damaged.bytes,
        script(0, 0,
               {op(kNext, 0), op(kNext, 0), op(kNext, 0), op(kSkipForward, 1), op(kSeek, 31),
                op(kPrevious, 0), op(kPrevious, 0), op(kPrevious, 0)}));

    Bytes index;
    auto put = [&](const std::array<uint8_t, 16>& record) {
        index.insert(index.end(), record.begin(), record.end());
    };
    put(fleet::format::IndexHeader{fleet::format::kIndexMagic, 1, 3, 0}.encode());
    put(fleet::format::IndexUnit{1000, 0, 0}.encode());
    put(fleet::format::IndexUnit{1120, 0, 61440}.encode());
    put(fleet::format::IndexUnit{1200, 0, 102400}.encode());
    add("index", index, script(0, 0, {1, 2, 3, 4, 0xFF}));
    return out;
}

// One picture of real H.264, so the summary's picture size is found by decoding.
Bytes h264_key_frame() {
    constexpr int kWidth = 32, kHeight = 24;  // 16 rows under the recorder's band
    dvrsim::H264Encoder encoder;
    if (!encoder.open({kWidth, kHeight, 1, 1})) return access_unit(8);
    Bytes picture(kWidth * kHeight * 3 / 2, 0x80);
    auto unit = encoder.encode(picture.data(), true);
    return unit ? std::move(*unit) : access_unit(8);
}

// A .dvr + .inx pair, as fuzz/pair_input.h lays it out in one input.
class PairSeed {
  public:
    explicit PairSeed(const fs::path& dir)
        : dvr_(dir / "seed.dvr"), inx_(dir / "seed.inx"), ok_(writer_.create(dvr_, inx_)) {}

    void gop(fleet::format::GopPlan plan) {
        plan.previous_length = previous_;
        Bytes bytes = fleet::format::build_gop(plan);
        previous_ = static_cast<uint32_t>(bytes.size());
        ok_ = writer_.append_gop(bytes.data(), bytes.size(), plan.time) && ok_;
    }
    void filler(const Bytes& block) {
        ok_ = writer_.append_filler(block.data(), block.size()) && ok_;
        previous_ = 0;
    }
    // `cut` bytes off the end of the stream, after the index was written.
    std::optional<Bytes> finish(size_t cut = 0, std::optional<uint32_t> magic = std::nullopt) {
        if (!writer_.finish() || !ok_) return std::nullopt;
        Bytes inx = read(inx_), dvr = read(dvr_);
        if (magic) fleet::store_u32(inx.data(), *magic);
        dvr.resize(dvr.size() - std::min(cut, dvr.size()));
        Bytes out = {static_cast<uint8_t>(inx.size()), static_cast<uint8_t>(inx.size() >> 8)};
        out.insert(out.end(), inx.begin(), inx.end());
        out.insert(out.end(), dvr.begin(), dvr.end());
        return out;
    }

  private:
    std::string dvr_, inx_;
    fleet::format::FilePairWriter writer_;
    bool ok_;
    uint32_t previous_ = 0;
};

fleet::format::GopPlan pair_gop(uint32_t time, int frames_per_channel) {
    fleet::format::GopPlan s;
    s.version = 3;
    s.channel_count = 4;
    s.time = time;
    s.announced_frames = frames_per_channel;
    s.frames = frames(2, frames_per_channel);
    s.audio = {8000, 16, 1, pcm(64)};
    s.info = info(3, frames_per_channel, 4);
    return s;
}

std::optional<std::vector<std::pair<std::string, Bytes>>> pair_seeds(const fs::path& scratch) {
    std::vector<std::pair<std::string, Bytes>> out;
    auto add = [&](const std::string& name, std::optional<Bytes> bytes) {
        if (!bytes) return false;
        out.emplace_back(name, std::move(*bytes));
        return true;
    };
    bool ok = true;
    {
        PairSeed p(scratch);
        fleet::format::GopPlan first = pair_gop(1000, 2);
        first.frames[0].data = h264_key_frame();
        p.gop(first);
        for (uint32_t t = 1001; t < 1004; ++t) p.gop(pair_gop(t, 2));
        ok = add("clean", p.finish()) && ok;
    }
    {
        PairSeed p(scratch);
        p.gop(pair_gop(1000, 2));
        p.filler(Bytes(1024, 0x37));
        p.gop(pair_gop(1001, 3));
        Bytes zero_length(fleet::format::kBlockSize, 0);
        fleet::store_u32(zero_length.data(), fleet::format::kGopMagic);
        p.filler(zero_length);
        fleet::format::GopPlan bad_version = pair_gop(1002, 2);
        bad_version.version = 9;
        p.gop(bad_version);
        p.gop(pair_gop(1003, 2));
        ok = add("damaged_and_cut", p.finish(300)) && ok;
    }
    {
        PairSeed p(scratch);
        fleet::format::GopPlan odd = pair_gop(1000, 2);
        odd.info = info(3, 2, 4, "BUS\xE9\xFF",
                        "2237.12\x99"
                        "4N11402.5678E");
        p.gop(odd);
        ok = add("texts_not_utf8", p.finish()) && ok;
    }
    {
        PairSeed p(scratch);
        p.gop(pair_gop(1000, 1));
        ok = add("foreign_index", p.finish(0, 0x474F4F44)) && ok;
    }
    if (!ok) return std::nullopt;
    return out;
}

std::vector<std::pair<std::string, Bytes>> app_config_seeds() {
    auto text = [](const std::string& t) { return Bytes(t.begin(), t.end()); };
    return {
        {"full",
         text("\xEF\xBB\xBF[MutiLanguage]\r\nLangFile=Deutsch.lang\r\n"
              "[NetWorkSetting]\r\nRunMode=1\r\nServerIp=192.168.1.20\r\nUserName=admin\r\n"
              "PassWord=\"s3cret\"\r\n"
              "[JpegCaptureSetting]\r\nDefaultDir=~/DVR/pic\r\n"
              "[ScreenCaptureSetting]\r\nDefaultDir=/srv/capture/\r\nDefaultMAXTimeSpan=45min\r\n"
              "[DownloadSetting]\r\nDefaultDir=~\r\n"
              "[EventSetting]\r\nDefaultDir=\r\nDefaultAlarm=1\r\nDefaultFanError=-0\r\n"
              "[UnitSetting]\r\nDefaultSpeedUnit=+1\r\nDefaultTemperatureUnit=99999999999\r\n"
              "DefaultPressureUnit= -7x\r\nDefaultMapType=1\r\n"
              "[LogFileSetting]\r\nDefaultDir='~/logs'\r\n")},
        {"odd", text("[unitsetting]\ndefaultspeedunit = 1\n[UNITSETTING]\nDefaultMapType=1\n"
                     "[MutiLanguage]\nLangFile=\xF0\x9F\x9A\x8C\xE4\xB8\xAD\xE6\x96\x87-very-long-"
                     "name-of-a-file.lang\n"
                     "[NetWorkSetting]\nServerIp\n=no key\nUserName=\xFF\xFEname\n")},
    };
}

// ---- disks, volumes, cards ----

// An image file made by `make`, in the sparse form fuzz/sparse_image.h reads.
std::optional<Bytes> sparse_seed(const fs::path& scratch, int64_t size,
                                 const std::function<bool(int fd)>& make) {
    const fs::path path = scratch / "image";
    fs::remove(path);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return std::nullopt;
    bool made = ::ftruncate(fd, size) == 0 && make(fd);
    made = ::close(fd) == 0 && made;
    fleet::format::FileByteSource image;
    if (!made || !image.open(path.string())) return std::nullopt;
    return fuzz::encode_sparse_image(image, size);
}

bool put(int fd, int64_t at, const Bytes& bytes) {
    return ::pwrite(fd, bytes.data(), bytes.size(), at) == static_cast<ssize_t>(bytes.size());
}

// A FAT32 volume with the files filled by a pattern that differs from file to file.
bool fat32_volume(int fd, int64_t offset, int64_t length,
                  const std::vector<fleet::format::FatFilePlan>& files) {
    auto placed = fleet::format::write_fat32_volume(fd, offset, length, files);
    if (!placed) return false;
    uint8_t fill = 0x30;
    for (const auto& f : *placed) {
        Bytes bytes(static_cast<size_t>(f.size));
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(fill + i);
        if (!put(fd, offset + f.data_offset, bytes)) return false;
        fill = static_cast<uint8_t>(fill + 0x20);
    }
    return true;
}

// A FAT16 volume set down field by field: 1 KiB clusters, a file whose chain jumps, a
// directory, a deleted entry and an 8.3 name flagged as lower case.
bool fat16_volume(int fd) {
    constexpr int64_t kReserved = 1, kFatSectors = 32, kRootSectors = 32, kClusterBytes = 1024;
    Bytes boot(512, 0);
    boot[0] = 0xEB, boot[1] = 0x3C, boot[2] = 0x90;
    fleet::store_u16(&boot[11], 512);
    boot[13] = 2;
    fleet::store_u16(&boot[14], kReserved);
    boot[16] = 2;
    fleet::store_u16(&boot[17], 512);    // root entries
    fleet::store_u16(&boot[19], 16384);  // sectors
    boot[21] = 0xF8;
    fleet::store_u16(&boot[22], kFatSectors);
    boot[510] = 0x55, boot[511] = 0xAA;

    Bytes fat(32, 0);
    auto link = [&](int cluster, uint16_t next) { fleet::store_u16(&fat[cluster * 2], next); };
    link(0, 0xFFF8), link(1, 0xFFFF);
    link(2, 3), link(3, 9), link(9, 0xFFFF);  // TIMEINDX.DAT
    link(4, 0xFFFF);                          // FOLDER
    link(5, 0xFFFF);                          // a.txt

    Bytes root(4 * 32, 0);
    auto entry = [&](int n, const char* name, uint8_t attributes, uint8_t case_flags,
                     uint16_t cluster, uint32_t size) {
        uint8_t* e = &root[static_cast<size_t>(n) * 32];
        std::memcpy(e, name, 11);
        e[11] = attributes, e[12] = case_flags;
        fleet::store_u16(e + 26, cluster);
        fleet::store_u32(e + 28, size);
    };
    entry(0, "TIMEINDXDAT", 0x20, 0, 2, 3000);
    entry(1, "\xE5LD     BIN", 0x20, 0, 6, 100);
    entry(2, "FOLDER     ", 0x10, 0, 4, 0);
    entry(3, "A       TXT", 0x20, 0x18, 5, 10);

    const int64_t fat_at = kReserved * 512, root_at = fat_at + 2 * kFatSectors * 512;
    const int64_t data_at = root_at + kRootSectors * 512;
    auto cluster = [&](int c) { return data_at + (c - 2) * kClusterBytes; };
    return put(fd, 0, boot) && put(fd, fat_at, fat) && put(fd, fat_at + kFatSectors * 512, fat) &&
           put(fd, root_at, root) && put(fd, cluster(2), Bytes(1024, 0x41)) &&
           put(fd, cluster(3), Bytes(1024, 0x42)) && put(fd, cluster(9), Bytes(952, 0x43)) &&
           put(fd, cluster(5), Bytes(10, 0x61));
}

const std::vector<fleet::format::FatFilePlan> kIndexFiles = {
    {"timeindex", 4096}, {"eventindex", 48}, {"quickindex", 600}};

// A recorder disk: its table, the FAT32 index partition at 1 MiB and the data partition.
bool recorder_disk(int fd, const std::vector<fleet::format::FatFilePlan>& files, int partitions) {
    constexpr int64_t kIndexBytes = 40 << 20;
    constexpr uint32_t kIndexSectors = kIndexBytes / 512;
    std::vector<fleet::format::MbrPartition> table = {{0x0C, 2048, kIndexSectors}};
    if (partitions > 1) table.push_back({0x83, 2048 + kIndexSectors, 16384});
    auto mbr = fleet::format::build_mbr(table);
    return put(fd, 0, Bytes(mbr.begin(), mbr.end())) &&
           fat32_volume(fd, table[0].offset(), kIndexBytes, files);
}

using Seeds = std::vector<std::pair<std::string, Bytes>>;

std::optional<Seeds> volume_seeds(const fs::path& scratch) {
    Seeds out;
    auto add = [&](const std::string& name, int64_t size, const std::function<bool(int)>& make) {
        std::optional<Bytes> seed = sparse_seed(scratch, size, make);
        if (seed) out.emplace_back(name, std::move(*seed));
        return seed.has_value();
    };
    bool ok = add("fat32_long_names", 64 << 20, [](int fd) {
        return fat32_volume(fd, 0, 64 << 20,
                            {{"timeindex", 5000},
                             {"EVENTIDX.DAT", 16},
                             {"quickindex", 0},
                             {"Fahrtenbuch \xC3\xBC"
                              "ber 2024 \xE2\x80\x93 Woche 52.bin",
                              700}});
    });
    ok = add("fat32_4k_clusters", int64_t{300} << 20,
             [](int fd) {
                 return fat32_volume(fd, 0, int64_t{300} << 20, {{"a", 9000}, {"b", 1}});
             }) &&
         ok;
    ok = add("fat16_by_hand", int64_t{16384} * 512, fat16_volume) && ok;
    if (!ok) return std::nullopt;
    return out;
}

std::optional<Seeds> disk_seeds(const fs::path& scratch) {
    Seeds out;
    const int64_t size = (2048 + (40 << 20) / 512 + 16384) * int64_t{512};
    for (const auto& [name, files, partitions] :
         {std::tuple{"recorder_disk", kIndexFiles, 2},
          std::tuple{"no_quickindex", std::vector(kIndexFiles.begin(), kIndexFiles.end() - 1), 2},
          std::tuple{"one_partition", kIndexFiles, 1}}) {
        std::optional<Bytes> seed = sparse_seed(
            scratch, size, [&](int fd) { return recorder_disk(fd, files, partitions); });
        if (!seed) return std::nullopt;
        out.emplace_back(name, std::move(*seed));
    }
    return out;
}

Seeds card_seeds() {
    auto card = [](int64_t base, int64_t device_size, const std::string& mark = "") {
        auto sector = fleet::format::build_card_sector(base);
        Bytes out(sector.begin(), sector.end());
        std::copy(mark.begin(), mark.end(), out.begin());
        out.resize(out.size() + 8);
        fleet::store_u64(&out[512], static_cast<uint64_t>(device_size));
        return out;
    };
    const int64_t k8GiB = int64_t{8} << 30;
    return {{"card_8gib", card(0x400000, k8GiB)},
            {"data_at_the_end", card(0x400000, 0x400000 + fleet::format::kCardDataOffset)},
            {"base_off_sector", card(0x400100, k8GiB)},
            {"mark_without_zero", card(0x400000, k8GiB, "SD RAW FORMATX")}};
}

}  // namespace

// Streams of every engine<->recorder message, whole and broken, each cut three ways.
Seeds link_seeds() {
    namespace rm = fleet::recorder;
    auto join = [](std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    rm::LiveStart live;
    live.channel_mask = 0xFF;
    live.mode_bits = 0x45;
    Bytes gop(600);
    for (size_t i = 0; i < gop.size(); ++i) gop[i] = static_cast<uint8_t>(i);
    std::array<uint8_t, 16> index_header{};
    fleet::store_u32(index_header.data(), 0x1738BABE);
    Bytes units(64, 0x11);
    const Bytes requests = join(
        {rm::encode_live_start(live, rm::kCmdLive), rm::encode_live_start(live, rm::kCmdHello),
         rm::encode_live_control(rm::kSubStop, 1), rm::encode_live_control(rm::kSubMore, 2),
         rm::encode_live_control(rm::kSubSlower, 1), rm::encode_index_header_request(rm::kCmdIndex),
         rm::encode_index_unit_request(rm::kCmdHello, 5, 9),
         rm::encode_data_request(rm::kCmdLive, 5, 13)});
    const Bytes answers =
        join({rm::encode_hello(), rm::encode_reply(rm::kSubStart, rm::kStatusAccepted),
              rm::encode_video(2, 0, gop), rm::encode_video(0, 0, {}),
              rm::encode_index_header_reply(true, index_header), rm::encode_index_units(units)});
    Bytes overlong_gop = rm::encode_video(2, 30, gop);
    fleet::store_u32(overlong_gop.data() + fleet::kLinkHeaderSize + 24, 601);
    Bytes bad_magic = rm::encode_reply(1, 1);
    bad_magic[0] ^= 0xFF;
    Bytes oversize = rm::encode_hello();
    fleet::store_u32(oversize.data() + 8, 0x00400001);

    Seeds out;
    const std::vector<std::pair<std::string, Bytes>> streams = {
        {"requests", requests},
        {"answers", answers},
        {"overlong_gop", join({answers, overlong_gop})},
        {"bad_magic", join({requests, bad_magic, answers})},
        {"oversize", join({answers, oversize})}};
    const std::vector<std::pair<std::string, Bytes>> cuts = {
        {"bytes", {1}}, {"odd", {7, 200, 3}}, {"whole", {0}}};
    for (const auto& [stream_name, stream] : streams) {
        for (const auto& [cut_name, sizes] : cuts) {
            out.emplace_back(stream_name + "_" + cut_name, link_fuzz::make_input(sizes, stream));
        }
    }
    return out;
}

// Sequences the engine's links receive: a realtime stream, an index listing followed by
// downloads that end, stop and break off, a wrapped ring, and broken messages.
Seeds engine_receive_seeds() {
    namespace ef = engine_fuzz;
    constexpr uint8_t kLive = ef::kToLiveOnly, kRemote = ef::kToRemoteOnly;
    auto header = [](uint32_t first, uint32_t last, uint32_t wrapped) {
        fleet::format::IndexHeader h;
        h.first = first;
        h.last = last;
        h.wrapped = wrapped;
        return h.encode();
    };
    auto units = [](int count) {
        Bytes all;
        for (int i = 0; i < count; ++i) {
            fleet::format::IndexUnit u;
            u.time = 1773475200u + static_cast<uint32_t>(i) * 120;
            u.tag = 0x00100000u * static_cast<uint32_t>(i % 3);
            u.offset = int64_t{i} * 0x10000;
            const auto bytes = u.encode();
            all.insert(all.end(), bytes.begin(), bytes.end());
        }
        return all;
    };
    auto listing = [&](ef::Script& s, uint32_t first, uint32_t last, uint32_t wrapped, int n) {
        s.step(ef::kIndexHeader | kRemote, {1}).bytes(header(first, last, wrapped));
        s.step(ef::kIndexUnits | kRemote, {static_cast<uint8_t>(n)}).bytes(units(n));
    };

    ef::Script live(1);
    live.step(ef::kReply | kLive, {1, 0});
    for (uint8_t i = 0; i < 12; ++i) live.step(ef::kVideo | kLive, {uint8_t(3 + i), i, 0});
    for (int i = 0; i < 4; ++i) live.step(ef::kTake);
    live.step(ef::kReply | kLive, {2, 0}).step(ef::kReply | kLive, {1, 1});

    ef::Script unbuffered(0);
    for (uint8_t i = 0; i < 45; ++i) unbuffered.step(ef::kVideo | kLive, {1, i, 0});
    unbuffered.step(ef::kHugeVideo | kLive, {1}).step(ef::kHugeVideo | kLive, {0});
    unbuffered.step(ef::kTake).step(ef::kClosed | kLive).step(ef::kTake);

    ef::Script overflow(0);
    for (uint8_t i = 0; i < 50; ++i) overflow.step(ef::kVideo | kLive, {2, i, 0});
    overflow.step(ef::kHugeVideo | kLive, {1}).step(ef::kHugeVideo | kLive, {0});

    ef::Script download(0);
    listing(download, 1, 6, 0, 6);
    download.step(ef::kDownload, {0, 3}).step(ef::kReply | kRemote, {3, 0});
    for (uint8_t i = 0; i < 4; ++i) download.step(ef::kVideo | kRemote, {uint8_t(20 * i), i, 50});
    download.step(ef::kVideoEnd | kRemote);
    download.step(ef::kDownload, {1, 2}).step(ef::kVideo | kRemote, {9, 9, 80});
    download.step(ef::kStopDownload);
    download.step(ef::kDownload, {2, 1}).step(ef::kVideo | kRemote, {9, 10, 90});
    download.step(ef::kClosed | kRemote);
    download.step(ef::kDownload, {0, 1}).step(ef::kReply | kRemote, {3, 1});

    ef::Script wrapped(0);
    listing(wrapped, 0xFFFFD, 2, 1, 5);
    wrapped.step(ef::kDownload, {0, 4}).step(ef::kVideo | kRemote, {1, 0, 0});
    wrapped.step(ef::kVideoEnd | kRemote);

    ef::Script listening(1 | 2 | 4);
    listening.step(ef::kHello, {1}).step(ef::kHello, {0});
    listening.step(ef::kReply | kLive, {1, 0});
    for (uint8_t i = 0; i < 11; ++i) listening.step(ef::kVideo | kLive, {4, i, 0});
    listening.step(ef::kTake).step(ef::kTake);
    listing(listening, 1, 3, 0, 3);
    listening.step(ef::kDownload, {0, 2}).step(ef::kHello | kRemote, {0});
    listening.step(ef::kVideo | kRemote, {5, 1, 20}).step(ef::kVideoEnd | kRemote);

    ef::Script broken(1);
    const Bytes junk = {0x47, 0x3C, 0x10, 0x00, 0x31, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F};
    broken.step(ef::kRaw, {static_cast<uint8_t>(junk.size()), 0}).bytes(junk);
    broken.step(ef::kRawVideo, {8, 0, 1, 2, 3, 4, 5, 6, 7, 8});
    broken.step(ef::kStrayLink, {static_cast<uint8_t>(junk.size()), 0}).bytes(junk);
    broken.step(ef::kHello, {0}).step(ef::kIndexHeader | kRemote, {0});
    listing(broken, 3, 2, 0, 2);
    broken.step(ef::kIndexUnits | kRemote, {1}).bytes(units(1));
    broken.step(ef::kDownload, {0, 1}).step(ef::kRawVideo | kRemote, {2, 0, 9, 9});

    Seeds out;
    out.emplace_back("live_buffered", live.input());
    out.emplace_back("live_unbuffered_and_closed", unbuffered.input());
    out.emplace_back("live_overflow", overflow.input());
    out.emplace_back("downloads_end_stop_close_refuse", download.input());
    out.emplace_back("wrapped_ring", wrapped.input());
    out.emplace_back("listening_two_recorders", listening.input());
    out.emplace_back("broken_messages", broken.input());
    return out;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds DIR\n");
        return 2;
    }
    fs::path root(argv[1]);
    av_log_set_level(AV_LOG_ERROR);  // the encoder's statistics are noise here
    const fs::path scratch = fs::temp_directory_path() / "make-fuzz-seeds";
    fs::create_directories(scratch);
    auto pairs = pair_seeds(scratch);
    auto volumes = volume_seeds(scratch);
    auto disks = disk_seeds(scratch);
    fs::remove_all(scratch);
    if (!pairs || !volumes || !disks) {
        std::fprintf(stderr, "make_fuzz_seeds: cannot write images in %s\n", scratch.c_str());
        return 1;
    }
    bool ok = true;
    for (const auto& [target, seeds] :
         {std::pair{"fuzz_gop_parser", gop_seeds()}, std::pair{"fuzz_walkers", walker_seeds()},
          std::pair{"fuzz_telemetry_json", telemetry_seeds()},
          std::pair{"fuzz_file_source", *pairs}, std::pair{"fuzz_dvrtool", *pairs},
          std::pair{"fuzz_app_config", app_config_seeds()}, std::pair{"fuzz_fat", *volumes},
          std::pair{"fuzz_mbr", *disks}, std::pair{"fuzz_card_sector", card_seeds()},
          std::pair{"fuzz_link_framing", link_seeds()},
          std::pair{"fuzz_engine_receive", engine_receive_seeds()}}) {
        fs::create_directories(root / target);
        for (const auto& [name, bytes] : seeds) ok = write(root / target / name, bytes) && ok;
    }
    return ok ? 0 : 1;
}
