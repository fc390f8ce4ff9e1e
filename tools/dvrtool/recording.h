// What a subcommand works on: a `.dvr` + `.inx` pair, or a recorder's disk or card named by
// `--disk IMG` / `--card IMG`. The walkers move through the stream in walk addressing (a file's
// own offsets, a ring's GOPs back to back); what the user is shown is the offset a host sees.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/result.h"
#include "dvrtool/args.h"
#include "format/byte_source.h"
#include "format/index_format.h"
#include "format/ring_recording.h"
#include "format/stream_walker.h"

namespace dvrtool {

class Recording {
  public:
    virtual ~Recording() = default;

    // The file or device the user named, for messages.
    virtual const std::string& name() const = 0;

    // The recorded GOPs in walk addressing, and a cursor over them at their beginning.
    virtual fleet::format::ByteSource& stream() = 0;
    virtual fleet::format::StreamCursor cursor() = 0;
    // How far stream() can be read: the stream file's size, a ring's walk length.
    virtual int64_t readable_length() const = 0;
    // The offset shown for a walk offset: the same in a file, logical on a ring.
    virtual int64_t shown_offset(int64_t walk) const = 0;

    virtual uint32_t begin_time() const = 0;
    virtual uint32_t end_time() const = 0;
    virtual int64_t length() const = 0;

    // The time index as a host reads it: on a ring, first is the oldest unit and offsets are
    // logical (-1 off the recorded runs).
    virtual fleet::format::IndexHeader time_header() const = 0;
    virtual bool time_unit(uint32_t n, fleet::format::IndexUnit& out) = 0;
    // A file pair's last unit closes the data; a ring's newest may name a GOP the recorder
    // wrote more after.
    virtual bool last_unit_closes() const = 0;

    // The disk or card, or nullptr for a file pair.
    virtual fleet::format::RingRecording* ring() { return nullptr; }
};

// Whether the command line names a disk or card instead of a file.
bool names_medium(const CommandLine& line);

// The index beside FILE.dvr, or the one `--index` names.
std::string index_path(const CommandLine& line);

// Opens what the command line names, or says why not (an input error). An index whose header
// lacks the index magic is refused: its units would be arbitrary numbers.
fleet::Result<std::unique_ptr<Recording>> open_recording(const CommandLine& line);

std::string not_an_index(const std::string& inx_path, uint32_t magic);

}  // namespace dvrtool
