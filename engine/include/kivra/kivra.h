/*
 * Kivra media engine: public C interface.
 *
 * The engine plays one recording at a time into a host-supplied video target, with sound,
 * and reports per-frame telemetry. One engine exists per process; every export works on it.
 *
 * Threading: exports may be called from any host thread. Playback commands go through
 * zPlayMSG and run one at a time on the engine's command thread; their results arrive
 * through PlayEventProc. Callbacks run on engine threads (command, reader, audio completion,
 * timer, end notifier), never inside an export unless stated. A callback must return quickly
 * and must not wait for another command's result; FrameInfoProc runs under the engine's audio
 * lock.
 *
 * Ownership: pointers passed to a callback are owned by the engine and valid only during the
 * call. Text going into the engine is UTF-8. Text results are copied into caller buffers.
 *
 * Network sources reach recorders through libfennick.so, which the engine looks for beside
 * itself first. LinkEventProc is also called on the transport's thread: it must not wait for
 * an engine command there.
 */
#ifndef KIVRA_KIVRA_H
#define KIVRA_KIVRA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KIVRA_API_VERSION_MAJOR 0
#define KIVRA_API_VERSION_MINOR 1

/* Limits of one decoded GOP. Larger GOPs are cut down to these by the parser. */
#define KIVRA_MAX_CHANNELS 8
#define KIVRA_MAX_FRAMES 16
#define KIVRA_PICTURE_CAPACITY 0x800000 /* bytes of pictures per channel and GOP */
#define KIVRA_AUDIO_CAPACITY 0x100000   /* bytes of kept (mono) audio per GOP */
#define KIVRA_MAX_TYRES 36              /* tyre records per group */
#define KIVRA_POSITION_SIZE 21          /* 10 latitude + 11 longitude characters */

/* FrameSet.state values. */
#define KIVRA_FRAMESET_EMPTY_NEW (-2)
#define KIVRA_FRAMESET_EMPTY (-1)
#define KIVRA_FRAMESET_READY 0
#define KIVRA_FRAMESET_END_OF_DATA 1
#define KIVRA_FRAMESET_NO_DATA_YET 2

/* One tyre of the tyre monitor, as kept per video frame. */
typedef struct TyreRecord {
    int32_t id;
    float pressure;
    int32_t temperature; /* degrees C */
    int32_t state;       /* 0 normal/not carried, 1 alarm, 2..5 specific faults */
} TyreRecord;

typedef struct GSensorSample {
    int32_t x, y, z; /* -127..127 for -2 g..+2 g */
} GSensorSample;

/*
 * One decoded GOP: pictures of up to eight channels, the GOP's audio cut into one chunk per
 * video frame, and per-frame telemetry. Each "count" tells how many leading entries of the
 * array after it are valid; entry i belongs to video frame i.
 *
 * Pictures are YV12 (Y plane, then V, then U, no row padding) of width x height, with the
 * recorder's top 8 rows already removed. picture_size 0 means the frame did not decode.
 * Buffers are owned by whoever created the FrameSet.
 */
typedef struct FrameSet {
    int32_t state;
    int32_t current_frame;
    int32_t frames_per_channel; /* N, at most KIVRA_MAX_FRAMES */
    int32_t reserved;
    int32_t picture_width;  /* of the last picture decoded: recorders that write channels at */
    int32_t picture_height; /* different sizes (D1 and CIF) have pictures of other sizes too */
    int32_t channel_count;  /* 1, 4, 8, 16 or 0, as the GOP header announces */
    uint8_t present[KIVRA_MAX_CHANNELS];
    uint8_t* picture_buffer[KIVRA_MAX_CHANNELS]; /* KIVRA_PICTURE_CAPACITY bytes each */
    int32_t picture_offset[KIVRA_MAX_CHANNELS][KIVRA_MAX_FRAMES];
    int32_t picture_size[KIVRA_MAX_CHANNELS][KIVRA_MAX_FRAMES];
    int32_t key_frame_index[KIVRA_MAX_CHANNELS];
    uint8_t has_audio;
    uint8_t* audio_buffer; /* KIVRA_AUDIO_CAPACITY bytes, mono */
    int32_t audio_chunk_offset[KIVRA_MAX_FRAMES];
    int32_t audio_chunk_length[KIVRA_MAX_FRAMES];
    int32_t audio_sample_bits;
    int32_t audio_sample_rate;
    char vehicle_id[16];
    uint32_t gop_time; /* seconds since 1970-01-01, no time zone */
    int32_t position_count;
    char position[KIVRA_MAX_FRAMES][KIVRA_POSITION_SIZE]; /* not terminated */
    int32_t gsensor_count;
    GSensorSample gsensor[KIVRA_MAX_FRAMES];
    int32_t speed_count;
    float speed[KIVRA_MAX_FRAMES]; /* km/h */
    int32_t temperature_count;
    int32_t temperature[KIVRA_MAX_FRAMES];
    int32_t tyres_per_group;
    int32_t tyre_group_count;
    TyreRecord tyres[KIVRA_MAX_FRAMES][KIVRA_MAX_TYRES];
    int32_t tyre_summary[6];
    int32_t flag_count;
    uint8_t flags[KIVRA_MAX_FRAMES][12];
} FrameSet;

