// What `dvrsim disk` and `dvrsim card` are asked to make: a whole recorder device as an image,
// its recording options, the index cadence and the decoys that make it look almost right.
#pragma once

#include <cstdint>
#include <string>

#include "dvrsim/recorder.h"

namespace dvrsim {

enum class ImageKind { Disk, Card };

// Images a reader must refuse: a disk whose partition table lacks the data partition, card
// sectors with the wrong mark, an unaligned base, or a data area outside the device.
enum class Decoy { None, OnePartition, Mark, BaseUnaligned, DataOutside };

inline constexpr int64_t kMiB = int64_t{1} << 20;

struct ImageOptions {
    ImageKind kind = ImageKind::Disk;
    RecordOptions record;  // record.base is the image path
    int64_t size = 0;      // device bytes; 0: the layout's areas plus ring_size
    int64_t ring_size = 4 * kMiB;
    bool ring_size_given = false;
    int64_t base = kMiB;        // card: where the index areas begin
    int unit_every = 10;        // GOPs from one time unit to the next
    uint32_t first_unit = 1;    // number of the first time unit
    bool stale_header = false;  // the headers keep the first unit ever written
    int event_every = 30;       // GOPs from one event to the next
    int quick_tyre_count = 0;   // the quick records' count byte; 0: the tyres they hold
    Decoy decoy = Decoy::None;
    int64_t sparse_units = 0;  // disk: that many units over the whole ring, few GOPs written
    bool progress = false;
};

// Small and quick to make: one CIF channel of flat pictures, a minute of recording.
ImageOptions default_image_options(ImageKind kind);

// Whether the options describe an image this recorder can make; if not, why not in one line.
fleet::Status check_image_options(const ImageOptions& options);

// A byte count: decimal or 0x hex, with an optional K, M, G or T (powers of 1024).
bool parse_size(const std::string& text, int64_t& out);
// A number in decimal or 0x hex within [lo, hi].
bool parse_number(const std::string& text, int64_t lo, int64_t hi, int64_t& out);
bool parse_decoy(ImageKind kind, const std::string& name, Decoy& out);
const char* decoy_name(Decoy decoy);

}  // namespace dvrsim
