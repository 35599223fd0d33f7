// The tick step, the tick length and the playback start state. The row and order positions
// move only at a row tick, so `row` and `order` always name the row that is sounding.
#include "player/sequencer.h"

#include <cstring>

#include "player/engine.h"

namespace ostrel {

namespace {
// A zero cell for every channel: what a row outside its pattern plays.
const PatternCell emptyRow[channelStateCount] = {};
} // namespace

const Pattern* patternAt(const ModulePlayer* player, int32_t order) {
    if (order < 0 || order >= 256 || player->patterns == nullptr) {
        return nullptr;
    }
    int32_t number = player->orderTable[order];
    if (number >= player->patternSlotCount) {
        return nullptr;
    }
    return &player->patterns[number];
}

int32_t activeChannelCount(const ModulePlayer* player) {
    int32_t count = player->channelCount;
    if (count < 0) {
        return 0;
    }
    return count > channelStateCount ? channelStateCount : count;
}

const PatternCell* currentRowCells(const ModulePlayer* player) {
    const Pattern* pattern = patternAt(player, player->order);
    if (pattern == nullptr || pattern->cells == nullptr) {
        return nullptr;
    }
    // A pattern break may name a row the pattern does not have, and a pattern loop back to row
    // 0 leaves the row at -1 until the next row tick: such a row is played as an empty row.
    if (player->row < 0 || player->row >= pattern->rowCount) {
        return emptyRow;
    }
    return pattern->cells + static_cast<int64_t>(player->row) * player->channelCount;
}

void setBpm(ModulePlayer* player, int32_t bpm) {
    player->bpm = bpm;
    // Single-precision constants widened to double; the products and the quotient are formed in
    // double and the result truncated.
    double framesPerMs = static_cast<double>(0.001f) * player->outputRate;
    double frames = 0.0;
    if (bpm > 0) {
        frames = framesPerMs * (static_cast<double>(1000.0f) / (static_cast<double>(0.4f) * bpm));
    }
    // A tick of no frames would never let the renderer move on: a song with BPM 0 (or a rate
    // too low for its BPM) still advances one frame per tick.
    if (!(frames >= 1.0)) {
        player->samplesPerTick = 1;
    } else if (frames >= 2147483647.0) {
        player->samplesPerTick = 2147483647;
    } else {
        player->samplesPerTick = static_cast<int32_t>(frames);
    }
}

void resetPlaybackState(ModulePlayer* player) {
    player->row = 0;
    player->order = 0;
    player->nextRow = -1;
    player->nextOrder = -1;
    player->nextRowByLoopJump = 0;
    player->loopRestartRow = 0;
    player->samplesLeftInTick = 0;
    player->tick = 0;
    player->patternDelayTicks = 0;
    player->globalVolume = player->initialGlobalVolume;
    player->timeMs = 0;
    player->tempo = player->defaultTempo;
    setBpm(player, player->defaultBpm);
    int32_t channels = activeChannelCount(player);
    for (int32_t i = 0; i < channels; ++i) {
        std::memset(&player->channels[i], 0, sizeof(ChannelState));
        player->channels[i].voice = &player->voices[i];
    }
}

void playerTick(ModulePlayer* player) {
    if (player->tick == 0) {
        if (player->nextOrder >= 0) {
            player->order = player->nextOrder;
        }
        if (player->nextRow >= 0) {
            player->row = player->nextRow;
        }
        if (player->rowObserver) {
            player->rowObserver(player->rowObserverContext, player, player->nextRowByLoopJump);
        }
        const int32_t rowBefore = player->row;
        processRow(player);
        player->nextRowByLoopJump = 0;
        if (player->nextRow == -1) {
            // An E6x that loops moves row itself, and only when no Bxx or Dxy in the row set
            // nextRow: then the row after it is the loop's start.
            player->nextRowByLoopJump = player->row != rowBefore;
            player->nextRow = player->row + 1;
            const Pattern* pattern = patternAt(player, player->order);
            int32_t rowCount = pattern != nullptr ? pattern->rowCount : 0;
            if (player->nextRow >= rowCount) {
                player->nextRowByLoopJump = 0;
                int32_t next = player->order + 1;
                if (next >= player->songLength || next >= 256) {
                    next = player->restartPosition;
                    // A restart position outside the song would leave the order table.
                    if (next < 0 || next >= player->songLength || next >= 256) {
                        next = 0;
                    }
                }
                player->nextOrder = next;
                // After a loop has jumped, the next pattern starts at the loop's start row, once,
                // where that pattern has the row. An order naming no pattern plays 64 empty rows;
                // an E60 in a row that another channel's loop had lowered to -1 names no row.
                const Pattern* nextPattern = patternAt(player, next);
                int32_t nextRowCount = nextPattern != nullptr ? nextPattern->rowCount : 64;
                int32_t restartRow = player->loopRestartRow;
                player->nextRow = restartRow >= 0 && restartRow < nextRowCount ? restartRow : 0;
                player->loopRestartRow = 0;
            }
        } else {
            // A Bxx or Dxy sets the position itself, whichever channel the loop is in.
            player->loopRestartRow = 0;
        }
    } else {
        processTick(player);
    }
    player->tick += 1;
    if (player->tick >= player->patternDelayTicks + player->tempo) {
        player->patternDelayTicks = 0;
        player->tick = 0;
    }
}

} // namespace ostrel
