// The song-end watch: a row observer that keeps a visited set per pass, and a tick wrapper that
// counts frames the way the renderer does and applies the cap.
#include "audio/song_end.h"

#include <cstdlib>
#include <cstring>

#include "player/sequencer.h"

namespace ostrel {

namespace {

// Visited-set bit of a row, or -1 for a position outside the set (never taken for a repeat).
int64_t bitOf(const SongWatch* watch, int32_t order, int32_t row) {
    if (order < 0 || order >= watch->orderSlots || row < 0 || row >= watch->rowSlots)
        return -1;
    return static_cast<int64_t>(order) * watch->rowSlots + row;
}

size_t visitedBytes(const SongWatch* watch) {
    return (static_cast<size_t>(watch->orderSlots) * static_cast<size_t>(watch->rowSlots) + 7) / 8;
}

bool isVisited(const SongWatch* watch, int64_t bit) {
    return bit >= 0 && (watch->visited[bit >> 3] >> (bit & 7) & 1) != 0;
}

void setVisited(SongWatch* watch, int64_t bit, bool visited) {
    if (bit < 0)
        return;
    const uint8_t mask = static_cast<uint8_t>(1u << (bit & 7));
    if (visited)
        watch->visited[bit >> 3] |= mask;
    else
        watch->visited[bit >> 3] &= static_cast<uint8_t>(~mask);
}

void finish(SongWatch* watch, int64_t frame) {
    watch->endFrame = frame;
    watch->finished = 1;
}

// A pass ends at the row tick now running; order and row name the row it would repeat.
void endPass(SongWatch* watch, int32_t order, int32_t row) {
    if (watch->passesEnded == 0) {
        watch->firstPassFrames = watch->framesBeforeTick;
        watch->repeatOrder = order;
        watch->repeatRow = row;
    }
    ++watch->passesEnded;
    watch->passStartFrame = watch->framesBeforeTick;
    if (watch->passesWanted > 0 && watch->passesEnded >= watch->passesWanted)
        finish(watch, watch->framesBeforeTick);
}

void observeRow(void* context, const ModulePlayer* player, int32_t loopJump) {
    SongWatch* watch = static_cast<SongWatch*>(context);
    if (watch->finished)
        return;
    const int32_t order = player->order;
    const int32_t row = player->row;
    const int64_t bit = bitOf(watch, order, row);
    if (loopJump) {
        // The loop plays its rows again: from the loop's start to the row that jumped they
        // count as not yet played.
        if (order == watch->lastOrder) {
            for (int32_t r = row; r <= watch->lastRow; ++r)
                setVisited(watch, bitOf(watch, order, r), false);
        }
    } else if (isVisited(watch, bit)) {
        endPass(watch, order, row);
        std::memset(watch->visited, 0, visitedBytes(watch));
    }
    setVisited(watch, bit, true);
    watch->lastOrder = order;
    watch->lastRow = row;
}

void watchedTick(ModulePlayer* player) {
    SongWatch* watch = static_cast<SongWatch*>(player->rowObserverContext);
    // The renderer calls a tick once the previous one has been mixed whole. A pass that has
    // gone past its cap without an end is cut at the cap; one that ends right at it is not.
    watch->framesBeforeTick += watch->tickLength;
    if (!watch->finished && watch->capFrames > 0 &&
        watch->framesBeforeTick - watch->passStartFrame > watch->capFrames) {
        watch->capped = 1;
        finish(watch, watch->passStartFrame + watch->capFrames);
    }
    watch->engineTick(player);
    // As the renderer reads it after the tick, a tick of no frames counted as one.
    watch->tickLength = player->samplesPerTick < 1 ? 1 : player->samplesPerTick;
}

} // namespace

int32_t watchSong(SongWatch* watch, ModulePlayer* player, int32_t passesWanted, int64_t capFrames) {
    watch->orderSlots = player->songLength > 0 ? player->songLength : 1;
    // A break may name rows up to 63 in any pattern, and a loop the rows of any pattern the
    // song plays.
    int32_t rows = 64;
    for (int32_t order = 0; order < watch->orderSlots && order < 256; ++order) {
        const int32_t number = player->orderTable[order];
        if (player->patterns && number < player->patternSlotCount &&
            player->patterns[number].rowCount > rows)
            rows = player->patterns[number].rowCount;
    }
    watch->rowSlots = rows;
    watch->visited = static_cast<uint8_t*>(std::calloc(visitedBytes(watch), 1));
    if (!watch->visited)
        return 0;
    watch->engineTick = player->tickFunction ? player->tickFunction : playerTick;
    restartSongWatch(watch, passesWanted, capFrames);
    player->rowObserver = observeRow;
    player->rowObserverContext = watch;
    player->tickFunction = watchedTick;
    return 1;
}

void restartSongWatch(SongWatch* watch, int32_t passesWanted, int64_t capFrames) {
    std::memset(watch->visited, 0, visitedBytes(watch));
    watch->passesWanted = passesWanted;
    watch->capFrames = capFrames;
    watch->framesBeforeTick = 0;
    watch->tickLength = 0;
    watch->lastOrder = -1;
    watch->lastRow = -1;
    watch->passStartFrame = 0;
    watch->passesEnded = 0;
    watch->finished = 0;
    watch->capped = 0;
    watch->endFrame = -1;
    watch->firstPassFrames = -1;
    watch->repeatOrder = -1;
    watch->repeatRow = -1;
}

void unwatchSong(SongWatch* watch) {
    std::free(watch->visited);
    watch->visited = nullptr;
}

} // namespace ostrel
