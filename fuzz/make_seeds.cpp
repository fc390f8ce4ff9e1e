// Writes the seed corpus: valid GOPs of each version and shape for fuzz_gop_parser, and
// short streams and an index, each followed by a walk script, for fuzz_walkers.
//   make_fuzz_seeds DIR   (writes DIR/fuzz_gop_parser/* and DIR/fuzz_walkers/*)
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/le.h"
#include "format/gop_builder.h"
#include "format/info_block_writer.h"
#include "format/gop_header.h"
#include "format/index_format.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

bool write(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// The fuzz decoder reads the picture size in 16-byte units from the first two bytes.
Bytes access_unit(uint16_t units) {
    return {static_cast<uint8_t>(units), static_cast<uint8_t>(units >> 8), 0x65, 0x88};
}

std::vector<dvrsim::FrameRecord> frames(int channels, int per_channel, uint16_t units = 8) {
    std::vector<dvrsim::FrameRecord> out;
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

Bytes info(uint32_t version, int records, int tyre_words) {
    dvrsim::InfoSpec plan;
    plan.status = std::vector<dvrsim::StatusRecord>(static_cast<size_t>(records),
                                                    {"TRUCK-0042", -3, 0xA5, 0x05});
    plan.speed = std::vector<uint16_t>(static_cast<size_t>(records), dvrsim::speed_word(1205));
    plan.position = std::vector<std::string>(static_cast<size_t>(records), "2237.1234N11402.5678E");
    plan.gsensor = std::vector<std::array<int8_t, 3>>(static_cast<size_t>(records), {-4, 0, 64});
    dvrsim::TyreSection tyres{tyre_words, {}, std::nullopt};
    for (int g = 0; g < records; ++g) {
        tyres.groups.emplace_back();
        for (int w = 0; w < tyre_words; ++w) {
            tyres.groups.back().push_back(version == 3 ? dvrsim::tyre_word_v3(w, 0x14, 30, 110)
                                                       : dvrsim::tyre_word_v12(w, 825, 30));
        }
    }
    if (version == 3) tyres.summary = dvrsim::tyre_summary_word({1, 2, 3}, {0, 1, 2});
    plan.tyres = tyres;
    return dvrsim::build_info_block(plan);
}

std::vector<std::pair<std::string, Bytes>> gop_seeds() {
    std::vector<std::pair<std::string, Bytes>> out;
    auto add = [&](const std::string& name, const dvrsim::GopSpec& plan) {
        out.emplace_back(name, dvrsim::build_gop(plan));
    };
    dvrsim::GopSpec s;
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
        dvrsim::GopSpec plan;
        plan.channel_count = 1;
        plan.announced_frames = 1;
        plan.time = time;
        plan.previous_length = previous;
        plan.frames = {{0, true, Bytes(data_size, 0x11)}};
        Bytes g = dvrsim::build_gop(plan);
        previous = static_cast<uint32_t>(g.size());
        bytes.insert(bytes.end(), g.begin(), g.end());
        pad();
    }
    void block(uint8_t fill) { bytes.insert(bytes.end(), 512, fill); }
    void pad() {
        bytes.resize(static_cast<size_t>(kivra::round_up_block(static_cast<int64_t>(bytes.size()))));
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
        script(0, 0, {op(kSeek, 31), op(kPrevious, 0), op(kPrevious, 0), op(kPrevious, 0),
                      op(kPrevious, 0), op(kPrevious, 0), op(kPrevious, 0), op(kPrevious, 0)}));
    add("skips", clean.bytes,
        script(1, 0, {op(kSkipForward, 2), op(kSkipBackward, 1), op(kSkipForward, 9),
                      op(kSeek, 31), op(kSkipBackward, 3), op(kSkipBackward, 0),
                      op(kSeek, 12), op(kPrevious, 0), op(kNext, 0)}));
    add("read_failure", clean.bytes,
        script(0x80, 1536 + 600, {op(kNext, 0), op(kNext, 0), op(kNext, 0), op(kSeek, 31),
                                  op(kPrevious, 0), op(kPrevious, 0), op(kPrevious, 0)}));

    Stream damaged;
    damaged.block(0x37);
    damaged.gop(100, 1);
    damaged.block(0);
    Bytes unfinished(512, 0);
    fleet::store_u32(unfinished.data(), kivra::kGopMagic);
    damaged.bytes.insert(damaged.bytes.end(), unfinished.begin(), unfinished.end());
    damaged.gop(900, 2);
    damaged.block(0xFF);
    Bytes too_long(512, 0);
    fleet::store_u32(too_long.data(), kivra::kGopMagic);
    fleet::store_u32(too_long.data() + 32, 100000);
    damaged.bytes.insert(damaged.bytes.end(), too_long.begin(), too_long.end());
    damaged.gop(40, 3);
    damaged.bytes.resize(damaged.bytes.size() - 100);  // cut inside the last GOP's padding
    add("damaged", damaged.bytes,
        script(0, 0, {op(kNext, 0), op(kNext, 0), op(kNext, 0), op(kSkipForward, 1),
                      op(kSeek, 31), op(kPrevious, 0), op(kPrevious, 0), op(kPrevious, 0)}));

    Bytes index;
    auto put = [&](const std::array<uint8_t, 16>& record) {
        index.insert(index.end(), record.begin(), record.end());
    };
    put(kivra::IndexHeader{kivra::kIndexMagic, 1, 3, 0}.encode());
    put(kivra::IndexUnit{1000, 0, 0}.encode());
    put(kivra::IndexUnit{1120, 0, 61440}.encode());
    put(kivra::IndexUnit{1200, 0, 102400}.encode());
    add("index", index, script(0, 0, {1, 2, 3, 4, 0xFF}));
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds DIR\n");
        return 2;
    }
    fs::path root(argv[1]);
    bool ok = true;
    for (const auto& [target, seeds] : {std::pair{"fuzz_gop_parser", gop_seeds()},
                                        std::pair{"fuzz_walkers", walker_seeds()}}) {
        fs::create_directories(root / target);
        for (const auto& [name, bytes] : seeds) ok = write(root / target / name, bytes) && ok;
    }
    return ok ? 0 : 1;
}
