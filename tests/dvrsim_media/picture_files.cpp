#include "picture_files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

namespace dvrsim::test_support {
namespace {

std::vector<uint8_t> to_rgb(const uint8_t* yuv420p, int width, int height) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    SwsContext* sws = sws_getContext(width, height, AV_PIX_FMT_YUV420P, width, height,
                                     AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (sws == nullptr) return {};
    const uint8_t* u = yuv420p + static_cast<ptrdiff_t>(width) * height;
    const uint8_t* v = u + static_cast<ptrdiff_t>(width / 2) * (height / 2);
    const uint8_t* const source[] = {yuv420p, u, v};
    const int source_stride[] = {width, width / 2, width / 2};
    uint8_t* const target[] = {rgb.data()};
    const int target_stride[] = {width * 3};
    sws_scale(sws, source, source_stride, 0, height, target, target_stride);
    sws_freeContext(sws);
    return rgb;
}

}  // namespace

std::string save_picture(const std::string& name, const uint8_t* yuv420p, int width, int height) {
    const std::filesystem::path directory = DVRSIM_ARTIFACT_DIR;
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    const std::vector<uint8_t> rgb = to_rgb(yuv420p, width, height);
    if (rgb.empty()) return "";

    const std::filesystem::path ppm = directory / (name + ".ppm");
    {
        std::ofstream out(ppm, std::ios::binary);
        out << "P6\n" << width << ' ' << height << "\n255\n";
        out.write(reinterpret_cast<const char*>(rgb.data()),
                  static_cast<std::streamsize>(rgb.size()));
        if (!out) return "";
    }
    if (std::filesystem::exists("/usr/bin/ffmpeg")) {
        const std::filesystem::path png = directory / (name + ".png");
        const std::string command =
            "/usr/bin/ffmpeg -y -loglevel error -i '" + ppm.string() + "' '" + png.string() + "'";
        if (std::system(command.c_str()) == 0) return png.string();
    }
    return ppm.string();
}

}  // namespace dvrsim::test_support