/* ---- Protocol: every number that crosses the interface, named once -------------------- */

/* zPlayMSG commands. */
typedef enum KivraCommand {
    KIVRA_CMD_CLOSE = 0,
    KIVRA_CMD_PLAY = 1,
    KIVRA_CMD_PAUSE = 2,
    KIVRA_CMD_STEP_FORWARD = 3,
    KIVRA_CMD_STEP_BACKWARD = 4,
    KIVRA_CMD_FAST_FORWARD = 5,  /* first = speed */
    KIVRA_CMD_FAST_BACKWARD = 6, /* first = speed */
    KIVRA_CMD_SEEK = 7,          /* second | third << 32 = logical offset */
    KIVRA_CMD_STOP = 8,
    KIVRA_CMD_SNAPSHOT = 9,
    KIVRA_CMD_POLL = 10, /* reports nothing */
    KIVRA_CMD_JUMP = 11  /* first = KivraJump */
} KivraCommand;

/* Fast speeds of KIVRA_CMD_FAST_FORWARD and KIVRA_CMD_FAST_BACKWARD. */
#define KIVRA_FAST_SPEED_MIN 1
#define KIVRA_FAST_SPEED_MAX 7

/* What the reader reads next, set by KIVRA_CMD_JUMP. */
typedef enum KivraJump {
    KIVRA_JUMP_NEXT = 0,
    KIVRA_JUMP_BACK = 1, /* 20 GOPs back */
    KIVRA_JUMP_AHEAD = 2 /* 20 GOPs ahead */
} KivraJump;

/* PlayEventProc codes: command results (4-23, 25, value = last close result) and the
 * reports of playback itself. */
typedef enum KivraPlayEvent {
    KIVRA_EVENT_END_OF_DATA = 0,
    KIVRA_EVENT_READ_FAILED = 2, /* value: KivraReadFailure */
    KIVRA_RESULT_CLOSE_FAILED = 4,
    KIVRA_RESULT_CLOSE_OK = 5,
    KIVRA_RESULT_PLAY_FAILED = 6,
    KIVRA_RESULT_PLAY_OK = 7,
    KIVRA_RESULT_PAUSE_FAILED = 8,
    KIVRA_RESULT_PAUSE_OK = 9,
    KIVRA_RESULT_STEP_FORWARD_FAILED = 10,
    KIVRA_RESULT_STEP_FORWARD_OK = 11,
    KIVRA_RESULT_STEP_BACKWARD_FAILED = 12,
    KIVRA_RESULT_STEP_BACKWARD_OK = 13,
    KIVRA_RESULT_FAST_FORWARD_FAILED = 14,
    KIVRA_RESULT_FAST_FORWARD_OK = 15,
    KIVRA_RESULT_FAST_BACKWARD_FAILED = 16,
    KIVRA_RESULT_FAST_BACKWARD_OK = 17,
    KIVRA_RESULT_SEEK_FAILED = 18,
    KIVRA_RESULT_SEEK_OK = 19,
    KIVRA_RESULT_STOP_FAILED = 20,
    KIVRA_RESULT_STOP_OK = 21,
    KIVRA_RESULT_SNAPSHOT_FAILED = 22,
    KIVRA_RESULT_SNAPSHOT_OK = 23,
    KIVRA_EVENT_DRAW_FAILED = 24, /* one channel picture cannot be drawn; never a result */
    KIVRA_RESULT_JUMP_OK = 25
} KivraPlayEvent;

/* The value of KIVRA_EVENT_READ_FAILED. */
typedef enum KivraReadFailure {
    KIVRA_READ_FAILED_SOURCE = 0, /* a read from the source failed */
    KIVRA_READ_FAILED_PARSE = 1   /* a GOP cannot be parsed or decoded */
} KivraReadFailure;

/* The value of command results: what the most recent source close returned. */
typedef enum KivraCloseResult {
    KIVRA_CLOSE_RESULT_FAILED = -1,
    KIVRA_CLOSE_RESULT_LOCAL = 0, /* file pair, disk or card */
    KIVRA_CLOSE_RESULT_REALTIME = 3,
    KIVRA_CLOSE_RESULT_REMOTE = 4
} KivraCloseResult;

