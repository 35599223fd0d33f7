// The library's player (include/ostrel/ostrel.h): the record behind the opaque handle, and the
// pieces its two source files share. api.cpp loads, frees and describes a song; api_playback.cpp
// measures, renders, seeks and mutes it. It is the top of the engine: a loaded ModulePlayer, the
// renderer, the song-end watch and a shadow copy of the player for walks, and nothing of the
// ring, the audio thread, a device or the built-in song.
#pragma once

#include <ostrel/ostrel.h>

#include <cstdint>

#include "audio/renderer.h"
#include "audio/song_end.h"
#include "module/module.h"

namespace ostrel::api {

// Where one tick began and which row it played: the record of the ticks that lie ahead of the
// frames handed out, so that the position is that of the next frame and not of the end of the
// chunk mixed ahead.
struct TickMark {
    int64_t frame;
    int64_t passStart; // where the pass under way began, once this tick has run
    int32_t order;
    int32_t row;
    int32_t tick;
    int32_t passes; // passes ended once this tick has run
};

// One course through the song: the song-end watch on a player (the playing song, or the shadow
// copy a walk ticks without mixing) and the end the library draws from it. Both the playing song
// and the walks count frames, passes and the cap through the same record and the same tick
// (courseTick), so that a walk's end is the end rendering finds. The watch comes first: the tick
// finds the course through the watch, the player's row observer context.
struct Course {
    SongWatch watch;
    int32_t passes;    // the passes to play; 0: for ever
    int64_t capFrames; // the longest a pass may play before it is cut (when passes > 0)
    int64_t end;       // the frame playback ends at; -1 while not known
    uint8_t capped;    // end is a pass's cap
    int32_t rowOrder;  // the row the last row tick played
    int32_t rowRow;
    // The playing song's tick marks, a ring of markSlots (null in walks).
    TickMark* marks;
    int32_t markSlots;
    int32_t markFirst;
    int32_t markCount;
    // A walk's target: the first row tick of (targetOrder, targetRow), found at targetFrame
    // (-1 while not found). targetOrder -1: none.
    int32_t targetOrder;
    int32_t targetRow;
    int64_t targetFrame;
};

// The tick every course's player runs inside the watch's wrapper (SongWatch::engineTick).
void courseTick(ModulePlayer* player);

// Sets up a course for a player that has not started: the watch (which allocates), with the
// course's tick inside it. 1 on success, 0 when out of memory.
int32_t setUpCourse(Course* course, ModulePlayer* player);

// Ends playback and frees what its start allocated; accepts a player that is not playing.
void stopPlayback(ostrel_player* player);

} // namespace ostrel::api

struct ostrel_player {
    ostrel::ModulePlayer* song; // owned
    ostrel::api::Course play;   // the song's own course, set up at load
    // The walks' shadow: a copy of the song's record, made afresh for each walk, that shares the
    // song's patterns and instruments (which playback only reads); freed on its own, never
    // destroyed as a player. Its course's watch, tick and row observer are set up at load.
    ostrel::ModulePlayer* shadow;
    ostrel::api::Course walk;
    ostrel::TickFunction walkWatchTick;
    ostrel::RowObserver walkObserver;
    uint8_t loadedSlideMemory; // the song's shared global-volume-slide memory as loaded
    int32_t repeat;            // the passes asked for, 0: for ever
    // Playback, once started.
    ostrel::Renderer renderer;
    int32_t rate;   // 0: not started
    int64_t cursor; // frames handed out since the start, seeks included
    // The end position of the chunk before the renderer's current one (ostrel_get_chunk_mark).
    ostrel::ChunkInfo previousChunk;
    float* scratch; // a chunk of frames a seek renders and drops; owned
    float* unheard; // the muted voices' mix (ModulePlayer::mutedMix); owned
};
