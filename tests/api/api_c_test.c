/* The C API from C99: every function, and the error paths a caller meets. No test framework
 * speaks C: each failed check is printed and the exit status tells. OSTREL_TEST_SONG is a
 * two-channel song of the fuzz corpus: orders 0, 1, 0, then back to order 1. */
#include <ostrel/ostrel.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition);                \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

static unsigned le16(const unsigned char* at) {
    return (unsigned)(at[0] | at[1] << 8);
}

/* Frames rendered to the end in calls of `block` frames; the last call must give 0. */
static int64_t renderAll(ostrel_player* player, int32_t block) {
    static int16_t frames[2 * 1000];
    int64_t total = 0;
    int32_t got = block;
    while (got == block && (got = ostrel_render_s16(player, frames, block)) > 0)
        total += got;
    CHECK(ostrel_render_s16(player, frames, block) == 0);
    return total;
}

static void checkLoads(const unsigned char* song, size_t size) {
    /* bytes kept, byte 3 (or 68..69: the channels) overwritten -> the code and reason */
    static const struct {
        size_t size;
        int at;
        ostrel_error error;
        const char* reason;
    } refused[] = {{10, -1, OSTREL_ERROR_FORMAT, "not an XM module"},
                   {100, -1, OSTREL_ERROR_FORMAT, "file is truncated"},
                   {0, 3, OSTREL_ERROR_FORMAT, "not an XM module"},
                   {0, 68, OSTREL_ERROR_FORMAT, "bad channel count"}};
    unsigned char* copy = (unsigned char*)malloc(size);
    ostrel_error error;
    const char* why;
    ostrel_player* player;
    size_t k;
    for (k = 0; k < sizeof refused / sizeof refused[0]; ++k) {
        memcpy(copy, song, size);
        if (refused[k].at >= 0)
            copy[refused[k].at] = copy[refused[k].at + 1] = 0;
        CHECK(!ostrel_load_memory(copy, refused[k].size ? refused[k].size : size, &error, &why));
        CHECK(error == refused[k].error && strcmp(why, refused[k].reason) == 0);
    }
    free(copy);
    CHECK(!ostrel_load_memory(NULL, 10, &error, &why) && error == OSTREL_ERROR_ARGUMENT);
    CHECK(!ostrel_load_file(NULL, &error, NULL) && error == OSTREL_ERROR_ARGUMENT);
    CHECK(!ostrel_load_file("/nonexistent/song.xm", &error, &why) && error == OSTREL_ERROR_OPEN);
    CHECK(strcmp(why, "No such file or directory") == 0);
    CHECK(!ostrel_load_file("/nonexistent/song.xm", NULL, NULL));
    /* The last 20 bytes gone: the song's only sample is cut short. */
    player = ostrel_load_memory(song, size - 20, &error, &why);
    CHECK(player && error == OSTREL_OK && ostrel_damaged(player, &why) == 1);
    CHECK(player &&
          strcmp(why, "sample 1 of instrument 1: 44 of 64 frames; the rest is silence") == 0);
    ostrel_free(player);
    CHECK(ostrel_damaged(NULL, &why) == -1);
}

static void checkInfo(ostrel_player* player, const unsigned char* song) {
    ostrel_info info;
    const char* why = NULL;
    CHECK(ostrel_get_info(NULL, &info) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_get_info(player, NULL) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_get_info(player, &info) == OSTREL_OK);
    CHECK(info.orders == (int32_t)le16(song + 64) &&
          info.restart_position == (int32_t)le16(song + 66));
    CHECK(info.channels == 2 && info.file_channels == 2 &&
          info.patterns == (int32_t)le16(song + 70));
    CHECK(info.instruments == 1 && info.samples == 1 && info.linear_frequencies == 1);
    CHECK(info.initial_tempo == (int32_t)le16(song + 76) &&
          info.initial_bpm == (int32_t)le16(song + 78));
    CHECK(strcmp(ostrel_title(player), "writer test") == 0 && !ostrel_title(NULL));
    CHECK(strcmp(ostrel_tracker(player), "ostrel xm_writer") == 0 && !ostrel_tracker(NULL));
    CHECK(strcmp(ostrel_instrument_name(player, 0), "") == 0);
    CHECK(!ostrel_instrument_name(player, -1) && !ostrel_instrument_name(player, 1));
    CHECK(ostrel_sample_count(player, 0) == 1 && ostrel_sample_count(player, 1) == -1);
    CHECK(ostrel_sample_count(NULL, 0) == -1);
    CHECK(strcmp(ostrel_sample_name(player, 0, 0), "") == 0 && !ostrel_sample_name(player, 0, 1));
    CHECK(ostrel_damaged(player, &why) == 0 && strcmp(why, "") == 0);
    CHECK(!ostrel_sample_name(player, -1, 0) && !ostrel_sample_name(NULL, 0, 0));
    /* Pattern 0's header follows the module header (its size at 60); its rows are at 5. */
    CHECK(ostrel_pattern_rows(player, 0) == (int32_t)le16(song + 60 + le16(song + 60) + 5));
    CHECK(ostrel_pattern_rows(player, -1) == -1 && ostrel_pattern_rows(NULL, 0) == -1);
    CHECK(ostrel_pattern_rows(player, info.patterns) == -1);
}

