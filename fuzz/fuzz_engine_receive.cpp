// Arbitrary message sequences (fuzz/engine_receive_input.h) received by the engine's realtime
// and remote links. Both links are opened through a host connector that makes a real client
// link to a loopback peer (fuzz/loopback_peer.h), or in listening runs a real listener that
// one or two recorders dial, so what the engine sends goes out; what it receives is handed to
// the link's transport callback here, as Fennick's io thread hands it.
// Checked: the reports stay in their ranges, the realtime queue never gives out more GOPs than
// its cap nor one larger than the reader's buffer, nor one it was not sent, nor in another
// order; every download leaves a file pair that opens, or nothing.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/le.h"
#include "engine_receive_input.h"
#include "format/gop_builder.h"
#include "format/gop_header.h"
#include "link/recorder_messages.h"
#include "loopback_peer.h"
#include "net/live_link.h"
#include "net/live_queue.h"
#include "net/remote_index.h"
#include "net/remote_link.h"
#include "net/transport_slots.h"
#include "scratch_dir.h"
#include "source/file_source.h"

namespace {

namespace rec = fleet::recorder;
using namespace engine_fuzz;
using Bytes = std::vector<uint8_t>;

constexpr auto kConnectLimit = std::chrono::seconds(20);
constexpr int kStrayLinkOffset = 100000;

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_engine_receive: %s\n", what);
    std::abort();
}

// ---- the host --------------------------------------------------------------------------------

const LoopbackPeer& peer() {
    static const LoopbackPeer instance;
    return instance;
}

// A loopback port nobody holds now.
int32_t free_port() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    if (fd >= 0) ::close(fd);
    return bound ? ntohs(address.sin_port) : -1;
}

// What the connector made for each purpose (realtime, index, download): a client link to the
// peer, or in listening runs a listener the target dials, whose accepted links are noted on
// their way to the engine.
struct Made {
    std::atomic<int32_t> link{-1};  // where the engine's messages arrive
    std::atomic<bool> server{false};
    std::atomic<bool> greeted{false};  // a hello was said on one of the accepted links
    std::atomic<int32_t> port{-1};
    std::atomic<FennickProc> engine{nullptr};
    std::mutex lock;
    std::vector<int32_t> accepted;
};
Made g_made[3];
std::atomic<bool> g_listening{false};
std::atomic<int> g_remote_purpose{KIVRA_LISTEN_INDEX};

// The engine hears of the link first, so a hello the target says on it finds it waiting.
template <int Purpose>
int32_t note_accepted(int32_t side, int32_t link, const void* data, int32_t length, int32_t event) {
    Made& made = g_made[Purpose];
    const FennickProc engine = made.engine;
    if (engine != nullptr) engine(side, link, data, length, event);
    if (event == FENNICK_ACCEPTED) {
        std::lock_guard<std::mutex> guard(made.lock);
        made.accepted.push_back(link);
    }
    return 0;
}

constexpr FennickProc kNoteAccepted[3] = {&note_accepted<0>, &note_accepted<1>, &note_accepted<2>};

int32_t listen_for_target(int32_t purpose) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int32_t port = free_port();
        const int32_t listener = port > 0 ? zInitTcp_S(port, kNoteAccepted[purpose]) : -1;
        if (listener >= 0) {
            g_made[purpose].port = port;
            return listener;
        }
    }
    return -1;
}

intptr_t connect_to_peer(const void*, const void*, int32_t purpose, void* transport_callback,
                         int32_t* mode, int32_t* error, int32_t*, LiveParams) {
    if (purpose < 0 || purpose > 2) {
        *error = EINVAL;
        return -1;
    }
    Made& made = g_made[purpose];
    made.engine = reinterpret_cast<FennickProc>(transport_callback);
    made.link = -1;
    {
        std::lock_guard<std::mutex> guard(made.lock);
        made.accepted.clear();
    }
    made.server = g_listening.load();
    made.greeted = false;
    if (made.server) {
        *mode = kivra::net::kModeConnectorServer;  // the recorder connects to us
        const int32_t listener = listen_for_target(purpose);
        if (listener < 0) *error = EADDRINUSE;
        return listener;
    }
    *mode = kivra::net::kModeRelayed;  // a client link the host holds
    int32_t failure = 0;
    const int32_t link = zInitTcp_C("127.0.0.1", peer().port(), made.engine, &failure);
    if (link < 0) {
        *error = failure;
        return -1;
    }
    made.link = link;
    return link;
}

