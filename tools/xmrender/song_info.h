// What xmrender --info tells about a song: the header's texts and counts, the values the engine
// starts with, its length, and the names of its instruments and samples, where trackers' authors
// write their messages; as "Name: value" lines or as one JSON object.
#pragma once

#include <cstdint>
#include <cstdio>

#include "tools/xmrender/song.h"

namespace ostrel::xmrender {

// Prints the song's facts and its duration at this rate, one "Name: value" line each, then its
// names, numbered from 1 as trackers show them; empty names are left out. damage is the
// library's line on what a cut file lacks ("" for a whole file).
void printSongInfo(std::FILE* out, ostrel_player* player, const SongLength& length, uint32_t rate,
                   const char* damage);
// The same as one JSON object on one line, with the file's path (null: the built-in song). Texts
// are converted from code page 437, which DOS trackers wrote, so the JSON is valid UTF-8.
void printSongJson(std::FILE* out, const char* file, ostrel_player* player,
                   const SongLength& length, uint32_t rate, const char* damage);

} // namespace ostrel::xmrender
