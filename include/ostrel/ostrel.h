/* Ostrel: an XM (Extended Module) music engine as a library.
 *
 * Load a song from memory or a file, ask what it is and how long it plays, then render it as
 * interleaved stereo frames at any rate from 8,000 to 192,000 Hz, 16-bit or float, with seeking,
 * a repeat count and channel muting. The bytes are those the Ostrel demo and xmrender play.
 *
 *     ostrel_player* song = ostrel_load_file("tune.xm", NULL, NULL);
 *     ostrel_start(song, 48000);
 *     int16_t frames[2 * 1024];
 *     int32_t n;
 *     while ((n = ostrel_render_s16(song, frames, 1024)) > 0)
 *         write_somewhere(frames, n);
 *     ostrel_free(song);
 *
 * Threads: different players are independent and may be used on different threads at the same
 * time. One player must be used from one thread at a time (the caller serialises the calls on
 * it, e.g. a lock shared with an audio callback). No function blocks, sleeps or starts a thread.
 *
 * Errors: nothing is thrown across this interface and nothing is printed. Functions that can
 * fail return an ostrel_error (OSTREL_OK is 0), or NULL / -1 as documented. Every text returned
 * lives as long as the player (reasons and error texts: for ever). Reasons and error texts are
 * printable ASCII. The song's texts are the file's bytes with control bytes shown as '?': bytes
 * from 0x80 up, which trackers wrote in a DOS code page, pass through as they are, so those texts
 * need not be valid UTF-8.
 *
 * Channels, orders, rows, instruments and samples are counted from 0 here; trackers show
 * channels, instruments and samples from 1.
 */
#ifndef OSTREL_OSTREL_H
#define OSTREL_OSTREL_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && defined(OSTREL_SHARED_BUILD)
#define OSTREL_API __declspec(dllexport)
#elif defined(__GNUC__)
#define OSTREL_API __attribute__((visibility("default")))
#else
#define OSTREL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define OSTREL_VERSION_MAJOR 1
#define OSTREL_VERSION_MINOR 2
#define OSTREL_VERSION_PATCH 0

/* The library's version, "MAJOR.MINOR.PATCH", as built (may differ from the header's). */
OSTREL_API const char* ostrel_version(void);
/* The same as (MAJOR << 16) | (MINOR << 8) | PATCH. */
OSTREL_API uint32_t ostrel_version_number(void);

typedef enum ostrel_error {
    OSTREL_OK = 0,
    OSTREL_ERROR_ARGUMENT = 1,   /* a null pointer, or a value outside its documented range */
    OSTREL_ERROR_OPEN = 2,       /* the file cannot be opened or read */
    OSTREL_ERROR_FORMAT = 3,     /* not an XM module, or one that cannot be loaded */
    OSTREL_ERROR_MEMORY = 4,     /* out of memory */
    OSTREL_ERROR_STATE = 5,      /* the call needs ostrel_start first */
    OSTREL_ERROR_NOT_REACHED = 6 /* a seek target the song never plays */
} ostrel_error;

/* A short lower-case phrase for an error code, e.g. "out of memory". Never NULL. */
OSTREL_API const char* ostrel_error_text(ostrel_error error);

/* One loaded song and its playback state. */
typedef struct ostrel_player ostrel_player;

/* Loads an XM module from size bytes at data (copied: the caller may free them at once).
 * Returns NULL on failure, with the code in *error and a one-line reason in *reason, the same
 * xmrender prints ("not an XM module", "file is truncated", ...); either pointer may be NULL.
 * A file whose end was cut off inside its pattern or sample data loads what it still holds (see
 * ostrel_damaged); one cut inside a header is refused as truncated. */
OSTREL_API ostrel_player* ostrel_load_memory(const void* data, size_t size, ostrel_error* error,
                                             const char** reason);
/* The same for the file at path. A file that cannot be opened gives OSTREL_ERROR_OPEN and the
 * system's words for why, as xmrender prints them ("No such file or directory", ...). */
OSTREL_API ostrel_player* ostrel_load_file(const char* path, ostrel_error* error,
                                           const char** reason);
/* Frees the player and everything it owns; NULL is ignored. */
OSTREL_API void ostrel_free(ostrel_player* player);

/* --- What the song is --------------------------------------------------------------------- */