/* zOpen's type and zTellOpenedType. */
typedef enum KivraSourceType {
    KIVRA_SOURCE_NONE = -1,
    KIVRA_SOURCE_FILE = 0,
    KIVRA_SOURCE_DISK = 1,
    KIVRA_SOURCE_CARD = 2,
    KIVRA_SOURCE_REALTIME = 3,
    KIVRA_SOURCE_REMOTE = 4
} KivraSourceType;

/* zTellStatusType. */
typedef enum KivraStatus {
    KIVRA_STATUS_OPENED = 0,
    KIVRA_STATUS_PLAYING = 1,
    KIVRA_STATUS_PAUSED = 2,
    KIVRA_STATUS_FAST_FORWARD = 3,
    KIVRA_STATUS_FAST_BACKWARD = 4,
    KIVRA_STATUS_STOPPED = 5
} KivraStatus;

/* DiskEventProc events. */
typedef enum KivraDiskEvent {
    KIVRA_DISK_OPEN_FAILED = 0, /* found but cannot be opened */
    KIVRA_DISK_OPENED = 1,      /* ready; playback may start */
    KIVRA_DISK_REMOVED = 2      /* the device no longer answers */
} KivraDiskEvent;

/* LinkEventProc: which link, and what happened to it. */
typedef enum KivraLink { KIVRA_LINK_REALTIME = 0, KIVRA_LINK_REMOTE = 1 } KivraLink;

typedef enum KivraLinkEvent {
    KIVRA_LINK_CONNECTED = 0,      /* connect phase finished */
    KIVRA_LINK_CONNECT_FAILED = 1, /* value: transport or connector error */
    KIVRA_LINK_CLOSED = 2,         /* closed by the recorder or the network */
    KIVRA_LINK_PREBUFFERING = 3,   /* value: percent */
    KIVRA_LINK_MALFORMED = 4,      /* a received message was dropped */
    KIVRA_LINK_START_ACCEPTED = 5,
    KIVRA_LINK_START_REFUSED = 6, /* the recorder answered 0x10000030 */
    KIVRA_LINK_STOP_ACCEPTED = 7,
    KIVRA_LINK_STOP_REFUSED = 8,  /* the recorder answered 0x10000030 */
    KIVRA_LINK_START_DENIED = 10, /* the recorder answered 0x10000031 */
    /* 11, 12, 98 and 99 come from a host-supplied connector, never from the engine. */
    KIVRA_LINK_NAT_READY = 11,
    KIVRA_LINK_NAT_RELAY = 12,
    KIVRA_LINK_LISTENING = 13,  /* value: the port; extra: KivraListenPurpose */
    KIVRA_LINK_INDEX_UNIT = 20, /* extra: pointer to the unit's 16 bytes */
    KIVRA_LINK_INDEX_DONE = 21,
    KIVRA_LINK_REQUEST_REFUSED = 22,
    KIVRA_LINK_DOWNLOAD_PROGRESS = 23, /* value: percent */
    KIVRA_LINK_DOWNLOAD_DONE = 24,
    KIVRA_LINK_DOWNLOAD_REFUSED = 25,
    KIVRA_LINK_DATA_REQUEST_FAILED = 26,
    KIVRA_LINK_RECONNECTING = 98,
    KIVRA_LINK_RECONNECT_FAILED = 99
} KivraLinkEvent;

typedef enum KivraListenPurpose {
    KIVRA_LISTEN_REALTIME = 0,
    KIVRA_LISTEN_INDEX = 1,
    KIVRA_LISTEN_DOWNLOAD = 2
} KivraListenPurpose;

/* Layout: zSetFullScreen / zTellFullScreenIdx (0 = the grid, else a 1-based channel) and the
 * division of 8-channel recordings (zSetDivStatus / zTellDivStatus). */
#define KIVRA_FULL_SCREEN_GRID 0
typedef enum KivraDivision {
    KIVRA_DIVISION_ALL = 0,        /* the 3 x 3 grid of all channels */
    KIVRA_DIVISION_FIRST_FOUR = 1, /* channels 1-4 in a 2 x 2 grid */
    KIVRA_DIVISION_LAST_FOUR = 2   /* channels 5-8 */
} KivraDivision;

/* Queries answer this when nothing is open or the value is not known yet. */
#define KIVRA_UNKNOWN (-1)

