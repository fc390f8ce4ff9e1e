#include "present/snapshot_jpeg.h"

#include <turbojpeg.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string_view>

#include "present/label.h"
#include "present/presenter.h"

namespace kivra {
namespace {

constexpr int kTimeStampScale = 4;
constexpr std::string_view kTimeStampPattern = "0000-00-00 00:00:00";

struct CompressorDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
struct JpegDeleter {
    void operator()(unsigned char* data) const { tjFree(data); }
};

bool write_file(const std::string& path, const unsigned char* data, unsigned long size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(data, 1, size, file) == size;
    // fclose flushes: a full disk often shows up only here.
    bool closed = std::fclose(file) == 0;
    if (written && closed) return true;
    // A partial JPEG must not pass for a snapshot; a device node is not ours to remove.
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) std::filesystem::remove(path, error);
    return false;
}

}  // namespace

std::string utc_time_text(uint32_t seconds) {
    std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (!gmtime_r(&time, &parts)) return std::string(kTimeStampPattern);
    char text[80];  // -Wformat-truncation sizes each field for any int
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

int time_stamp_scale(int image_width) {
    int scale = kTimeStampScale;
    while (scale > 1 && text_box(kTimeStampPattern, 0, 0, scale, scale).width > image_width) {
        --scale;
    }
    return scale;
}

bool write_snapshot_jpeg(const std::string& path, std::vector<uint8_t> rgb, int width, int height,
                         uint32_t time_stamp) {
    if (width <= 0 || height <= 0 ||
        rgb.size() < static_cast<size_t>(width) * static_cast<size_t>(height) * 3) {
        return false;
    }
    if (time_stamp != 0) {
        draw_text_rgb(rgb.data(), width, height, utc_time_text(time_stamp), 0, 0,
                      time_stamp_scale(width), Rgb{255, 255, 255}, Rgb{0, 0, 0});
    }

    std::unique_ptr<void, CompressorDeleter> compressor(tjInitCompress());
    if (!compressor) return false;
    unsigned char* jpeg = nullptr;
    unsigned long jpeg_size = 0;
    int result = tjCompress2(compressor.get(), rgb.data(), width, width * 3, height, TJPF_RGB,
                             &jpeg, &jpeg_size, TJSAMP_420, 90, 0);
    std::unique_ptr<unsigned char, JpegDeleter> owned(jpeg);
    if (result != 0 || !owned || jpeg_size == 0) return false;
    return write_file(path, owned.get(), jpeg_size);
}

}  // namespace kivra
