/* Plays an XM song through SDL2's audio callback and prints where it is:
 *     play_sdl SONG.xm                                                                        */
#include <SDL.h>
#include <ostrel/ostrel.h>
#include <stdio.h>

/* SDL calls this on its audio thread. The player is used from one thread at a time: the main
 * thread reads the position only while it holds the device's lock, which SDL also holds here. */
static void fill(void* context, Uint8* stream, int bytes) {
    ostrel_player* song = context;
    int32_t frames = bytes / 4;
    int32_t done = ostrel_render_s16(song, (int16_t*)stream, frames);
    if (done < 0)
        done = 0;
    SDL_memset(stream + 4 * done, 0, (size_t)(4 * (frames - done))); /* silence after the end */
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: play_sdl SONG.xm\n");
        return 1;
    }
    const char* reason = "";
    ostrel_player* song = ostrel_load_file(argv[1], NULL, &reason);
    if (!song) {
        fprintf(stderr, "play_sdl: %s: %s\n", argv[1], reason);
        return 2;
    }
    if (SDL_Init(SDL_INIT_AUDIO) != 0) {
        fprintf(stderr, "play_sdl: %s\n", SDL_GetError());
        ostrel_free(song);
        return 4;
    }
    SDL_AudioSpec want = {0}, have;
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = fill;
    want.userdata = song;
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(NULL, 0, &want, &have, 0);
    if (!device || ostrel_start(song, have.freq) != OSTREL_OK) {
        fprintf(stderr, "play_sdl: %s\n", device ? "unsupported rate" : SDL_GetError());
        SDL_Quit();
        ostrel_free(song);
        return 4;
    }
    ostrel_duration length;
    ostrel_measure(song, have.freq, 1, &length);
    SDL_PauseAudioDevice(device, 0);
    for (;;) {
        ostrel_position at;
        SDL_LockAudioDevice(device);
        ostrel_get_position(song, &at);
        SDL_UnlockAudioDevice(device);
        printf("\rorder %3d  pattern %3d  row %2d   %6.1f / %.1f s", at.order, at.pattern, at.row,
               at.seconds, length.seconds);
        fflush(stdout);
        if (at.frame >= length.frames)
            break;
        SDL_Delay(100);
    }
    printf("\n");
    SDL_CloseAudioDevice(device);
    SDL_Quit();
    ostrel_free(song);
    return 0;
}
