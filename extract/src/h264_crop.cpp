#include "h264_crop.h"

#include <cstring>

namespace ombrel {
namespace {

// The recorder's rows, edited into the top cropping field; the other fields stay as recorded.
const char* const kFilterChain = "h264_metadata=crop_top=8";

Packet packet_of(const uint8_t* data, size_t length, bool key) {
    Packet packet(av_packet_alloc());
    if (!packet || av_new_packet(packet.get(), static_cast<int>(length)) < 0) return nullptr;
    std::memcpy(packet->data, data, length);
    if (key) packet->flags |= AV_PKT_FLAG_KEY;
    return packet;
}

}  // namespace

bool H264Crop::open(std::string& error) {
    AVBSFContext* chain = nullptr;
    int status = av_bsf_list_parse_str(kFilterChain, &chain);
    filter_.reset(chain);
    if (status >= 0) {
        filter_->par_in->codec_type = AVMEDIA_TYPE_VIDEO;
        filter_->par_in->codec_id = AV_CODEC_ID_H264;
        status = av_bsf_init(filter_.get());
    }
    if (status < 0) error = "H.264 cropping filter: " + av_text(status);
    return status >= 0;
}

bool H264Crop::filter(const uint8_t* data, size_t length, bool key, std::vector<Packet>& out,
                      std::string& error) {
    Packet in = packet_of(data, length, key);
    if (!in) {
        error = "out of memory";
        return false;
    }
    int status = av_bsf_send_packet(filter_.get(), in.get());
    while (status >= 0) {
        Packet filtered(av_packet_alloc());
        if (!filtered) break;
        status = av_bsf_receive_packet(filter_.get(), filtered.get());
        if (status >= 0) out.push_back(std::move(filtered));
    }
    if (status == AVERROR(EAGAIN)) return true;
    error = "H.264 cropping filter: " + (status < 0 ? av_text(status) : "out of memory");
    return false;
}

std::optional<PictureSize> h264_picture_size(const AVPacket& access_unit) {
    std::unique_ptr<AVCodecParserContext, decltype(&av_parser_close)> parser(
        av_parser_init(AV_CODEC_ID_H264), &av_parser_close);
    CodecContext context(avcodec_alloc_context3(nullptr));
    if (!parser || !context) return std::nullopt;
    parser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
    uint8_t* unit = nullptr;
    int unit_size = 0;
    av_parser_parse2(parser.get(), context.get(), &unit, &unit_size, access_unit.data,
                     access_unit.size, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (parser->width <= 0 || parser->height <= 0) return std::nullopt;
    return PictureSize{parser->width, parser->height};
}

}  // namespace ombrel