/* ExtractDataProc kinds. */
typedef enum KivraExtractKind {
    KIVRA_EXTRACT_FAILED = -3,      /* range not found or extraction failed; ends it */
    KIVRA_EXTRACT_READ_ERROR = -2,  /* the extraction goes on */
    KIVRA_EXTRACT_CANNOT_OPEN = -1, /* the source cannot be opened a second time; ends it */
    KIVRA_EXTRACT_INDEX = 0,        /* an index record of 16 bytes */
    KIVRA_EXTRACT_GOP = 1,          /* one GOP with its FrameSet */
    KIVRA_EXTRACT_FINISHED = 2,
    KIVRA_EXTRACT_STOPPED = 3 /* by zStopExtract */
} KivraExtractKind;

/* Numbered errors of ErrorProc: X(name, code, English text). KivraErrorText gives the text.
 * Addition: 40058, a recording made while playing (zSetRecord) could not be written on and was
 * ended; its files hold every GOP up to the failed one.
 * Addition: 40059, a network link could not be made (a direct link, or listening for the
 * recorder); system_error carries the transport's errno (ETIMEDOUT when the recorder did not
 * connect in time). A connector's failures are reported with the connector's own code. */
#define KIVRA_FOR_EACH_ERROR(X)                                                                  \
    X(READER_FROM_OPENED, 40000, "play: the reader thread cannot be created")                    \
    X(PLAY_AUDIO_FORMAT, 40001, "play: the audio format cannot be set")                          \
    X(PLAY_STOP_PAUSE_TIMER, 40002, "play from pause: the pause timer cannot be stopped")        \
    X(PLAY_STOP_FAST_TIMER, 40003, "play from fast mode: the fast timer cannot be stopped")      \
    X(READER_FROM_STOPPED, 40004, "play from stop: the reader thread cannot be created")         \
    X(PLAY_OUTPUT_START, 40005, "play: the audio output cannot be started")                      \
    X(REALTIME_READER_FROM_OPENED, 40006, "realtime play: the reader thread cannot be created")  \
    X(REALTIME_OUTPUT_FROM_OPENED, 40007, "realtime play: the audio output cannot be started")   \
    X(REALTIME_READER_FROM_STOPPED, 40008,                                                       \
      "realtime play from stop: the reader thread cannot be created")                            \
    X(REALTIME_OUTPUT_FROM_STOPPED, 40009,                                                       \
      "realtime play from stop: the audio output cannot be started")                             \
    X(AUDIO_FORMAT_WHILE_OPEN, 40010, "the audio format cannot change while the output is open") \
    X(PAUSE_TIMER_NOT_RUNNING, 40011, "the pause timer is not running")                          \
    X(FAST_TIMER_NOT_RUNNING, 40012, "the fast timer is not running")                            \
    X(OUTPUT_NO_DEVICE, 40013, "no audio output device")                                         \
    X(OUTPUT_DEVICE, 40014, "the audio output device cannot be opened")                          \
    X(OUTPUT_ALREADY_RUNNING, 40015, "the audio output is already running")                      \
    X(CLOSE_REFUSED, 40016, "close refused: nothing open, or playback not stopped")              \
    X(CLOSE_NOTHING_OPEN, 40017, "close: nothing is open")                                       \
    X(CLOSE_UNKNOWN_TYPE, 40018, "close: unknown source type")                                   \
    X(CLOSE_FAILED, 40019, "close: the source cannot be closed")                                 \
    X(CLOSE_DVR, 40020, "close: the .dvr file cannot be closed")                                 \
    X(CLOSE_INX, 40021, "close: the .inx file cannot be closed")                                 \
    X(PAUSE_NETWORK, 40022, "pause is not available for network sources")                        \
    X(PAUSE_TIMER_START, 40023, "the pause timer cannot be started")                             \
    X(PAUSE_FAILED, 40024, "pause failed: not playing")                                          \
    X(STEP_FORWARD_NETWORK, 40025, "step forward is not available for network sources")          \
    X(STEP_FORWARD_FAILED, 40026, "step forward failed: not paused")                             \
    X(STEP_FORWARD_PENDING, 40027, "step forward: the previous step is not shown yet")           \
    X(STEP_BACKWARD_NETWORK, 40028, "step backward is not available for network sources")        \
    X(STEP_BACKWARD_FAILED, 40029, "step backward failed: not paused")                           \
    X(STEP_BACKWARD_PENDING, 40030, "step backward: the previous step is not shown yet")         \
    X(FAST_FORWARD_NETWORK, 40031, "fast forward is not available for network sources")          \
    X(FAST_FORWARD_SPEED, 40032, "fast forward speed must be 1 to 7")                            \
    X(FAST_TIMER_SPEED, 40033, "fast timer started with a speed of 0 or less")                   \
    X(FAST_TIMER_START, 40034, "the fast timer cannot be started")                               \
    X(FAST_FORWARD_FAILED, 40035, "fast forward failed")                                         \
    X(FAST_BACKWARD_NETWORK, 40036, "fast backward is not available for network sources")        \
    X(FAST_BACKWARD_SPEED, 40037, "fast backward speed must be 1 to 7")                          \
    X(FAST_BACKWARD_FAILED, 40038, "fast backward failed")                                       \
    X(SEEK_NETWORK, 40039, "seek is not available for network sources")                          \
    X(SEEK_LENGTH_UNKNOWN, 40040, "seek: the length of the recording is unknown")                \
    X(SEEK_OUT_OF_RANGE, 40041, "seek: offset outside the recording")                            \
    X(SEEK_NOTHING_OPEN, 40042, "seek: no source is open")                                       \
    X(SEEK_FROM_OPENED, 40043, "seek from opened: positioning failed")                           \
    X(SEEK_WHILE_PLAYING, 40044, "seek while playing: positioning failed")                       \
    X(SEEK_WHILE_PAUSED, 40045, "seek while paused: positioning failed")                         \
    X(SEEK_WHILE_FAST, 40046, "seek in fast mode: positioning failed")                           \
    X(SEEK_RESTART, 40047, "seek: playback cannot restart from this state")                      \
    X(POSITION_NOTHING_OPEN, 40048, "positioning: nothing is open")                              \
    X(POSITION_UNSUPPORTED, 40049, "positioning is not supported by this source")                \
    X(FILE_NOT_OPEN, 40050, "positioning: the .dvr file is not open")                            \
    X(FILE_BEYOND_END, 40051, "positioning beyond the end of the recording")                     \
    X(FILE_SEEK, 40052, "positioning: the seek failed")                                          \
    X(DISK_OFFSET, 40053, "disk: the offset is outside the recorded ring")                       \
    X(CARD_OFFSET, 40054, "card: the offset is outside the recorded ring")                       \
    X(STOP_FAILED, 40055, "stop failed: not playing")                                            \
    X(SNAPSHOT_NOTHING_OPEN, 40056, "snapshot: nothing is open")                                 \
    X(SNAPSHOT_NO_SCREENS, 40057, "snapshot: the channel count is unknown")                      \
    X(RECORD_WRITE, 40058, "recording: a write failed; the recording was ended")                 \
    X(LINK_CONNECT, 40059, "network: the recorder cannot be reached")

