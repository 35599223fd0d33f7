// xmrender's command line: the options, their checks, and the help text.
#pragma once

#include <cstdint>

#include "tools/xmrender/song.h"

namespace ostrel::xmrender {

constexpr int exitUsage = 1;
constexpr int exitSong = 2;
constexpr int exitOutput = 3;
constexpr int exitDevice = 4;

struct Options {
    const char** songs; // songCount of argv's entries, in order; allocated by parseArguments
    int32_t songCount;  // 0: the song built into the demo
    const char* output; // -o: a file, or "-" for standard output
    const char* outputDir;
    const char* positions;
    const char* stemsDir; // --stems: one float WAV per channel
    StartPoint start;
    ChannelChoice channels;
    double seconds; // 0: the song's length
    int32_t loops;  // 0: not given
    uint32_t rate;
    bool quiet;
    bool info;
    bool play;
    bool loop;
    bool force;
    bool floatWav;
    bool json;
};

enum class Parsed : int32_t { run, help, version, usageError };

// Reads argv into *options, reporting a usage error on standard error itself. Whatever it
// returns, release the options with freeOptions.
Parsed parseArguments(int argc, char** argv, Options* options);
void freeOptions(Options* options);

// Prints a usage error (message, then detail when given) and the pointer to --help; returns
// exitUsage.
int usage(const char* message, const char* detail);

extern const char helpText[];

} // namespace ostrel::xmrender
