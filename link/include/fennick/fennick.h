/* Fennick: framed message links over TCP. Every message starts with the 12-byte LinkHeader
 * (magic 0xABCD0429, u16 sub-code, u8 command, u8 flag, u32 payload length, little-endian)
 * and is delivered whole, one callback per message.
 *
 * Threads: one library thread owns every socket and makes every callback. A callback may call
 * any of the six functions (send, close) without deadlock. Opening (zInitTcp_C/_S) never waits
 * for that thread. After zUninitTcp_C/_S returns, no callback for that link or listener runs
 * any more; when it is called from another thread while a callback for that same link or
 * listener runs, it waits for that callback to return (and for no other), so a caller must not
 * hold a lock there that this link's callback takes.
 *
 * Link ids are the sockets' descriptors. A descriptor stays reserved until the close callback
 * (event 1 or 4) has returned and, for a client link, zInitTcp_C has returned its id, so a host
 * can purge its tables before the number is reused. A link's first callback may run before
 * zInitTcp_C returns; a host that holds its own lock across zInitTcp_C while it stores the id,
 * and takes that lock in its callback, makes that callback wait until the id is stored. */
#ifndef FENNICK_FENNICK_H
#define FENNICK_FENNICK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Callback events. */
typedef enum FennickEvent {
    FENNICK_MESSAGE = 0,   /* data: one whole message (header and payload), valid during the call;
                              length: its size */
    FENNICK_CLOSED = 1,    /* the far end closed or the connection failed; length: 0 for an
                              orderly close by the peer, else the errno that ended it */
    FENNICK_ACCEPTED = 2,  /* side 0: a listener accepted link; length: the listener's port */
    FENNICK_SEND_FULL = 3, /* a send was refused: the link's queue holds its bound (slow peer);
                              length: the size of the refused message */
    FENNICK_DROPPED = 4    /* the library closed the link over what it received or queued;
                              length: EBADMSG (wrong magic), EMSGSIZE (payload over the limit) */
} FennickEvent;

/* side: 0 a link accepted by a listener, 1 a client link. The result is not used. */
typedef int32_t (*FennickProc)(int32_t side, int32_t link, const void* data, int32_t length,
                               int32_t event);

/* Largest payload accepted or sent; a larger one closes the link before anything is
 * allocated for it. */
#define FENNICK_MAX_PAYLOAD (4 * 1024 * 1024)
/* Bytes a link may hold queued for sending; a send beyond it is refused. */
#define FENNICK_MAX_QUEUED (16 * 1024 * 1024)
/* Connect timeout in milliseconds; the environment variable FENNICK_CONNECT_TIMEOUT_MS
 * replaces it. */
#define FENNICK_CONNECT_TIMEOUT_MS 5000

#if defined(__GNUC__)
#define FENNICK_EXPORT __attribute__((visibility("default")))
#else
#define FENNICK_EXPORT
#endif

/* Connects to host:port (IPv4 text or a name). Blocks until connected, refused or timed out.
 * The timeout bounds the connect; looking a name up is the system resolver's and may take
 * longer, so a callback (which holds up every link) should connect to dotted addresses only.
 * The link id, or -1 with *error (if not null) set to the errno of the failure. */
FENNICK_EXPORT int32_t zInitTcp_C(const char* host, int32_t port, FennickProc proc, int32_t* error);
/* Listens on every address at port (0: any free port; getsockname on the handle tells it).
 * Accepted links report to proc with side 0. The listener handle, or -1. */
FENNICK_EXPORT int32_t zInitTcp_S(int32_t port, FennickProc proc);
/* Queues one whole message (length bytes, header included) for sending. length on success;
 * -1 with *error set when the link is unknown or closed (EBADF), the bytes are not one
 * message with a valid header (EINVAL), or the queue is full (ENOBUFS); the link stays open.
 * Never raises SIGPIPE. */
FENNICK_EXPORT int32_t zSend_C(int32_t link, const void* bytes, int32_t length, int32_t* error);
FENNICK_EXPORT int32_t zSend_S(int32_t link, const void* bytes, int32_t length, int32_t* error);
/* Closes a client link; what was queued still goes out, for up to 5 s. No close callback
 * follows. Unknown or already closed ids are ignored. (Both send and both close functions
 * accept any id of this library; the pairs exist for the callers' bookkeeping.) */
FENNICK_EXPORT void zUninitTcp_C(int32_t link);
/* Closes a listener (its accepted links stay open) or one accepted link. */
FENNICK_EXPORT void zUninitTcp_S(int32_t handle);

/* The export list: the library exports exactly these names. */
#define FENNICK_FOR_EACH_EXPORT(X) \
    X(zInitTcp_C)                  \
    X(zInitTcp_S)                  \
    X(zSend_C)                     \
    X(zSend_S)                     \
    X(zUninitTcp_C)                \
    X(zUninitTcp_S)

#ifdef __cplusplus
}
#endif

#endif /* FENNICK_FENNICK_H */
