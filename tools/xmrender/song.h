// A song as xmrender handles it, through the engine's public library (include/ostrel/ostrel.h):
// loaded from its file or the built-in image, its channels chosen, started where asked, and its
// length found by walking its rows.
#pragma once

#include <cstddef>
#include <cstdint>

#include <ostrel/ostrel.h>

namespace ostrel::xmrender {

// The song's name in messages: its path, or "built-in song".
const char* songName(const char* song);

// Loads the XM file at path, or the song built into the demo for null. Null on failure, with
// the library's reason (the system's words when the file cannot be read) in *reason. A file cut
// short in its pattern or sample data loads with what is there: *damage (when given) then gets the
// library's line telling what is missing, and "" otherwise.
ostrel_player* openSong(const char* path, const char** reason, const char** damage = nullptr);

// Where playback starts (--start): at the beginning, at a time, or at a row of an order.
struct StartPoint {
    enum class Kind : int32_t { beginning, seconds, order } kind;
    double seconds;
    int32_t order; // from 0, as trackers number orders
    int32_t row;
};

// Which channels sound (--mute, --solo): bit c for channel c, counted from 0.
struct ChannelChoice {
    uint32_t muted;
    uint32_t soloed; // 0: none; otherwise every other channel is muted
    int32_t highest; // the highest channel named, to be checked against the song; -1: none
};

// Mutes the channels chosen. False, with a message in error, when one is beyond the song's.
bool chooseChannels(ostrel_player* player, const ChannelChoice& choice, char* error, size_t size);
// Moves a player started at rate to the start point. False, with a message in error, when the
// song never plays it within the passes set.
bool seekToStart(ostrel_player* player, int32_t rate, const StartPoint& start, char* error,
                 size_t size);
// Whole chunks covering this many seconds at this rate, as frames, rounded up.
int64_t framesForSeconds(uint32_t rate, double seconds);
// "m:ss.s" into text.
void formatTime(char* text, size_t size, double seconds);

// How long a song plays, from ostrel_measure.
struct SongLength {
    int64_t frames;      // to the end of the passes asked for, or to the cap
    int32_t capped;      // a pass found no end within the cap, so frames ends there
    int32_t repeatOrder; // the row the first pass would have played again (-1: none)
    int32_t repeatRow;
    // Set when the passes are seen to go past stopFrames: frames is then the length foretold.
    int32_t foretold;
};

// Longest a pass may play before the search for its end gives up: 30 minutes, as in the library.
constexpr int32_t passCapSeconds = 30 * 60;

// Measures `passes` passes at this rate. With stopFrames above 0 and more than two passes, the
// later passes are first foretold from the second and third (each pass after the first plays on
// from the same row, so they are as long as each other unless a tempo set outside them changes),
// and a length foretold beyond stopFrames is given as it is, with foretold set, rather than
// walked. OSTREL_OK, or the library's error.
ostrel_error measureSong(ostrel_player* player, int32_t rate, int32_t passes, int64_t stopFrames,
                         SongLength* length);

} // namespace ostrel::xmrender
