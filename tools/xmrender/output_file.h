// Where xmrender's output goes: a WAV (16-bit PCM, or 32-bit float), a FLAC file or a plain text
// file, written so that no file is ever lost or left lying.
//
// - An output that is one of the input songs (the same file, however its path is spelled, or a
//   link to it) is refused, and so is an existing file unless the caller forces it.
// - A file is written to a temporary file beside it (".NAME.XXXXXX") and renamed into place only
//   when it is complete; a failed or interrupted run leaves the final path as it was. The
//   temporary files still open can be removed from a signal handler (removePendingOutputs).
// - "-" is standard output; the header goes first, announcing the length given at open.
// - Opening does every check and creates the file but writes nothing yet, so a program can open
//   all its outputs before it renders anything and stop cleanly when one of them fails.
//
// FLAC is written through libsndfile, which is loaded only when a FLAC output is opened: a
// program that writes WAV files never loads it or its codec libraries. Windows builds have no
// FLAC. Every error is a complete line naming the file and, where there is one, the system's
// reason.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrel::xmrender {

enum class OutputFormat : int32_t {
    wav16,    // 16-bit PCM WAV: the canonical 44-byte header, then the frames
    wavFloat, // 32-bit IEEE float WAV (format 3, with a fact chunk), full scale at +-1.0
    flac,     // 16-bit FLAC
    text,     // bytes as given (writeBytes), no header: e.g. the --positions file
};

// One output being written. Treat the fields as private: openOutput fills them, and
// finishOutput or abortOutput releases everything. A zero-initialised record ({}) is closed.
struct OutputFile {
    int32_t isOpen;
    OutputFormat format;
    uint32_t rate;
    int32_t channels;
    int64_t framesAnnounced; // the length the header gives until finishOutput corrects it
    int64_t framesWritten;
    intptr_t handle;      // the file descriptor (a HANDLE on Windows)
    int32_t toStdout;     // "-": standard output, nothing to rename
    int32_t headerDone;   // the header has gone into the buffer
    int32_t failed;       // a write failed: error holds why, and nothing more is written
    int32_t force;        // the final rename may replace an existing file
    int32_t pendingSlot;  // the temporary file's place among the pending ones (-1: none)
    int64_t headerOffset; // where the header starts in a seekable standard output (-1: unknown)
    char* finalPath;      // both allocated by openOutput
    char* tempPath;
    uint8_t* buffer; // the bytes not yet handed to the system
    int32_t buffered;
    void* flac; // libsndfile's SNDFILE, which owns the descriptor
    char error[400];
};

// The format a path asks for: FLAC by a ".flac" extension (any case), otherwise WAV, 32-bit
// float when floatWanted. FLAC stays 16-bit whatever floatWanted says.
OutputFormat formatForPath(const char* path, bool floatWanted);

// The most frames an output of this format holds: a WAV's sizes are 32-bit, so it holds a little
// under 4 GiB of data (24,347 s of 16-bit stereo at 44.1 kHz); FLAC counts 36 bits of frames.
int64_t maxOutputFrames(OutputFormat format, int32_t channels);

// Opens path ("-": standard output) for `frames` frames of `channels` channels at `rate`, after
// checking that it is none of the inputs[0..inputCount) (null entries are skipped), that it does
// not exist unless force, that the length fits the format and, for FLAC, that libsndfile loads.
// For text, rate, channels and frames are ignored. Returns false with the reason in error (and
// leaves nothing behind); on success *out must later go to finishOutput or abortOutput.
bool openOutput(OutputFile* out, const char* path, OutputFormat format, uint32_t rate,
                int32_t channels, int64_t frames, bool force, const char* const* inputs,
                int32_t inputCount, char* error, size_t errorSize);

// Appends frames of interleaved samples. 16-bit formats take int16 samples; a float WAV takes
// either, storing each sample divided by 32768 (the mixer's float mix runs at +-32768 full
// scale, and an int16 sample maps exactly). After a false, outputError says why and the output
// only waits for abortOutput (or finishOutput, which then fails and cleans up).
bool writeFrames16(OutputFile* out, const int16_t* samples, int32_t frames);
bool writeFramesFloat(OutputFile* out, const float* samples, int32_t frames);
// Appends bytes to a text output.
bool writeBytes(OutputFile* out, const void* bytes, size_t size);
// Why the last call on out failed ("" when nothing did).
const char* outputError(const OutputFile* out);

// Completes the output: corrects the header if the frames written differ from those announced
// (a standard output that cannot seek is an error then), hands over every byte, closes the file
// and renames it into place. On failure the temporary file is removed and error says why.
// Either way *out is closed afterwards.
bool finishOutput(OutputFile* out, char* error, size_t errorSize);
// Closes the output and removes its temporary file; the final path stays as it was. Does
// nothing to a closed record.
void abortOutput(OutputFile* out);

// Removes every temporary file still open, and nothing else: for a handler of SIGINT or SIGTERM
// that then ends the program. Async-signal-safe (it only calls unlink).
void removePendingOutputs();

} // namespace ostrel::xmrender
