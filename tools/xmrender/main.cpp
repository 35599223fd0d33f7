// xmrender: renders XM songs (or the built-in one) to WAV or FLAC files through the engine's
// library, byte for byte what the demo's device would play; writes stems; tells what
// songs are (--info); and plays them live on the sound device (--play).
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
    const int32_t outputCount = 3 * count;
    const char** outputs = static_cast<const char**>(std::malloc(sizeof(char*) * outputCount));
    if (!outputs) {
        report(nullptr, "out of memory");
        return exitOutput;
    }
    // The stems of two songs of one name would land on the same files: "DIR/NAME-chNN.wav"
    // stands for them all.
    char** stems = static_cast<char**>(std::calloc(count, sizeof(char*)));
    for (int32_t i = 0; i < count; ++i) {
        outputs[3 * i] = jobs[i].output;
        outputs[3 * i + 1] = jobs[i].positions;
        if (stems && jobs[i].stemsDir)
            stems[i] = outputPathFor(jobs[i].stemsDir, jobs[i].song ? jobs[i].song : "builtin",
                                     "-chNN.wav");
        outputs[3 * i + 2] = stems ? stems[i] : nullptr;
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
    for (int32_t i = 0; stems && i < count; ++i)
        std::free(stems[i]);
    std::free(stems);
    std::free(outputs);
    return code;
}

int runRender(const Options& options, Progress* progress) {
    const int32_t count =
        options.outputDir || (options.stemsDir && !options.output) ? options.songCount : 1;
    ConvertJob* jobs = static_cast<ConvertJob*>(std::calloc(count, sizeof(ConvertJob)));
    char** named = static_cast<char**>(std::calloc(count, sizeof(char*))); // -d's paths
    int code = jobs && named ? 0 : exitOutput;
    if (code)
        report(nullptr, "out of memory");
    const OutputFormat format =
        options.output ? formatForPath(options.output, options.floatWav)
                       : (options.floatWav ? OutputFormat::wavFloat : OutputFormat::wav16);
    for (int32_t i = 0; i < count && !code; ++i) {
        ConvertJob& job = jobs[i];
        job.song = options.songCount ? options.songs[i] : nullptr;
        job.output = options.output;
        if (options.outputDir) {
            named[i] = outputPathFor(options.outputDir, job.song, ".wav");
            job.output = named[i];
            if (!named[i]) {
                report(nullptr, "out of memory");
                code = exitOutput;
            }
        }
        job.positions = options.positions;
        job.stemsDir = options.stemsDir;
        job.format = format;
        job.rate = options.rate;
        job.passes = options.loops ? options.loops : 1;
        job.seconds = options.seconds;
        job.force = options.force;
        job.inputs = options.songs;
        job.inputCount = options.songCount;
        job.start = options.start;
        job.channels = options.channels;
    }
    if (!code)
        code = checkOutputs(jobs, count, options);
    char error[512];
    if (!code && options.outputDir && !makeFolder(options.outputDir, error, sizeof error)) {
        report(nullptr, "%s", error);
        code = exitOutput;
    }
    // Every song is tried; the status is the first failure's.
    progress->count = count;
    int failed = code;
    for (int32_t i = 0; i < count && code == 0; ++i) {
        progress->index = i + 1;
        const int result = convertSong(jobs[i], progress);
        if (result && !failed)
            failed = result;
    }
    if (progress->lineOpen)
        std::fputc('\n', stderr);
    for (int32_t i = 0; named && i < count; ++i)
        std::free(named[i]);
    std::free(named);
    std::free(jobs);
    return failed;
}

int runInfo(const Options& options) {
    const int32_t count = options.songCount ? options.songCount : 1;
    int failed = 0;
    int32_t printed = 0;
    for (int32_t i = 0; i < count; ++i) {
        const char* song = options.songCount ? options.songs[i] : nullptr;
        const char* reason = "";
        const char* damage = "";
        ostrel_player* player = openSong(song, &reason, &damage);
        if (!player) {
            report(nullptr, "%s: %s", songName(song), reason);
            failed = failed ? failed : exitSong;
            continue;
        }
        SongLength length;
        const int code = measure(player, song, options.rate, 1, 0, &length, nullptr);
        if (code) {
            ostrel_free(player);
            failed = failed ? failed : code;
            continue;
        }
        if (options.json) {
            printSongJson(stdout, song, player, length, options.rate, damage);
        } else {
            // One song prints its block alone; several are told apart by their files.
            if (count > 1)
                std::printf("%sFile: %s\n", printed ? "\n" : "", song);
            printSongInfo(stdout, player, length, options.rate, damage);
        }
        ostrel_free(player);
        ++printed;
    }
    if (std::fflush(stdout) != 0) {
        report(nullptr, "standard output: %s", std::strerror(errno));
        return exitOutput;
    }
    return failed;
}

int runPlay(const Options& options) {
    LiveOptions live;
    live.songs = options.songs;
    live.songCount = options.songCount;
    live.rate = options.rate;
    live.passes = options.loop ? 0 : (options.loops ? options.loops : 1);
    live.status = !options.quiet && isatty(fileno(stderr));
    live.start = options.start;
    live.channels = options.channels;
    return playLive(live);
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
