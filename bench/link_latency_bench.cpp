// Latency of realtime network play: from a recorder sending a GOP to the engine presenting
// that GOP's first picture, against the plain transfer of the same message from one Fennick
// link to another on loopback, both measured in the same run.
//
// The recorder is scripted in this process on a Fennick listener; the engine plays its live
// stream through zOpenEx (direct link, buffering off). GOPs are sent one at a time, each once
// the one before has been shown whole and a pause passed, so no GOP waits behind another. The GOPs
// are those of a dvrsim recording (four D1 channels, camera scene), told apart on screen by their
// times.
//   link_latency_bench [SAMPLES]
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/le.h"
#include "fennick/fennick.h"
#include "format/gop_header.h"
#include "kivra/kivra.h"
#include "link/recorder_messages.h"

namespace {

namespace fs = std::filesystem;
namespace rec = fleet::recorder;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

constexpr auto kWait = std::chrono::seconds(20);
constexpr int kWarmupGops = 2;
// After a GOP was shown whole the player waits for data: a pause longer than a picture's time
// (1/15 s) makes sure the next GOP finds it waiting, not still showing the last picture.
constexpr auto kPauseBetweenGops = std::chrono::milliseconds(200);

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "link_latency_bench: %s\n", what);
    std::exit(1);
}

// ---- the recording -------------------------------------------------------------------------

struct Gop {
    Bytes bytes;  // unpadded, as a recorder sends it
    uint32_t time = 0;
    int frames = 0;  // per channel
};

std::vector<Gop> recorded_gops(int seconds) {
    char pattern[] = "/tmp/link-latency-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) fail("mkdtemp failed");
    const fs::path dir = pattern;
    const std::string command = std::string(DVRSIM_PATH) + " record --out " +
                                (dir / "rec").string() +
                                " --channels 4 --stream-version 3 --resolution d1 --fps 15"
                                " --scene camera --seed 5 --seconds " +
                                std::to_string(seconds) + " > /dev/null";
    if (std::system(command.c_str()) != 0) fail("dvrsim failed");
    std::ifstream in(dir / "rec.dvr", std::ios::binary);
    const Bytes bytes{std::istreambuf_iterator<char>(in), {}};
    fs::remove_all(dir);

    std::vector<Gop> gops;
    for (size_t at = 0; at < bytes.size();) {
        const auto header = fleet::format::read_gop_header(bytes.data() + at, bytes.size() - at);
        if (!header || header->total_length() == 0) break;
        const size_t length = std::min<size_t>(header->total_length(), bytes.size() - at);
        gops.push_back({Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                              bytes.begin() + static_cast<std::ptrdiff_t>(at + length)),
                        header->time(), header->announced_frames_per_channel()});
        at += static_cast<size_t>(fleet::format::round_up_block(header->total_length()));
    }
    if (gops.size() < 2) fail("the recording has too few GOPs");
    return gops;
}

// A loopback port nobody holds now.
int32_t free_port() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        fail("no free loopback port");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

// ---- what the callbacks saw ------------------------------------------------------------------

struct Seen {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<int32_t> link_codes;
    std::vector<int32_t> play_codes;
    Clock::time_point last_present;
    uint32_t awaited_time = 0;
    std::optional<Clock::time_point> first_shown;  // of the awaited GOP
    int frames_shown = 0;                          // of the awaited GOP
    int32_t recorder_link = -1;
    std::optional<Clock::time_point> received;  // the reference's receiver

    template <typename Done>
    bool wait(Done done) {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, kWait, done);
    }
};

Seen& seen() {
    static Seen instance;
    return instance;
}

void area_size(void*, int32_t* width, int32_t* height) {
    *width = 1440;
    *height = 960;
}

void on_present(void*, const KivraCanvas*) {
    const auto now = Clock::now();
    std::lock_guard<std::mutex> guard(seen().lock);
    seen().last_present = now;
}