struct Report {
    int32_t code;
    int32_t value;
};

class HostReports final : public kivra::net::LinkReports {
  public:
    void link_event(int32_t link, int32_t code, int32_t value, intptr_t extra) override {
        check(link == KIVRA_LINK_REALTIME || link == KIVRA_LINK_REMOTE, "link of a report");
        if (code == KIVRA_LINK_INDEX_UNIT) {
            check(extra != 0, "index unit without its bytes");
            uint8_t unit[16];
            std::memcpy(unit, reinterpret_cast<const void*>(extra), sizeof unit);
            check(++index_units_ <= kivra::net::kMaxIndexRows, "more index rows than fit");
        }
        if (code == KIVRA_LINK_INDEX_DONE) index_units_ = 0;
        if (code == KIVRA_LINK_PREBUFFERING || code == KIVRA_LINK_DOWNLOAD_PROGRESS) {
            check(value >= 0 && value <= 100, "percent out of range");
        }
        if (code == KIVRA_LINK_DOWNLOAD_PROGRESS) ++progress_reports_;
        std::lock_guard<std::mutex> guard(lock_);
        reports_[link].push_back({code, value});
        arrived_.notify_all();
    }
    void link_error(int32_t, int32_t, int32_t) override {}

    // Waits for the outcome of a connect: true when the link was made.
    bool connected(int32_t link) {
        std::unique_lock<std::mutex> guard(lock_);
        bool made = false;
        const bool answered = arrived_.wait_for(guard, kConnectLimit, [&] {
            for (const Report& r : reports_[link]) {
                made = r.code == KIVRA_LINK_CONNECTED;
                if (made || r.code == KIVRA_LINK_CONNECT_FAILED) return true;
            }
            return false;
        });
        check(answered, "a connect to the loopback peer never ended");
        return made;
    }

    // Every GOP a download writes is reported once.
    int progress_reports() const { return progress_reports_; }

  private:
    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<Report> reports_[2];
    int index_units_ = 0;
    int progress_reports_ = 0;
};

LiveParams live_params(bool buffering) {
    LiveParams p{};
    std::memcpy(p.bytes, "127.0.0.1", 9);
    fleet::store_u32(p.bytes + 32, 4);     // channels
    fleet::store_u32(p.bytes + 36, 0x0F);  // mask
    fleet::store_u32(p.bytes + 40, 1);     // rate class
    p.bytes[50] = buffering ? 1 : 0;
    p.bytes[51] = 1;  // mark
    return p;
}

// ---- the messages ----------------------------------------------------------------------------

Bytes built_gop(size_t data_size, uint32_t time) {
    fleet::format::GopPlan plan;
    plan.time = time;
    plan.announced_frames = 1;
    plan.frames.push_back({0, true, Bytes(data_size, 0x41)});
    return fleet::format::build_gop(plan);
}

Bytes huge_gop(bool over) {
    Bytes gop(kivra::net::kMaxLiveGop + (over ? 1 : 0), 0);
    fleet::store_u32(gop.data(), fleet::format::kGopMagic);
    return gop;
}

Bytes raw_message(Reader& in) {
    const auto bytes = in.take(in.u16());
    return Bytes(bytes.begin(), bytes.end());
}

uint32_t reply_status(uint8_t choice) {
    switch (choice % 4) {
        case 0:
            return rec::kStatusAccepted;
        case 1:
            return rec::kStatusBusy;
        case 2:
            return rec::kStatusDenied;
        default:
            return 0;
    }
}

// ---- one run ---------------------------------------------------------------------------------

struct Download {
    std::filesystem::path base;
    int progress_before = 0;  // progress reports before it started
    bool foreign = false;     // may hold GOPs not built here
};

struct Session {
    HostReports host;
    kivra::net::LiveLink live{host};
    kivra::net::RemoteLink remote{host};
    bool live_closed = false;  // the transport reported the realtime link closed
    std::vector<Bytes> sent_live_gops;
    size_t next_expected = 0;  // GOPs come out in the order sent, some dropped
    std::vector<Download> downloads;
    std::vector<int> dialled;  // the recorder's ends in listening runs
};

