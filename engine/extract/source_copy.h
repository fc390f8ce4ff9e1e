// A second reader of the open source, for an extraction that runs beside playback: its own
// files or device, its own cursor, nothing shared with the reader the engine plays from.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "format/recorder_medium.h"
#include "source/file_source.h"
#include "source/ring_source.h"
#include "source/stored_source.h"

namespace kivra {

// Opens the copy; null when it cannot be opened. Keeps no reference to the source it copies,
// so it may run after that source was closed.
using SourceCopier = std::function<std::unique_ptr<StoredSource>()>;

// The same pair of files, opened in full.
SourceCopier copier_of(const FileSource& pair);

// The same device or image with the ring the open source found: no search, no ring scan, no
// disk events and no removal monitor.
SourceCopier copier_of(const RingSource& ring, fleet::format::MediumKind kind,
                       std::string device_path);

}  // namespace kivra
