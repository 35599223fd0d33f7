// The song-end watch, part of the renderer's toolkit: where a song ends, found the way trackers
// find it: the first time playback is about to play again a row it has already played. The
// repeats of a running pattern loop (E6x) do not count. The watch only observes: it reads each
// row through the player's row observer and counts frames in a wrapper around the player's tick
// function, exactly as the renderer mixes them, and changes no output byte.
#pragma once

#include <cstdint>

#include "module/module.h"

namespace ostrel {

struct SongWatch {
    TickFunction engineTick; // the player's own tick function (or playerTick), run by the wrapper
    // One bit per (order position, row) played in the current pass; allocated before playback.
    uint8_t* visited;
    int32_t orderSlots;
    int32_t rowSlots;
    // What to watch for: this many passes (0: count on without end), each at most capFrames
    // long (0: no limit).
    int32_t passesWanted;
    int64_t capFrames;
    // The frame counting: frames mixed before the tick now running, and that tick's length.
    int64_t framesBeforeTick;
    int32_t tickLength;
    // The row observed last (-1 before the first row).
    int32_t lastOrder;
    int32_t lastRow;
    int64_t passStartFrame;
    // Results. A pass ends where the song is about to repeat a row; the next pass starts there
    // with an empty set.
    int32_t passesEnded;
    uint8_t finished;        // the passes wanted have ended, or a cap
    uint8_t capped;          // a pass reached capFrames without an end
    int64_t endFrame;        // where the watch finished
    int64_t firstPassFrames; // where the first pass ended (-1: not yet)
    int32_t repeatOrder;     // the row the first pass would have played again (-1: none)
    int32_t repeatRow;
};

// Sets the watch up for a loaded player that has not started playing: allocates the visited
// set, installs the row observer and wraps the tick function (the engine's playerTick when the
// player has none yet). 1 on success, 0 when out of memory (the player is then unchanged).
int32_t watchSong(SongWatch* watch, ModulePlayer* player, int32_t passesWanted, int64_t capFrames);
// Takes a watch that watchSong has set up back to the start of playback, now for passesWanted
// passes each at most capFrames long, without allocating: an empty visited set, no frames and no
// results. Its player goes back to its start at the same time (restartRenderer).
void restartSongWatch(SongWatch* watch, int32_t passesWanted, int64_t capFrames);
// Frees the set; accepts a watch that was never set up. The player still calls into the watch:
// stop its playback or destroy it first.
void unwatchSong(SongWatch* watch);

} // namespace ostrel