Made& live_made() {
    return g_made[KIVRA_LISTEN_REALTIME];
}
Made& remote_made() {
    return g_made[g_remote_purpose];
}
int32_t live_link() {
    return live_made().link;
}
int32_t remote_link() {
    return remote_made().link;
}

// As Fennick's io thread delivers: side 0 for a link a listener accepted.
void deliver(const Made& made, int32_t link, kivra::net::TransportSlot slot, const Bytes& message,
             int32_t event = FENNICK_MESSAGE) {
    const auto proc = kivra::net::transport_proc(slot);
    proc(made.server ? 0 : 1, link, message.data(), static_cast<int32_t>(message.size()), event);
}

// In listening runs the recorder dials: `count` links, whose first is where messages go until
// a hello step picks another.
void dial(Session& s, Made& made, size_t count) {
    if (!made.server) return;
    for (size_t i = 0; i < count; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(made.port.load()));
        check(fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0,
              "cannot dial the engine's listener");
        s.dialled.push_back(fd);
    }
    const auto until = std::chrono::steady_clock::now() + kConnectLimit;
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(made.lock);
            if (made.accepted.size() >= count) {
                made.link = made.accepted.front();
                return;
            }
        }
        check(std::chrono::steady_clock::now() < until, "the engine's listener accepted nothing");
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// A hello on one of the accepted links, chosen by the operand. The first hello wins: messages
// go on the link that said it, and later hellos change nothing.
void say_hello(Made& made, kivra::net::TransportSlot slot, uint8_t choice) {
    int32_t link = made.link;
    if (made.server) {
        std::lock_guard<std::mutex> guard(made.lock);
        if (!made.accepted.empty()) link = made.accepted[choice % made.accepted.size()];
        if (!made.greeted.exchange(true)) made.link = link;
    }
    deliver(made, link, slot, rec::encode_hello());
}

// A taken GOP is the next sent one or a later one: the queue keeps the order and only drops.
void expect_sent(Session& s, const Bytes& buffer, size_t length) {
    check(length <= buffer.size(), "taken GOP beyond the buffer");
    while (s.next_expected < s.sent_live_gops.size()) {
        const Bytes& sent = s.sent_live_gops[s.next_expected++];
        if (sent.size() == length && std::equal(sent.begin(), sent.end(), buffer.begin())) return;
    }
    check(false, "a GOP taken that was not sent, or out of order");
}

void take_one(Session& s) {
    static Bytes buffer(kivra::net::kMaxLiveGop);
    size_t length = 0;
    const int code = s.live.take(buffer.data(), buffer.size(), length);
    check(code == kivra::LiveFeed::kTaken || code == kivra::LiveFeed::kNoData ||
              code == kivra::LiveFeed::kClosedOrTooLarge,
          "take code");
    if (code == kivra::LiveFeed::kClosedOrTooLarge) {
        check(s.live_closed, "a GOP too large for the reader was queued, or the link closed");
    } else if (code == kivra::LiveFeed::kTaken) {
        expect_sent(s, buffer, length);
    }
}

// Everything the queue holds comes out, none too large for the reader, and never more than
// its cap.
void drain_live(Session& s) {
    if (s.live_closed) return;
    static Bytes buffer(kivra::net::kMaxLiveGop);
    size_t length = 0;
    for (size_t taken = 0;; ++taken) {
        const int code = s.live.take(buffer.data(), buffer.size(), length);
        if (code != kivra::LiveFeed::kTaken) {
            check(code == kivra::LiveFeed::kNoData, "a GOP too large for the reader was queued");
            return;
        }
        check(taken < kivra::net::kMaxQueuedGops, "the realtime queue beyond its cap");
        expect_sent(s, buffer, length);
    }
}

void start_download(Session& s, Reader& in, const std::filesystem::path& dir) {
    const int first = 1 + in.u8() % 8;
    const int last = first + in.u8() % 8;
    const auto base = dir / ("download" + std::to_string(s.downloads.size()));
    const std::string dvr = base.string() + ".dvr", inx = base.string() + ".inx";
    const int progress_before = s.host.progress_reports();
    g_remote_purpose = KIVRA_LISTEN_DOWNLOAD;
    if (s.remote.download(first, last, dvr.c_str(), inx.c_str())) {
        s.downloads.push_back({base, progress_before, false});
        dial(s, remote_made(), 1);
    } else {
        check(!std::filesystem::exists(dvr) && !std::filesystem::exists(inx),
              "a refused download left files");
    }
}

