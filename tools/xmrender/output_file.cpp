// The output sink: checks, a temporary file beside the final one, buffered little-endian
// writes, the header corrected at the end, and the rename into place. The host's file calls are
// gathered in one section per host; the rest is the same everywhere.
#include "tools/xmrender/output_file.h"

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <cerrno>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sndfile.h> // types and constants only: the library itself is loaded when FLAC is asked
#endif

namespace ostrel::xmrender {

namespace {

constexpr int32_t bufferBytes = 1 << 16;
constexpr int32_t wav16HeaderBytes = 44;
constexpr int32_t wavFloatHeaderBytes = 58;
constexpr int32_t maxChannels = 64;

// The temporary files not yet renamed or removed, where a signal handler can find them without
// allocating or locking: a slot is claimed (2), its path written, then published (1).
constexpr int32_t pendingSlots = 64;
constexpr size_t pendingPathBytes = 4096;
struct PendingSlot {
    std::atomic<int32_t> state;
    char path[pendingPathBytes];
};
PendingSlot pending[pendingSlots];
static_assert(std::atomic<int32_t>::is_always_lock_free, "the signal handler reads the slots");

#if defined(__GNUC__)
__attribute__((format(printf, 3, 4)))
#endif
void say(char* error, size_t size, const char* format, ...) {
    if (!error || size == 0)
        return;
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(error, size, format, arguments);
    va_end(arguments);
}

// --- The host's file calls ----------------------------------------------------------------
// Each failing call leaves its reason for systemReason, which must be read right after it.

enum PathKind { pathMissing, pathFile, pathFolder };

#if defined(_WIN32)

constexpr intptr_t noHandle = -1; // INVALID_HANDLE_VALUE

HANDLE asHandle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

void systemReason(char* text, size_t size) {
    const DWORD code = GetLastError();
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, text, static_cast<DWORD>(size), nullptr);
    if (length == 0) {
        std::snprintf(text, size, "system error %lu", static_cast<unsigned long>(code));
        return;
    }
    // The system's sentences end in ".\r\n": the caller's line goes on after the reason.
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                          text[length - 1] == ' ' || text[length - 1] == '.'))
        text[--length] = '\0';
}

bool isSeparator(char c) {
    return c == '/' || c == '\\' || c == ':';
}

uint32_t processId() {
    return static_cast<uint32_t>(GetCurrentProcessId());
}

PathKind pathKind(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return pathMissing;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? pathFolder : pathFile;
}

bool fileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const BOOL known = GetFileInformationByHandle(file, info);
    CloseHandle(file);
    return known != 0;
}

// The same file: the same volume and file index (a hard link too), or failing that the same
// full path, which Windows compares without regard to case.
bool sameFile(const char* a, const char* b) {
    BY_HANDLE_FILE_INFORMATION infoA, infoB;
    if (fileIdentity(a, &infoA) && fileIdentity(b, &infoB))
        return infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber &&
               infoA.nFileIndexHigh == infoB.nFileIndexHigh &&
               infoA.nFileIndexLow == infoB.nFileIndexLow;
    char fullA[MAX_PATH * 4], fullB[MAX_PATH * 4];
    const DWORD lengthA = GetFullPathNameA(a, sizeof fullA, fullA, nullptr);
    const DWORD lengthB = GetFullPathNameA(b, sizeof fullB, fullB, nullptr);
    return lengthA > 0 && lengthA < sizeof fullA && lengthB > 0 && lengthB < sizeof fullB &&
           lstrcmpiA(fullA, fullB) == 0;
}

// A new file, shared for deletion so that removePendingOutputs can delete it while it is open
// (it goes when the handle closes). 0: created; 1: the name is taken; -1: another failure.
int32_t createNew(const char* path, intptr_t* handle) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    *handle = reinterpret_cast<intptr_t>(file);
    if (file != INVALID_HANDLE_VALUE)
        return 0;
    const DWORD code = GetLastError();
    return code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS ? 1 : -1;
}

