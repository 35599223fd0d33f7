// The library's version, errors, loading, freeing and metadata (include/ostrel/ostrel.h).
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "audio/api_player.h"
#include "module/memory_stream.h"
#include "module/stream.h"

// The version as text, from the header's numbers.
#define OSTREL_TEXT_OF(x) #x
#define OSTREL_NUMBER_TEXT(x) OSTREL_TEXT_OF(x)

namespace {

using ostrel::ModulePlayer;

// An image to load, handed to the open hook as its name: the stream hooks carry no other
// context, and a load is given its hooks, so two threads loading at once share nothing.
struct Image {
    const uint8_t* bytes;
    int32_t size;
};

void* openImage(const char* name) {
    const auto* image = reinterpret_cast<const Image*>(name);
    return ostrel::openMemoryStream(image->bytes, image->size);
}

const ostrel::StreamHooks imageHooks = {openImage,
                                        ostrel::memoryStreamClose,
                                        ostrel::memoryStreamRead,
                                        ostrel::memoryStreamSeek,
                                        ostrel::memoryStreamTell,
                                        nullptr};

ostrel_player* fail(ostrel_error code, const char* why, ostrel_error* error, const char** reason) {
    if (error)
        *error = code;
    if (reason)
        *reason = why;
    return nullptr;
}

// Why a file could not be opened, in the words the C library uses for it, which xmrender
// prints: fixed texts, since strerror's may be overwritten by the next call on any thread.
const char* openFailure(int code) {
    switch (code) {
    case ENOENT:
        return "No such file or directory";
    case EACCES:
        return "Permission denied";
    case EISDIR:
        return "Is a directory";
    case ENOTDIR:
        return "Not a directory";
    case ENAMETOOLONG:
        return "File name too long";
    case EMFILE:
        return "Too many open files";
    case ENFILE:
        return "Too many open files in system";
    case ENOMEM:
        return "Cannot allocate memory";
    case EIO:
        return "Input/output error";
    case EINVAL:
        return "Invalid argument";
#ifdef ELOOP
    case ELOOP:
        return "Too many levels of symbolic links";
#endif
#ifdef EOVERFLOW
    case EOVERFLOW:
        return "Value too large for defined data type";
#endif
    default:
        return "cannot open the file";
    }
}

// The library's player around a loaded song: its course, and the shadow for walks with its own.
// The song is the player's from here on, or freed on failure.
ostrel_player* wrap(ModulePlayer* song, ostrel_error* error, const char** reason) {
    void* block = std::calloc(1, sizeof(ostrel_player));
    if (!block) {
        ostrel::destroyPlayer(song);
        return fail(OSTREL_ERROR_MEMORY, "out of memory", error, reason);
    }
    auto* player = new (block) ostrel_player{};
    player->song = song;
    player->loadedSlideMemory = song->globalVolumeSlideMemory;
    player->repeat = 1;
    player->shadow = static_cast<ModulePlayer*>(std::calloc(1, sizeof(ModulePlayer)));
    if (player->shadow)
        std::memcpy(static_cast<void*>(player->shadow), song, sizeof(ModulePlayer));
    if (!player->shadow || !ostrel::api::setUpCourse(&player->play, song) ||
        !ostrel::api::setUpCourse(&player->walk, player->shadow)) {
        ostrel_free(player);
        return fail(OSTREL_ERROR_MEMORY, "out of memory", error, reason);
    }
    player->walkWatchTick = player->shadow->tickFunction;
    player->walkObserver = player->shadow->rowObserver;
    player->play.passes = player->repeat;
    if (error)
        *error = OSTREL_OK;
    if (reason)
        *reason = "";
    return player;
}

// Loads through the hooks and wraps the song; the reason of a failure is the loader's. A file
// cut short inside its data loads, and says so through ostrel_damaged.
ostrel_player* load(const ostrel::StreamHooks* hooks, const char* name, ostrel_error* error,
                    const char** reason) {
    const char* why = "";
    ModulePlayer* song = ostrel::createPlayer(hooks, name, nullptr, &why, ostrel::loadTolerant);
    if (!song) {
        if (std::strcmp(why, "out of memory") == 0)
            return fail(OSTREL_ERROR_MEMORY, why, error, reason);
        if (std::strcmp(why, "cannot open the module") == 0)
            return fail(OSTREL_ERROR_OPEN, why, error, reason);
        return fail(OSTREL_ERROR_FORMAT, why[0] ? why : "cannot load the module", error, reason);
    }
    return wrap(song, error, reason);
}

const ostrel::Instrument* instrumentAt(const ostrel_player* player, int32_t instrument) {
    if (!player || instrument < 0 || instrument >= player->song->instrumentCount)
        return nullptr;
    return &player->song->instruments[instrument];
}

} // namespace

