// One song to its outputs, in the order that loses nothing: the checks that need no song, the
// files opened (each refused output stops the job before the song is even measured), the length
// measured and checked, standard output opened with that length, then the chunks.
#include "tools/xmrender/convert.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/xmrender/options.h"

namespace ostrel::xmrender {

namespace {

constexpr int32_t channels = 2;

void showProgress(Progress* progress, int64_t done, int64_t frames, uint32_t rate) {
    char line[128];
    const double seconds = static_cast<double>(done) / rate;
    const double total = static_cast<double>(frames) / rate;
    int length = progress->count > 1
                     ? std::snprintf(line, sizeof line, "xmrender: song %d of %d: %.1f of %.1f s",
                                     progress->index, progress->count, seconds, total)
                     : std::snprintf(line, sizeof line, "xmrender: %.1f of %.1f s", seconds, total);
    // Blanks over the end of a longer line shown before.
    const int shown = length;
    while (length < progress->shownLength && length < static_cast<int>(sizeof line) - 1)
        line[length++] = ' ';
    line[length] = '\0';
    std::fprintf(stderr, "\r%s", line);
    progress->shownLength = shown;
    progress->lineOpen = true;
}

// How long: "N s" exactly, "more than N s" for a measure stopped there, "about N s" foretold.
void reportTooLong(Progress* progress, const ConvertJob& job, int64_t frames, const char* how) {
    const int64_t most = maxOutputFrames(job.format, channels);
    report(progress,
           "%s: too long for a %s file: %s%.0f s, and it holds at most %.0f s at %u Hz; ask for "
           "fewer --seconds or --loops",
           songName(job.song), job.format == OutputFormat::flac ? "FLAC" : "WAV", how,
           static_cast<double>(frames) / job.rate, static_cast<double>(most / job.rate), job.rate);
}

bool openOne(OutputFile* out, const char* path, OutputFormat format, int64_t frames,
             const ConvertJob& job, Progress* progress) {
    char error[512] = "";
    if (openOutput(out, path, format, job.rate, channels, frames, job.force, job.inputs,
                   job.inputCount, error, sizeof error))
        return true;
    report(progress, "%s", error);
    return false;
}

} // namespace

const char* songName(const char* song) {
    return song ? song : "built-in song";
}

void report(Progress* progress, const char* format, ...) {
    if (progress && progress->lineOpen) {
        std::fputc('\n', stderr);
        progress->lineOpen = false;
        progress->shownLength = 0;
    }
    char line[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    std::fprintf(stderr, "xmrender: %s\n", line);
}

int checkSongReadable(const char* song, Progress* progress) {
    if (!song)
        return 0;
    std::FILE* probe = std::fopen(song, "rb");
    if (!probe) {
        report(progress, "%s: %s", song, std::strerror(errno));
        return exitSong;
    }
    std::fclose(probe);
    return 0;
}

int measure(const char* song, uint32_t rate, int32_t passes, int64_t stopFrames, SongLength* length,
            Progress* progress) {
    const char* reason = "";
    if (!measureSong(song, rate, passes, int64_t(passCapSeconds) * rate, length, &reason,
                     stopFrames)) {
        report(progress, "%s: %s", songName(song), reason);
        return exitSong;
    }
    if (length->capped)
        report(progress, "warning: %s: no end found within %d minutes; stopping there",
               songName(song), passCapSeconds / 60);
    return 0;
}

int convertSong(const ConvertJob& job, Progress* progress) {
    const int64_t most = maxOutputFrames(job.format, channels);
    int64_t frames = 0;
    if (job.seconds > 0) {
        frames = framesForSeconds(job.rate, job.seconds);
        if (frames > most) {
            reportTooLong(progress, job, frames, "");
            return exitUsage;
        }
    }
    if (const int code = checkSongReadable(job.song, progress))
        return code;

    // Files are opened before the song is measured, so that an output refused costs nothing;
    // their headers are corrected to the length at the end. Standard output waits for the
    // length, which its header announces before any sound.
    OutputFile audio = {};
    OutputFile positions = {};
    const bool audioToStdout = std::strcmp(job.output, "-") == 0;
    const bool positionsToStdout = job.positions && std::strcmp(job.positions, "-") == 0;
    if (!audioToStdout && !openOne(&audio, job.output, job.format, frames, job, progress))
        return exitOutput;
    if (job.positions && !positionsToStdout &&
        !openOne(&positions, job.positions, OutputFormat::text, 0, job, progress)) {
        abortOutput(&audio);
        return exitOutput;
    }
    if (job.seconds <= 0) {
        SongLength length;
        if (const int code = measure(job.song, job.rate, job.passes, most, &length, progress)) {
            abortOutput(&audio);
            abortOutput(&positions);
            return code;
        }
        frames = length.frames;
        if (length.beyondStop || frames > most) {
            reportTooLong(progress, job, frames,
                          length.foretold     ? "about "
                          : length.beyondStop ? "more than "
                                              : "");
            abortOutput(&audio);
            abortOutput(&positions);
            return exitUsage;
        }
    }
    if ((audioToStdout && !openOne(&audio, "-", job.format, frames, job, progress)) ||
        (positionsToStdout && !openOne(&positions, "-", OutputFormat::text, 0, job, progress))) {
        abortOutput(&audio);
        abortOutput(&positions);
        return exitOutput;
    }

    Rendering rendering;
    const char* reason = "";
    if (!beginRender(&rendering, job.song, job.rate, &reason)) {
        report(progress, "%s: %s", songName(job.song), reason);
        abortOutput(&audio);
        abortOutput(&positions);
        return exitSong;
    }
    const int32_t chunkFrames = chunkFramesAtRate(job.rate);
    // A float WAV takes the mix before its 16-bit conversion; the other formats the samples.
    const bool floatMix = job.format == OutputFormat::wavFloat;
    void* buffer = std::malloc(static_cast<size_t>(chunkFrames) * 2 *
                               (floatMix ? sizeof(float) : sizeof(int16_t)));
    bool ok = buffer != nullptr;
    if (!ok)
        report(progress, "out of memory");
    // Whole chunks, the last one cut where the song ends.
    for (int64_t done = 0; ok && done < frames;) {
        const int32_t take =
            frames - done < chunkFrames ? static_cast<int32_t>(frames - done) : chunkFrames;
        ChunkPosition at;
        if (floatMix) {
            float* mix = static_cast<float*>(buffer);
            renderNextChunk(&rendering, take, nullptr, mix, &at);
            ok = writeFramesFloat(&audio, mix, take);
        } else {
            int16_t* pcm = static_cast<int16_t*>(buffer);
            renderNextChunk(&rendering, take, pcm, nullptr, &at);
            ok = writeFrames16(&audio, pcm, take);
        }
        if (!ok) {
            report(progress, "%s", outputError(&audio));
            break;
        }
        done += take;
        if (job.positions) {
            // The song clock first, as ever, then the exact time of the same point.
            char line[80];
            const int length = std::snprintf(line, sizeof line, "%d %d %d %.6f\n", at.order, at.row,
                                             at.timeMs, static_cast<double>(done) / job.rate);
            if (!writeBytes(&positions, line, static_cast<size_t>(length))) {
                report(progress, "%s", outputError(&positions));
                ok = false;
                break;
            }
        }
        if (progress->shown && (done / chunkFrames % 50 == 0 || done == frames))
            showProgress(progress, done, frames, job.rate);
    }
    std::free(buffer);
    endRender(&rendering);
    if (!ok) {
        abortOutput(&audio);
        abortOutput(&positions);
        return exitOutput;
    }
    char error[512] = "";
    if (!finishOutput(&audio, error, sizeof error)) {
        report(progress, "%s", error);
        abortOutput(&positions);
        return exitOutput;
    }
    if (job.positions && !finishOutput(&positions, error, sizeof error)) {
        report(progress, "%s", error);
        return exitOutput;
    }
    return 0;
}

} // namespace ostrel::xmrender
