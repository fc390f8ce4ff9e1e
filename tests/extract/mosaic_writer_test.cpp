// The all-channel mosaic, fed every GOP of dvrsim recordings decoded by the engine's decoder
// bank, then decoded again with FFmpeg: every cell against its channel's picture.
#include "mosaic_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <fstream>
#include <memory>

#include "process.h"
#include "decoded_gops.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace {

using fleet::test::run_process;
using fleet::test::TempDir;

constexpr double kMinimumPsnr = 30.0;

// A 4:2:0 picture with its three planes packed, Y then U then V.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bytes;
    const uint8_t* plane(int p) const {
        const size_t luma = static_cast<size_t>(width) * height;
        return bytes.data() + (p == 0 ? 0 : luma + (p == 1 ? 0 : luma / 4));
    }
};

struct Decoded {
    std::vector<Picture> pictures;
    std::vector<uint8_t> sound;
    int audio_codec = AV_CODEC_ID_NONE;
};

Picture packed(const AVFrame* f) {
    Picture p{f->width, f->height, {}};
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane == 0 ? 0 : 1;
        for (int y = 0; y < f->height >> shift; ++y) {
            const uint8_t* row = f->data[plane] + y * f->linesize[plane];
            p.bytes.insert(p.bytes.end(), row, row + (f->width >> shift));
        }
    }
    return p;
}

