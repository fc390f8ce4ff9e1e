// Recognising a recorder's hard disk or SD card on a device or image file, and opening what it
// holds as a ring medium.
#pragma once

#include <memory>
#include <string>

#include "format/byte_source.h"
#include "format/ring_scan.h"

namespace fleet::format {

// Where a ring's data and indexes are read from.
struct RingMedium {
    // Declared first so it goes last: everything else reads through it.
    std::unique_ptr<FileByteSource> device;
    std::unique_ptr<ByteSource> data;  // in physical unit offsets
    std::unique_ptr<ByteSource> time_index, event_index, quick_index;
    RingBounds bounds;
};

enum class MediumKind { Disk, Card };

struct MediumFound {
    enum Verdict {
        NotThisKind,  // passed over silently by a search
        Unusable,     // it is one, but cannot be opened: reported as a failure
        Usable,
    } verdict = NotThisKind;
    std::string why;
    RingMedium medium;  // set when usable
};

// Takes the opened device; a usable medium keeps it.
MediumFound find_medium(MediumKind kind, std::unique_ptr<FileByteSource> device);

// Opens the device or image file at `path` read-only and looks for a medium of the kind; a
// path that cannot be opened is NotThisKind with the system's reason.
MediumFound find_medium_at(MediumKind kind, const std::string& path);

}  // namespace fleet::format
