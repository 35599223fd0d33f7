// xmrender: renders an XM song (or the built-in one) to a 16-bit stereo WAV file with the demo's
// own engine, mixer and chunk renderer, byte for byte what the demo's device would play; tells
// what a song is (--info); and plays it live through the demo's own path (--play).
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "tools/xmrender/live.h"
#include "tools/xmrender/render.h"
#include "tools/xmrender/song_info.h"

namespace {

constexpr int exitUsage = 1;
constexpr int exitSong = 2;
constexpr int exitOutput = 3;

const char helpText[] =
    "usage: xmrender [FILE.xm] -o OUT.wav [--loops N | --seconds S] [--rate HZ]\n"
    "                [--positions OUT.txt] [--quiet]\n"
    "       xmrender [FILE.xm] --info [--rate HZ]\n"
    "       xmrender [FILE.xm] --play [--loop | --loops N] [--rate HZ] [--quiet]\n"
    "\n"
    "Renders an XM song with the demo's own engine and mixer into a 16-bit stereo PCM WAV file,\n"
    "tells what a song is, or plays it live on the sound device. The WAV holds the bytes the\n"
    "demo's chunk ring plays, in the order the demo plays them.\n"
    "\n"
    "  FILE.xm              the song; without it, the song built into the demo\n"
    "  -o OUT.wav           the WAV file to write; - writes it to standard output\n"
    "  --loops N            render (or play) N passes of the song (default 1). A song ends the\n"
    "                       first time it is about to play again a row it has already played,\n"
    "                       not counting the repeats of a pattern loop; the next pass goes on\n"
    "                       from there to where that end comes again\n"
    "  --seconds S          render S seconds instead, rounded up to whole chunks\n"
    "  --rate HZ            output rate in frames per second, 1000 to 384000 (default 44100)\n"
    "  --positions OUT.txt  also write one line per chunk: \"order row timeMs\", the song\n"
    "                       position reached at the end of that chunk\n"
    "  --info               print the song's title, tracker, channels, patterns, song length,\n"
    "                       restart position, instruments, samples, starting tempo and BPM,\n"
    "                       frequency table and duration; renders nothing\n"
    "  --play               play the song live through the demo's own audio path until its\n"
    "                       end has been heard; q, Escape or Ctrl-C stops it\n"
    "  --loop               with --play: play on from the restart position until stopped\n"
    "  --quiet              no progress or status line (they appear only on a terminal)\n"
    "  -h, --help           show this text\n"
    "\n"
    "A song whose end is not found within 30 minutes stops there, with a warning.\n"
    "\n"
    "Exit status: 0 done, 1 usage error, 2 the song is missing or cannot be loaded,\n"
    "3 an output file cannot be written, 4 no sound device could be opened (--play).\n";

struct Options {
    const char* song = nullptr;
    const char* output = nullptr;
    const char* positions = nullptr;
    double seconds = 0; // 0: the song's length
    int32_t loops = 0;  // 0: not given
    uint32_t rate = 44100;
    bool quiet = false;
    bool info = false;
    bool play = false;
    bool loop = false;
};

int usage(const char* message, const char* detail) {
    std::fprintf(stderr, "xmrender: %s%s\n", message, detail ? detail : "");
    std::fprintf(stderr, "Try 'xmrender --help' for more information.\n");
    return exitUsage;
}

bool parseSeconds(const char* text, double* value) {
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !(parsed > 0) || parsed > 86400)
        return false;
    *value = parsed;
    return true;
}

bool parseWhole(const char* text, long lowest, long highest, long* value) {
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < lowest || parsed > highest)
        return false;
    *value = parsed;
    return true;
}

// Options that only some modes take.
int checkCombination(const Options& options) {
    if (options.info && (options.play || options.output || options.positions ||
                         options.seconds > 0 || options.loops || options.loop))
        return usage("--info takes only a song and --rate", nullptr);
    if (options.play && (options.output || options.positions || options.seconds > 0))
        return usage("--play writes no file: -o, --positions and --seconds do not apply", nullptr);
    if (options.loop && !options.play)
        return usage("--loop goes with --play; to render passes, use --loops N", nullptr);
    if (options.loop && options.loops)
        return usage("--loop and --loops exclude each other", nullptr);
    if (options.seconds > 0 && options.loops)
        return usage("--seconds and --loops exclude each other", nullptr);
    if (!options.info && !options.play && !options.output)
        return usage("no output file given (-o OUT.wav, or -o - for standard output)", nullptr);
    return 0;
}