// Every picture and all the sound bytes of the file, through libavformat and libavcodec.
Decoded decode_file(const std::string& path) {
    Decoded out;
    AVFormatContext* in = nullptr;
    EXPECT_EQ(avformat_open_input(&in, path.c_str(), nullptr, nullptr), 0);
    if (in == nullptr) return out;
    EXPECT_GE(avformat_find_stream_info(in, nullptr), 0);
    const int video = av_find_best_stream(in, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int audio = av_find_best_stream(in, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    EXPECT_GE(video, 0);
    if (audio >= 0) out.audio_codec = in->streams[audio]->codecpar->codec_id;
    const AVCodec* codec = avcodec_find_decoder(in->streams[video]->codecpar->codec_id);
    AVCodecContext* decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, in->streams[video]->codecpar);
    EXPECT_EQ(avcodec_open2(decoder, codec, nullptr), 0);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto receive = [&] {
        while (avcodec_receive_frame(decoder, frame) == 0) out.pictures.push_back(packed(frame));
    };
    while (av_read_frame(in, packet) >= 0) {
        if (packet->stream_index == video) {
            avcodec_send_packet(decoder, packet);
            receive();
        } else if (packet->stream_index == audio) {
            out.sound.insert(out.sound.end(), packet->data, packet->data + packet->size);
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(decoder, nullptr);
    receive();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&in);
    return out;
}

// A channel's picture from the frame set (YV12: Y, V, U), scaled to the cell.
Picture cell_picture(const uint8_t* yv12, int width, int height, int cell_width, int cell_height) {
    const int cw = (width + 1) / 2;
    const uint8_t* v = yv12 + width * height;
    const uint8_t* u = v + cw * ((height + 1) / 2);
    const uint8_t* src[3] = {yv12, u, v};
    const int src_stride[3] = {width, cw, cw};
    Picture out{cell_width, cell_height,
                std::vector<uint8_t>(static_cast<size_t>(cell_width) * cell_height * 3 / 2)};
    uint8_t* dst[3] = {out.bytes.data(), out.bytes.data() + cell_width * cell_height,
                       out.bytes.data() + cell_width * cell_height * 5 / 4};
    const int dst_stride[3] = {cell_width, cell_width / 2, cell_width / 2};
    SwsContext* scaler =
        sws_getContext(width, height, AV_PIX_FMT_YUV420P, cell_width, cell_height,
                       AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    sws_scale(scaler, src, src_stride, 0, height, dst, dst_stride);
    sws_freeContext(scaler);
    return out;
}

Picture black_cell(int width, int height) {
    Picture out{width, height,
                std::vector<uint8_t>(static_cast<size_t>(width) * height * 3 / 2, 128)};
    std::fill(out.bytes.begin(), out.bytes.begin() + width * height, 16);
    return out;
}

// PSNR over all three planes of the cell at (x, y) of the mosaic picture.
double cell_psnr(const Picture& mosaic, int x, int y, const Picture& cell) {
    double squares = 0;
    size_t count = 0;
    for (int p = 0; p < 3; ++p) {
        const int shift = p == 0 ? 0 : 1;
        const int w = cell.width >> shift;
        for (int row = 0; row < cell.height >> shift; ++row) {
            const uint8_t* a =
                mosaic.plane(p) + ((y >> shift) + row) * (mosaic.width >> shift) + (x >> shift);
            const uint8_t* b = cell.plane(p) + row * w;
            for (int i = 0; i < w; ++i) {
                const double d = static_cast<double>(a[i]) - b[i];
                squares += d * d;
            }
            count += static_cast<size_t>(w);
        }
    }
    const double mse = squares / static_cast<double>(count);
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

struct MosaicCase {
    const char* name;
    int channels;
    int columns;
    std::vector<std::string> options;  // for dvrsim record
};

void PrintTo(const MosaicCase& c, std::ostream* os) {
    *os << c.name;
}

const MosaicCase kCases[] = {
    {"one_channel_fills_one_cell", 1, 1, {"--seconds", "3"}},
    {"d1_and_cif_channels_in_2x2", 4, 2, {"--seconds", "3", "--resolution", "d1,cif"}},
    {"eight_channels_in_3x3_with_an_undecodable_gop",
     8,
     3,
     {"--seconds", "4", "--damage", "undecodable"}},
};

ExtractJob mosaic_job(const std::string& path, int channels, const FrameSet& first) {
    ExtractJob job{};
    job.screen_count = channels;
    job.sample_rate = first.audio_sample_rate;
    job.sample_bits = first.audio_sample_bits;
    job.all_channels_avi = 1;
    job.picture_width = first.picture_width;
    job.picture_height = first.picture_height;
    std::snprintf(job.all_channels_avi_path, sizeof job.all_channels_avi_path, "%s", path.c_str());
    return job;
}

class Mosaic : public testing::TestWithParam<MosaicCase> {};

TEST_P(Mosaic, EveryCellShowsItsChannel) {
    const MosaicCase& c = GetParam();
    TempDir dir;
    std::vector<std::string> options{"--channels", std::to_string(c.channels), "--stream-version",
                                     "3"};
    options.insert(options.end(), c.options.begin(), c.options.end());
    const auto source = extract_test::record_with_dvrsim(dir.path(), options);

    // Writing: every GOP as the extraction delivers it; the sound the engine would play.
    std::unique_ptr<ombrel::OutputWriter> writer;
    ExtractJob job{};
    std::vector<uint8_t> sound;
    int frames = 0;
    extract_test::DecodedGops gops(source);
    while (gops.next()) {
        const FrameSet& set = gops.frames();
        if (!writer) {
            job = mosaic_job(dir.file("all.avi"), c.channels, set);
            std::string error;
            writer = ombrel::make_mosaic_writer(job, error);
            ASSERT_NE(writer, nullptr) << error;
        }
        ASSERT_TRUE(writer->write_gop(gops.input(gops.stored_length()))) << writer->error();
        for (int f = 0; f < set.frames_per_channel && set.has_audio; ++f) {
            const uint8_t* chunk = set.audio_buffer + set.audio_chunk_offset[f];
            sound.insert(sound.end(), chunk, chunk + set.audio_chunk_length[f]);
        }
        frames += set.frames_per_channel;
    }
    ASSERT_NE(writer, nullptr);
    ASSERT_TRUE(writer->finish()) << writer->error();

    const auto check = run_process(
        {FFMPEG_PATH, "-v", "error", "-i", job.all_channels_avi_path, "-f", "null", "-"});
    EXPECT_EQ(check.exit_code, 0);
    EXPECT_EQ(check.out + check.err, "") << "FFmpeg reports errors decoding the mosaic";

    const Decoded decoded = decode_file(job.all_channels_avi_path);
    EXPECT_EQ(decoded.audio_codec, AV_CODEC_ID_PCM_S16LE);
    EXPECT_TRUE(decoded.sound == sound) << "the sound differs from what the engine plays";
    ASSERT_EQ(static_cast<int>(decoded.pictures.size()), frames);
    const int cell_w = job.picture_width;
    const int cell_h = job.picture_height;
    ASSERT_EQ(decoded.pictures.front().width, c.columns * cell_w);
    ASSERT_EQ(decoded.pictures.front().height, c.columns * cell_h);

    // Reading back: a channel whose picture is missing shows its last one, black before it.
    std::vector<Picture> last(static_cast<size_t>(c.columns * c.columns),
                              black_cell(cell_w, cell_h));
    extract_test::DecodedGops again(source);
    size_t shown = 0;
    int repeated = 0;
    while (again.next()) {
        const FrameSet& set = again.frames();
        for (int f = 0; f < set.frames_per_channel; ++f, ++shown) {
            for (int ch = 0; ch < c.channels; ++ch) {
                const auto size = again.sizes()[static_cast<size_t>(ch)];
                if (set.picture_size[ch][f] == 0) {
                    ++repeated;
                    continue;
                }
                last[static_cast<size_t>(ch)] =
                    cell_picture(set.picture_buffer[ch] + set.picture_offset[ch][f], size.width,
                                 size.height, cell_w, cell_h);
            }
            for (int cell = 0; cell < c.columns * c.columns; ++cell) {
                const double psnr =
                    cell_psnr(decoded.pictures[shown], cell % c.columns * cell_w,
                              cell / c.columns * cell_h, last[static_cast<size_t>(cell)]);
                EXPECT_GT(psnr, kMinimumPsnr) << "picture " << shown << ", cell " << cell;
            }
        }
    }
    if (std::string(c.name).find("undecodable") != std::string::npos) {
        EXPECT_GT(repeated, 0) << "the damaged GOP decoded after all";
    }
}

INSTANTIATE_TEST_SUITE_P(Grids, Mosaic, testing::ValuesIn(kCases),
                         [](const auto& c) { return std::string(c.param.name); });

TEST(MosaicCreation, RefusesAnExistingFileAndChangesNothing) {
    TempDir dir;
    const std::string path = dir.file("all.avi");
    std::ofstream(path) << "evidence";
    FrameSet first{};
    first.picture_width = 352;
    first.picture_height = 280;
    std::string error;
    EXPECT_EQ(ombrel::make_mosaic_writer(mosaic_job(path, 4, first), error), nullptr);
    EXPECT_NE(error, "");
    EXPECT_EQ(fleet::test::read_file(path), "evidence");
}

TEST(MosaicCreation, DiscardRemovesTheFile) {
    TempDir dir;
    const std::string path = dir.file("all.avi");
    FrameSet first{};
    first.picture_width = 352;
    first.picture_height = 280;
    std::string error;
    auto writer = ombrel::make_mosaic_writer(mosaic_job(path, 4, first), error);
    ASSERT_NE(writer, nullptr) << error;
    writer->discard();
    struct stat st;
    EXPECT_NE(::stat(path.c_str(), &st), 0);
}

}  // namespace
