// One song to its outputs, in the order that loses nothing: the checks that need no song, the
// files opened (each refused output stops the job before the song is even measured), the length
// measured and checked, standard output opened with that length, then the chunks.
#include "tools/xmrender/convert.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/xmrender/options.h"
#include "tools/xmrender/paths.h"

namespace ostrel::xmrender {

namespace {

constexpr int32_t channels = 2;

void showProgress(Progress* progress, int64_t done, int64_t frames, uint32_t rate,
                  const char* part) {
    char line[160];
    const double seconds = static_cast<double>(done) / rate;
    const double total = static_cast<double>(frames) / rate;
    char song[48] = "";
    if (progress->count > 1)
        std::snprintf(song, sizeof song, "song %d of %d: ", progress->index, progress->count);
    int length = std::snprintf(line, sizeof line, "xmrender: %s%s%s%.1f of %.1f s", song, part,
                               part[0] ? ": " : "", seconds, total);
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
void reportTooLong(Progress* progress, const ConvertJob& job, OutputFormat format, int64_t frames,
                   const char* how) {
    const int64_t most = maxOutputFrames(format, channels);
    report(progress,
           "%s: too long for a %s file: %s%.0f s, and it holds at most %.0f s at %u Hz; ask for "
           "fewer --seconds or --loops",
           songName(job.song), format == OutputFormat::flac ? "FLAC" : "WAV", how,
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

ostrel_player* loadSong(const char* song, Progress* progress) {
    const char* reason = "";
    const char* damage = "";
    ostrel_player* player = openSong(song, &reason, &damage);
    if (!player)
        report(progress, "%s: %s", songName(song), reason);
    else if (damage[0])
        report(progress, "warning: %s: %s", songName(song), damage);
    return player;
}

int measure(ostrel_player* player, const char* song, uint32_t rate, int32_t passes,
            int64_t stopFrames, SongLength* length, Progress* progress) {
    const ostrel_error error =
        measureSong(player, static_cast<int32_t>(rate), passes, stopFrames, length);
    if (error != OSTREL_OK) {
        report(progress, "%s: %s", songName(song), ostrel_error_text(error));
        return exitSong;
    }
    if (length->capped)
        report(progress, "warning: %s: no end found within %d minutes; stopping there",
               songName(song), passCapSeconds / 60);
    return 0;
}

namespace {

// Every file a job writes: the mix, the positions and a stem per channel.
struct JobOutputs {
    OutputFile audio;
    OutputFile positions;
    OutputFile stems[32];
    int32_t stemChannel[32]; // the channel of each stem, from 0
    int32_t stemCount;
};

void abortAll(JobOutputs* outputs) {
    abortOutput(&outputs->audio);
    abortOutput(&outputs->positions);
    for (int32_t i = 0; i < outputs->stemCount; ++i)
        abortOutput(&outputs->stems[i]);
}

bool finishOne(OutputFile* out, Progress* progress) {
    char error[512] = "";
    if (!out->isOpen || finishOutput(out, error, sizeof error))
        return true;
    report(progress, "%s", error);
    return false;
}

// Opens a stem file for each channel that sounds. False after the message.
bool openStems(JobOutputs* outputs, ostrel_player* player, const ConvertJob& job, int64_t frames,
               Progress* progress) {
    char error[512];
    if (!makeFolder(job.stemsDir, error, sizeof error)) {
        report(progress, "%s", error);
        return false;
    }
    ostrel_info info;
    ostrel_get_info(player, &info);
    for (int32_t channel = 0; channel < info.channels; ++channel) {
        if (ostrel_muted(player, channel))
            continue;
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, "-ch%02d.wav", channel + 1);
        char* path = outputPathFor(job.stemsDir, job.song ? job.song : "builtin", suffix);
        if (!path) {
            report(progress, "out of memory");
            return false;
        }
        const int32_t slot = outputs->stemCount;
        const bool opened =
            openOne(&outputs->stems[slot], path, OutputFormat::wavFloat, frames, job, progress);
        std::free(path);
        if (!opened)
            return false;
        outputs->stemChannel[slot] = channel;
        ++outputs->stemCount;
    }
    return true;
}

// Starts the player from the song's beginning with the job's passes and goes to its start.
bool startAt(ostrel_player* player, const ConvertJob& job, Progress* progress) {
    ostrel_set_repeat(player, job.seconds > 0 ? 0 : job.passes);
    if (const ostrel_error error = ostrel_start(player, static_cast<int32_t>(job.rate))) {
        report(progress, "%s: %s", songName(job.song), ostrel_error_text(error));
        return false;
    }
    char why[256];
    if (!seekToStart(player, static_cast<int32_t>(job.rate), job.start, why, sizeof why)) {
        report(progress, "%s: %s", songName(job.song), why);
        return false;
    }
    return true;
}

// Renders `take` frames into samples and writes them to out; frames past the song's end are
// silence.
template <typename Sample>
bool renderChunk(ostrel_player* player, OutputFile* out, Sample* samples, int32_t take,
                 int32_t (*render)(ostrel_player*, Sample*, int32_t),
                 bool (*write)(OutputFile*, const Sample*, int32_t)) {
    const int32_t made = render(player, samples, take);
    std::fill(samples + 2 * (made > 0 ? made : 0), samples + 2 * take, Sample{});
    return write(out, samples, take);
}

// Renders frames of the started player into out, as 16-bit samples or as the float mix, with a
// positions line after each chunk when positions is open. False after the message.
bool renderInto(ostrel_player* player, OutputFile* out, OutputFile* positions, int64_t frames,
                const ConvertJob& job, Progress* progress, const char* part) {
    const int32_t chunkFrames = ostrel_chunk_frames(static_cast<int32_t>(job.rate));
    // A float WAV takes the mix before its 16-bit conversion; the other formats the samples.
    const bool floatMix = out->format == OutputFormat::wavFloat;
    void* buffer = std::calloc(static_cast<size_t>(chunkFrames) * 2,
                               floatMix ? sizeof(float) : sizeof(int16_t));
    if (!buffer) {
        report(progress, "out of memory");
        return false;
    }
    bool ok = true;
    for (int64_t done = 0; ok && done < frames;) {
        const int32_t take =
            frames - done < chunkFrames ? static_cast<int32_t>(frames - done) : chunkFrames;
        ok = floatMix ? renderChunk(player, out, static_cast<float*>(buffer), take,
                                    ostrel_render_f32, writeFramesFloat)
                      : renderChunk(player, out, static_cast<int16_t*>(buffer), take,
                                    ostrel_render_s16, writeFrames16);
        if (!ok) {
            report(progress, "%s", outputError(out));
            break;
        }
        done += take;
        if (positions && positions->isOpen) {
            // The song clock first, as ever, then the exact time of the same point.
            ostrel_chunk_mark mark;
            ostrel_position at;
            ostrel_get_chunk_mark(player, &mark);
            ostrel_get_position(player, &at);
            char line[80];
            const int length = std::snprintf(line, sizeof line, "%d %d %d %.6f\n", mark.order,
                                             mark.row, mark.clock_ms, at.seconds);
            if (!writeBytes(positions, line, static_cast<size_t>(length))) {
                report(progress, "%s", outputError(positions));
                ok = false;
            }
        }
        if (progress->shown && (done / chunkFrames % 50 == 0 || done == frames))
            showProgress(progress, done, frames, job.rate, part);
    }
    std::free(buffer);
    return ok;
}

} // namespace

int convertSong(const ConvertJob& job, Progress* progress) {
    // The stems are float WAVs; the mix is in the format asked. The one that holds less limits.
    OutputFormat limiting = job.output ? job.format : OutputFormat::wavFloat;
    if (job.stemsDir &&
        maxOutputFrames(OutputFormat::wavFloat, channels) < maxOutputFrames(limiting, channels))
        limiting = OutputFormat::wavFloat;
    const int64_t most = maxOutputFrames(limiting, channels);
    int64_t frames = 0;
    if (job.seconds > 0) {
        frames = framesForSeconds(job.rate, job.seconds);
        if (frames > most) {
            reportTooLong(progress, job, limiting, frames, "");
            return exitUsage;
        }
    }
    ostrel_player* player = loadSong(job.song, progress);
    if (!player)
        return exitSong;
    char why[256];
    if (!chooseChannels(player, job.channels, why, sizeof why)) {
        report(progress, "%s: %s", songName(job.song), why);
        ostrel_free(player);
        return exitUsage;
    }

    // Files are opened before the song is measured, so that an output refused costs nothing;
    // their headers are corrected to the length at the end. Standard output waits for the
    // length, which its header announces before any sound.
    JobOutputs outputs = {};
    const bool audioToStdout = job.output && std::strcmp(job.output, "-") == 0;
    const bool positionsToStdout = job.positions && std::strcmp(job.positions, "-") == 0;
    int code = 0;
    if (job.output && !audioToStdout &&
        !openOne(&outputs.audio, job.output, job.format, frames, job, progress))
        code = exitOutput;
    if (!code && job.positions && !positionsToStdout &&
        !openOne(&outputs.positions, job.positions, OutputFormat::text, 0, job, progress))
        code = exitOutput;
    if (!code && job.stemsDir && !openStems(&outputs, player, job, frames, progress))
        code = exitOutput;
    if (!code && !startAt(player, job, progress))
        code = exitUsage;
    ostrel_position start = {};
    ostrel_get_position(player, &start);
    if (!code && job.seconds <= 0) {
        SongLength length;
        code =
            measure(player, job.song, job.rate, job.passes, most + start.frame, &length, progress);
        frames = length.frames - start.frame;
        if (!code && (length.foretold || frames > most)) {
            reportTooLong(progress, job, limiting, frames, length.foretold ? "about " : "");
            code = exitUsage;
        }
    }
    if (!code &&
        ((audioToStdout && !openOne(&outputs.audio, "-", job.format, frames, job, progress)) ||
         (positionsToStdout &&
          !openOne(&outputs.positions, "-", OutputFormat::text, 0, job, progress))))
        code = exitOutput;

    if (!code && job.output &&
        !renderInto(player, &outputs.audio, &outputs.positions, frames, job, progress, ""))
        code = exitOutput;
    // Each stem is the song played again with that channel alone.
    for (int32_t i = 0; !code && i < outputs.stemCount; ++i) {
        char part[32];
        std::snprintf(part, sizeof part, "channel %d", outputs.stemChannel[i] + 1);
        ostrel_solo(player, outputs.stemChannel[i]);
        if (!startAt(player, job, progress))
            code = exitUsage;
        else if (!renderInto(player, &outputs.stems[i], nullptr, frames, job, progress, part))
            code = exitOutput;
    }
    ostrel_free(player);
    if (code) {
        abortAll(&outputs);
        return code;
    }
    bool finished = finishOne(&outputs.audio, progress);
    for (int32_t i = 0; finished && i < outputs.stemCount; ++i)
        finished = finishOne(&outputs.stems[i], progress);
    finished = finished && finishOne(&outputs.positions, progress);
    if (!finished) {
        abortAll(&outputs);
        return exitOutput;
    }
    return 0;
}

} // namespace ostrel::xmrender
