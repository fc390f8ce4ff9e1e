/*
 * Kivra media engine: public C interface.
 *
 * This header is the contract between the engine and its hosts. It currently declares the
 * records the engine shares with hosts; the exported functions are added as they land.
 *
 * Threading and ownership: records passed to a callback are owned by the engine and valid
 * only for the duration of the call. Hosts copy what they keep.
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

#ifdef __cplusplus
}
#endif

#endif /* KIVRA_KIVRA_H */
