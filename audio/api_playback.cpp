// The library's playback (include/ostrel/ostrel.h): how long a song plays, found by walking its
// rows without mixing; rendering with a repeat count; the position of the next frame; seeking;
// muting.
//
// A song's end is counted the same way everywhere, by the song-end watch on a player and the
// course around it (api_player.h): on the playing song, whose ticks the renderer runs as it mixes
// chunk after chunk, and on the shadow, a copy of the song's record whose ticks a walk runs one
// after the other with no mixing at all. The ticks are the same and fall at the same frames
// either way (a tick's length follows from the tempo alone), so the end a walk finds is the end
// rendering finds.
//
// Everything a render, seek, position or mute call uses is allocated by the load or by
// ostrel_start: those calls allocate nothing.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "audio/api_player.h"
#include "audio/renderer.h"
#include "audio/song_end.h"
#include "player/sequencer.h"

namespace ostrel::api {

namespace {

// The rates the library plays at, and the longest a pass may play before the search for its end
// gives up there, as xmrender does: 30 minutes.
constexpr int32_t lowestRate = 8000;
constexpr int32_t highestRate = 192000;
constexpr int64_t passCapSeconds = 30 * 60;

bool rateSupported(int32_t rate) {
    return rate >= lowestRate && rate <= highestRate;
}

int64_t capAt(int32_t rate) {
    return passCapSeconds * rate;
}

// The watch is the course's first member and its player's row observer context.
static_assert(std::is_standard_layout_v<Course>, "a course is reached through its first member");
Course* courseOf(const ModulePlayer* player) {
    return reinterpret_cast<Course*>(static_cast<SongWatch*>(player->rowObserverContext));
}

void pushMark(Course* course, const TickMark& mark) {
    // Marks older than the frame being handed out are no longer needed: the ring holds a chunk's
    // ticks (each at least one frame long) and the one before them.
    if (course->markCount == course->markSlots) {
        course->markFirst = (course->markFirst + 1) % course->markSlots;
        --course->markCount;
    }
    course->marks[(course->markFirst + course->markCount) % course->markSlots] = mark;
    ++course->markCount;
}

const TickMark& markAt(const Course& course, int32_t index) {
    return course.marks[(course.markFirst + index) % course.markSlots];
}

// The index of the last tick that began at or before frame; -1 for none.
int32_t markIndexAt(const Course& course, int64_t frame) {
    int32_t index = course.markCount - 1;
    while (index >= 0 && markAt(course, index).frame > frame)
        --index;
    return index;
}

void restartCourse(Course* course, int32_t passes, int64_t capFrames) {
    restartSongWatch(&course->watch, 0, 0);
    course->passes = passes;
    course->capFrames = capFrames;
    course->end = -1;
    course->capped = 0;
    course->rowOrder = 0;
    course->rowRow = 0;
    course->markFirst = 0;
    course->markCount = 0;
    course->targetFrame = -1;
}

// A walk from the song's start at rate on a fresh copy of the song's record, for this many
// passes and, when targetOrder is not -1, until the first row tick of the target row.
void walk(ostrel_player* player, int32_t rate, int32_t passes, int32_t targetOrder,
          int32_t targetRow) {
    ModulePlayer* shadow = player->shadow;
    std::memcpy(static_cast<void*>(shadow), player->song, sizeof *shadow);
    shadow->tickFunction = player->walkWatchTick;
    shadow->rowObserver = player->walkObserver;
    shadow->rowObserverContext = &player->walk.watch;
    // The shadow is never mixed and never destroyed: nothing of the song's mixing goes with it.
    shadow->playbackStop = nullptr;
    shadow->mixerLanes = nullptr;
    shadow->mutedMix = nullptr;
    shadow->mutedChannels = 0;
    shadow->globalVolumeSlideMemory = player->loadedSlideMemory;
    shadow->outputRate = rate;
    prepareTables(shadow);
    resetPlayerToStart(shadow);
    Course& course = player->walk;
    restartCourse(&course, passes, capAt(rate));
    course.targetOrder = targetOrder;
    course.targetRow = targetRow;
    // Every walk ends: each pass ends, or is cut at its cap, and a tick is at least a frame.
    while (course.end < 0 && (targetOrder < 0 || course.targetFrame < 0))
        shadow->tickFunction(shadow);
}

// With all ticks up to the next frame run, a pass that has played its cap without an end ends
// here, whether or not a tick falls right after its cap.
void settleCap(ostrel_player* player) {
    Course& course = player->play;
    if (course.end >= 0 || course.passes == 0)
        return;
    const int64_t passStart = course.watch.passStartFrame;
    if (passStart <= player->cursor && player->cursor - passStart >= course.capFrames) {
        course.end = player->cursor;
        course.capped = 1;
    }
}

// Mixes the chunk of the next frame when the current one has been handed out, keeping the record
// of the chunk it replaces: the one that holds the last frame handed out.
int32_t mixNext(ostrel_player* player) {
    Renderer& renderer = player->renderer;
    if (renderer.readFrame == renderer.chunkFrames)
        player->previousChunk = renderer.position;
    return mixAhead(&renderer);
}

template <typename Frame, int32_t (*render)(Renderer*, Frame*, int32_t)>
int32_t renderFrames(ostrel_player* player, Frame* out, int32_t frames) {
    if (!player || player->rate == 0 || frames < 0 || (!out && frames > 0))
        return -1;
    Course& course = player->play;
    int32_t done = 0;
    while (done < frames) {
        if (course.end >= 0 && player->cursor >= course.end)
            break;
        // The chunk of the next frame is mixed before any of it goes out: an end its ticks
        // find is known in time to cut it.
        const int32_t ready = mixNext(player);
        settleCap(player);
        int64_t n = frames - done < ready ? frames - done : ready;
        if (course.end >= 0) {
            n = n < course.end - player->cursor ? n : course.end - player->cursor;
        } else if (course.passes > 0 && course.watch.passStartFrame <= player->cursor) {
            const int64_t toCap = course.watch.passStartFrame + course.capFrames - player->cursor;
            n = n < toCap ? n : toCap;
        }
        if (n <= 0)
            break;
        render(&player->renderer, out + 2 * static_cast<size_t>(done), static_cast<int32_t>(n));
        done += static_cast<int32_t>(n);
        player->cursor += n;
    }
    // The chunk of the next frame is mixed now rather than at the next call, so that the position
    // is that of the next frame with the tick that starts right there run.
    if (course.end < 0 || player->cursor < course.end)
        mixNext(player);
    return done;
}

// Back to the song's start, as ostrel_start leaves it, without allocating.
void restartPlayback(ostrel_player* player) {
    player->song->globalVolumeSlideMemory = player->loadedSlideMemory;
    restartRenderer(&player->renderer);
    restartCourse(&player->play, player->repeat, capAt(player->rate));
    player->cursor = 0;
    player->previousChunk = ChunkInfo{};
}

// Renders and drops frames up to target, from the start again when it lies behind; stops early
// at the end of the passes.
void seekFrame(ostrel_player* player, int64_t target) {
    if (target < player->cursor)
        restartPlayback(player);
    const int32_t chunk = player->renderer.chunkFrames;
    while (player->cursor < target) {
        const int64_t left = target - player->cursor;
        const int32_t n = left < chunk ? static_cast<int32_t>(left) : chunk;
        if (renderFrames<float, renderF32>(player, player->scratch, n) <= 0)
            break;
    }
}

uint32_t channelMask(const ModulePlayer* song) {
    const int32_t channels = song->channelCount;
    return channels >= 32 ? 0xFFFFFFFFu : (uint32_t{1} << channels) - 1;
}

bool channelInRange(const ostrel_player* player, int32_t channel) {
    return player && channel >= 0 && channel < player->song->channelCount;
}

} // namespace

void courseTick(ModulePlayer* player) {
    Course* course = courseOf(player);
    SongWatch& watch = course->watch;
    const int64_t frame = watch.framesBeforeTick;
    // A pass that has gone past its cap without an end is cut at the cap, as the watch cuts it;
    // one that ends right at it is not.
    if (course->end < 0 && course->passes > 0 && frame - watch.passStartFrame > course->capFrames) {
        course->end = watch.passStartFrame + course->capFrames;
        course->capped = 1;
    }
    const int32_t tick = player->tick;
    if (tick == 0) {
        // The row this row tick plays: playerTick moves to it first. Read here, since a pattern
        // loop may move the row during the tick.
        course->rowOrder = player->nextOrder >= 0 ? player->nextOrder : player->order;
        course->rowRow = player->nextRow >= 0 ? player->nextRow : player->row;
        if (course->targetFrame < 0 && course->end < 0 && course->rowOrder == course->targetOrder &&
            course->rowRow == course->targetRow)
            course->targetFrame = frame;
    }
    const int32_t passesBefore = watch.passesEnded;
    playerTick(player);
    const int32_t passes = watch.passesEnded;
    // A pass ends at the row tick that would play again a row of the pass.
    if (passes != passesBefore && course->end < 0 && course->passes > 0 && passes >= course->passes)
        course->end = frame;
    if (course->marks)
        pushMark(course, TickMark{frame, watch.passStartFrame, course->rowOrder, course->rowRow,
                                  tick, passes});
}

int32_t setUpCourse(Course* course, ModulePlayer* player) {
    player->tickFunction = courseTick;
    if (!watchSong(&course->watch, player, 0, 0))
        return 0;
    course->marks = nullptr;
    course->markSlots = 0;
    course->targetOrder = -1;
    course->targetRow = 0;
    restartCourse(course, 1, 0);
    return 1;
}

void stopPlayback(ostrel_player* player) {
    stopRenderer(&player->renderer);
    player->song->mutedMix = nullptr;
    std::free(player->scratch);
    std::free(player->unheard);
    std::free(player->play.marks);
    player->scratch = nullptr;
    player->unheard = nullptr;
    player->play.marks = nullptr;
    player->play.markSlots = 0;
    player->play.markCount = 0;
    player->rate = 0;
    player->cursor = 0;
}

} // namespace ostrel::api