static void checkPlayback(ostrel_player* player) {
    ostrel_duration once, twice;
    ostrel_position at;
    ostrel_chunk_mark mark;
    int16_t s16[2 * 300];
    float f32[2 * 300];
    int k;
    CHECK(ostrel_render_s16(player, s16, 10) == -1 && ostrel_render_f32(player, f32, 10) == -1);
    CHECK(ostrel_get_position(player, &at) == OSTREL_ERROR_STATE);
    CHECK(ostrel_seek_order(player, 0, 0) == OSTREL_ERROR_STATE);
    CHECK(ostrel_seek_seconds(player, 1.0) == OSTREL_ERROR_STATE);
    CHECK(ostrel_measure(NULL, 48000, 1, &once) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_measure(player, 7999, 1, &once) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_measure(player, 48000, 0, &once) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_measure(player, 48000, 1, NULL) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_measure(player, 48000, 1, &once) == OSTREL_OK && once.end_found == 1);
    CHECK(ostrel_measure(player, 48000, 2, &twice) == OSTREL_OK && twice.frames > once.frames);
    CHECK(once.seconds == once.frames / 48000.0 && once.repeat_order == 1 && once.repeat_row == 0);
    CHECK(ostrel_start(NULL, 48000) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_start(player, 7999) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_start(player, 192001) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_set_repeat(NULL, 1) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_set_repeat(player, -1) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_start(player, 48000) == OSTREL_OK);
    CHECK(ostrel_render_s16(player, NULL, 10) == -1 && ostrel_render_s16(player, s16, -1) == -1);
    CHECK(ostrel_render_s16(NULL, s16, 10) == -1 && ostrel_render_s16(player, s16, 0) == 0);

    /* The 16-bit frames are the float mix cut toward zero and clamped. */
    CHECK(ostrel_render_f32(player, f32, 300) == 300 &&
          ostrel_seek_seconds(player, 0.0) == OSTREL_OK);
    CHECK(ostrel_render_s16(player, s16, 300) == 300);
    for (k = 0; k < 600; ++k)
        CHECK(s16[k] == (int16_t)(f32[k] >= 32767.0f    ? 32767.0f
                                  : f32[k] <= -32768.0f ? -32768.0f
                                                        : truncf(f32[k])));
    /* The demo's mark is that of the chunk (960 frames here) holding the last frame out, not of
     * the one mixed ahead: its clock stands near 20 ms, then near 40. */
    CHECK(ostrel_chunk_frames(48000) == 960 && ostrel_chunk_frames(7999) == -1);
    CHECK(ostrel_get_chunk_mark(NULL, &mark) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_seek_seconds(player, 0.0) == OSTREL_OK);
    CHECK(ostrel_get_chunk_mark(player, &mark) == OSTREL_OK && mark.clock_ms == 0);
    CHECK(ostrel_render_s16(player, s16, 300) == 300 && ostrel_render_f32(player, f32, 300) == 300);
    CHECK(ostrel_render_s16(player, s16, 300) == 300 && ostrel_render_s16(player, s16, 60) == 60);
    CHECK(ostrel_get_chunk_mark(player, &mark) == OSTREL_OK && mark.clock_ms > 15);
    CHECK(mark.clock_ms <= 20 && ostrel_render_s16(player, s16, 1) == 1);
    CHECK(ostrel_get_chunk_mark(player, &mark) == OSTREL_OK && mark.clock_ms > 35);
    CHECK(mark.clock_ms <= 40 && ostrel_seek_seconds(player, 300.0 / 48000.0) == OSTREL_OK);
    CHECK(ostrel_get_position(NULL, &at) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_get_position(player, NULL) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_get_position(player, &at) == OSTREL_OK && at.frame == 300 && at.order == 0);
    CHECK(at.seconds == 300.0 / 48000.0 && at.pass == 0 && at.pattern == 0);

    /* Once by default, to the measured end; two passes; for ever, then one pass long over. */
    CHECK(ostrel_seek_seconds(player, 0.0) == OSTREL_OK && renderAll(player, 1000) == once.frames);
    CHECK(ostrel_get_position(player, &at) == OSTREL_OK && at.frame == once.frames && at.pass == 1);
    CHECK(ostrel_set_repeat(player, 2) == OSTREL_OK && ostrel_start(player, 48000) == OSTREL_OK);
    CHECK(renderAll(player, 777) == twice.frames);
    CHECK(ostrel_set_repeat(player, 0) == OSTREL_OK && ostrel_start(player, 48000) == OSTREL_OK);
    CHECK(ostrel_seek_seconds(player, twice.seconds + 1.0) == OSTREL_OK);
    CHECK(ostrel_render_s16(player, s16, 300) == 300);
    CHECK(ostrel_set_repeat(player, 1) == OSTREL_OK && ostrel_render_s16(player, s16, 300) == 0);

    CHECK(ostrel_seek_order(NULL, 0, 0) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_seek_order(player, -1, 0) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_seek_order(player, 3, 0) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_seek_order(player, 0, -1) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_seek_order(player, 0, 200) == OSTREL_ERROR_NOT_REACHED);
    CHECK(ostrel_seek_order(player, 1, 0) == OSTREL_OK &&
          ostrel_get_position(player, &at) == OSTREL_OK);
    CHECK(at.order == 1 && at.pattern == 1 && at.row == 0 && at.tick == 0 && at.frame > 0);
    CHECK(ostrel_seek_seconds(NULL, 1.0) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_seek_seconds(player, -1.0) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_seek_seconds(player, nan("")) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_seek_seconds(player, 1e300) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_seek_seconds(player, 0.25) == OSTREL_OK &&
          ostrel_get_position(player, &at) == OSTREL_OK);
    CHECK(at.frame == 12000);
}