typedef struct ostrel_info {
    int32_t channels;         /* channels played (at most 32) */
    int32_t file_channels;    /* channels the file declares */
    int32_t patterns;         /* patterns the file declares */
    int32_t orders;           /* song length in orders */
    int32_t restart_position; /* order the song wraps to */
    int32_t instruments;
    int32_t samples;            /* all instruments' samples together */
    int32_t linear_frequencies; /* 1: linear frequency table; 0: Amiga periods */
    int32_t initial_tempo;      /* ticks per row */
    int32_t initial_bpm;
} ostrel_info;

OSTREL_API ostrel_error ostrel_get_info(const ostrel_player* player, ostrel_info* info);
/* The header's title and tracker-name fields: control bytes as '?', trailing blanks removed;
 * NULL for a NULL player. */
OSTREL_API const char* ostrel_title(const ostrel_player* player);
OSTREL_API const char* ostrel_tracker(const ostrel_player* player);
/* Instrument i's name (i < instruments), or NULL out of range; "" when empty. */
OSTREL_API const char* ostrel_instrument_name(const ostrel_player* player, int32_t instrument);
/* Samples of instrument i, or -1 out of range. */
OSTREL_API int32_t ostrel_sample_count(const ostrel_player* player, int32_t instrument);
/* Sample s of instrument i's name, or NULL out of range; "" when empty. */
OSTREL_API const char* ostrel_sample_name(const ostrel_player* player, int32_t instrument,
                                          int32_t sample);
/* Rows of pattern p, as ostrel_position names patterns (orders may name patterns the file does
 * not hold: those play as 64 empty rows), or -1 out of range. */
OSTREL_API int32_t ostrel_pattern_rows(const ostrel_player* player, int32_t pattern);
/* 1 when the file was cut short and the song plays what it still held: the pattern cells the
 * cut took are empty, the sample frames it took are silence (each sample keeps its length and
 * loop), and the patterns and instruments after it are empty. *what (when what is not NULL) is
 * then one line of printable ASCII naming the first part the cut took and how many more lost
 * their data, e.g. "sample 3 of instrument 7: 1,204 of 9,000 frames; the rest is silence; 2 more
 * samples have no data" or "pattern 12: 1,100 of 2,048 bytes of data; empty from row 40 on", its
 * numbers as trackers show them. 0 for a whole song, with *what = ""; -1 for a NULL player. */
OSTREL_API int32_t ostrel_damaged(const ostrel_player* player, const char** what);

/* --- How long it plays ---------------------------------------------------------------------- */

typedef struct ostrel_duration {
    int64_t frames;       /* to the end of the passes, at the rate asked */
    double seconds;       /* frames / rate */
    int32_t end_found;    /* 0: a pass found no end within 30 minutes and was cut there */
    int32_t repeat_order; /* where the first pass turns back (-1 if none) */
    int32_t repeat_row;
} ostrel_duration;

/* How long `passes` passes (>= 1) play at this rate (8,000 to 192,000). A song ends the first
 * time it is about to play again a row it has already played, not counting the repeats of a
 * pattern loop (E6x); each further pass goes on to where that happens again. A pass that finds
 * no end within 30 minutes is cut there, and so is playback. Found by walking the rows without
 * mixing, about as fast as the engine ticks; it equals the end that rendering finds. Does not
 * change the playback state and allocates nothing: it may be called at any time. */
OSTREL_API ostrel_error ostrel_measure(ostrel_player* player, int32_t rate, int32_t passes,
                                       ostrel_duration* duration);

/* --- Rendering ------------------------------------------------------------------------------ */

/* (Re)starts playback from the song's beginning at rate frames per second, 8,000 to 192,000.
 * Allocates; every later render, seek, position, repeat and mute call works without allocating.
 * Mutes and the repeat count are kept. */
OSTREL_API ostrel_error ostrel_start(ostrel_player* player, int32_t rate);

/* Passes to play before rendering stops: 1 (the default) plays the song once, N plays N passes,
 * 0 plays for ever (the song wraps as it says). Counts from the start of playback: set during
 * playback, rendering ends at the end of pass N, or at once when N passes have already ended. */
OSTREL_API ostrel_error ostrel_set_repeat(ostrel_player* player, int32_t passes);

