#include "dvrsim/h264_encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dvrsim/picture_painter.h"
#include "picture_files.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

namespace dvrsim {
namespace {

using AccessUnit = std::vector<uint8_t>;
using Picture = std::vector<uint8_t>;

// libx264 prints statistics for every encoder it closes; errors still show.
const bool kQuietLibav = [] {
    av_log_set_level(AV_LOG_ERROR);
    return true;
}();

constexpr int kNalIdr = 5;
constexpr int kNalSps = 7;
constexpr int kNalPps = 8;

std::vector<int> nal_types(const AccessUnit& unit) {
    std::vector<int> types;
    for (size_t i = 0; i + 3 < unit.size(); ++i) {
        if (unit[i] == 0 && unit[i + 1] == 0 && unit[i + 2] == 1) {
            types.push_back(unit[i + 3] & 0x1F);
            i += 2;
        }
    }
    return types;
}

bool starts_with_start_code(const AccessUnit& unit) {
    static constexpr uint8_t kLong[] = {0, 0, 0, 1};
    static constexpr uint8_t kShort[] = {0, 0, 1};
    return (unit.size() > 4 && std::memcmp(unit.data(), kLong, 4) == 0) ||
           (unit.size() > 3 && std::memcmp(unit.data(), kShort, 3) == 0);
}

bool contains(const std::vector<int>& types, int type) {
    for (int t : types) {
        if (t == type) return true;
    }
    return false;
}

Picture painted(int width, int height, int frame_index) {
    Picture picture(yuv420p_size(width, height));
    PictureContent content;
    content.channel = 2;
    content.frame_index = frame_index;
    content.time = 1718000000 + static_cast<uint32_t>(frame_index / 4);
    content.frame_in_second = frame_index % 4;
    content.fps = 4;
    paint_picture(picture.data(), width, height, content);
    return picture;
}

std::vector<Picture> painted_sequence(int width, int height, int count) {
    std::vector<Picture> pictures;
    for (int i = 0; i < count; ++i) pictures.push_back(painted(width, height, i));
    return pictures;
}

std::vector<AccessUnit> encode_all(const EncoderSettings& settings,
                                   const std::vector<Picture>& pictures) {
    H264Encoder encoder;
    const fleet::Status opened = encoder.open(settings);
    EXPECT_TRUE(opened) << opened.error().message;
    std::vector<AccessUnit> units;
    if (!opened) return units;
    for (size_t i = 0; i < pictures.size(); ++i) {
        const bool key = i % static_cast<size_t>(settings.frames_per_gop) == 0;
        auto unit = encoder.encode(pictures[i].data(), key);
        EXPECT_TRUE(unit) << "picture " << i << ": " << unit.error().message;
        units.push_back(unit ? std::move(*unit) : AccessUnit{});
    }
    return units;
}

struct Decoded {
    std::vector<Picture> pictures;  // YUV420P, contiguous
    int width = 0;
    int height = 0;
    std::string error;
};

Picture copy_out(const AVFrame* frame) {
    Picture picture;
    const auto append_plane = [&](int plane, int width, int height) {
        for (int row = 0; row < height; ++row) {
            const uint8_t* line =
                frame->data[plane] + static_cast<ptrdiff_t>(row) * frame->linesize[plane];
            picture.insert(picture.end(), line, line + width);
        }
    };
    append_plane(0, frame->width, frame->height);
    append_plane(1, frame->width / 2, frame->height / 2);
    append_plane(2, frame->width / 2, frame->height / 2);
    return picture;
}

// A fresh decoder per call: what a player has when it jumps straight into one GOP.
class GopDecoder {
  public:
    GopDecoder() {
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
        context_ = avcodec_alloc_context3(codec);
        context_->thread_count = 1;
        context_->err_recognition = AV_EF_EXPLODE;
        ok_ = avcodec_open2(context_, codec, nullptr) == 0;
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
    }
    ~GopDecoder() {
        avcodec_free_context(&context_);
        av_frame_free(&frame_);
        av_packet_free(&packet_);
    }
    GopDecoder(const GopDecoder&) = delete;
    GopDecoder& operator=(const GopDecoder&) = delete;

    Decoded decode(const std::vector<AccessUnit>& units) {
        Decoded out;
        if (!ok_) out.error = "h264 decoder did not open";
        for (const AccessUnit& unit : units) {
            if (!out.error.empty()) break;
            // av_new_packet adds the zeroed tail the decoder's bitstream reader may touch.
            if (av_new_packet(packet_, static_cast<int>(unit.size())) < 0) {
                out.error = "out of memory";
                break;
            }
            std::memcpy(packet_->data, unit.data(), unit.size());
            if (avcodec_send_packet(context_, packet_) < 0) out.error = "packet rejected";
            av_packet_unref(packet_);
            drain(out);
        }
        if (out.error.empty() && avcodec_send_packet(context_, nullptr) < 0) out.error = "flush";
        drain(out);
        return out;
    }

  private:
    void drain(Decoded& out) {
        int rc = 0;
        while ((rc = avcodec_receive_frame(context_, frame_)) == 0) {
            if (frame_->decode_error_flags != 0 || (frame_->flags & AV_FRAME_FLAG_CORRUPT) != 0) {
                out.error = "corrupt picture";
            }
            out.width = frame_->width;
            out.height = frame_->height;
            out.pictures.push_back(copy_out(frame_));
            av_frame_unref(frame_);
        }
        if (rc != AVERROR(EAGAIN) && rc != AVERROR_EOF) out.error = "decode error";
    }

