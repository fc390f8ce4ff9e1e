#include "export_host/telemetry_sidecars.h"

#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <optional>

#include "format/position_text.h"

namespace fleet::export_host {

namespace {

namespace ff = fleet::format;

// Raw G values run -127..127 for -2 g..+2 g; their signed bytes arrive sign-extended, so only
// -128 lies outside: no reading.
constexpr int kGFullScale = 127;
constexpr double kGOfFullScale = 2.0;
// The recorder's signed temperature byte, in the range the dashboard shows: -128 is no reading.
constexpr int kLowestTemperature = -127;
constexpr int kHighestTemperature = 128;
constexpr int kAlarmFlags = 12;

std::string formatted(const char* format, double value) {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

int frame_count(const FrameSet& frames) {
    if (frames.frames_per_channel < 0) return 0;
    return std::min(frames.frames_per_channel, KIVRA_MAX_FRAMES);
}

bool carries(int32_t count, int frame) {
    return frame < std::min(count, KIVRA_MAX_FRAMES);
}

struct Degrees {
    double latitude = 0;
    double longitude = 0;
};

std::optional<Degrees> position_of(const FrameSet& frames, int frame) {
    if (!carries(frames.position_count, frame)) return std::nullopt;
    const auto angles = ff::position_of_text(frames.position[frame]);
    if (!angles) return std::nullopt;
    Degrees degrees{ff::degrees_of_angle(angles->latitude),
                    ff::degrees_of_angle(angles->longitude)};
    // GPX longitudes run from -180 up to, not including, 180: the date line is written west.
    if (degrees.longitude >= 180.0) degrees.longitude = -180.0;
    return degrees;
}

std::string g_text(int32_t raw) {
    if (raw < -kGFullScale || raw > kGFullScale) return "";
    return formatted("%.3f", raw * kGOfFullScale / kGFullScale);
}

std::string csv_row(const FrameSet& frames, int frame, int frames_in_gop) {
    std::string row = frame_time_text(frames.gop_time, frame, frames_in_gop) + ",";
    if (carries(frames.speed_count, frame)) row += formatted("%.1f", frames.speed[frame]);
    row += ",";
    for (int axis = 0; axis < 3; ++axis) {
        if (carries(frames.gsensor_count, frame)) {
            const GSensorSample& g = frames.gsensor[frame];
            row += g_text(axis == 0 ? g.x : axis == 1 ? g.y : g.z);
        }
        row += ",";
    }
    if (carries(frames.temperature_count, frame)) {
        const int32_t t = frames.temperature[frame];
        if (t >= kLowestTemperature && t <= kHighestTemperature) row += std::to_string(t);
    }
    row += ",";
    if (const auto position = position_of(frames, frame)) {
        row += formatted("%.6f", position->latitude) + "," + formatted("%.6f", position->longitude);
    } else {
        row += ",";
    }
    row += ",";
    if (carries(frames.flag_count, frame)) {
        for (int f = 0; f < kAlarmFlags; ++f) row += frames.flags[frame][f] != 0 ? '1' : '0';
    }
    return row + "\n";
}

std::string xml_escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

std::string frame_time_text(uint32_t gop_time, int frame, int frames_in_gop) {
    const std::time_t seconds = gop_time;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    const int millis = frames_in_gop > 0 ? frame * 1000 / frames_in_gop : 0;
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
    return text;
}

// ---- SidecarFile ----------------------------------------------------------------------------

SidecarFile::~SidecarFile() {
    if (file_ != nullptr) std::fclose(file_);
}

fleet::Status SidecarFile::create(const std::string& path) {
    // "x": created here or not at all, so no earlier export's file is ever replaced.
    file_ = std::fopen(path.c_str(), "wx");
    if (file_ == nullptr) return fleet::fail(path + ": " + std::strerror(errno), errno);
    path_ = path;
    failed_ = false;
    return {};
}

void SidecarFile::write(const std::string& text) {
    if (file_ == nullptr || failed_) return;
    failed_ = std::fwrite(text.data(), 1, text.size(), file_) != text.size();
}

fleet::Status SidecarFile::close() {
    if (file_ == nullptr) return {};
    const bool flushed = std::fflush(file_) == 0 && std::ferror(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (failed_ || !flushed || !closed) return fleet::fail(path_ + ": write failed");
    return {};
}

void SidecarFile::discard() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
}

// ---- TelemetryCsv ---------------------------------------------------------------------------

fleet::Status TelemetryCsv::open(const std::string& path) {
    if (auto made = create(path); !made) return made;
    rows_ = 0;
    write("time_utc,speed_kmh,g_x,g_y,g_z,temperature_c,latitude,longitude,alarms\n");
    return {};
}

void TelemetryCsv::add(const FrameSet& frames) {
    const int count = frame_count(frames);
    for (int frame = 0; frame < count; ++frame) {
        write(csv_row(frames, frame, count));
        ++rows_;
    }
}

// ---- GpxTrack -------------------------------------------------------------------------------

fleet::Status GpxTrack::open(const std::string& path, const std::string& track_name) {
    if (auto made = create(path); !made) return made;
    points_ = 0;
    in_segment_ = false;
    write(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"fleetdvr export\" "
        "xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
        "  <trk>\n"
        "    <name>" +
        xml_escaped(track_name) + "</name>\n");
    return {};
}

void GpxTrack::add(const FrameSet& frames) {
    const int count = frame_count(frames);
    for (int frame = 0; frame < count; ++frame) {
        const auto position = position_of(frames, frame);
        if (!position) {
            if (in_segment_) write("    </trkseg>\n");
            in_segment_ = false;
            continue;
        }
        if (!in_segment_) write("    <trkseg>\n");
        in_segment_ = true;
        write("      <trkpt lat=\"" + formatted("%.6f", position->latitude) + "\" lon=\"" +
              formatted("%.6f", position->longitude) + "\"><time>" +
              frame_time_text(frames.gop_time, frame, count) + "</time></trkpt>\n");
        ++points_;
    }
}

fleet::Status GpxTrack::close() {
    if (!is_open()) return {};
    if (in_segment_) write("    </trkseg>\n");
    in_segment_ = false;
    write("  </trk>\n</gpx>\n");
    return SidecarFile::close();
}

}  // namespace fleet::export_host
