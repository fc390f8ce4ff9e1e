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
 * Not yet supported in this build (they exist and answer as for a source that cannot be
 * opened): network sources (zOpenEx, zOpenRx, zDownload, zStopDownload), disk and card
 * sources (zOpen types 1 and 2 search without ever finding one), and extraction
 * (zStartExtract answers -1).
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
    int32_t picture_width;
    int32_t picture_height;
    int32_t channel_count; /* 1, 4, 8, 16 or 0, as the GOP header announces */
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

/* Telemetry of every presented frame. Absent values: null pointers, speed -1.0, temperature
 * 255, tyres per group -1, summary values 0. position: 10 + 11 characters, not terminated.
 * tyres: tyres_per_group TyreRecords. */
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

/* Numbered engine errors 40000-40057; see KivraErrorText. */
typedef void (*ErrorProc)(int32_t error_code, int32_t system_error, int32_t checked_value);

/* ---- Network records (network sources are not yet supported) ------------------------------ */

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

/* Version, build time and date texts; each buffer holds at least 19 bytes. */
KIVRA_EXPORT void KivraInfo(char* version, char* time, char* date);

/* Starts the engine's threads and stores the callbacks (null callbacks are skipped). False
 * when target is null or a thread cannot start. Call once before everything else. */
KIVRA_EXPORT uint8_t zInit(const KivraVideoTarget* target, PlayEventProc play,
                           FrameInfoProc frame, DiskEventProc disk, LinkEventProc link,
                           ExtractDataProc extract, ErrorProc error);
/* Stops the engine's threads. Does not close an open source. Always true. */
KIVRA_EXPORT uint8_t zRelease(void);

/* type 0: opens dvr_path with its index inx_path (synchronously). Types 1 and 2: disk and card
 * search (not yet supported: returns true and never finds one). */
KIVRA_EXPORT uint8_t zOpen(int32_t type, const char* dvr_path, const char* inx_path,
                           int32_t unused1, int32_t unused2);
KIVRA_EXPORT uint8_t zOpenEx(LiveParams params, int32_t connect_mode, int32_t fallback_to_nat,
                             const void* address6, const void* recorder_name32,
                             KivraConnector connector);
KIVRA_EXPORT uint8_t zOpenRx(const void* address6, const void* recorder_name32,
                             const char* recorder_address, int32_t use_connector,
                             int32_t mode_byte, KivraConnector connector);
KIVRA_EXPORT uint8_t zDownload(int32_t first_unit, int32_t last_unit, const char* dvr_path,
                               const char* inx_path);
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
 * path), 10 poll, 11 jump selector.
 * Always true; a new command overwrites one that has not started yet. */
KIVRA_EXPORT uint8_t zPlayMSG(int32_t cmd, intptr_t first, int32_t second, int32_t third,
                              const char* text);

KIVRA_EXPORT int32_t zTellScreenNum(void);
KIVRA_EXPORT int32_t zTellSampleRate(void);
KIVRA_EXPORT int32_t zTellSampleBits(void);
KIVRA_EXPORT int32_t zTellFullScreenIdx(void);
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

KIVRA_EXPORT int32_t zStartExtract(uint32_t start_low, int32_t start_high, uint32_t end_low,
                                   int32_t end_high);
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
 * recording is finished first). on == 0: finishes the recording. */
KIVRA_EXPORT uint8_t zSetRecord(const char* base_path, int32_t on);

/* Addition: a short English text for an engine error code, "unknown error" otherwise. The
 * text is static. */
KIVRA_EXPORT const char* KivraErrorText(int32_t error_code);

#ifdef __cplusplus
}
#endif

#endif /* KIVRA_KIVRA_H */