typedef enum KivraError {
#define KIVRA_ERROR_ENUMERATOR(name, code, text) KIVRA_ERROR_##name = code,
    KIVRA_FOR_EACH_ERROR(KIVRA_ERROR_ENUMERATOR)
#undef KIVRA_ERROR_ENUMERATOR
        KIVRA_ERROR_FIRST = KIVRA_ERROR_READER_FROM_OPENED,
    KIVRA_ERROR_LAST = KIVRA_ERROR_LINK_CONNECT
} KivraError;

/* checked_value of KIVRA_ERROR_OUTPUT_NO_DEVICE. */
#define KIVRA_CHECKED_NO_AUDIO_DEVICE 2

/* ---- Index records (zTell...Inx...): little-endian on disk, host layout here ------------- */

#define KIVRA_INDEX_MAGIC 0x1738BABEu
#define KIVRA_INDEX_RECORD_SIZE 16
#define KIVRA_QUICK_RECORD_SIZE 128
#define KIVRA_LAST_UNIT_NUMBER 0xFFFFFu /* disk and card units run 1..0xFFFFF, then 1 again */

/* Record 0 of a time or event index. */
typedef struct KivraIndexHeader {
    uint32_t magic;   /* KIVRA_INDEX_MAGIC where the engine wrote it; not checked */
    uint32_t first;   /* oldest valid unit, >= 1 */
    uint32_t last;    /* newest valid unit */
    uint32_t wrapped; /* non-zero: the recorder has wrapped around its ring */
} KivraIndexHeader;

/* Records 1..n of a time or event index. */
typedef struct KivraIndexUnit {
    uint32_t time;  /* seconds since 1970 of the GOP */
    uint32_t tag;   /* the recorder's; 0 in every unit the engine writes */
    int64_t offset; /* logical offset of the GOP start; -1 outside the recorded data */
} KivraIndexUnit;

/* A quick-index record, copied unchanged. */
typedef struct KivraQuickRecord {
    uint8_t bytes[KIVRA_QUICK_RECORD_SIZE];
} KivraQuickRecord;

