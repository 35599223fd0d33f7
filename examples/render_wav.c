/* Renders an XM song once, to its end, into a 16-bit stereo WAV file:
 *     render_wav SONG.xm OUT.wav [RATE]                                                      */
#include <ostrel/ostrel.h>
#include <stdio.h>
#include <stdlib.h>

static void put32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = (unsigned char)(v >> (8 * i));
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: render_wav SONG.xm OUT.wav [RATE]\n");
        return 1;
    }
    int32_t rate = argc > 3 ? atoi(argv[3]) : 44100;
    const char* reason = "";
    ostrel_player* song = ostrel_load_file(argv[1], NULL, &reason);
    ostrel_duration length;
    if (!song || ostrel_measure(song, rate, 1, &length) != OSTREL_OK ||
        ostrel_start(song, rate) != OSTREL_OK) {
        fprintf(stderr, "render_wav: %s: %s\n", argv[1], song ? "bad rate" : reason);
        ostrel_free(song);
        return 2;
    }
    FILE* out = fopen(argv[2], "wb");
    if (!out) {
        perror(argv[2]);
        ostrel_free(song);
        return 3;
    }
    /* The canonical 44-byte header of 16-bit stereo PCM, sized from the measured length. */
    unsigned char header[44] = "RIFF....WAVEfmt \x10\0\0\0\x01\0\x02\0........\x04\0\x10\0data";
    uint32_t bytes = (uint32_t)(length.frames * 4);
    put32(header + 4, 36 + bytes);
    put32(header + 24, (uint32_t)rate);
    put32(header + 28, (uint32_t)rate * 4);
    put32(header + 40, bytes);
    fwrite(header, 1, sizeof header, out);
    int16_t frames[2 * 4096];
    int32_t n;
    while ((n = ostrel_render_s16(song, frames, 4096)) > 0)
        fwrite(frames, 4, (size_t)n, out);
    ostrel_free(song);
    return fclose(out) == 0 ? 0 : 3;
}