intptr_t standardOutput() {
    // Raw handle writes: no text-mode translation of the bytes, whatever the C library's mode.
    return reinterpret_cast<intptr_t>(GetStdHandle(STD_OUTPUT_HANDLE));
}

bool writeAll(intptr_t handle, const uint8_t* bytes, size_t size) {
    while (size > 0) {
        const DWORD piece = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(asHandle(handle), bytes, piece, &written, nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        bytes += written;
        size -= written;
    }
    return true;
}

// The position in a file that can be rewound to correct its header; -1 for pipes and consoles.
int64_t rewindablePosition(intptr_t handle) {
    if (GetFileType(asHandle(handle)) != FILE_TYPE_DISK)
        return -1;
    LARGE_INTEGER zero = {}, position = {};
    if (!SetFilePointerEx(asHandle(handle), zero, &position, FILE_CURRENT))
        return -1;
    return position.QuadPart;
}

bool seekTo(intptr_t handle, int64_t offset) {
    LARGE_INTEGER target = {};
    target.QuadPart = offset;
    return SetFilePointerEx(asHandle(handle), target, nullptr, FILE_BEGIN) != 0;
}

bool closeFile(intptr_t handle) {
    return CloseHandle(asHandle(handle)) != 0;
}

void removeFile(const char* path) {
    DeleteFileA(path);
}

bool renameInto(const char* from, const char* to, bool replace) {
    return MoveFileExA(from, to, replace ? MOVEFILE_REPLACE_EXISTING : 0) != 0;
}

#else

constexpr intptr_t noHandle = -1;

void systemReason(char* text, size_t size) {
    std::snprintf(text, size, "%s", std::strerror(errno));
}

bool isSeparator(char c) {
    return c == '/';
}

uint32_t processId() {
    return static_cast<uint32_t>(getpid());
}

PathKind pathKind(const char* path) {
    struct stat info;
    if (lstat(path, &info) != 0)
        return pathMissing;
    // A link to a folder counts as the folder: the rename would replace only the link, but a
    // caller naming a folder as a file has made a mistake either way.
    if (S_ISDIR(info.st_mode) || (stat(path, &info) == 0 && S_ISDIR(info.st_mode)))
        return pathFolder;
    return pathFile;
}

// The same file whatever the spelling of its path: the same device and inode, which a hard link
// or a symbolic link to it shares.
bool sameFile(const char* a, const char* b) {
    struct stat infoA, infoB;
    return stat(a, &infoA) == 0 && stat(b, &infoB) == 0 && infoA.st_dev == infoB.st_dev &&
           infoA.st_ino == infoB.st_ino;
}

// A new file with the permissions the umask gives any new file (mkstemp would make it 0600).
// 0: created; 1: the name is taken; -1: another failure.
int32_t createNew(const char* path, intptr_t* handle) {
    int fd;
    do
        fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    *handle = fd;
    if (fd >= 0)
        return 0;
    return errno == EEXIST ? 1 : -1;
}

intptr_t standardOutput() {
    return STDOUT_FILENO;
}

bool writeAll(intptr_t handle, const uint8_t* bytes, size_t size) {
    while (size > 0) {
        const ssize_t written = write(static_cast<int>(handle), bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// The position in a file that can be rewound to correct its header; -1 for pipes, terminals and
// files opened for appending (where every write lands at the end).
int64_t rewindablePosition(intptr_t handle) {
    const int flags = fcntl(static_cast<int>(handle), F_GETFL);
    if (flags < 0 || (flags & O_APPEND))
        return -1;
    const off_t position = lseek(static_cast<int>(handle), 0, SEEK_CUR);
    return position < 0 ? -1 : static_cast<int64_t>(position);
}

bool seekTo(intptr_t handle, int64_t offset) {
    return lseek(static_cast<int>(handle), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool closeFile(intptr_t handle) {
    return close(static_cast<int>(handle)) == 0;
}

void removeFile(const char* path) {
    unlink(path);
}

// rename(2) always replaces; the caller has made sure of force or of an empty place.
bool renameInto(const char* from, const char* to, bool) {
    return rename(from, to) == 0;
}

// libsndfile, loaded on first use: a program that writes no FLAC never maps it or its codecs.
struct Sndfile {
    void* library;
    SNDFILE* (*openFd)(int, int, SF_INFO*, int);
    sf_count_t (*writefShort)(SNDFILE*, const short*, sf_count_t);
    int (*close)(SNDFILE*);
    const char* (*strerror)(SNDFILE*);
};
Sndfile sndfile;

template <typename Function> bool bind(void* library, Function* function, const char* name) {
    *function = reinterpret_cast<Function>(dlsym(library, name));
    return *function != nullptr;
}

bool loadSndfile(char* error, size_t errorSize) {
    if (sndfile.library)
        return true;
    void* library = dlopen("libsndfile.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        say(error, errorSize, "FLAC needs libsndfile (libsndfile.so.1), which cannot be loaded: %s",
            dlerror());
        return false;
    }
    Sndfile loaded = {library, nullptr, nullptr, nullptr, nullptr};
    if (!bind(library, &loaded.openFd, "sf_open_fd") ||
        !bind(library, &loaded.writefShort, "sf_writef_short") ||
        !bind(library, &loaded.close, "sf_close") ||
        !bind(library, &loaded.strerror, "sf_strerror")) {
        say(error, errorSize, "FLAC needs libsndfile, and libsndfile.so.1 lacks a function: %s",
            dlerror());
        dlclose(library);
        return false;
    }
    sndfile = loaded;
    return true;
}

#endif

// --- Pending temporary files ------------------------------------------------------------------

int32_t claimPendingSlot() {
    for (int32_t i = 0; i < pendingSlots; ++i) {
        int32_t free = 0;
        if (pending[i].state.compare_exchange_strong(free, 2))
            return i;
    }
    return -1;
}

void releasePendingSlot(int32_t slot) {
    if (slot >= 0)
        pending[slot].state.store(0);
}

// Creates ".NAME.XXXXXX" in path's folder, in the slot's path, and publishes it. 0 with the
// reason in error when no name can be created.
bool createTemporary(const char* path, int32_t slot, intptr_t* handle, char* error,
                     size_t errorSize) {
    size_t folderLength = std::strlen(path);
    while (folderLength > 0 && !isSeparator(path[folderLength - 1]))
        --folderLength;
    const char* name = path + folderLength;
    // The name's own length limit (255 bytes on most file systems) still holds with 8 more.
    const int nameLength = static_cast<int>(std::strlen(name) > 200 ? 200 : std::strlen(name));
    static std::atomic<uint32_t> counter{0};
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    char* temp = pending[slot].path;
    for (int32_t attempt = 0; attempt < 100; ++attempt) {
        uint64_t mix =
            (uint64_t(processId()) << 32) ^ counter.fetch_add(1) ^
            static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        char unique[7];
        for (int i = 0; i < 6; ++i) {
            mix = mix * 6364136223846793005ull + 1442695040888963407ull;
            unique[i] = letters[(mix >> 33) % 62];
        }
        unique[6] = '\0';
        const int length =
            std::snprintf(temp, pendingPathBytes, "%.*s.%.*s.%s", static_cast<int>(folderLength),
                          path, nameLength, name, unique);
        if (length < 0 || static_cast<size_t>(length) >= pendingPathBytes) {
            say(error, errorSize, "%s: the path is too long", path);
            return false;
        }
        const int32_t created = createNew(temp, handle);
        if (created == 0) {
            pending[slot].state.store(1);
            return true;
        }
        if (created < 0) {
            char reason[200];
            systemReason(reason, sizeof reason);
            say(error, errorSize, "%s: cannot create a file in its folder: %s", path, reason);
            return false;
        }
    }
    say(error, errorSize, "%s: cannot find a free temporary name in its folder", path);
    return false;
}

// --- The formats ---------------------------------------------------------------------------

void put16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void put32(uint8_t* at, uint32_t value) {
    put16(at, value & 0xFFFF);
    put16(at + 2, value >> 16);
}

bool isWav(OutputFormat format) {
    return format == OutputFormat::wav16 || format == OutputFormat::wavFloat;
}

int32_t sampleBytes(OutputFormat format) {
    return format == OutputFormat::wavFloat ? 4 : 2;
}

int32_t headerBytes(OutputFormat format) {
    return format == OutputFormat::wav16      ? wav16HeaderBytes
           : format == OutputFormat::wavFloat ? wavFloatHeaderBytes
                                              : 0;
}

// The 16-bit header is the canonical 44-byte PCM one. The float one is the form every reader
// takes: format 3 with an 18-byte fmt chunk (no extension) and the fact chunk it requires.
void wavHeader(uint8_t* header, OutputFormat format, uint32_t rate, int32_t channels,
               int64_t frames) {
    const uint32_t frameBytes = static_cast<uint32_t>(channels * sampleBytes(format));
    const uint32_t dataBytes = static_cast<uint32_t>(frames) * frameBytes;
    const uint32_t total = static_cast<uint32_t>(headerBytes(format));
    std::memcpy(header, "RIFF", 4);
    put32(header + 4, total - 8 + dataBytes);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    const bool isFloat = format == OutputFormat::wavFloat;
    put32(header + 16, isFloat ? 18 : 16);
    put16(header + 20, isFloat ? 3 : 1);
    put16(header + 22, static_cast<uint32_t>(channels));
    put32(header + 24, rate);
    put32(header + 28, rate * frameBytes);
    put16(header + 32, frameBytes);
    put16(header + 34, isFloat ? 32 : 16);
    uint8_t* data = header + 36;
    if (isFloat) {
        put16(header + 36, 0); // no extension
        std::memcpy(header + 38, "fact", 4);
        put32(header + 42, 4);
        put32(header + 46, static_cast<uint32_t>(frames));
        data = header + 50;
    }
    std::memcpy(data, "data", 4);
    put32(data + 4, dataBytes);
}

const char* shownName(const OutputFile* out) {
    return out->toStdout ? "standard output" : out->finalPath;
}

// Marks out failed, with the system's reason when withReason.
#if defined(__GNUC__)
__attribute__((format(printf, 3, 4)))
#endif
bool fail(OutputFile* out, bool withReason, const char* format, ...) {
    char reason[200] = "";
    if (withReason)
        systemReason(reason, sizeof reason);
    char what[200];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(what, sizeof what, format, arguments);
    va_end(arguments);
    say(out->error, sizeof out->error, "%s: %s%s%s", shownName(out), what, withReason ? ": " : "",
        reason);
    out->failed = 1;
    return false;
}

bool flush(OutputFile* out) {
    const size_t size = static_cast<size_t>(out->buffered);
    out->buffered = 0;
    return writeAll(out->handle, out->buffer, size) || fail(out, true, "cannot write");
}

// The header goes first, announcing the frames given at open; finishOutput corrects it.
void startWav(OutputFile* out) {
    if (out->headerDone)
        return;
    out->headerDone = 1;
    if (out->toStdout)
        out->headerOffset = rewindablePosition(out->handle);
    wavHeader(out->buffer, out->format, out->rate, out->channels, out->framesAnnounced);
    out->buffered = headerBytes(out->format);
}

bool canWrite(OutputFile* out) {
    if (!out->isOpen) {
        say(out->error, sizeof out->error, "the output is not open");
        return false;
    }
    return !out->failed;
}

bool checkFrames(OutputFile* out, int32_t frames) {
    if (frames < 0)
        return fail(out, false, "a negative frame count");
    if (out->framesWritten + frames > maxOutputFrames(out->format, out->channels))
        return fail(out, false, "too long for its format");
    return true;
}

// Frames converted by put into the buffer, as many at a time as fit.
template <typename Sample, typename Put>
bool bufferFrames(OutputFile* out, const Sample* samples, int32_t frames, Put put) {
    startWav(out);
    const int32_t bytes = sampleBytes(out->format);
    const int32_t frameBytes = out->channels * bytes;
    int64_t left = int64_t(frames) * out->channels;
    while (left > 0) {
        int64_t room = (bufferBytes - out->buffered) / frameBytes * out->channels;
        if (room == 0) {
            if (!flush(out))
                return false;
            continue;
        }
        if (room > left)
            room = left;
        uint8_t* at = out->buffer + out->buffered;
        for (int64_t i = 0; i < room; ++i)
            put(at + i * bytes, samples[i]);
        samples += room;
        left -= room;
        out->buffered += static_cast<int32_t>(room) * bytes;
    }
    out->framesWritten += frames;
    return true;
}

void putFloat(uint8_t* at, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    put32(at, bits);
}

// Everything the record holds goes; a temporary file still there is removed.
void release(OutputFile* out, bool removeTemporary) {
#if !defined(_WIN32)
    if (out->flac) {
        sndfile.close(static_cast<SNDFILE*>(out->flac)); // closes the descriptor too
        out->flac = nullptr;
        out->handle = noHandle;
    }
#endif
    if (out->handle != noHandle && !out->toStdout)
        closeFile(out->handle);
    if (removeTemporary && out->tempPath)
        removeFile(out->tempPath);
    releasePendingSlot(out->pendingSlot);
    std::free(out->finalPath);
    std::free(out->buffer);
    out->finalPath = nullptr;
    out->tempPath = nullptr;
    out->buffer = nullptr;
    out->handle = noHandle;
    out->pendingSlot = -1;
    out->isOpen = 0;
}

// Corrects a WAV header that announced another length than the frames written.
bool correctHeader(OutputFile* out) {
    if (!isWav(out->format) || out->framesWritten == out->framesAnnounced)
        return true;
    const int64_t offset = out->toStdout ? out->headerOffset : 0;
    if (offset < 0)
        return fail(out, false,
                    "the header announces %.0f frames but %.0f were written, and it cannot be "
                    "rewound to correct that",
                    static_cast<double>(out->framesAnnounced),
                    static_cast<double>(out->framesWritten));
    uint8_t header[wavFloatHeaderBytes];
    wavHeader(header, out->format, out->rate, out->channels, out->framesWritten);
    const int32_t size = headerBytes(out->format);
    const int64_t end =
        offset + size + out->framesWritten * out->channels * sampleBytes(out->format);
    if (!seekTo(out->handle, offset) || !writeAll(out->handle, header, size) ||
        !seekTo(out->handle, end))
        return fail(out, true, "cannot correct the header");
    return true;
}

} // namespace

OutputFormat formatForPath(const char* path, bool floatWanted) {
    const size_t length = path ? std::strlen(path) : 0;
    static const char flac[] = ".flac";
    bool isFlac = length >= 5;
    for (size_t i = 0; isFlac && i < 5; ++i) {
        const char c = path[length - 5 + i];
        isFlac = (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) == flac[i];
    }
    if (isFlac)
        return OutputFormat::flac;
    return floatWanted ? OutputFormat::wavFloat : OutputFormat::wav16;
}

int64_t maxOutputFrames(OutputFormat format, int32_t channels) {
    if (format == OutputFormat::text)
        return INT64_MAX;
    if (format == OutputFormat::flac)
        return (int64_t(1) << 36) - 1;
    if (channels < 1)
        return 0;
    // The RIFF size, counting everything after its own 8 bytes, is 32-bit.
    const int64_t room = int64_t(0xFFFFFFFF) - (headerBytes(format) - 8);
    return room / (int64_t(channels) * sampleBytes(format));
}

bool openOutput(OutputFile* out, const char* path, OutputFormat format, uint32_t rate,
                int32_t channels, int64_t frames, bool force, const char* const* inputs,
                int32_t inputCount, char* error, size_t errorSize) {
    std::memset(out, 0, sizeof *out);
    out->format = format;
    out->rate = rate;
    out->channels = channels;
    out->framesAnnounced = frames;
    out->handle = noHandle;
    out->pendingSlot = -1;
    out->headerOffset = -1;
    out->force = force;
    if (!path || !*path) {
        say(error, errorSize, "no output file named");
        return false;
    }
    const bool audio = format != OutputFormat::text;
    if (audio && (channels < 1 || channels > maxChannels || rate == 0 || frames < 0)) {
        say(error, errorSize, "%s: cannot write %d channels at %u Hz", path, channels, rate);
        return false;
    }
    if (audio && frames > maxOutputFrames(format, channels)) {
        const double most = static_cast<double>(maxOutputFrames(format, channels));
        say(error, errorSize,
            "%s: too long for a %s file: %.0f s, and it holds at most %.0f s at %u Hz", path,
            format == OutputFormat::flac ? "FLAC" : "WAV", static_cast<double>(frames) / rate,
            static_cast<double>(static_cast<int64_t>(most) / rate), rate);
        return false;
    }
    out->toStdout = std::strcmp(path, "-") == 0;
    if (out->toStdout && format == OutputFormat::flac) {
        say(error, errorSize,
            "FLAC cannot go to standard output (its header is completed at the end); name a "
            ".flac file instead");
        return false;
    }
#if defined(_WIN32)
    if (format == OutputFormat::flac) {
        say(error, errorSize, "%s: this Windows build writes no FLAC; write a .wav file", path);
        return false;
    }
#endif

    out->finalPath = static_cast<char*>(std::malloc(std::strlen(path) + 1));
    out->buffer = format == OutputFormat::flac
                      ? nullptr
                      : static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bufferBytes)));
    if (!out->finalPath || (format != OutputFormat::flac && !out->buffer)) {
        say(error, errorSize, "%s: out of memory", path);
        release(out, false);
        return false;
    }
    std::strcpy(out->finalPath, path);
    if (out->toStdout) {
        out->handle = standardOutput();
        out->isOpen = 1;
        return true;
    }

    for (int32_t i = 0; i < inputCount; ++i) {
        if (inputs[i] && sameFile(path, inputs[i])) {
            say(error, errorSize, "%s would overwrite the input song %s", path, inputs[i]);
            release(out, false);
            return false;
        }
    }
    const PathKind kind = pathKind(path);
    if (kind == pathFolder || isSeparator(path[std::strlen(path) - 1])) {
        say(error, errorSize, "%s is a folder, not a file", path);
        release(out, false);
        return false;
    }
    if (kind == pathFile && !force) {
        say(error, errorSize, "%s exists; use --force (-f) to replace it", path);
        release(out, false);
        return false;
    }
#if !defined(_WIN32)
    if (format == OutputFormat::flac && !loadSndfile(error, errorSize)) {
        release(out, false);
        return false;
    }
#endif
    out->pendingSlot = claimPendingSlot();
    if (out->pendingSlot < 0) {
        say(error, errorSize, "%s: too many outputs open at once (at most %d)", path, pendingSlots);
        release(out, false);
        return false;
    }
    if (!createTemporary(path, out->pendingSlot, &out->handle, error, errorSize)) {
        out->handle = noHandle;
        release(out, false);
        return false;
    }
    out->tempPath = pending[out->pendingSlot].path;
#if !defined(_WIN32)
    if (format == OutputFormat::flac) {
        SF_INFO info = {};
        info.samplerate = static_cast<int>(rate);
        info.channels = channels;
        info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
        SNDFILE* file = sndfile.openFd(static_cast<int>(out->handle), SFM_WRITE, &info, SF_TRUE);
        if (!file) {
            say(error, errorSize, "%s: libsndfile cannot write FLAC: %s", path,
                sndfile.strerror(nullptr));
            release(out, true);
            return false;
        }
        out->flac = file;
    }
#endif
    out->isOpen = 1;
    return true;
}

bool writeFrames16(OutputFile* out, const int16_t* samples, int32_t frames) {
    if (!canWrite(out) || !checkFrames(out, frames))
        return false;
    switch (out->format) {
    case OutputFormat::wav16:
        return bufferFrames(out, samples, frames, [](uint8_t* at, int16_t sample) {
            put16(at, static_cast<uint16_t>(sample));
        });
    case OutputFormat::wavFloat:
        return bufferFrames(out, samples, frames, [](uint8_t* at, int16_t sample) {
            putFloat(at, static_cast<float>(sample) / 32768.0f);
        });
    case OutputFormat::flac:
#if !defined(_WIN32)
        if (sndfile.writefShort(static_cast<SNDFILE*>(out->flac), samples, frames) != frames) {
            const char* reason = sndfile.strerror(static_cast<SNDFILE*>(out->flac));
            return fail(out, false, "cannot write: %s", reason);
        }
        out->framesWritten += frames;
        return true;
#endif
    case OutputFormat::text:
        break;
    }
    return fail(out, false, "takes no 16-bit frames");
}

bool writeFramesFloat(OutputFile* out, const float* samples, int32_t frames) {
    if (!canWrite(out) || !checkFrames(out, frames))
        return false;
    // Only a float file keeps what the float mix holds; the 16-bit formats take the mixer's own
    // rounding and clipping to 16 bits, through writeFrames16.
    if (out->format != OutputFormat::wavFloat)
        return fail(out, false, "takes no float frames");
    return bufferFrames(out, samples, frames,
                        [](uint8_t* at, float sample) { putFloat(at, sample / 32768.0f); });
}

bool writeBytes(OutputFile* out, const void* bytes, size_t size) {
    if (!canWrite(out))
        return false;
    if (out->format != OutputFormat::text)
        return fail(out, false, "takes frames, not text");
    const uint8_t* from = static_cast<const uint8_t*>(bytes);
    while (size > 0) {
        if (out->buffered == bufferBytes && !flush(out))
            return false;
        size_t take = static_cast<size_t>(bufferBytes - out->buffered);
        if (take > size)
            take = size;
        std::memcpy(out->buffer + out->buffered, from, take);
        out->buffered += static_cast<int32_t>(take);
        from += take;
        size -= take;
    }
    return true;
}

const char* outputError(const OutputFile* out) {
    return out->error;
}

bool finishOutput(OutputFile* out, char* error, size_t errorSize) {
    if (!out->isOpen) {
        say(error, errorSize, "the output is not open");
        return false;
    }
    bool ok = !out->failed;
#if !defined(_WIN32)
    if (ok && out->flac) {
        SNDFILE* file = static_cast<SNDFILE*>(out->flac);
        out->flac = nullptr;
        out->handle = noHandle; // sf_close closes it
        if (sndfile.close(file) != 0)
            ok = fail(out, false, "cannot complete the FLAC file: %s", sndfile.strerror(nullptr));
    }
#endif
    if (ok && out->buffer) {
        if (isWav(out->format))
            startWav(out); // an empty song still gets its header
        ok = flush(out) && correctHeader(out);
    }
    if (ok && !out->toStdout) {
        const intptr_t handle = out->handle;
        out->handle = noHandle;
        // A file system may report a failed write only when the file closes.
        if (handle != noHandle && !closeFile(handle))
            ok = fail(out, true, "cannot write");
        // Something may have appeared at the final path while this one was written.
        else if (!out->force && pathKind(out->finalPath) != pathMissing)
            ok = fail(out, false, "appeared while it was written; use --force (-f) to replace it");
        else if (!renameInto(out->tempPath, out->finalPath, out->force))
            ok = fail(out, true, "cannot move %s into place", out->tempPath);
        else
            out->tempPath = nullptr; // renamed: nothing to remove
    }
    if (!ok)
        say(error, errorSize, "%s", out->error);
    release(out, !ok);
    return ok;
}

void abortOutput(OutputFile* out) {
    if (out->isOpen)
        release(out, true);
}

void removePendingOutputs() {
    for (int32_t i = 0; i < pendingSlots; ++i) {
        if (pending[i].state.load() == 1) {
#if defined(_WIN32)
            DeleteFileA(pending[i].path);
#else
            unlink(pending[i].path);
#endif
        }
    }
}

} // namespace ostrel::xmrender