// 0: options in *options; -1: help was asked; otherwise the exit code of a usage error.
int parseArguments(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        const bool hasValue = i + 1 < argc;
        long whole = 0;
        if (std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0)
            return -1;
        if (std::strcmp(argument, "-o") == 0) {
            if (!hasValue)
                return usage("-o needs a file name, or - for standard output", nullptr);
            options->output = argv[++i];
        } else if (std::strcmp(argument, "--positions") == 0) {
            if (!hasValue)
                return usage("--positions needs a file name", nullptr);
            options->positions = argv[++i];
        } else if (std::strcmp(argument, "--seconds") == 0) {
            if (!hasValue || !parseSeconds(argv[++i], &options->seconds))
                return usage("--seconds needs a length above 0 and up to 86400", nullptr);
        } else if (std::strcmp(argument, "--loops") == 0) {
            if (!hasValue || !parseWhole(argv[++i], 1, 1000, &whole))
                return usage("--loops needs a whole number from 1 to 1000", nullptr);
            options->loops = static_cast<int32_t>(whole);
        } else if (std::strcmp(argument, "--rate") == 0) {
            if (!hasValue || !parseWhole(argv[++i], 1000, 384000, &whole))
                return usage("--rate needs a whole number from 1000 to 384000", nullptr);
            options->rate = static_cast<uint32_t>(whole);
        } else if (std::strcmp(argument, "--quiet") == 0) {
            options->quiet = true;
        } else if (std::strcmp(argument, "--info") == 0) {
            options->info = true;
        } else if (std::strcmp(argument, "--play") == 0) {
            options->play = true;
        } else if (std::strcmp(argument, "--loop") == 0) {
            options->loop = true;
        } else if (argument[0] == '-' && argument[1] != '\0') {
            return usage("unknown option ", argument);
        } else if (options->song) {
            return usage("only one song can be handled at a time: ", argument);
        } else {
            options->song = argument;
        }
    }
    return checkCombination(*options);
}

void put16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void put32(uint8_t* at, uint32_t value) {
    put16(at, value);
    put16(at + 2, value >> 16);
}

// The canonical 44-byte header of a 16-bit stereo PCM WAV file.
void wavHeader(uint8_t* header, uint32_t rate, uint32_t dataBytes) {
    std::memcpy(header, "RIFF", 4);
    put32(header + 4, 36 + dataBytes);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put32(header + 16, 16);
    put16(header + 20, 1); // PCM
    put16(header + 22, 2); // channels
    put32(header + 24, rate);
    put32(header + 28, rate * 4);
    put16(header + 32, 4); // bytes per frame
    put16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    put32(header + 40, dataBytes);
}

// The samples as little-endian bytes, whatever the host's order.
void putSamples(uint8_t* out, const int16_t* samples, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        put16(out + 2 * i, static_cast<uint16_t>(samples[i]));
}

const char* songName(const Options& options) {
    return options.song ? options.song : "built-in song";
}

// The song's length for the passes asked; reports a song that cannot be loaded (false).
bool measure(const Options& options, ostrel::xmrender::SongLength* length) {
    const char* reason = "";
    const int32_t passes = options.loops ? options.loops : 1;
    if (!ostrel::xmrender::measureSong(options.song, options.rate, passes,
                                       int64_t(ostrel::xmrender::passCapSeconds) * options.rate,
                                       length, &reason)) {
        std::fprintf(stderr, "xmrender: %s: %s\n", songName(options), reason);
        return false;
    }
    if (length->capped)
        std::fprintf(stderr,
                     "xmrender: warning: %s: no end found within %d minutes; stopping "
                     "there\n",
                     songName(options), ostrel::xmrender::passCapSeconds / 60);
    return true;
}

int runInfo(const Options& options) {
    ostrel::xmrender::SongFacts facts;
    const char* reason = "";
    if (!ostrel::xmrender::readSongFacts(options.song, &facts, &reason)) {
        std::fprintf(stderr, "xmrender: %s: %s\n", songName(options), reason);
        return exitSong;
    }
    ostrel::xmrender::SongLength length;
    if (!measure(options, &length))
        return exitSong;
    ostrel::xmrender::printSongInfo(stdout, facts, length, options.rate);
    return std::fflush(stdout) == 0 ? 0 : exitOutput;
}

int runPlay(const Options& options) {
    ostrel::xmrender::SongLength length;
    if (!measure(options, &length))
        return exitSong;
    ostrel::xmrender::LiveOptions live;
    live.song = options.song;
    live.rate = options.rate;
    live.passes = options.loop ? 0 : (options.loops ? options.loops : 1);
    live.status = !options.quiet && isatty(fileno(stderr));
    return ostrel::xmrender::playLive(live, length);
}

