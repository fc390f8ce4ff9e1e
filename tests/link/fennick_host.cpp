#include "fennick_host.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "link/link_header.h"

namespace fennick_test {

EventLog& EventLog::instance() {
    static EventLog log;
    return log;
}

int32_t EventLog::proc(int32_t side, int32_t link, const void* data, int32_t length,
                       int32_t event) {
    Event e{side, link, event, length, {}};
    if (event == 0 && data != nullptr && length > 0) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        e.data.assign(bytes, bytes + length);
    }
    instance().record(std::move(e));
    return 0;
}

void EventLog::record(Event event) {
    std::function<void(const Event&)> hook;
    {
        std::lock_guard lock(mutex_);
        if (event.event != 0 || keep_messages_) events_.push_back(event);
        hook = hook_;
        changed_.notify_all();  // under the lock: a test may end, and the log go, once woken
    }
    if (hook) hook(event);
}

void EventLog::reset() {
    std::lock_guard lock(mutex_);
    events_.clear();
    hook_ = nullptr;
    keep_messages_ = true;
}

void EventLog::keep_messages(bool keep) {
    std::lock_guard lock(mutex_);
    keep_messages_ = keep;
}

void EventLog::set_hook(std::function<void(const Event&)> hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
}

bool EventLog::wait_until(const std::function<bool(const std::vector<Event>&)>& done) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return done(events_); });
}

bool EventLog::wait_for_count(int link, int event, size_t count) {
    return wait_until([&](const std::vector<Event>& events) {
        size_t seen = 0;
        for (const auto& e : events) seen += e.link == link && e.event == event;
        return seen >= count;
    });
}

std::vector<Event> EventLog::of(int link) const {
    std::lock_guard lock(mutex_);
    std::vector<Event> out;
    for (const auto& e : events_) {
        if (e.link == link) out.push_back(e);
    }
    return out;
}

size_t EventLog::count(int link, int event) const {
    std::lock_guard lock(mutex_);
    size_t seen = 0;
    for (const auto& e : events_) seen += e.link == link && e.event == event;
    return seen;
}

size_t EventLog::total(int event) const {
    std::lock_guard lock(mutex_);
    return count_of(events_, event);
}

int EventLog::accepted_link() const {
    std::lock_guard lock(mutex_);
    for (const auto& e : events_) {
        if (e.event == 2) return e.link;
    }
    return -1;
}

size_t count_of(const std::vector<Event>& events, int event) {
    size_t seen = 0;
    for (const auto& e : events) seen += e.event == event;
    return seen;
}

std::vector<uint8_t> message(uint8_t command, size_t payload_size, uint8_t fill) {
    fleet::LinkHeader header;
    header.command = command;
    header.sub_code = static_cast<uint16_t>(payload_size % 7);
    header.payload_length = static_cast<uint32_t>(payload_size);
    const auto head = header.encode();
    std::vector<uint8_t> bytes(head.begin(), head.end());
    bytes.resize(head.size() + payload_size, fill);
    return bytes;
}

std::vector<uint8_t> message_run(size_t count) {
    std::vector<uint8_t> all;
    for (size_t i = 0; i < count; ++i) {
        const auto m = message(static_cast<uint8_t>(i), (i * 37) % 300, static_cast<uint8_t>(i));
        all.insert(all.end(), m.begin(), m.end());
    }
    return all;
}

namespace {

sockaddr_in loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

void set_read_timeout(int fd) {
    timeval limit{20, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

}  // namespace

int raw_connect(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto address = loopback(port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        throw std::runtime_error(std::string("connect: ") + std::strerror(errno));
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    set_read_timeout(fd);
    return fd;
}

RawListener::RawListener(int backlog) {
    fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto address = loopback(0);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, backlog) != 0) {
        throw std::runtime_error(std::string("listen: ") + std::strerror(errno));
    }
    port = local_port(fd);
}

RawListener::~RawListener() {
    close(fd);
}

int RawListener::accept_one() const {
    const int peer = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer >= 0) set_read_timeout(peer);
    return peer;
}

uint16_t local_port(int fd) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

void write_all(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) throw std::runtime_error(std::string("send: ") + std::strerror(errno));
        done += static_cast<size_t>(n);
    }
}

std::vector<uint8_t> read_bytes(int fd, size_t count) {
    std::vector<uint8_t> bytes(count);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = recv(fd, bytes.data() + done, count - done, 0);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

bool peer_closed(int fd) {
    uint8_t byte = 0;
    for (;;) {
        const ssize_t n = recv(fd, &byte, 1, 0);
        if (n == 0) return true;
        if (n < 0) return errno == ECONNRESET;
    }
}

void reset_close(int fd) {
    linger hard{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close(fd);
}

size_t open_descriptor_count() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

bool wait_for(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool wait_for_descriptor_count(size_t count) {
    return wait_for([count] { return open_descriptor_count() == count; });
}

size_t resident_bytes() {
    std::ifstream statm("/proc/self/statm");
    size_t total = 0, resident = 0;
    statm >> total >> resident;
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace fennick_test
