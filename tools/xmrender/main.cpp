// xmrender: renders an XM song (or the built-in one) to a WAV or FLAC file with the demo's own
// engine, mixer and chunk renderer, byte for byte what the demo's device would play; tells what
// a song is (--info); and plays it live through the demo's own path (--play).
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "tools/xmrender/convert.h"
#include "tools/xmrender/live.h"
#include "tools/xmrender/options.h"
#include "tools/xmrender/output_file.h"
#include "tools/xmrender/paths.h"
#include "tools/xmrender/song_info.h"

#ifndef XMRENDER_VERSION
#error "the build passes the project's version as XMRENDER_VERSION"
#endif

namespace {

using namespace ostrel::xmrender;

// A run ended by a signal leaves no temporary file behind: the handler removes them, then lets
// the signal end the program as it would have, so that the caller sees how it ended.
void onEndingSignal(int signal) {
    removePendingOutputs();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void catchEndingSignals() {
    const int endings[] = {
        SIGINT,
        SIGTERM,
#if defined(SIGHUP)
        SIGHUP,
#endif
#if defined(SIGPIPE)
        SIGPIPE, // a reader of standard output that stopped early (xmrender -o - | head)
#endif
#if defined(SIGBREAK)
        SIGBREAK,
#endif
    };
    // A signal the caller had ignored (nohup, a background job) stays ignored.
    for (const int ending : endings)
        if (std::signal(ending, onEndingSignal) == SIG_IGN)
            std::signal(ending, SIG_IGN);
}

// Refuses, before anything is done, outputs that would replace an input song or each other.
int checkOutputs(const ConvertJob* jobs, int32_t count, const Options& options) {
    const int32_t outputCount = 2 * count;
    const char** outputs = static_cast<const char**>(std::malloc(sizeof(char*) * outputCount));
    if (!outputs) {
        report(nullptr, "out of memory");
        return exitOutput;
    }
    for (int32_t i = 0; i < count; ++i) {
        outputs[2 * i] = jobs[i].output;
        outputs[2 * i + 1] = jobs[i].positions;
    }
    int code = 0;
    int32_t first = 0, second = 0;
    if (findOutputOverInput(outputs, outputCount, options.songs, options.songCount, &first,
                            &second)) {
        report(nullptr, "%s would overwrite the input song %s", outputs[first],
               options.songs[second]);
        code = exitOutput;
    } else if (findSharedDestination(outputs, outputCount, &first, &second)) {
        report(nullptr, "%s and %s are the same file; each output needs its own", outputs[first],
               outputs[second]);
        code = exitOutput;
    }
    std::free(outputs);
    return code;
}

int runRender(const Options& options, Progress* progress) {
    ConvertJob job = {};
    job.song = options.songCount ? options.songs[0] : nullptr;
    job.output = options.output;
    job.positions = options.positions;
    job.format = formatForPath(options.output, options.floatWav);
    job.rate = options.rate;
    job.passes = options.loops ? options.loops : 1;
    job.seconds = options.seconds;
    job.force = options.force;
    job.inputs = options.songs;
    job.inputCount = options.songCount;
    int code = checkOutputs(&job, 1, options);
    if (code == 0)
        code = convertSong(job, progress);
    if (progress->lineOpen)
        std::fputc('\n', stderr);
    return code;
}

int runInfo(const Options& options) {
    const char* song = options.songCount ? options.songs[0] : nullptr;
    if (const int code = checkSongReadable(song, nullptr))
        return code;
    SongFacts facts;
    const char* reason = "";
    if (!readSongFacts(song, &facts, &reason)) {
        report(nullptr, "%s: %s", songName(song), reason);
        return exitSong;
    }
    SongLength length;
    if (const int code = measure(song, options.rate, 1, 0, &length, nullptr))
        return code;
    printSongInfo(stdout, facts, length, options.rate);
    if (std::fflush(stdout) != 0) {
        report(nullptr, "standard output: %s", std::strerror(errno));
        return exitOutput;
    }
    return 0;
}

int runPlay(const Options& options) {
    const char* song = options.songCount ? options.songs[0] : nullptr;
    SongLength length;
    if (const int code = checkSongReadable(song, nullptr))
        return code;
    if (const int code =
            measure(song, options.rate, options.loops ? options.loops : 1, 0, &length, nullptr))
        return code;
    LiveOptions live;
    live.song = song;
    live.rate = options.rate;
    live.passes = options.loop ? 0 : (options.loops ? options.loops : 1);
    live.status = !options.quiet && isatty(fileno(stderr));
    return playLive(live, length);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    const Parsed parsed = parseArguments(argc, argv, &options);
    int code = exitUsage;
    if (parsed == Parsed::help) {
        std::fputs(helpText, stdout);
        code = 0;
    } else if (parsed == Parsed::version) {
        std::puts("xmrender " XMRENDER_VERSION);
        code = 0;
    } else if (parsed == Parsed::run) {
        catchEndingSignals();
        Progress progress = {};
        progress.shown = !options.quiet && isatty(fileno(stderr));
        code = options.info   ? runInfo(options)
               : options.play ? runPlay(options)
                              : runRender(options, &progress);
    }
    freeOptions(&options);
    return code;
}
