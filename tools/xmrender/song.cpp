// Songs through the library: loading, channels, the start point and the length.
#include "tools/xmrender/song.h"

#include <cmath>
#include <cstdio>

#include "assets/assets.h"

namespace ostrel::xmrender {

const char* songName(const char* song) {
    return song ? song : "built-in song";
}

ostrel_player* openSong(const char* path, const char** reason, const char** damage) {
    ostrel_player* player =
        path ? ostrel_load_file(path, nullptr, reason)
             : ostrel_load_memory(builtinModule, static_cast<size_t>(builtinModuleSize), nullptr,
                                  reason);
    if (damage && (!player || ostrel_damaged(player, damage) != 1))
        *damage = "";
    return player;
}

bool chooseChannels(ostrel_player* player, const ChannelChoice& choice, char* error, size_t size) {
    ostrel_info info;
    ostrel_get_info(player, &info);
    if (choice.highest >= info.channels) {
        std::snprintf(error, size, "channel %d is not in the song, which has %d",
                      choice.highest + 1, info.channels);
        return false;
    }
    for (int32_t channel = 0; channel < info.channels; ++channel) {
        const bool soloedOut = choice.soloed && !(choice.soloed >> channel & 1);
        ostrel_set_mute(player, channel, soloedOut || (choice.muted >> channel & 1) ? 1 : 0);
    }
    return true;
}

int64_t framesForSeconds(uint32_t rate, double seconds) {
    const int32_t chunkFrames = ostrel_chunk_frames(static_cast<int32_t>(rate));
    const double chunks = seconds * static_cast<int32_t>(rate) / chunkFrames;
    // A hair of slack so that a whole number of chunks given in decimal is not rounded up.
    return static_cast<int64_t>(std::ceil(chunks - 1e-9)) * chunkFrames;
}

void formatTime(char* text, size_t size, double seconds) {
    const auto tenths = static_cast<int64_t>(seconds * 10);
    std::snprintf(text, size, "%d:%02d.%d", static_cast<int>(tenths / 600),
                  static_cast<int>(tenths / 10 % 60), static_cast<int>(tenths % 10));
}

bool seekToStart(ostrel_player* player, int32_t rate, const StartPoint& start, char* error,
                 size_t size) {
    switch (start.kind) {
    case StartPoint::Kind::beginning:
        return true;
    case StartPoint::Kind::seconds: {
        ostrel_seek_seconds(player, start.seconds);
        ostrel_position at;
        ostrel_get_position(player, &at);
        // A time past the end leaves the player at the end, with nothing left to play.
        if (at.frame < std::llround(start.seconds * rate)) {
            char asked[32], end[32];
            formatTime(asked, sizeof asked, start.seconds);
            formatTime(end, sizeof end, at.seconds);
            std::snprintf(error, size, "--start %s is past the song's end, at %s", asked, end);
            return false;
        }
        return true;
    }
    case StartPoint::Kind::order: {
        const ostrel_error result = ostrel_seek_order(player, start.order, start.row);
        if (result == OSTREL_OK)
            return true;
        ostrel_info info;
        ostrel_get_info(player, &info);
        if (start.order >= info.orders)
            std::snprintf(error, size, "--start %d: the song has %d orders (0 to %d)", start.order,
                          info.orders, info.orders - 1);
        else
            std::snprintf(error, size, "--start %d:%d: the song never plays that row", start.order,
                          start.row);
        return false;
    }
    }
    return true;
}

ostrel_error measureSong(ostrel_player* player, int32_t rate, int32_t passes, int64_t stopFrames,
                         SongLength* length) {
    *length = SongLength{};
    if (stopFrames > 0 && passes > 2) {
        // The shortest of the second and third passes foretells the others.
        ostrel_duration walked[3];
        bool ended = true;
        for (int32_t i = 0; i < 3; ++i) {
            if (const ostrel_error error = ostrel_measure(player, rate, i + 1, &walked[i]))
                return error;
            ended = ended && walked[i].end_found;
        }
        const int64_t second = walked[1].frames - walked[0].frames;
        const int64_t third = walked[2].frames - walked[1].frames;
        const int64_t foretold =
            walked[2].frames + int64_t(passes - 3) * (second < third ? second : third);
        if (ended && foretold > stopFrames) {
            length->frames = foretold;
            length->foretold = 1;
            return OSTREL_OK;
        }
    }
    ostrel_duration all;
    if (const ostrel_error error = ostrel_measure(player, rate, passes, &all))
        return error;
    length->frames = all.frames;
    length->capped = all.end_found ? 0 : 1;
    length->repeatOrder = all.repeat_order;
    length->repeatRow = all.repeat_row;
    return OSTREL_OK;
}

} // namespace ostrel::xmrender