// Called right after the picture it describes was presented.
void on_frame(uint32_t gop_time, const char*, const void*, const int32_t*, float, int32_t,
              const uint8_t*, int32_t, const void*, int32_t, int32_t, int32_t, int32_t, int32_t,
              int32_t) {
    Seen& s = seen();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (gop_time != s.awaited_time) return;
        if (!s.first_shown) s.first_shown = s.last_present;
        ++s.frames_shown;
    }
    s.changed.notify_all();
}

void on_link(int32_t link, int32_t code, int32_t, intptr_t) {
    if (link != KIVRA_LINK_REALTIME) return;
    {
        std::lock_guard<std::mutex> guard(seen().lock);
        seen().link_codes.push_back(code);
    }
    seen().changed.notify_all();
}

void on_play(int32_t code, int32_t) {
    {
        std::lock_guard<std::mutex> guard(seen().lock);
        seen().play_codes.push_back(code);
    }
    seen().changed.notify_all();
}

bool has(const std::vector<int32_t>& codes, int32_t code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// ---- the recorder ----------------------------------------------------------------------------

// Accepts the engine's link and answers its start and stop requests.
int32_t on_recorder(int32_t, int32_t link, const void* data, int32_t length, int32_t event) {
    if (event == FENNICK_ACCEPTED) {
        std::lock_guard<std::mutex> guard(seen().lock);
        seen().recorder_link = link;
        return 0;
    }
    if (event != FENNICK_MESSAGE || data == nullptr) return 0;
    const auto message =
        rec::parse_message({static_cast<const uint8_t*>(data), static_cast<size_t>(length)});
    const auto request = message ? rec::parse_request(*message) : std::nullopt;
    if (!request) return 0;
    std::optional<Bytes> reply;
    if (request->kind == rec::Request::Kind::LiveStart) {
        reply = rec::encode_reply(rec::kSubStart, rec::kStatusAccepted);
    } else if (request->kind == rec::Request::Kind::LiveStop) {
        reply = rec::encode_reply(rec::kSubStop, rec::kStatusAccepted);
    }
    if (reply) zSend_S(link, reply->data(), static_cast<int32_t>(reply->size()), nullptr);
    return 0;
}

LiveParams live_params(int32_t port) {
    LiveParams p{};
    const std::string address = "127.0.0.1:" + std::to_string(port);
    std::memcpy(p.bytes, address.data(), address.size());
    fleet::store_u32(p.bytes + 32, 4);     // channels
    fleet::store_u32(p.bytes + 36, 0x0F);  // channel mask
    p.bytes[50] = 0;                       // buffering off
    p.bytes[51] = 1;                       // request mark
    return p;
}

void start_realtime_play(int32_t port) {
    static const KivraVideoTarget target{nullptr, &area_size, &on_present};
    if (!zInit(&target, &on_play, &on_frame, nullptr, &on_link, nullptr, nullptr)) {
        fail("zInit failed");
    }
    if (zInitTcp_S(port, &on_recorder) < 0) fail("the recorder cannot listen");
    const uint8_t address6[6] = {127, 0, 0, 1, 0, 0};
    const char name32[32] = "BENCH";
    if (!zOpenEx(live_params(port), 0, 0, address6, name32, nullptr)) fail("zOpenEx refused");
    if (!seen().wait([] { return has(seen().link_codes, KIVRA_LINK_START_ACCEPTED); })) {
        fail("the engine's start request was not answered");
    }
    zPlayMSG(KIVRA_CMD_PLAY, 0, 0, 0, nullptr);
    if (!seen().wait([] { return has(seen().play_codes, KIVRA_RESULT_PLAY_OK); })) {
        fail("play did not start");
    }
}

// Milliseconds from sending the GOP to presenting its first picture; the GOP is shown whole
// before this returns.
double engine_latency(const Gop& gop) {
    Seen& s = seen();
    int32_t link = -1;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        s.awaited_time = gop.time;
        s.first_shown.reset();
        s.frames_shown = 0;
        link = s.recorder_link;
    }
    const Bytes message = rec::encode_video(2, 0, gop.bytes);
    const auto sent = Clock::now();
    if (zSend_S(link, message.data(), static_cast<int32_t>(message.size()), nullptr) < 0) {
        fail("the recorder could not send");
    }
    if (!s.wait([&] { return s.frames_shown >= std::max(gop.frames, 1); })) {
        fail("a GOP was not shown");
    }
    double ms = 0;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        ms = std::chrono::duration<double, std::milli>(*s.first_shown - sent).count();
    }
    std::this_thread::sleep_for(kPauseBetweenGops);
    return ms;
}