int runRender(const Options& options) {
    // Frames to write: the song's length, found ahead so that the header is exact even on a
    // pipe, or whole chunks covering --seconds.
    int64_t frames = 0;
    if (options.seconds == 0) {
        ostrel::xmrender::SongLength length;
        if (!measure(options, &length))
            return exitSong;
        frames = length.frames;
    }
    if (options.seconds > 0)
        frames = ostrel::xmrender::framesForSeconds(options.rate, options.seconds);
    const char* reason = "";
    ostrel::xmrender::Rendering rendering;
    if (!ostrel::xmrender::beginRender(&rendering, options.song, options.rate, &reason)) {
        std::fprintf(stderr, "xmrender: %s: %s\n", songName(options), reason);
        return exitSong;
    }
    const int32_t chunkFrames = ostrel::xmrender::chunkFramesAtRate(options.rate);
    const uint64_t dataBytes = static_cast<uint64_t>(frames) * 4;
    if (dataBytes > 0xFFFFFFFFull - 36) {
        ostrel::xmrender::endRender(&rendering);
        return usage("too long for a WAV file; ask for fewer --seconds or --loops", nullptr);
    }

    const bool toStdout = std::strcmp(options.output, "-") == 0;
    std::FILE* wav = toStdout ? stdout : std::fopen(options.output, "wb");
    if (!wav) {
        std::fprintf(stderr, "xmrender: %s: %s\n", options.output, std::strerror(errno));
        ostrel::xmrender::endRender(&rendering);
        return exitOutput;
    }
#if defined(_WIN32)
    if (toStdout)
        _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::FILE* positions = nullptr;
    if (options.positions) {
        positions = std::fopen(options.positions, "wb"); // "\n" on every host
        if (!positions) {
            std::fprintf(stderr, "xmrender: %s: %s\n", options.positions, std::strerror(errno));
            if (!toStdout)
                std::fclose(wav);
            ostrel::xmrender::endRender(&rendering);
            return exitOutput;
        }
    }

    uint8_t header[44];
    wavHeader(header, options.rate, static_cast<uint32_t>(dataBytes));
    bool written = std::fwrite(header, 1, sizeof header, wav) == sizeof header;
    uint8_t* bytes = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(chunkFrames) * 4));
    int16_t* samples =
        static_cast<int16_t*>(std::malloc(static_cast<size_t>(chunkFrames) * 2 * sizeof(int16_t)));
    const bool progress = !options.quiet && isatty(fileno(stderr));
    const double seconds = static_cast<double>(frames) / options.rate;
    // Whole chunks, the last one cut where the song ends.
    for (int64_t done = 0; done < frames && written && bytes && samples;) {
        const int32_t take =
            frames - done < chunkFrames ? static_cast<int32_t>(frames - done) : chunkFrames;
        // The position at the end of the chunk, which the last take may cut short.
        ostrel::xmrender::ChunkPosition info;
        ostrel::xmrender::renderNextChunk(&rendering, take, samples, nullptr, &info);
        putSamples(bytes, samples, take * 2);
        written = std::fwrite(bytes, 1, static_cast<size_t>(take) * 4, wav) ==
                  static_cast<size_t>(take) * 4;
        if (positions)
            std::fprintf(positions, "%d %d %d\n", info.order, info.row, info.timeMs);
        done += take;
        if (progress && (done / chunkFrames % 50 == 0 || done == frames))
            std::fprintf(stderr, "\rxmrender: %.1f of %.1f s",
                         static_cast<double>(done) / options.rate, seconds);
    }
    if (progress)
        std::fputc('\n', stderr);
    std::free(samples);
    std::free(bytes);
    ostrel::xmrender::endRender(&rendering);
    if (positions && std::fclose(positions) != 0)
        written = false;
    if (toStdout ? std::fflush(stdout) != 0 || std::ferror(stdout) : std::fclose(wav) != 0)
        written = false;
    if (!written || !bytes || !samples) {
        std::fprintf(stderr, "xmrender: %s: cannot write the output\n",
                     toStdout ? "standard output" : options.output);
        return exitOutput;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    const int parsed = parseArguments(argc, argv, &options);
    if (parsed < 0) {
        std::fputs(helpText, stdout);
        return 0;
    }
    if (parsed != 0)
        return parsed;

    if (options.song) {
        std::FILE* probe = std::fopen(options.song, "rb");
        if (!probe) {
            std::fprintf(stderr, "xmrender: %s: %s\n", options.song, std::strerror(errno));
            return exitSong;
        }
        std::fclose(probe);
    }
    if (options.info)
        return runInfo(options);
    if (options.play)
        return runPlay(options);
    return runRender(options);
}