static void checkChannels(ostrel_player* player) {
    int16_t frames[2 * 500];
    int k, heard = 0;
    CHECK(ostrel_set_mute(NULL, 0, 1) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_set_mute(player, -1, 1) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_set_mute(player, 2, 1) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_muted(player, 2) == -1 && ostrel_muted(NULL, 0) == -1);
    CHECK(ostrel_solo(player, 2) == OSTREL_ERROR_ARGUMENT &&
          ostrel_solo(player, -2) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_solo(NULL, 0) == OSTREL_ERROR_ARGUMENT);
    CHECK(ostrel_solo(player, 1) == OSTREL_OK && ostrel_muted(player, 0) == 1 &&
          ostrel_muted(player, 1) == 0);
    /* All muted before the start: silence from the first frame. */
    CHECK(ostrel_set_mute(player, 1, 1) == OSTREL_OK && ostrel_start(player, 44100) == OSTREL_OK);
    CHECK(ostrel_render_s16(player, frames, 500) == 500);
    for (k = 0; k < 1000; ++k)
        CHECK(frames[k] == 0);
    CHECK(ostrel_solo(player, -1) == OSTREL_OK && ostrel_muted(player, 0) == 0 &&
          ostrel_muted(player, 1) == 0);
    CHECK(ostrel_start(player, 44100) == OSTREL_OK &&
          ostrel_render_s16(player, frames, 500) == 500);
    for (k = 0; k < 1000; ++k)
        heard += frames[k] != 0;
    CHECK(heard > 0);
}

int main(void) {
    static unsigned char song[1 << 16];
    FILE* file = fopen(OSTREL_TEST_SONG, "rb");
    size_t size = file ? fread(song, 1, sizeof song, file) : 0;
    unsigned char* copy = (unsigned char*)malloc(size);
    ostrel_error error = OSTREL_ERROR_MEMORY;
    const char* why = NULL;
    ostrel_player* player;
    ostrel_player* fromFile = ostrel_load_file(OSTREL_TEST_SONG, &error, &why);
    char version[32];
    int k;
    if (file)
        fclose(file);
    CHECK(size > 0 && fromFile && error == OSTREL_OK && strcmp(why, "") == 0);
    sprintf(version, "%d.%d.%d", OSTREL_VERSION_MAJOR, OSTREL_VERSION_MINOR, OSTREL_VERSION_PATCH);
    CHECK(strcmp(ostrel_version(), version) == 0);
    CHECK(ostrel_version_number() == (uint32_t)(OSTREL_VERSION_MAJOR << 16 |
                                                OSTREL_VERSION_MINOR << 8 | OSTREL_VERSION_PATCH));
    for (k = OSTREL_OK; k <= OSTREL_ERROR_NOT_REACHED; ++k)
        CHECK(strlen(ostrel_error_text((ostrel_error)k)) > 0);
    CHECK(strcmp(ostrel_error_text(OSTREL_ERROR_MEMORY), "out of memory") == 0);
    CHECK(ostrel_error_text((ostrel_error)99) != NULL);
    checkLoads(song, size);
    /* The player keeps its own copy of the bytes. */
    memcpy(copy, song, size);
    player = ostrel_load_memory(copy, size, NULL, NULL);
    memset(copy, 0, size);
    CHECK(player != NULL);
    if (player) {
        checkInfo(player, song);
        checkPlayback(player);
        checkChannels(player);
    }
    ostrel_free(player);
    ostrel_free(fromFile);
    ostrel_free(NULL);
    free(copy);
    return failures ? 1 : 0;
}
