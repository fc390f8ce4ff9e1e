// The six exports: argument checks and hand-over between the host's threads and the io thread.
#include <cerrno>
#include <cstdint>
#include <memory>
#include <span>

#include <unistd.h>

#include "connector.h"
#include "fennick/fennick.h"
#include "link.h"
#include "link/link_header.h"
#include "listener.h"
#include "runtime.h"

namespace {

using namespace fleet::fennick;

int32_t fail(int32_t* error_out, int error) {
    if (error_out != nullptr) *error_out = error;
    return -1;
}

// One whole message: the header's magic, and a length that is exactly the rest of the bytes
// and within the payload limit.
bool is_one_message(const void* bytes, int32_t length) {
    if (bytes == nullptr || length < static_cast<int32_t>(fleet::kLinkHeaderSize)) return false;
    const auto header =
        fleet::LinkHeader::decode(static_cast<const uint8_t*>(bytes), static_cast<size_t>(length));
    return header && header->payload_length <= FENNICK_MAX_PAYLOAD &&
           header->payload_length == static_cast<uint32_t>(length) - fleet::kLinkHeaderSize;
}

int32_t send_message(int32_t id, const void* bytes, int32_t length, int32_t* error_out) {
    if (!is_one_message(bytes, length)) return fail(error_out, EINVAL);
    Runtime* state = runtime();
    if (state == nullptr) return fail(error_out, EBADF);
    const auto link = state->table.find_link(id);
    if (!link) return fail(error_out, EBADF);
    const int error = link->send({static_cast<const uint8_t*>(bytes), static_cast<size_t>(length)});
    return error == 0 ? length : fail(error_out, error);
}

// The endpoint is looked up now, on the caller's thread: if its number is reused later, the
// close still reaches the one the caller meant.
void close_endpoint(int32_t id) {
    Runtime* state = runtime();
    if (id < 0 || state == nullptr) return;
    if (auto endpoint = state->table.find(id)) endpoint->close(state->io.is_current());
}

// Opening never waits for the io thread: a host may hold a lock here that a callback of
// another link waits for. The endpoint is made here and joins the table before the io thread
// can report anything about it.
template <typename Endpoint, typename Socket, typename... Args>
std::shared_ptr<Endpoint> open_endpoint(Runtime& state, int fd, Args&&... args) {
    Socket socket(state.io.context());
    std::error_code error;
    socket.assign(asio::ip::tcp::v4(), fd, error);
    if (error) return nullptr;
    auto endpoint =
        std::make_shared<Endpoint>(std::move(socket), std::forward<Args>(args)..., state.table);
    state.table.insert(endpoint);
    state.io.ensure_running();
    state.io.post([endpoint] { endpoint->start(); });
    return endpoint;
}

bool valid_port(int32_t port, int32_t lowest) {
    return port >= lowest && port <= 65535;
}

}  // namespace

extern "C" {

int32_t zInitTcp_C(const char* host, int32_t port, FennickProc proc, int32_t* error) {
    if (host == nullptr || proc == nullptr || !valid_port(port, 1)) return fail(error, EINVAL);
    const auto connected = connect_tcp(host, static_cast<uint16_t>(port), connect_timeout_ms());
    if (connected.fd < 0) return fail(error, connected.error);
    Runtime* state = runtime();
    // The descriptor stays open until the id is handed over here, even when the far end closed
    // at once and the close callback has returned already: no other opener gets the number
    // before this caller has it.
    const auto link =
        state ? open_endpoint<Link, asio::ip::tcp::socket>(*state, connected.fd, 1, proc) : nullptr;
    if (!link) {
        ::close(connected.fd);
        return fail(error, ESHUTDOWN);
    }
    link->hand_over();
    return connected.fd;
}

int32_t zInitTcp_S(int32_t port, FennickProc proc) {
    if (proc == nullptr || !valid_port(port, 0)) return -1;
    uint16_t bound = 0;
    const auto listening = listen_tcp(static_cast<uint16_t>(port), &bound);
    if (listening.fd < 0) return -1;
    Runtime* state = runtime();
    const auto listener =
        state ? open_endpoint<Listener, asio::ip::tcp::acceptor>(*state, listening.fd, bound, proc)
              : nullptr;
    if (!listener) {
        ::close(listening.fd);
        return -1;
    }
    return listening.fd;
}

int32_t zSend_C(int32_t link, const void* bytes, int32_t length, int32_t* error) {
    return send_message(link, bytes, length, error);
}

int32_t zSend_S(int32_t link, const void* bytes, int32_t length, int32_t* error) {
    return send_message(link, bytes, length, error);
}

void zUninitTcp_C(int32_t link) {
    close_endpoint(link);
}

void zUninitTcp_S(int32_t handle) {
    close_endpoint(handle);
}

}  // extern "C"
