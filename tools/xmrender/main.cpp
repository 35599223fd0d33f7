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
#include "tools/xmrender/options.h"
#include "tools/xmrender/render.h"
#include "tools/xmrender/song_info.h"

#ifndef XMRENDER_VERSION
#error "the build passes the project's version as XMRENDER_VERSION"
#endif

namespace {

using namespace ostrel::xmrender;

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

const char* songOf(const Options& options) {
    return options.songCount ? options.songs[0] : nullptr;
}

const char* songName(const Options& options) {
    return options.songCount ? options.songs[0] : "built-in song";
}

// The song's length for the passes asked; reports a song that cannot be loaded (false).
bool measure(const Options& options, ostrel::xmrender::SongLength* length) {
    const char* reason = "";
    const int32_t passes = options.loops ? options.loops : 1;
    if (!ostrel::xmrender::measureSong(songOf(options), options.rate, passes,
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
    if (!ostrel::xmrender::readSongFacts(songOf(options), &facts, &reason)) {
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
    live.song = songOf(options);
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
    if (!ostrel::xmrender::beginRender(&rendering, songOf(options), options.rate, &reason)) {
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
    const Parsed parsed = parseArguments(argc, argv, &options);
    int code = exitUsage;
    if (parsed == Parsed::help) {
        std::fputs(helpText, stdout);
        code = 0;
    } else if (parsed == Parsed::version) {
        std::puts("xmrender " XMRENDER_VERSION);
        code = 0;
    } else if (parsed == Parsed::run) {
        code = 0;
        if (const char* song = songOf(options)) {
            std::FILE* probe = std::fopen(song, "rb");
            if (!probe) {
                std::fprintf(stderr, "xmrender: %s: %s\n", song, std::strerror(errno));
                code = exitSong;
            } else {
                std::fclose(probe);
            }
        }
        if (code == 0)
            code = options.info   ? runInfo(options)
                   : options.play ? runPlay(options)
                                  : runRender(options);
    }
    freeOptions(&options);
    return code;
}
