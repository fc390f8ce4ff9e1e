// One output of an extraction (a channel's AVI or MP4, the all-channel mosaic, the file-pair
// copy). The library hands every writer the same GOPs and index records in the order the
// engine delivers them; a writer that fails is discarded together with all the others, so an
// export leaves either complete files or none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "kivra/kivra.h"

namespace ombrel {

// One GOP as the engine delivered it: its stored bytes and the frame set decoded from them.
struct GopInput {
    const uint8_t* data = nullptr;
    size_t length = 0;
    const FrameSet* frames = nullptr;  // never null for a delivered GOP
};

class OutputWriter {
  public:
    virtual ~OutputWriter() = default;
    // False: this output cannot be written any more; the export fails.
    virtual bool write_gop(const GopInput& gop) = 0;
    // A 16-byte time-index record (the header first, then the units); only the copy uses them.
    virtual bool write_index_record(const uint8_t* /*record*/, size_t /*length*/) { return true; }
    // Completes the output (trailers, indexes, the copy's checked index); false when it cannot.
    virtual bool finish() = 0;
    // Closes whatever is open and removes every file this writer created.
    virtual void discard() = 0;
    // What went wrong, for the log, after a false.
    virtual std::string error() const = 0;
};

}  // namespace ombrel
