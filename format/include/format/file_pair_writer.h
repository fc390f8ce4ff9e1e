// Writes a `.dvr` stream with its `.inx` time index, the way a recorder does: a unit for the first
// GOP and every 120th after it (or another cadence), written before the GOP, a unit for every GOP
// that carries an event, and a closing unit that marks the end of the data.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace fleet::format {

inline constexpr int kUnitEveryGops = 120;

class TimeIndexWriter {
  public:
    TimeIndexWriter() = default;
    ~TimeIndexWriter();
    TimeIndexWriter(const TimeIndexWriter&) = delete;
    TimeIndexWriter& operator=(const TimeIndexWriter&) = delete;

    // Creates the file with the header {magic, 1, 0, 0}.
    bool create(const std::string& path);
    // GOPs from one cadence unit to the next; set before the first GOP.
    void set_unit_every(int gops) { unit_every_ = gops > 0 ? gops : 1; }
    // Called for every GOP before its data is written; adds a unit on the cadence, and one for a
    // GOP with a non-zero tag (an event type in bits 20..23) so the event can be found.
    bool add_gop(uint32_t time, int64_t offset, uint32_t tag = 0);
    // Appends the closing unit and rewrites the header. `min_last_one` gives last = 1 for an
    // index that would otherwise say 0 (a download that received nothing).
    bool finish(uint32_t last_time, int64_t stream_length, bool min_last_one = false);
    bool is_open() const { return file_ != nullptr; }

  private:
    bool append_unit(uint32_t time, uint32_t tag, int64_t offset);

    std::FILE* file_ = nullptr;
    int unit_every_ = kUnitEveryGops;
    int64_t gops_ = 0;
    uint32_t records_ = 0;  // header included
};

class FilePairWriter {
  public:
    // Creates BASE.dvr and BASE.inx; errno tells why on failure.
    bool create(const std::string& dvr_path, const std::string& inx_path);
    void set_unit_every(int gops) { index_.set_unit_every(gops); }
    // Appends one GOP (its bytes as they start the stored GOP) padded with zeros to 512; `tag`
    // goes into its time unit.
    bool append_gop(const uint8_t* gop, size_t length, uint32_t time, uint32_t tag = 0);
    // Appends bytes that are not a GOP (filler, or damage in simulated recordings); they get
    // no index unit. Callers keep the length a multiple of 512.
    bool append_filler(const uint8_t* bytes, size_t length);
    bool finish(bool min_last_one = false);

    int64_t stream_length() const { return length_; }
    int64_t gop_count() const { return gops_; }

    FilePairWriter() = default;
    ~FilePairWriter();
    FilePairWriter(const FilePairWriter&) = delete;
    FilePairWriter& operator=(const FilePairWriter&) = delete;

  private:
    std::FILE* dvr_ = nullptr;
    TimeIndexWriter index_;
    int64_t length_ = 0;
    int64_t gops_ = 0;
    uint32_t last_time_ = 0;
};

}  // namespace fleet::format