#ifdef __cplusplus
static_assert(sizeof(KivraIndexHeader) == KIVRA_INDEX_RECORD_SIZE, "index header layout");
static_assert(sizeof(KivraIndexUnit) == KIVRA_INDEX_RECORD_SIZE, "index unit layout");
static_assert(sizeof(KivraQuickRecord) == KIVRA_QUICK_RECORD_SIZE, "quick record layout");
#else
_Static_assert(sizeof(KivraIndexHeader) == KIVRA_INDEX_RECORD_SIZE, "index header layout");
_Static_assert(sizeof(KivraIndexUnit) == KIVRA_INDEX_RECORD_SIZE, "index unit layout");
_Static_assert(sizeof(KivraQuickRecord) == KIVRA_QUICK_RECORD_SIZE, "quick record layout");
#endif

/* ---- Video target ---------------------------------------------------------------------- */

/* A finished picture of the whole video area: 32-bit pixels, byte order B, G, R, X. */
typedef struct KivraCanvas {
    int32_t width;
    int32_t height;
    int32_t stride; /* bytes per row */
    const uint8_t* pixels;
} KivraCanvas;

/*
 * Where the engine draws. The host passes a pointer to one of these to zInit; the engine
 * copies it. Both functions are called on engine threads.
 *  - size: the current size of the host's video area in pixels (0 x 0 = nothing to draw).
 *  - present: a finished canvas of that size; valid only during the call.
 */
typedef struct KivraVideoTarget {
    void* user;
    void (*size)(void* user, int32_t* width, int32_t* height);
    void (*present)(void* user, const KivraCanvas* canvas);
} KivraVideoTarget;

/* ---- Callbacks ----------------------------------------------------------------------------- */

/* Command results (4-23, 25), end of data (0, 0), read (2, 0) and parse (2, 1) failures,
 * drawing failures (24, 0). value is the last close result for command results. */
typedef void (*PlayEventProc)(int32_t code, int32_t value);

/* What FrameInfoProc passes for a value the GOP does not carry (pointers are null). */
#define KIVRA_NO_SPEED (-1.0f)
#define KIVRA_NO_TEMPERATURE 255
#define KIVRA_NO_TYRES (-1)

/* Telemetry of every presented frame. Absent values: null pointers, KIVRA_NO_SPEED,
 * KIVRA_NO_TEMPERATURE, KIVRA_NO_TYRES as tyres per group, summary values 0. position: 10 + 11
 * characters, not terminated. tyres: tyres_per_group TyreRecords. */
typedef void (*FrameInfoProc)(uint32_t gop_time, const char* vehicle_id, const void* position,
                              const int32_t* gsensor, float speed, int32_t temperature,
                              const uint8_t* flags, int32_t tyres_per_group, const void* tyres,
                              int32_t summary1, int32_t summary2, int32_t summary3,
                              int32_t summary4, int32_t summary5, int32_t summary6);

/* Disk or card found (1), found but not openable (0), removed (2). */
typedef void (*DiskEventProc)(int32_t source_type, const char* device_path, int32_t event);

/* Network link events; extra carries a pointer where an event says so. */
typedef void (*LinkEventProc)(int32_t link, int32_t code, int32_t value, intptr_t extra);

/* Extracted GOPs (kind 1, with their decoded FrameSet) and index records (kind 0). */
typedef void (*ExtractDataProc)(int32_t kind, int32_t percent, const void* data, int32_t length,
                                const void* frame_set);

/* Numbered engine errors 40000-40058; see KivraErrorText. system_error carries the system's
 * error number where one applies (40058: the failed write's, e.g. ENOSPC for a full disk). */
typedef void (*ErrorProc)(int32_t error_code, int32_t system_error, int32_t checked_value);

/* ---- Network records ------------------------------------------------------------------------ */

typedef struct LiveParams {
    uint8_t bytes[56];
} LiveParams;

typedef intptr_t (*KivraConnector)(const void* address6, const void* recorder_name32,
                                   int32_t purpose, void* transport_callback, int32_t* mode,
                                   int32_t* error, int32_t* error2, LiveParams params);

/* ---- Exports ------------------------------------------------------------------------------- */

#if defined(__GNUC__)
#define KIVRA_EXPORT __attribute__((visibility("default")))
#else
#define KIVRA_EXPORT
#endif

/* Version, time and date texts: always "3.0d", "12:01:36", "Jul 12 2013" (not the build's
 * clock, so builds are reproducible). Each buffer holds at least 19 bytes; null ones are
 * skipped. */
KIVRA_EXPORT void KivraInfo(char* version, char* time, char* date);

/* Starts the engine's threads and stores the callbacks (null callbacks are skipped). False
 * when target is null or a thread cannot start. Call once before everything else. */
KIVRA_EXPORT uint8_t zInit(const KivraVideoTarget* target, PlayEventProc play, FrameInfoProc frame,
                           DiskEventProc disk, LinkEventProc link, ExtractDataProc extract,
                           ErrorProc error);
/* Stops the engine's threads. Does not close an open source. Always true. */
KIVRA_EXPORT uint8_t zRelease(void);