using namespace ostrel;
using namespace ostrel::api;

extern "C" {

ostrel_error ostrel_measure(ostrel_player* player, int32_t rate, int32_t passes,
                            ostrel_duration* duration) {
    if (!player || !duration || !rateSupported(rate) || passes < 1)
        return OSTREL_ERROR_ARGUMENT;
    walk(player, rate, passes, -1, 0);
    const Course& course = player->walk;
    duration->frames = course.end;
    duration->seconds = static_cast<double>(course.end) / rate;
    duration->end_found = course.capped ? 0 : 1;
    duration->repeat_order = course.watch.repeatOrder;
    duration->repeat_row = course.watch.repeatRow;
    return OSTREL_OK;
}

ostrel_error ostrel_start(ostrel_player* player, int32_t rate) {
    if (!player || !rateSupported(rate))
        return OSTREL_ERROR_ARGUMENT;
    stopPlayback(player);
    ModulePlayer* song = player->song;
    song->globalVolumeSlideMemory = player->loadedSlideMemory;
    if (!startRenderer(&player->renderer, song, rate))
        return OSTREL_ERROR_MEMORY;
    const auto chunk = static_cast<size_t>(player->renderer.chunkFrames);
    player->scratch = static_cast<float*>(std::calloc(2 * chunk, sizeof(float)));
    player->unheard = static_cast<float*>(std::calloc(2 * chunk, sizeof(float)));
    player->play.marks = static_cast<TickMark*>(std::calloc(chunk + 1, sizeof(TickMark)));
    if (!player->scratch || !player->unheard || !player->play.marks) {
        stopPlayback(player);
        return OSTREL_ERROR_MEMORY;
    }
    player->play.markSlots = static_cast<int32_t>(chunk + 1);
    song->mutedMix = player->unheard;
    player->rate = rate;
    player->cursor = 0;
    player->previousChunk = ChunkInfo{};
    restartCourse(&player->play, player->repeat, capAt(rate));
    return OSTREL_OK;
}

ostrel_error ostrel_set_repeat(ostrel_player* player, int32_t passes) {
    if (!player || passes < 0)
        return OSTREL_ERROR_ARGUMENT;
    player->repeat = passes;
    Course& course = player->play;
    course.passes = passes;
    course.end = -1;
    course.capped = 0;
    if (player->rate == 0 || passes == 0)
        return OSTREL_OK;
    // During playback: the ticks run so far may have decided the end already. The passes ended
    // by the next frame, then each tick mixed ahead of it, as courseTick would have counted them
    // with this count from the start.
    const int32_t here = markIndexAt(course, player->cursor);
    int64_t passStart = 0;
    if (here >= 0) {
        passStart = markAt(course, here).passStart;
        if (markAt(course, here).passes >= passes) {
            course.end = player->cursor;
            return OSTREL_OK;
        }
    }
    for (int32_t index = here + 1; index < course.markCount; ++index) {
        const TickMark& mark = markAt(course, index);
        if (mark.frame - passStart > course.capFrames) {
            course.end = passStart + course.capFrames;
            course.capped = 1;
            break;
        }
        if (mark.passes >= passes) {
            course.end = mark.frame;
            break;
        }
        passStart = mark.passStart;
    }
    if (course.end >= 0 && course.end < player->cursor)
        course.end = player->cursor;
    return OSTREL_OK;
}

int32_t ostrel_render_s16(ostrel_player* player, int16_t* out, int32_t frames) {
    return renderFrames<int16_t, renderS16>(player, out, frames);
}

int32_t ostrel_render_f32(ostrel_player* player, float* out, int32_t frames) {
    return renderFrames<float, renderF32>(player, out, frames);
}

ostrel_error ostrel_get_position(const ostrel_player* player, ostrel_position* position) {
    if (!player || !position)
        return OSTREL_ERROR_ARGUMENT;
    if (player->rate == 0)
        return OSTREL_ERROR_STATE;
    const Course& course = player->play;
    // Once the passes have ended, the row is that of the last frame played, not the one the song
    // would go back to.
    int64_t frame = player->cursor;
    if (course.end > 0 && frame >= course.end)
        frame = course.end - 1;
    const int32_t rowIndex = markIndexAt(course, frame);
    const int32_t passIndex = markIndexAt(course, player->cursor);
    // Before the first tick the song stands at its start: order 0, row 0.
    const TickMark start = {};
    const TickMark& mark = rowIndex >= 0 ? markAt(course, rowIndex) : start;
    position->order = mark.order;
    position->pattern = player->song->orderTable[mark.order & 0xFF];
    position->row = mark.row;
    position->tick = mark.tick;
    position->pass = passIndex >= 0 ? markAt(course, passIndex).passes : 0;
    position->frame = player->cursor;
    position->seconds = static_cast<double>(player->cursor) / player->rate;
    return OSTREL_OK;
}

ostrel_error ostrel_get_chunk_mark(const ostrel_player* player, ostrel_chunk_mark* mark) {
    if (!player || !mark)
        return OSTREL_ERROR_ARGUMENT;
    if (player->rate == 0)
        return OSTREL_ERROR_STATE;
    // The chunk just mixed ahead holds no frame handed out yet: the last one is in the chunk
    // before it.
    const Renderer& renderer = player->renderer;
    const ChunkInfo held = player->cursor == 0       ? ChunkInfo{}
                           : renderer.readFrame == 0 ? player->previousChunk
                                                     : renderer.position;
    mark->order = held.order;
    mark->row = held.row;
    mark->clock_ms = held.timeMs;
    return OSTREL_OK;
}

int32_t ostrel_chunk_frames(int32_t rate) {
    return rateSupported(rate) ? chunkFramesAt(rate) : -1;
}

ostrel_error ostrel_seek_order(ostrel_player* player, int32_t order, int32_t row) {
    if (!player || order < 0 || row < 0)
        return OSTREL_ERROR_ARGUMENT;
    if (order >= player->song->songLength)
        return OSTREL_ERROR_ARGUMENT;
    if (player->rate == 0)
        return OSTREL_ERROR_STATE;
    // Searched within the passes playback plays, or the first pass when it plays for ever.
    walk(player, player->rate, player->repeat > 0 ? player->repeat : 1, order, row);
    if (player->walk.targetFrame < 0)
        return OSTREL_ERROR_NOT_REACHED;
    seekFrame(player, player->walk.targetFrame);
    return OSTREL_OK;
}

ostrel_error ostrel_seek_seconds(ostrel_player* player, double seconds) {
    if (!player || !(seconds >= 0))
        return OSTREL_ERROR_ARGUMENT;
    if (player->rate == 0)
        return OSTREL_ERROR_STATE;
    const double frames = std::nearbyint(seconds * player->rate);
    // Far beyond any song's passes (and 2^62 frames are 760,000 years at 192 kHz).
    if (!(frames < 4611686018427387904.0))
        return OSTREL_ERROR_ARGUMENT;
    seekFrame(player, static_cast<int64_t>(frames));
    return OSTREL_OK;
}

ostrel_error ostrel_set_mute(ostrel_player* player, int32_t channel, int32_t muted) {
    if (!channelInRange(player, channel))
        return OSTREL_ERROR_ARGUMENT;
    const uint32_t bit = uint32_t{1} << channel;
    ModulePlayer* song = player->song;
    song->mutedChannels = muted ? song->mutedChannels | bit : song->mutedChannels & ~bit;
    return OSTREL_OK;
}

int32_t ostrel_muted(const ostrel_player* player, int32_t channel) {
    if (!channelInRange(player, channel))
        return -1;
    return (player->song->mutedChannels >> channel) & 1;
}

ostrel_error ostrel_solo(ostrel_player* player, int32_t channel) {
    if (!player || (channel != -1 && !channelInRange(player, channel)))
        return OSTREL_ERROR_ARGUMENT;
    ModulePlayer* song = player->song;
    song->mutedChannels = channel == -1 ? 0 : channelMask(song) & ~(uint32_t{1} << channel);
    return OSTREL_OK;
}

} // extern "C"
