// A simulated recorder: drives the vehicle, paints and encodes every channel, and writes the
// GOP stream, its time index and a ground-truth sidecar of what each frame carries.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/result.h"
#include "dvrsim/picture_painter.h"
#include "dvrsim/tyre_layout.h"
#include "dvrsim/vehicle_model.h"

namespace dvrsim {

enum class Damage {
    Garbage,          // random blocks between two GOPs
    CorruptHeader,    // one GOP's version field made invalid
    Truncate,         // the last GOP cut short (the index still claims all of it)
    ZeroLengthMagic,  // a filler block that starts with the GOP magic but has length 0
    BrokenPictures,   // one GOP's pictures damaged midway: they decode with errors, concealed
    Undecodable,      // one GOP's pictures replaced by bytes from which no picture decodes
};

struct Resolution {
    int width = 352;
    int height = 288;  // as shown; the stream carries 8 more rows
};

// The time index of a file pair: a unit every `unit_every` GOPs and, with `event_every` above 0,
// an event every that many GOPs (types cycling 1..15), each on a unit of its own GOP.
struct PairIndex {
    int unit_every = 120;
    int event_every = 0;  // 0: no events
};

struct RecordOptions {
    std::string base;  // writes BASE.dvr, BASE.inx, BASE.truth.jsonl
    int channels = 4;
    int stream_version = 3;
    int seconds = 10;
    // Channel c's picture size: entry c, or the last entry for the channels after it (real
    // recorders write D1 on the first channel and CIF on the rest).
    std::vector<Resolution> resolutions{Resolution{}};
    int fps = 8;  // frames per channel in every one-second GOP
    Scene scene = Scene::Flat;
    bool audio = true;
    int audio_rate = 8000;
    int audio_bits = 16;
    int audio_channels = 1;
    uint64_t seed = 1;
    uint32_t start_time = 1773475200;  // 2026-03-14 08:00:00
    std::string vehicle_id;            // empty: derived from the seed
    std::optional<Origin> origin;      // none: the seed's default area
    TyreLayout tyre_layout{};          // version 3: the units' layout types; none: six tyres
    std::vector<Damage> damage;
    PairIndex pair_index;   // file pairs only; disks and cards have their own index options
    bool progress = false;  // report progress on standard error
};

struct RecordSummary {
    int64_t gops = 0;
    int64_t stream_bytes = 0;
    int64_t frames = 0;  // truth lines written
};

// Whether the options describe a recording this recorder can make; if not, why not.
fleet::Status check_options(const RecordOptions& options);

// Writes the recording, or says in one line why it could not.
fleet::Result<RecordSummary> record(const RecordOptions& options);

bool parse_damage(const std::string& name, Damage& out);
// One size ("cif", "d1", "720p") or a comma-separated list of them, one per channel.
bool parse_resolutions(const std::string& names, std::vector<Resolution>& out);
// The size channel c records at.
Resolution resolution_of(const RecordOptions& options, int channel);
bool parse_scene(const std::string& name, Scene& out);

}  // namespace dvrsim