/* type 0: opens dvr_path with its index inx_path (synchronously). Types 1 and 2: searches the
 * machine's whole disks every 250 ms for a recorder's hard disk (1) or SD card (2) and returns
 * true at once; the outcome comes through DiskEventProc. With dvr_path set, types 1 and 2 open
 * that device or image file instead of searching, with the same reports. The environment
 * variable KIVRA_SCAN_DEVICES (colon-separated paths) replaces the list of disks searched. */
KIVRA_EXPORT uint8_t zOpen(int32_t type, const char* dvr_path, const char* inx_path,
                           int32_t unused1, int32_t unused2);
/* Realtime network play (opened type 3). LiveParams bytes 0-31 and zOpenRx's recorder_address
 * name the recorder for a direct link as "HOST" or "HOST:PORT" (port 2200 when none is named).
 * Listening for a recorder (connect mode 4) gives up after 60 s with LinkEventProc (link, 1,
 * ETIMEDOUT, 0); the environment variable KIVRA_LISTEN_TIMEOUT_MS replaces the 60 s. */
KIVRA_EXPORT uint8_t zOpenEx(LiveParams params, int32_t connect_mode, int32_t fallback_to_nat,
                             const void* address6, const void* recorder_name32,
                             KivraConnector connector);
KIVRA_EXPORT uint8_t zOpenRx(const void* address6, const void* recorder_name32,
                             const char* recorder_address, int32_t use_connector, int32_t mode_byte,
                             KivraConnector connector);
/* first_unit and last_unit are rows of the received index (1-based: row r is the r-th unit
 * reported with LinkEventProc (1, 20)); the recorder is asked for its own units of those rows.
 * Rows beyond those received are refused. */
KIVRA_EXPORT uint8_t zDownload(int32_t first_unit, int32_t last_unit, const char* dvr_path,
                               const char* inx_path);
/* Ends a running download and completes its file pair: 0, or -1 when no download ran (also
 * when it had already ended). */
KIVRA_EXPORT int32_t zStopDownload(void);

/* -1 none, 0 file pair, 1 disk, 2 card, 3 realtime link, 4 remote link. */
KIVRA_EXPORT int32_t zTellOpenedType(void);
/* 0 opened, 1 playing, 2 paused, 3 fast forward, 4 fast backward, 5 stopped. */
KIVRA_EXPORT int32_t zTellStatusType(void);

/* Playback commands, executed one at a time on the command thread; each reports its result
 * through PlayEventProc (except 10). 0 close, 1 play, 2 pause, 3 step forward, 4 step back,
 * 5 fast forward (first = speed 1..7), 6 fast backward, 7 seek (second | third << 32 = logical
 * offset), 8 stop, 9 snapshot (first = pointer to int32_t[4] {left, top, right, bottom} in
 * canvas pixels, copied before zPlayMSG returns, or 0; second = time stamp or 0; text = JPEG
 * path), 10 poll, 11 jump selector. Any other cmd does nothing and reports the previous
 * result again; before the first result since zInit it reports nothing.
 * Always true; a new command overwrites one that has not started yet. */
KIVRA_EXPORT uint8_t zPlayMSG(int32_t cmd, intptr_t first, int32_t second, int32_t third,
                              const char* text);

KIVRA_EXPORT int32_t zTellScreenNum(void);
KIVRA_EXPORT int32_t zTellSampleRate(void);
KIVRA_EXPORT int32_t zTellSampleBits(void);
KIVRA_EXPORT int32_t zTellFullScreenIdx(void);
/* 0 shows the grid, 1..8 one channel alone; false for a channel the recording lacks or the
 * engine does not show (recordings of sixteen channels show their first eight). */
KIVRA_EXPORT uint8_t zSetFullScreen(int32_t index);
KIVRA_EXPORT int32_t zTellDivStatus(void);
KIVRA_EXPORT uint8_t zSetDivStatus(int32_t division);
/* Copies the vehicle identifier (16-byte bound, terminated); 0, or -1 when none is open. */
KIVRA_EXPORT int32_t zTellCarId(char* out);

KIVRA_EXPORT uint8_t zOpenVoice(void);
KIVRA_EXPORT void zCloseVoice(void);
/* volume 0..100: 0 silent, 50 unchanged, 100 three times louder. */
KIVRA_EXPORT uint8_t zSetVoiceVolume(int32_t volume);
KIVRA_EXPORT uint8_t zTellVoiceVolume(int32_t* out);

/* Logical read position (up to two GOPs ahead of the picture) and length, in bytes. */
KIVRA_EXPORT int64_t zTellp(void);
KIVRA_EXPORT int64_t zTellTotalLen(void);
/* Seconds since 1970 of the oldest and newest recorded data; 0 when the source is not open,
 * -1 for network sources and when nothing is open. */