bool to_live(uint8_t opcode) {
    return (opcode & kToRemoteOnly) == 0 || (opcode & kToLiveOnly);
}
bool to_remote(uint8_t opcode) {
    return (opcode & kToLiveOnly) == 0 || (opcode & kToRemoteOnly);
}

// A message for the links the opcode names.
void send_message(Session& s, uint8_t opcode, const Bytes& message, bool foreign,
                  const Bytes* live_gop) {
    if (to_live(opcode)) {
        if (live_gop != nullptr) s.sent_live_gops.push_back(*live_gop);
        deliver(live_made(), live_link(), kivra::net::TransportSlot::Realtime, message);
    }
    if (to_remote(opcode)) {
        if (foreign && !s.downloads.empty()) s.downloads.back().foreign = true;
        deliver(remote_made(), remote_link(), kivra::net::TransportSlot::Remote, message);
    }
}

// A GOP message whose GOP might be queued: what the queue gives out is compared against it.
void send_video(Session& s, uint8_t opcode, const Bytes& gop, uint32_t remaining, bool foreign) {
    send_message(s, opcode, rec::encode_video(0, remaining, gop), foreign, &gop);
}

void transport_closed(Made& made, kivra::net::TransportSlot slot) {
    const int32_t link = made.link.exchange(-1);
    deliver(made, link, slot, {}, FENNICK_CLOSED);
    if (made.server) {
        zUninitTcp_S(link);
    } else {
        zUninitTcp_C(link);
    }
}

void close_reported(Session& s, uint8_t opcode) {
    // The transport has ended the link: the engine must forget it without closing it, and
    // the real link behind it is released here.
    if (to_live(opcode) && live_link() >= 0) {
        transport_closed(live_made(), kivra::net::TransportSlot::Realtime);
        s.live_closed = true;
    }
    if (to_remote(opcode) && remote_link() >= 0) {
        transport_closed(remote_made(), kivra::net::TransportSlot::Remote);
    }
}

void run_step(Session& s, Reader& in, const std::filesystem::path& dir) {
    const uint8_t opcode = in.u8();
    switch ((opcode & 0x0F) % kStepCount) {
        case kRaw:
            send_message(s, opcode, raw_message(in), true, nullptr);
            break;
        case kHello: {
            const uint8_t choice = in.u8();
            if (to_live(opcode))
                say_hello(live_made(), kivra::net::TransportSlot::Realtime, choice);
            if (to_remote(opcode)) {
                say_hello(remote_made(), kivra::net::TransportSlot::Remote, choice);
            }
            break;
        }
        case kReply: {
            const uint16_t sub = in.u8() % 5;
            send_message(s, opcode, rec::encode_reply(sub, reply_status(in.u8())), false, nullptr);
            break;
        }
        case kVideo: {
            const size_t size = in.u8() * size_t{37};
            const uint32_t time = 1773475200u + in.u8();
            send_video(s, opcode, built_gop(size, time), in.u8(), false);
            break;
        }
        case kRawVideo: {
            Bytes gop(4, 0);
            fleet::store_u32(gop.data(), fleet::format::kGopMagic);
            const Bytes rest = raw_message(in);
            gop.insert(gop.end(), rest.begin(), rest.end());
            send_video(s, opcode, gop, 50, true);
            break;
        }
        case kHugeVideo: {
            static const Bytes fits = huge_gop(false), over = huge_gop(true);
            send_video(s, opcode, in.u8() == 0 ? fits : over, 10, true);
            break;
        }
        case kVideoEnd:
            send_message(s, opcode, rec::encode_video(0, 0, {}), false, nullptr);
            break;
        case kIndexHeader: {
            const bool follows = in.u8() & 1;
            std::array<uint8_t, 16> header{};
            const auto given = in.take(header.size());
            std::copy(given.begin(), given.end(), header.begin());
            send_message(s, opcode, rec::encode_index_header_reply(follows, header), false,
                         nullptr);
            break;
        }
        case kIndexUnits: {
            const auto units = in.take(in.u8() * size_t{16});
            send_message(s, opcode, rec::encode_index_units(units), false, nullptr);
            break;
        }
        case kClosed:
            close_reported(s, opcode);
            break;
        case kTake:
            take_one(s);
            break;
        case kDownload:
            start_download(s, in, dir);
            break;
        case kStopDownload:
            s.remote.stop_download();
            break;
        case kStrayLink: {
            const Bytes message = raw_message(in);
            deliver(live_made(), live_link() + kStrayLinkOffset,
                    kivra::net::TransportSlot::Realtime, message);
            deliver(remote_made(), remote_link() + kStrayLinkOffset,
                    kivra::net::TransportSlot::Remote, message);
            break;
        }
        default:
            break;
    }
}