    AVCodecContext* context_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    bool ok_ = false;
};

double psnr(const Picture& a, const Picture& b) {
    if (a.size() != b.size() || a.empty()) return 0.0;
    double squared = 0.0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = static_cast<double>(a[i]) - static_cast<double>(b[i]);
        squared += d * d;
    }
    const double mse = squared / static_cast<double>(a.size());
    return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

std::vector<AccessUnit> gop(const std::vector<AccessUnit>& units, int index, int length) {
    return {units.begin() + index * length, units.begin() + (index + 1) * length};
}

constexpr EncoderSettings kCif{352, 296, 4, 4};

TEST(H264Encoder, KeyFramesCarryHeadersAndOnlyStartGops) {
    const std::vector<AccessUnit> units = encode_all(kCif, painted_sequence(352, 296, 8));
    ASSERT_EQ(units.size(), 8u);
    for (size_t i = 0; i < units.size(); ++i) {
        SCOPED_TRACE("access unit " + std::to_string(i));
        EXPECT_TRUE(starts_with_start_code(units[i]));
        const std::vector<int> types = nal_types(units[i]);
        const bool first_of_gop = i % 4 == 0;
        EXPECT_EQ(contains(types, kNalSps), first_of_gop);
        EXPECT_EQ(contains(types, kNalPps), first_of_gop);
        EXPECT_EQ(contains(types, kNalIdr), first_of_gop);
        EXPECT_EQ(contains(types, 1), !first_of_gop) << "non-IDR slice";
    }
}

TEST(H264Encoder, EachGopDecodesAloneAndMatchesTheSource) {
    const std::vector<Picture> source = painted_sequence(352, 296, 8);
    const std::vector<AccessUnit> units = encode_all(kCif, source);
    ASSERT_EQ(units.size(), 8u);
    for (int g = 1; g >= 0; --g) {
        SCOPED_TRACE("GOP " + std::to_string(g));
        GopDecoder decoder;
        const Decoded decoded = decoder.decode(gop(units, g, 4));
        EXPECT_EQ(decoded.error, "");
        ASSERT_EQ(decoded.pictures.size(), 4u);
        EXPECT_EQ(decoded.width, 352);
        EXPECT_EQ(decoded.height, 296);
        for (size_t k = 0; k < 4; ++k) {
            EXPECT_GT(psnr(decoded.pictures[k], source[static_cast<size_t>(g) * 4 + k]), 30.0)
                << "picture " << k;
        }
    }
}

TEST(H264Encoder, SizesThatAreNotWholeMacroblocksDecode) {
    for (const EncoderSettings settings :
         {EncoderSettings{720, 488, 3, 25}, EncoderSettings{1280, 728, 3, 25}}) {
        SCOPED_TRACE(std::to_string(settings.width) + "x" + std::to_string(settings.height));
        const std::vector<Picture> source = painted_sequence(settings.width, settings.height, 3);
        GopDecoder decoder;
        const Decoded decoded = decoder.decode(encode_all(settings, source));
        EXPECT_EQ(decoded.error, "");
        ASSERT_EQ(decoded.pictures.size(), 3u);
        EXPECT_EQ(decoded.width, settings.width);
        EXPECT_EQ(decoded.height, settings.height);
        EXPECT_GT(psnr(decoded.pictures[2], source[2]), 30.0);
    }
}

TEST(H264Encoder, SameInputGivesSameBytes) {
    const std::vector<Picture> source = painted_sequence(352, 296, 8);
    const std::vector<AccessUnit> first = encode_all(kCif, source);
    const std::vector<AccessUnit> second = encode_all(kCif, source);
    ASSERT_EQ(first.size(), 8u);
    EXPECT_EQ(first, second);
}

TEST(H264Encoder, RejectsWhatItCannotHonour) {
    H264Encoder encoder;
    const fleet::Status odd_width = encoder.open(EncoderSettings{351, 296, 4, 4});
    ASSERT_FALSE(odd_width);
    EXPECT_EQ(odd_width.error().message, "picture size must be positive and even");
    const fleet::Status no_gop = encoder.open(EncoderSettings{352, 296, 0, 4});
    ASSERT_FALSE(no_gop);
    EXPECT_EQ(no_gop.error().message, "frames_per_gop must be positive");
    const Picture picture = painted(352, 296, 0);
    auto closed = encoder.encode(picture.data(), true);
    ASSERT_FALSE(closed);
    EXPECT_EQ(closed.error().message, "encoder is not open");

    const fleet::Status opened = encoder.open(kCif);
    ASSERT_TRUE(opened) << opened.error().message;
    auto not_key = encoder.encode(picture.data(), false);
    ASSERT_FALSE(not_key);
    EXPECT_EQ(not_key.error().message, "the first picture must be a key frame");
    auto key = encoder.encode(picture.data(), true);
    ASSERT_TRUE(key) << key.error().message;
    EXPECT_FALSE(key->empty());
}

TEST(H264Encoder, SavesADecodedPictureToLookAt) {
    const std::vector<Picture> source = painted_sequence(352, 296, 4);
    GopDecoder decoder;
    const Decoded decoded = decoder.decode(encode_all(kCif, source));
    ASSERT_EQ(decoded.pictures.size(), 4u);
    const std::string saved =
        test_support::save_picture("dvrsim_cif_decoded", decoded.pictures[3].data(), 352, 296);
    EXPECT_NE(saved, "");
}

}  // namespace
}  // namespace dvrsim
