// A program that connects to 127.0.0.1:PORT, queues COUNT messages of 64 KiB (more than the
// socket buffers hold), closes the link and exits at once: what it queued must still arrive.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fennick/fennick.h"
#include "link/link_header.h"

namespace {

int32_t ignore(int32_t, int32_t, const void*, int32_t, int32_t) {
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const int port = std::atoi(argv[1]);
    const int count = std::atoi(argv[2]);
    int32_t error = 0;
    const int32_t link = zInitTcp_C("127.0.0.1", port, ignore, &error);
    if (link < 0) {
        std::fprintf(stderr, "send_then_exit: connect failed: %d\n", error);
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        fleet::LinkHeader header;
        header.command = 50;
        header.payload_length = 64 * 1024;
        header.sub_code = static_cast<uint16_t>(header.payload_length % 7);  // as message() does
        const auto head = header.encode();
        std::vector<uint8_t> message(head.begin(), head.end());
        message.resize(head.size() + header.payload_length, static_cast<uint8_t>(i));
        if (zSend_C(link, message.data(), static_cast<int32_t>(message.size()), &error) < 0) {
            std::fprintf(stderr, "send_then_exit: send %d refused: %d\n", i, error);
            return 1;
        }
    }
    zUninitTcp_C(link);
    return 0;
}