/* Renders up to `frames` interleaved stereo frames (left first) into out and returns how many
 * it wrote: fewer once the last pass ends, then 0; -1 before ostrel_start or with a bad
 * argument. Any split into calls gives the same frames. The float form is the mix before the
 * 16-bit conversion, with full scale at +-32768.0. The song is mixed a chunk (a fiftieth of a
 * second) at a time, and the chunk of the next frame is always mixed before a call returns. */
OSTREL_API int32_t ostrel_render_s16(ostrel_player* player, int16_t* out, int32_t frames);
OSTREL_API int32_t ostrel_render_f32(ostrel_player* player, float* out, int32_t frames);

typedef struct ostrel_position {
    int32_t order; /* of the row the next frame belongs to (the last frame, once ended) */
    int32_t pattern;
    int32_t row;
    int32_t tick;
    int32_t pass;   /* passes completed, from 0 */
    int64_t frame;  /* frames rendered since the start, seeks included */
    double seconds; /* frame / rate, exact */
} ostrel_position;

/* Where playback stands: the row and tick of the next frame to be rendered, not of the chunk
 * mixed ahead. Once the passes have ended, the row is that of the last frame played.
 * OSTREL_ERROR_STATE before ostrel_start. */
OSTREL_API ostrel_error ostrel_get_position(const ostrel_player* player, ostrel_position* position);

/* Frames in one chunk at this rate: a fiftieth of a second, rounded up to a multiple of 4. The
 * song is mixed in this grid from its start; -1 for a rate outside 8,000 to 192,000. */
OSTREL_API int32_t ostrel_chunk_frames(int32_t rate);

typedef struct ostrel_chunk_mark {
    int32_t order; /* the order and row the song stood at when the chunk's mixing ended */
    int32_t row;
    int32_t clock_ms; /* the demo's song clock at that point */
} ostrel_chunk_mark;

/* What the Ostrel demo records for the chunk holding the last frame rendered, and its visuals
 * follow: where the song stood at the end of that chunk, and the song clock, which adds up each
 * chunk's milliseconds truncated and so falls a few percent behind the frames. For tools that
 * reproduce the demo's sync data; ostrel_get_position is the exact position. All zero before the
 * first frame; OSTREL_ERROR_STATE before ostrel_start. */
OSTREL_API ostrel_error ostrel_get_chunk_mark(const ostrel_player* player, ostrel_chunk_mark* mark);

/* Moves playback to the first time the song plays this row of this order, or to this many
 * seconds from the start (rounded to the nearest frame). The frames rendered afterwards are
 * exactly those that rendering from the start and discarding would give, and that is how they
 * are reached: the frames in between are rendered (from the start again when the target lies
 * behind), some 20 ms per minute of music on a desktop processor. A row the song never plays
 * within the passes set (within the first pass when it plays for ever) gives
 * OSTREL_ERROR_NOT_REACHED and leaves playback where it was; an order outside the song, a
 * negative row or time, or a time beyond any song (2^62 frames) gives OSTREL_ERROR_ARGUMENT; a
 * time past the end of the passes leaves the player at that end. OSTREL_ERROR_STATE before
 * ostrel_start. */
OSTREL_API ostrel_error ostrel_seek_order(ostrel_player* player, int32_t order, int32_t row);
OSTREL_API ostrel_error ostrel_seek_seconds(ostrel_player* player, double seconds);

/* --- Channels ------------------------------------------------------------------------------- */

/* Mutes or unmutes channel (0 .. channels - 1). A muted channel plays on silently, so unmuting
 * it brings it back where it would be; only its share of the mix is left out. Mutes apply to
 * every chunk mixed after the call: set before ostrel_start, from its first frame on (and through
 * any seek after it); during playback, from the end of the chunk of the next frame, within a
 * fiftieth of a second. */
OSTREL_API ostrel_error ostrel_set_mute(ostrel_player* player, int32_t channel, int32_t muted);
/* 1 when the channel is muted, 0 when not, -1 out of range. */
OSTREL_API int32_t ostrel_muted(const ostrel_player* player, int32_t channel);
/* Mutes every channel but this one; -1 unmutes them all. */
OSTREL_API ostrel_error ostrel_solo(ostrel_player* player, int32_t channel);

#ifdef __cplusplus
}
#endif

#endif