// Closing sends the recorder a stop and waits for its answer, which comes here as a recorder
// would send it: once the stop went out, on another thread.
void close_live(Session& s) {
    std::atomic<bool> closed{false};
    std::thread answer([&] {
        const Bytes stopped = rec::encode_reply(rec::kSubStop, rec::kStatusAccepted);
        while (!closed) {
            deliver(live_made(), live_link(), kivra::net::TransportSlot::Realtime, stopped);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    s.live.close();
    closed = true;
    answer.join();
}

size_t walk_gops(kivra::FileSource& source) {
    static Bytes bytes(fleet::format::kWalkBufferSize);
    size_t count = 0;
    for (;;) {
        fleet::format::WalkBuffer buffer{bytes.data(), bytes.size(), 0};
        if (source.next(buffer) != fleet::format::kWalkRead) return count;
        ++count;
    }
}

// A download leaves both files or neither; a pair that opens, holding whole blocks, with
// every GOP its progress reports counted, where every GOP came from the builder.
void check_download(const std::filesystem::path& base, bool foreign, int written) {
    const std::string dvr = base.string() + ".dvr", inx = base.string() + ".inx";
    const bool has_dvr = std::filesystem::exists(dvr), has_inx = std::filesystem::exists(inx);
    check(has_dvr == has_inx, "a download left one file of its pair");
    if (!has_dvr) return;
    check(std::filesystem::file_size(dvr) % fleet::format::kBlockSize == 0,
          "a download's GOPs not padded to whole blocks");
    if (foreign) return;
    kivra::FileSource source;
    check(source.open(dvr, inx).ok(), "a downloaded pair does not open");
    check(walk_gops(source) == static_cast<size_t>(written),
          "a downloaded pair holds other GOPs than were written");
    source.close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::ScratchDir dir("engine-receive");
    if (size < 1) return 0;
    Reader in({data, size});
    const uint8_t settings = in.u8();
    g_listening = (settings & 2) != 0;
    g_remote_purpose = KIVRA_LISTEN_INDEX;
    const size_t recorders = (settings & 4) != 0 ? 2 : 1;  // dialling the engine's listener

    auto session = std::make_unique<Session>();
    Session& s = *session;
    const LiveParams params = live_params(settings & 1);
    check(s.live.open(params, kivra::net::kModeRelayed, 0, nullptr, nullptr, &connect_to_peer),
          "realtime open refused");
    check(s.host.connected(KIVRA_LINK_REALTIME), "realtime link not made");
    dial(s, live_made(), recorders);
    check(s.remote.open(nullptr, nullptr, "127.0.0.1", 1, 1, &connect_to_peer),
          "remote open refused");
    check(s.host.connected(KIVRA_LINK_REMOTE), "remote link not made");
    dial(s, remote_made(), recorders);

    while (!in.done()) run_step(s, in, dir.path());
    drain_live(s);

    s.remote.stop_download();
    s.remote.close();
    close_live(s);
    // Only the running download writes: the next one starts once its link is closed.
    for (size_t i = 0; i < s.downloads.size(); ++i) {
        const int until = i + 1 < s.downloads.size() ? s.downloads[i + 1].progress_before
                                                     : s.host.progress_reports();
        check_download(s.downloads[i].base, s.downloads[i].foreign,
                       until - s.downloads[i].progress_before);
    }
    for (const Download& d : s.downloads) {
        std::filesystem::remove(d.base.string() + ".dvr");
        std::filesystem::remove(d.base.string() + ".inx");
    }
    for (int fd : s.dialled) ::close(fd);
    session.reset();
    return 0;
}
