// Live playback goes through exactly the demo's path: openAudio on the installed sound card,
// createPlayer, startPlayback (the pre-rendered ring, the device looping it, the time-critical
// audio thread refilling each chunk it leaves), the position queries for the display, then
// destroyPlayer and closeAudio. A SongWatch on the player silences the song at its end, so the
// listener hears silence and not the song's continuation; the run ends once the chunk holding
// the end has been heard.
#include "tools/xmrender/live.h"

#include <cstdio>
#include <cstring>

#include "audio/music.h"
#include "audio/output.h"
#include "audio/song_end.h"
#include "module/stream.h"
#include "platform/audio_device.h"
#include "platform/platform.h"
#include "tools/xmrender/terminal.h"

namespace ostrel::xmrender {

namespace {

constexpr uint32_t pollMs = 20;
// Silent chunks the run waits for after the end has been heard: the device's own buffer runs
// ahead of the speaker by about this much (SDL's is 1024 frames).
constexpr int64_t tailChunks = 5;

SongWatch watch;

// "m:ss.s" into text.
void formatTime(char* text, size_t size, int64_t frames, uint32_t rate) {
    const int64_t tenths = frames * 10 / rate;
    std::snprintf(text, size, "%d:%02d.%d", static_cast<int>(tenths / 600),
                  static_cast<int>(tenths / 10 % 60), static_cast<int>(tenths % 10));
}

// The status line, written again only when it changes.
void showStatus(const ModulePlayer* player, int64_t heardFrames, int64_t durationFrames,
                uint32_t rate) {
    static char shown[128];
    const int32_t order = audibleOrder(player);
    const int32_t row = audibleRow(player);
    const int32_t pattern = order < 256 ? player->orderTable[order] : 0;
    const int32_t rows =
        pattern < player->patternSlotCount ? player->patterns[pattern].rowCount : 0;
    char played[16];
    char duration[16];
    formatTime(played, sizeof played, heardFrames, rate);
    formatTime(duration, sizeof duration, durationFrames, rate);
    char line[128];
    std::snprintf(line, sizeof line, "order %3d/%-3d  pattern %3d  row %3d/%-3d  %s / %s ", order,
                  player->songLength, pattern, row, rows, played, duration);
    if (std::strcmp(line, shown) == 0)
        return;
    std::memcpy(shown, line, sizeof line);
    std::fprintf(stderr, "\r%s", line);
    std::fflush(stderr);
}

} // namespace

int32_t playLive(const LiveOptions& options, const SongLength& length) {
    installAudioDevice(&platform::systemAudioDevice);
    if (!openAudio(options.rate)) {
        // The system's own words for why, when it gave any.
        const char* reason = platform::systemAudioDeviceError();
        std::fprintf(stderr, "xmrender: no sound device could be opened%s%s\n",
                     reason[0] ? ": " : "", reason);
        closeAudio();
        return 4;
    }
    const char* why = "";
    ModulePlayer* player =
        createPlayer(songHooks(options.song), songStreamName(options.song), nullptr, &why);
    if (!player) {
        std::fprintf(stderr, "xmrender: %s: %s\n", options.song ? options.song : "built-in song",
                     why[0] ? why : "cannot load the module");
        closeAudio();
        return 2;
    }
    const bool looping = options.passes == 0;
    if (!watchSong(&watch, player, options.passes,
                   looping ? 0 : int64_t(passCapSeconds) * options.rate, !looping)) {
        std::fprintf(stderr, "xmrender: out of memory\n");
        destroyPlayer(player);
        closeAudio();
        return 2;
    }
    beginStopKeys();
    const int32_t started = startPlayback(player);
    // Without its thread the ring would loop its first two seconds for ever.
    if (!started || threadStopped.load()) {
        endStopKeys();
        std::fprintf(stderr, "xmrender: playback could not start\n");
        destroyPlayer(player);
        closeAudio();
        unwatchSong(&watch);
        return 4;
    }

    const int32_t count = chunkCount();
    const int64_t endChunks = (length.frames + chunkFrames - 1) / chunkFrames;
    int32_t lastIndex = 0;
    int64_t heardChunks = 0;
    while (!stopAsked()) {
        // The audio thread moves audibleIndex one chunk at a time, and a poll comes far more
        // often than a lap of the ring, so the chunks heard are counted without a gap.
        const int32_t index = audibleIndex.load();
        heardChunks += (index - lastIndex + count) % count;
        lastIndex = index;
        int64_t heardFrames = heardChunks * chunkFrames;
        if (!looping && heardFrames > length.frames)
            heardFrames = length.frames;
        if (options.status)
            showStatus(player, heardFrames, looping ? length.passFrames : length.frames,
                       options.rate);
        if (!looping && heardChunks >= endChunks + tailChunks)
            break;
        platform::sleepMs(pollMs);
    }
    endStopKeys();
    if (options.status)
        std::fputc('\n', stderr);
    // The device is reset and the thread joined before the song and the watch go.
    destroyPlayer(player);
    closeAudio();
    unwatchSong(&watch);
    return 0;
}

} // namespace ostrel::xmrender
