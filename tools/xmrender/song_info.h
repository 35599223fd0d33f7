// What xmrender --info tells about a song: the header's texts and counts, the loaded song's
// start settings, and its length from the song-end watch.
#pragma once

#include <cstdint>
#include <cstdio>

#include "tools/xmrender/render.h"

namespace ostrel::xmrender {

struct SongFacts {
    char title[21];   // printable, trailing blanks dropped
    char tracker[21]; // the tracker name field, likewise
    int32_t fileChannels;
    int32_t channels; // played: at most 32
    int32_t patterns; // as the header counts them
    int32_t songLength;
    int32_t restartPosition;
    int32_t instruments;
    int32_t samples;
    int32_t tempo;
    int32_t bpm;
    int32_t linearFrequencies;
};

// Loads the song at path (null: the built-in one) and reads its facts. 1 on success; 0 with
// the loader's reason in *reason.
int32_t readSongFacts(const char* path, SongFacts* facts, const char** reason);
// Prints the facts and the duration at this rate, one "Name: value" line each.
void printSongInfo(std::FILE* out, const SongFacts& facts, const SongLength& length, uint32_t rate);

} // namespace ostrel::xmrender