extern "C" {

const char* ostrel_version(void) {
#ifdef OSTREL_LIBRARY_VERSION
    // The packaged library's build names the project's version.
    return OSTREL_LIBRARY_VERSION;
#else
    return OSTREL_NUMBER_TEXT(OSTREL_VERSION_MAJOR) "." OSTREL_NUMBER_TEXT(
        OSTREL_VERSION_MINOR) "." OSTREL_NUMBER_TEXT(OSTREL_VERSION_PATCH);
#endif
}

uint32_t ostrel_version_number(void) {
    return (uint32_t{OSTREL_VERSION_MAJOR} << 16) | (uint32_t{OSTREL_VERSION_MINOR} << 8) |
           uint32_t{OSTREL_VERSION_PATCH};
}

const char* ostrel_error_text(ostrel_error error) {
    switch (error) {
    case OSTREL_OK:
        return "no error";
    case OSTREL_ERROR_ARGUMENT:
        return "bad argument";
    case OSTREL_ERROR_OPEN:
        return "cannot open the file";
    case OSTREL_ERROR_FORMAT:
        return "not a loadable XM module";
    case OSTREL_ERROR_MEMORY:
        return "out of memory";
    case OSTREL_ERROR_STATE:
        return "playback has not been started";
    case OSTREL_ERROR_NOT_REACHED:
        return "the song never plays there";
    }
    return "unknown error";
}

ostrel_player* ostrel_load_memory(const void* data, size_t size, ostrel_error* error,
                                  const char** reason) {
    if (!data && size > 0)
        return fail(OSTREL_ERROR_ARGUMENT, ostrel_error_text(OSTREL_ERROR_ARGUMENT), error, reason);
    // The streams address a module with 32-bit signed positions.
    if (size > static_cast<size_t>(INT32_MAX))
        return fail(OSTREL_ERROR_FORMAT, "module is too large", error, reason);
    const Image image = {static_cast<const uint8_t*>(data), static_cast<int32_t>(size)};
    return load(&imageHooks, reinterpret_cast<const char*>(&image), error, reason);
}

ostrel_player* ostrel_load_file(const char* path, ostrel_error* error, const char** reason) {
    if (!path)
        return fail(OSTREL_ERROR_ARGUMENT, ostrel_error_text(OSTREL_ERROR_ARGUMENT), error, reason);
    // Opened once first, as xmrender does, so that a file that cannot be opened is told by the
    // system's reason and not only as a load that failed.
    errno = 0;
    std::FILE* probe = std::fopen(path, "rb");
    if (!probe)
        return fail(OSTREL_ERROR_OPEN, openFailure(errno), error, reason);
    std::fclose(probe);
    return load(&ostrel::fileStreamHooks, path, error, reason);
}

void ostrel_free(ostrel_player* player) {
    if (!player)
        return;
    ostrel::api::stopPlayback(player);
    ostrel::unwatchSong(&player->play.watch);
    ostrel::unwatchSong(&player->walk.watch);
    // The shadow shares the song's blocks: only its own record is freed.
    std::free(player->shadow);
    ostrel::destroyPlayer(player->song);
    player->~ostrel_player();
    std::free(player);
}

ostrel_error ostrel_get_info(const ostrel_player* player, ostrel_info* info) {
    if (!player || !info)
        return OSTREL_ERROR_ARGUMENT;
    const ModulePlayer* song = player->song;
    info->channels = song->channelCount;
    info->file_channels = song->fileChannelCount;
    info->patterns = song->filePatternCount;
    info->orders = song->songLength;
    info->restart_position = song->restartPosition;
    info->instruments = song->instrumentCount;
    info->samples = 0;
    for (int32_t i = 0; i < song->instrumentCount; ++i)
        info->samples += song->instruments[i].sampleCount;
    info->linear_frequencies = song->flags & ostrel::flagLinearFrequencies ? 1 : 0;
    info->initial_tempo = song->defaultTempo;
    info->initial_bpm = song->defaultBpm;
    return OSTREL_OK;
}

int32_t ostrel_damaged(const ostrel_player* player, const char** what) {
    if (what)
        *what = player ? player->song->damage : "";
    if (!player)
        return -1;
    return player->song->damage[0] != '\0' ? 1 : 0;
}

const char* ostrel_title(const ostrel_player* player) {
    return player ? player->song->title : nullptr;
}

const char* ostrel_tracker(const ostrel_player* player) {
    return player ? player->song->tracker : nullptr;
}

const char* ostrel_instrument_name(const ostrel_player* player, int32_t instrument) {
    const ostrel::Instrument* at = instrumentAt(player, instrument);
    return at ? at->name : nullptr;
}

int32_t ostrel_sample_count(const ostrel_player* player, int32_t instrument) {
    const ostrel::Instrument* at = instrumentAt(player, instrument);
    return at ? at->sampleCount : -1;
}

const char* ostrel_sample_name(const ostrel_player* player, int32_t instrument, int32_t sample) {
    const ostrel::Instrument* at = instrumentAt(player, instrument);
    if (!at || sample < 0 || sample >= at->sampleCount)
        return nullptr;
    return at->samples[sample]->name;
}

int32_t ostrel_pattern_rows(const ostrel_player* player, int32_t pattern) {
    if (!player || pattern < 0 || pattern >= player->song->patternSlotCount)
        return -1;
    return player->song->patterns[pattern].rowCount;
}

} // extern "C"
