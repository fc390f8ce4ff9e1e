// Files written beside an export's video, from the frame sets of the GOPs it exported: the
// telemetry as CSV (one row per video frame) and the positions as a GPX 1.1 track, so that an
// investigator can read the drive in a spreadsheet or put it on any map.
//
// Both files are created exclusively (never over an existing file). Writes are buffered; a
// write error shows at the latest in close(). Not thread-safe: one export thread feeds them.
#pragma once

#include <cstdio>
#include <string>

#include "common/result.h"
#include "kivra/kivra.h"

namespace fleet::export_host {

// The time of video frame `frame` of a GOP, as UTC "YYYY-MM-DDTHH:MM:SS.mmmZ". A GOP holds one
// second of video, its frames evenly spread over that second.
std::string frame_time_text(uint32_t gop_time, int frame, int frames_in_gop);

// One output file; closes (and keeps) what it made when destroyed without close().
class SidecarFile {
  public:
    SidecarFile() = default;
    SidecarFile(const SidecarFile&) = delete;
    SidecarFile& operator=(const SidecarFile&) = delete;
    virtual ~SidecarFile();

    fleet::Status create(const std::string& path);  // exclusively
    bool is_open() const { return file_ != nullptr; }
    // Flushes and closes; fails when any write failed.
    virtual fleet::Status close();
    // Closes and removes the file.
    void discard();

  protected:
    void write(const std::string& text);
    const std::string& path() const { return path_; }

  private:
    std::FILE* file_ = nullptr;
    std::string path_;
    bool failed_ = false;
};

// time_utc, speed_kmh, g_x, g_y, g_z (in g), temperature_c, latitude, longitude (degrees,
// empty without a fix), alarms (one '0'/'1' per alarm flag). A value the frame does not carry
// is left empty.
class TelemetryCsv : public SidecarFile {
  public:
    fleet::Status open(const std::string& path);  // creates it and writes the header row
    void add(const FrameSet& frames);             // one row per video frame
    long rows() const { return rows_; }

  private:
    long rows_ = 0;
};

// <gpx><trk><name/><trkseg><trkpt lat lon><time/></trkpt>...: one point per video frame with
// a fix; a span without a fix ends the segment and the next fix begins a new one.
class GpxTrack : public SidecarFile {
  public:
    fleet::Status open(const std::string& path, const std::string& track_name);
    void add(const FrameSet& frames);
    fleet::Status close() override;  // ends the document first
    long points() const { return points_; }

  private:
    long points_ = 0;
    bool in_segment_ = false;
};

}  // namespace fleet::export_host
