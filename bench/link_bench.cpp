// Throughput of one Fennick link carrying 1 MiB messages to a Fennick listener in another
// process on loopback, against a plain loopback TCP socket carrying the same bytes to a plain
// reader in another process, in the same run. Each iteration moves 64 messages and ends when
// the receiver says it has all of them; both senders follow the same acknowledgements.
//   link_bench [benchmark options]
//   link_bench --receive fennick|plain FD   (the receiving process; FD: the pipe back)
#include <benchmark/benchmark.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "fennick/fennick.h"
#include "link/link_header.h"

namespace {

constexpr size_t kPayload = 1 << 20;
constexpr uint64_t kMessagesPerIteration = 64;
// The receiver acknowledges every group of messages; the sender keeps at most two groups
// unacknowledged, which stays below the link's queue bound, so no send is refused.
constexpr uint64_t kMessagesPerGroup = 4;
constexpr uint64_t kGroupsInFlight = 2;
constexpr uint64_t kGroupBytes = kMessagesPerGroup * (fleet::kLinkHeaderSize + kPayload);
constexpr uint64_t kIterationBytes = kMessagesPerIteration * (fleet::kLinkHeaderSize + kPayload);

std::vector<uint8_t> one_message() {
    fleet::LinkHeader header;
    header.command = 49;
    header.payload_length = kPayload;
    const auto head = header.encode();
    std::vector<uint8_t> bytes(head.size() + kPayload, 0x5A);
    std::copy(head.begin(), head.end(), bytes.begin());
    return bytes;
}

uint16_t port_of(int fd) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

// ---- the receiving process ------------------------------------------------------------------

// Counts received bytes and writes one byte to the pipe for every group's worth.
struct Acknowledger {
    int pipe = -1;
    uint64_t received = 0;
    uint64_t next = kGroupBytes;
    void add(uint64_t count) {
        received += count;
        while (received >= next) {
            const char ack = 1;
            if (write(pipe, &ack, 1) != 1) std::exit(1);
            next += kGroupBytes;
        }
    }
};

Acknowledger acknowledger;
std::atomic<bool> sender_gone{false};

int32_t on_fennick_event(int32_t, int32_t, const void*, int32_t length, int32_t event) {
    if (event == FENNICK_MESSAGE) acknowledger.add(static_cast<uint64_t>(length));
    if (event == FENNICK_CLOSED || event == FENNICK_DROPPED) sender_gone = true;
    return 0;
}

void tell_port(uint16_t port) {
    if (write(acknowledger.pipe, &port, sizeof port) != sizeof port) std::exit(1);
}

int receive_with_fennick() {
    const int32_t listener = zInitTcp_S(0, on_fennick_event);
    if (listener < 0) return 1;
    tell_port(port_of(listener));
    while (!sender_gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return 0;
}

int receive_plain() {
    const int server = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(server, 1) != 0) {
        return 1;
    }
    tell_port(port_of(server));
    const int link = accept(server, nullptr, nullptr);
    std::vector<uint8_t> buffer(kPayload);
    for (;;) {
        const ssize_t n = recv(link, buffer.data(), buffer.size(), 0);
        if (n <= 0) return 0;
        acknowledger.add(static_cast<uint64_t>(n));
    }
}

// ---- the sending process --------------------------------------------------------------------

// A receiving process started from this program, with the pipe it answers on.
class Receiver {
  public:
    explicit Receiver(const char* kind) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execl("/proc/self/exe", "link_bench", "--receive", kind, fd.c_str(), nullptr);
            _exit(127);
        }
        close(fds[1]);
        answers_ = fds[0];
        if (read(answers_, &port_, sizeof port_) != sizeof port_) port_ = 0;
    }
    ~Receiver() {
        if (answers_ >= 0) close(answers_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }
    uint16_t port() const { return port_; }
    bool wait_for_group() {
        char ack = 0;
        return read(answers_, &ack, 1) == 1;
    }
    // Before sending message i of an iteration: waits while too many groups are unanswered.
    bool before_message(uint64_t i) {
        if (i % kMessagesPerGroup != 0 || i / kMessagesPerGroup < kGroupsInFlight) return true;
        return wait_for_group();
    }
    bool end_of_iteration() {
        for (uint64_t g = 0; g < kGroupsInFlight; ++g) {
            if (!wait_for_group()) return false;
        }
        return true;
    }

  private:
    pid_t pid_ = -1;
    int answers_ = -1;
    uint16_t port_ = 0;
};

// Sends one message; a full queue (the write that frees it has not finished yet) is waited out.
bool send_whole(int32_t link, const std::vector<uint8_t>& message) {
    int32_t error = 0;
    while (zSend_C(link, message.data(), static_cast<int32_t>(message.size()), &error) < 0) {
        if (error != ENOBUFS) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return true;
}

int32_t ignore_events(int32_t, int32_t, const void*, int32_t, int32_t) {
    return 0;
}

void BM_FennickLink(benchmark::State& state) {
    Receiver receiver("fennick");
    const int32_t link = receiver.port() == 0
                             ? -1
                             : zInitTcp_C("127.0.0.1", receiver.port(), ignore_events, nullptr);
    if (link < 0) return state.SkipWithError("no loopback link");
    const auto message = one_message();
    for (auto _ : state) {
        bool ok = true;
        for (uint64_t i = 0; i < kMessagesPerIteration && ok; ++i) {
            ok = receiver.before_message(i) && send_whole(link, message);
        }
        if (!ok || !receiver.end_of_iteration()) {
            state.SkipWithError("the link or the receiver failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kIterationBytes));
    zUninitTcp_C(link);  // the receiver ends when its link closes
}
BENCHMARK(BM_FennickLink)->UseRealTime()->Unit(benchmark::kMillisecond);

bool send_plain(int fd, const std::vector<uint8_t>& message) {
    size_t done = 0;
    while (done < message.size()) {
        const ssize_t n = send(fd, message.data() + done, message.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void BM_LoopbackCopy(benchmark::State& state) {
    Receiver receiver("plain");
    const int sender = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(receiver.port());
    if (receiver.port() == 0 ||
        connect(sender, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(sender);
        return state.SkipWithError("no loopback socket");
    }
    const int on = 1;
    setsockopt(sender, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const auto message = one_message();
    for (auto _ : state) {
        bool ok = true;
        for (uint64_t i = 0; i < kMessagesPerIteration && ok; ++i) {
            ok = receiver.before_message(i) && send_plain(sender, message);
        }
        if (!ok || !receiver.end_of_iteration()) {
            state.SkipWithError("the socket or the receiver failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kIterationBytes));
    close(sender);  // the receiver ends when its socket closes
}
BENCHMARK(BM_LoopbackCopy)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--receive") == 0) {
        acknowledger.pipe = std::atoi(argv[3]);
        return std::strcmp(argv[2], "fennick") == 0 ? receive_with_fennick() : receive_plain();
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
