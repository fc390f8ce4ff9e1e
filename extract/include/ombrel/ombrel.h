/*
 * Ombrel extraction library: public C interface.
 *
 * Writes a range of an opened recording into output files: one AVI per chosen channel, one AVI
 * of all channels, or a copy as a .dvr/.inx pair. The host announces the outputs once with
 * zExtractPre, hands every GOP and index record to zExtractWrite and ends with zExtractFin.
 *
 * Threading: one extraction at a time; the host serialises the calls (they arrive on the
 * engine's extraction callback thread). zIsExtractOpened may be called from any thread.
 *
 * Ownership: pointers passed in are owned by the caller and read only during the call.
 * Texts are 8-bit, zero-terminated within their field; the target directory is UTF-8.
 */
#ifndef OMBREL_OMBREL_H
#define OMBREL_OMBREL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define OMBREL_PATH_SIZE 260
#define OMBREL_CHANNELS 8

/* Write kinds of zExtractWrite. */
#define OMBREL_WRITE_INDEX_RECORD 0
#define OMBREL_WRITE_GOP 1

/* The outputs of one extraction, passed by value (3156 bytes, little-endian integers). The
 * host clears it to zero before filling it. */
typedef struct ExtractJob {
    int32_t screen_count;                 /* channels of the recording */
    int32_t sample_rate;                  /* audio samples per second */
    int32_t sample_bits;                  /* audio bits per sample */
    uint8_t channel_avi[OMBREL_CHANNELS]; /* 1 = write an AVI of channel i + 1 */
    uint8_t all_channels_avi;             /* 1 = write one AVI of all channels */
    uint8_t reserved1[3];                 /* zero */
    int32_t picture_width;                /* from the first extracted GOP */
    int32_t picture_height;               /* after cropping */
    uint8_t copy_file_pair;               /* 1 = copy the range as .dvr/.inx */
    char dvr_path[OMBREL_PATH_SIZE];      /* .dvr output of the copy */
    char inx_path[OMBREL_PATH_SIZE];      /* .inx output of the copy */
    char channel_avi_path[OMBREL_CHANNELS][OMBREL_PATH_SIZE]; /* only for channels asked for */
    char all_channels_avi_path[OMBREL_PATH_SIZE];
    char target_directory[OMBREL_PATH_SIZE]; /* UTF-8 */
    uint8_t reserved2[3];                    /* zero */
} ExtractJob;

#if defined(__cplusplus)
static_assert(sizeof(ExtractJob) == 3156, "ExtractJob layout is fixed");
static_assert(offsetof(ExtractJob, picture_width) == 24, "ExtractJob layout is fixed");
static_assert(offsetof(ExtractJob, copy_file_pair) == 32, "ExtractJob layout is fixed");
static_assert(offsetof(ExtractJob, dvr_path) == 33, "ExtractJob layout is fixed");
static_assert(offsetof(ExtractJob, channel_avi_path) == 553, "ExtractJob layout is fixed");
static_assert(offsetof(ExtractJob, all_channels_avi_path) == 2633, "ExtractJob layout is fixed");
static_assert(offsetof(ExtractJob, target_directory) == 2893, "ExtractJob layout is fixed");
#else
_Static_assert(sizeof(ExtractJob) == 3156, "ExtractJob layout is fixed");
#endif

#if defined(__GNUC__)
#define OMBREL_EXPORT __attribute__((visibility("default")))
#else
#define OMBREL_EXPORT
#endif

/* Version, build time and build date texts; each buffer holds at least 19 bytes. */
OMBREL_EXPORT void zExtractInfo(char* version, char* time, char* date);

/* Creates the outputs named in job. True when all of them are open for writing; false
 * leaves nothing open. */
OMBREL_EXPORT uint8_t zExtractPre(ExtractJob job);

/* kind OMBREL_WRITE_GOP: one GOP of length bytes, frame_set = the engine's decoded FrameSet of
 * it. kind OMBREL_WRITE_INDEX_RECORD: one index record, frame_set null. Ignored while no
 * outputs are open. */
OMBREL_EXPORT void zExtractWrite(int32_t kind, const void* data, int32_t length,
                                 const void* frame_set);

/* Completes and closes the outputs; nothing happens when none are open. */
OMBREL_EXPORT void zExtractFin(void);

/* True while outputs are open (between a successful zExtractPre and zExtractFin). */
OMBREL_EXPORT uint8_t zIsExtractOpened(void);

/* Every export, in the order hosts bind them by name. */
#define OMBREL_FOR_EACH_EXPORT(X) \
    X(zExtractInfo)               \
    X(zExtractPre)                \
    X(zExtractWrite)              \
    X(zExtractFin)                \
    X(zIsExtractOpened)

#ifdef __cplusplus
}
#endif

#endif /* OMBREL_OMBREL_H */