KIVRA_EXPORT int32_t zTellBegTime(void);
KIVRA_EXPORT int32_t zTellEndTime(void);

/* Extraction of [start, end) of the open file pair, disk or card (logical offsets, low | high
 * << 32), both the offsets of time-index units, on an engine thread reading a copy of the
 * source of its own (the same files, or the same device with the ring already found), beside
 * playback. 0 when started; -1 when nothing stored is open or an extraction runs (one at a
 * time). ExtractDataProc then receives, on that thread: each GOP of the range that parses
 * (kind 1; percent by position, 0..100; the stored bytes; the decoded FrameSet), a read error
 * as kind -2 (the extraction goes on past the damage), then the index of the copied range
 * (kind 0, 16 bytes each: the header with first 1 and last = the unit count, then each unit
 * with its offset made relative to start), then one ending: 2 finished, 3 stopped, -3 failed
 * (start >= end, an offset that is no unit's, a read that cannot go on), -1 the copy cannot
 * be opened. Closing the source or zRelease stops a running extraction and waits for it. */
KIVRA_EXPORT int32_t zStartExtract(uint32_t start_low, int32_t start_high, uint32_t end_low,
                                   int32_t end_high);
/* Asks the running extraction to stop after the GOP in progress: its index records and then
 * kind 3 still come. Nothing happens when none runs. Always 0; may be called from the
 * ExtractDataProc. */
KIVRA_EXPORT int32_t zStopExtract(void);

/* Index records of the open source: 16-byte headers and units, 128-byte quick records.
 * Unit numbers start at 1. File pairs have only a time index. */
KIVRA_EXPORT uint8_t zTellTimeInxHd(void* out16);
KIVRA_EXPORT uint8_t zTellTimeInxUnit(int32_t index, void* out16);
KIVRA_EXPORT uint8_t zTellEvtInxHd(void* out16);
KIVRA_EXPORT uint8_t zTellEvtInxUnit(int32_t index, void* out16);
KIVRA_EXPORT uint8_t zTellQuickInxHd(void* out128);
KIVRA_EXPORT uint8_t zTellQuickInxUnit(int32_t index, void* out128);

/* on != 0: records the GOPs read in normal play into base_path.dvr / .inx (a running
 * recording is finished first). Each GOP goes in once, in the order of the source: GOPs read
 * again after pause, steps, fast play or a seek back are passed over until play gets past the
 * last one recorded, and every recorded GOP links back to the one recorded before it. A write
 * that fails (a full disk) ends the recording with ErrorProc(40058, errno, 0); its files then
 * hold every whole GOP written. on == 0: finishes the recording (true when none runs). */
KIVRA_EXPORT uint8_t zSetRecord(const char* base_path, int32_t on);

/* Addition: a short English text for an engine error code, "unknown error" otherwise. The
 * text is static. */
KIVRA_EXPORT const char* KivraErrorText(int32_t error_code);

/* Every export, in the order hosts bind them by name; the declarations above give the types.
 * Binding tables, version scripts and tests are made from this list. */
#define KIVRA_FOR_EACH_EXPORT(X) \
    X(KivraInfo)                 \
    X(zInit)                     \
    X(zRelease)                  \
    X(zOpen)                     \
    X(zOpenEx)                   \
    X(zOpenRx)                   \
    X(zDownload)                 \
    X(zStopDownload)             \
    X(zTellOpenedType)           \
    X(zTellStatusType)           \
    X(zPlayMSG)                  \
    X(zTellScreenNum)            \
    X(zTellSampleRate)           \
    X(zTellSampleBits)           \
    X(zTellFullScreenIdx)        \
    X(zSetFullScreen)            \
    X(zTellDivStatus)            \
    X(zSetDivStatus)             \
    X(zTellCarId)                \
    X(zOpenVoice)                \
    X(zCloseVoice)               \
    X(zSetVoiceVolume)           \
    X(zTellVoiceVolume)          \
    X(zTellp)                    \
    X(zTellTotalLen)             \
    X(zTellBegTime)              \
    X(zTellEndTime)              \
    X(zStartExtract)             \
    X(zStopExtract)              \
    X(zTellTimeInxHd)            \
    X(zTellTimeInxUnit)          \
    X(zTellEvtInxHd)             \
    X(zTellEvtInxUnit)           \
    X(zTellQuickInxHd)           \
    X(zTellQuickInxUnit)         \
    X(zSetRecord)                \
    X(KivraErrorText)

#ifdef __cplusplus
}
#endif

#endif /* KIVRA_KIVRA_H */