// ---- the reference: the same message from one Fennick link to another -----------------------

int32_t on_receiver(int32_t, int32_t, const void*, int32_t, int32_t event) {
    if (event != FENNICK_MESSAGE) return 0;
    const auto now = Clock::now();
    {
        std::lock_guard<std::mutex> guard(seen().lock);
        seen().received = now;
    }
    seen().changed.notify_all();
    return 0;
}

int32_t on_sender(int32_t, int32_t, const void*, int32_t, int32_t) {
    return 0;
}

std::vector<double> transfer_times(const std::vector<Gop>& gops, size_t samples) {
    const int32_t port = free_port();
    const int32_t listener = zInitTcp_S(port, &on_receiver);
    int32_t error = 0;
    const int32_t link = zInitTcp_C("127.0.0.1", port, &on_sender, &error);
    if (listener < 0 || link < 0) fail("the reference link cannot be made");
    std::vector<double> times;
    for (size_t i = 0; i < samples; ++i) {
        const Bytes message = rec::encode_video(2, 0, gops[i % gops.size()].bytes);
        {
            std::lock_guard<std::mutex> guard(seen().lock);
            seen().received.reset();
        }
        const auto sent = Clock::now();
        zSend_C(link, message.data(), static_cast<int32_t>(message.size()), nullptr);
        if (!seen().wait([] { return seen().received.has_value(); })) {
            fail("the reference message did not arrive");
        }
        std::lock_guard<std::mutex> guard(seen().lock);
        times.push_back(std::chrono::duration<double, std::milli>(*seen().received - sent).count());
    }
    zUninitTcp_C(link);
    zUninitTcp_S(listener);
    return times;
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto at = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[at];
}

}  // namespace

int main(int argc, char** argv) {
    const size_t samples = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20;
    if (samples < 1) fail("usage: link_latency_bench [SAMPLES]");
    setenv("KIVRA_AUDIO", "clock", 0);
    const std::vector<Gop> gops = recorded_gops(static_cast<int>(samples) + kWarmupGops);

    start_realtime_play(free_port());
    std::vector<double> engine;
    for (size_t i = 0; i < gops.size(); ++i) {
        const double ms = engine_latency(gops[i]);
        if (i >= static_cast<size_t>(kWarmupGops)) engine.push_back(ms);
    }
    zPlayMSG(KIVRA_CMD_CLOSE, 0, 0, 0, nullptr);
    const std::vector<double> transfer = transfer_times(gops, engine.size());
    zRelease();

    const double engine_median = percentile(engine, 0.5), engine_p95 = percentile(engine, 0.95);
    const double transfer_median = percentile(transfer, 0.5);
    const double transfer_p95 = percentile(transfer, 0.95);
    std::printf("GOP sent -> first picture presented (%zu GOPs): median %.2f ms, p95 %.2f ms\n",
                engine.size(), engine_median, engine_p95);
    std::printf("the same message over a plain Fennick link: median %.3f ms, p95 %.3f ms\n",
                transfer_median, transfer_p95);
    std::printf("ratio: %.1f x the transfer (median), %.1f x (p95)\n",
                engine_median / transfer_median, engine_p95 / transfer_p95);
    return 0;
}
