// One song rendered to its outputs: every output opened first, the length measured and checked
// against what the format holds, then the chunks rendered into them, and the files renamed into
// place only once complete.
#pragma once

#include <cstdint>

#include "tools/xmrender/output_file.h"
#include "tools/xmrender/song.h"

namespace ostrel::xmrender {

struct ConvertJob {
    const char* song;      // null: the built-in song
    const char* output;    // a file, or "-" for standard output; null: only stems
    const char* positions; // null: none
    const char* stemsDir;  // null: no stems
    OutputFormat format;   // of output
    uint32_t rate;
    int32_t passes; // at least 1; ignored when seconds is above 0
    double seconds; // above 0: this many seconds in whole chunks instead of the song's length
    bool force;
    const char* const* inputs; // every song of the run, which no output may replace
    int32_t inputCount;
    StartPoint start;
    ChannelChoice channels;
};

// The progress line on standard error, which covers the whole run.
struct Progress {
    bool shown;      // stderr is a terminal and --quiet was not given
    int32_t index;   // the song being rendered, from 1
    int32_t count;   // songs in the run
    bool lineOpen;   // a progress line waits for its end
    int shownLength; // of the line shown last
};

// Prints one message line on standard error ("xmrender: " and the text), ending a progress line
// first.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void report(Progress* progress, const char* format, ...);
// Loads the song (see openSong), warning of damage. Null after the message.
ostrel_player* loadSong(const char* song, Progress* progress);

// Measures `passes` passes of the song (see measureSong), warning of a pass cut at the cap. 0, or
// exitSong after the message.
int measure(ostrel_player* player, const char* song, uint32_t rate, int32_t passes,
            int64_t stopFrames, SongLength* length, Progress* progress);

// Renders the job, and its stems one channel at a time, and returns the exit code: 0, or
// exitUsage (too long for its format, or channels or a start the song does not have), exitSong
// or exitOutput after a one-line message. Nothing is left at an output's path unless
// the whole render went there.
int convertSong(const ConvertJob& job, Progress* progress);

} // namespace ostrel::xmrender
