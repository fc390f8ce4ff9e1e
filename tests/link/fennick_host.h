// What the Fennick tests share: one procedure that records every callback (a host's procedure
// has no context pointer, so the record is process-wide), plain sockets for the far end, and
// message bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include <condition_variable>

namespace fennick_test {

struct Event {
    int side = 0;
    int link = 0;
    int event = 0;
    int length = 0;
    std::vector<uint8_t> data;  // the message of event 0
};

class EventLog {
  public:
    static EventLog& instance();
    // The procedure given to the library.
    static int32_t proc(int32_t side, int32_t link, const void* data, int32_t length,
                        int32_t event);

    // Forgets the events and the hook; messages are kept again.
    void reset();
    // Whether message events are kept (the hook sees them either way).
    void keep_messages(bool keep);
    // Runs inside every callback, after the event is recorded.
    void set_hook(std::function<void(const Event&)> hook);
    // Waits (at most 20 s, so a broken library fails instead of hanging) until done holds;
    // done runs under the log's lock, so it looks at the events it is given, not at the log.
    bool wait_until(const std::function<bool(const std::vector<Event>&)>& done);
    bool wait_for_count(int link, int event, size_t count);
    std::vector<Event> of(int link) const;
    size_t count(int link, int event) const;
    size_t total(int event) const;
    // The link of the first event 2 (accepted), or -1.
    int accepted_link() const;

  private:
    void record(Event event);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
    std::function<void(const Event&)> hook_;
    bool keep_messages_ = true;
};

size_t count_of(const std::vector<Event>& events, int event);

// A whole message: header with command and payload_size bytes of fill.
std::vector<uint8_t> message(uint8_t command, size_t payload_size, uint8_t fill = 0x5A);
// Several messages back to back, each a different payload size and fill.
std::vector<uint8_t> message_run(size_t count);

// Plain sockets, blocking, on 127.0.0.1; reads give up after 20 s.
int raw_connect(uint16_t port);
struct RawListener {
    explicit RawListener(int backlog = 16);
    ~RawListener();
    int accept_one() const;
    int fd = -1;
    uint16_t port = 0;
};
uint16_t local_port(int fd);
void write_all(int fd, const std::vector<uint8_t>& bytes);
// Reads exactly count bytes; shorter when the peer closed or the wait ran out.
std::vector<uint8_t> read_bytes(int fd, size_t count);
// True when the peer closed: the next read gives end of file (or a reset).
bool peer_closed(int fd);
// Closes with a reset instead of an orderly close.
void reset_close(int fd);

size_t open_descriptor_count();
// Waits (at most 20 s) until the process holds count descriptors; the library closes a
// socket on its own thread after the call that closed it returned.
bool wait_for_descriptor_count(size_t count);
// Waits (at most 20 s) until done holds, for what the log cannot tell (a hook's own result).
bool wait_for(const std::function<bool()>& done);
size_t resident_bytes();

}  // namespace fennick_test
