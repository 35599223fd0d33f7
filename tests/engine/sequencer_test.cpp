// Tick length, the start state and the movement of the song position: natural advance, position
// jump, pattern break, pattern loop, pattern delay and tempo.
#include <string>
#include <utility>
#include <vector>

#include "engine_fixture.h"

namespace ostrel::test {
namespace {

using Position = std::pair<int, int>; // order, row

class SequencerTest : public EngineTest {
  protected:
    // The (order, row) played by each of the next `count` row ticks: the position with any
    // pending jump applied, before an E6x in the row lowers `row`.
    std::vector<Position> rowTicks(int count) {
        std::vector<Position> seen;
        int guard = 0;
        while (static_cast<int>(seen.size()) < count && guard++ < 100000) {
            if (player.tick == 0) {
                seen.emplace_back(player.nextOrder >= 0 ? player.nextOrder : player.order,
                                  player.nextRow >= 0 ? player.nextRow : player.row);
            }
            playerTick(&player);
        }
        return seen;
    }
};

TEST_F(SequencerTest, TickLengthFollowsBpm) {
    // BPM -> frames per tick at 44,100 Hz.
    const std::pair<int, int> table[] = {{95, 1160}, {125, 882}, {32, 3445}, {255, 432}};
    for (auto [bpm, frames] : table) {
        setBpm(&player, bpm);
        EXPECT_EQ(player.bpm, bpm);
        EXPECT_EQ(player.samplesPerTick, frames) << "bpm " << bpm;
    }
}

TEST_F(SequencerTest, TickLengthIsFloorOfTwoAndAHalfRateOverBpm) {
    for (int bpm = 1; bpm <= 255; ++bpm) {
        setBpm(&player, bpm);
        EXPECT_EQ(player.samplesPerTick, 110250 / bpm) << "bpm " << bpm;
    }
}

TEST_F(SequencerTest, ZeroOrNegativeBpmStillGivesOneFramePerTick) {
    setBpm(&player, 0);
    EXPECT_EQ(player.samplesPerTick, 1);
    setBpm(&player, -20);
    EXPECT_EQ(player.samplesPerTick, 1);
    player.outputRate = 100; // 0.98 frames at BPM 255
    setBpm(&player, 255);
    EXPECT_EQ(player.samplesPerTick, 1);
}

TEST_F(SequencerTest, SongWithBpmZeroStillAdvances) {
    player.defaultBpm = 0;
    start();
    EXPECT_GE(player.samplesPerTick, 1);
    auto seen = rowTicks(3);
    EXPECT_EQ(seen[2], Position(0, 2));
}

TEST_F(SequencerTest, ResetSetsTheStartState) {
    player.row = 9;
    player.order = 3;
    player.tick = 4;
    player.globalVolume = 12;
    player.globalVolumeSlideMemory = 0x23;
    player.timeMs = 777;
    player.samplesLeftInTick = 55;
    player.patternDelayTicks = 6;
    player.channels[1].volume = 40;
    player.channels[1].vibratoSpeed = 5;
    player.channels[5].volume = 33; // beyond channelCount: untouched
    start();
    EXPECT_EQ(player.row, 0);
    EXPECT_EQ(player.order, 0);
    EXPECT_EQ(player.nextRow, -1);
    EXPECT_EQ(player.nextOrder, -1);
    EXPECT_EQ(player.tick, 0);
    EXPECT_EQ(player.samplesLeftInTick, 0);
    EXPECT_EQ(player.patternDelayTicks, 0);
    EXPECT_EQ(player.globalVolume, 64);
    EXPECT_EQ(player.timeMs, 0);
    EXPECT_EQ(player.tempo, 6);
    EXPECT_EQ(player.bpm, 125);
    EXPECT_EQ(player.samplesPerTick, 882);
    EXPECT_EQ(player.globalVolumeSlideMemory, 0x23); // deliberately kept
    EXPECT_EQ(player.channels[1].volume, 0);
    EXPECT_EQ(player.channels[1].vibratoSpeed, 0);
    EXPECT_EQ(player.channels[5].volume, 33);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(player.channels[i].voice, &player.voices[i]);
    }
}

TEST_F(SequencerTest, RowsAdvanceEveryTempoTicks) {
    start();
    ticks(6);
    EXPECT_EQ(player.row, 0);
    EXPECT_EQ(player.tick, 0);
    ticks(1);
    EXPECT_EQ(player.row, 1);
}

TEST_F(SequencerTest, TempoEffectAppliesToItsOwnRow) {
    putEffect(0, 0, 2, 15, 0x03); // F03
    start();
    auto seen = rowTicks(2);
    EXPECT_EQ(player.tempo, 3);
    EXPECT_EQ(seen[1], Position(0, 1));
    // Row 1 began on the fourth tick: tick 3 of the song is row 1's row tick.
    start();
    ticks(3);
    EXPECT_EQ(player.row, 0);
    ticks(1);
    EXPECT_EQ(player.row, 1);
}

TEST_F(SequencerTest, BpmEffectSetsTheLengthOfTheSameTick) {
    putEffect(0, 0, 0, 15, 0x20); // F20
    putEffect(0, 1, 0, 15, 0x1F); // F1F
    start();
    ticks(1);
    EXPECT_EQ(player.bpm, 32);
    EXPECT_EQ(player.samplesPerTick, 3445);
    ticks(6);
    EXPECT_EQ(player.tempo, 31);
}

TEST_F(SequencerTest, PatternDelayStretchesTheRowAndNoteCutLandsOnItsTick) {
    put(0, 0, 0, 49, 1, 0, 14, 0xCA); // note with ECA
    putEffect(0, 0, 1, 14, 0xE2);     // EE2
    start();
    int rowTickCount = 0;
    for (int t = 0; t < 18; ++t) {
        if (player.tick == 0) {
            ++rowTickCount;
        }
        playerTick(&player);
        if (t == 9) {
            EXPECT_EQ(ch(0).volume, 64) << "before tick 10";
        }
        if (t == 10) {
            EXPECT_EQ(ch(0).volume, 0) << "cut on tick 10";
        }
    }
    EXPECT_EQ(rowTickCount, 1); // 18 ticks, one row
    EXPECT_EQ(player.row, 0);
    ticks(1);
    EXPECT_EQ(player.row, 1);
}

TEST_F(SequencerTest, SongEndContinuesAtRestartPosition) {
    setRows(0, 2);
    setRows(1, 2);
    player.songLength = 2;
    player.orderTable[1] = 1;
    player.restartPosition = 1;
    start();
    auto seen = rowTicks(6);
    const std::vector<Position> expected = {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {1, 0}, {1, 1}};
    EXPECT_EQ(seen, expected);
}

TEST_F(SequencerTest, SingleOrderSongRepeatsAndRetriggers) {
    setRows(0, 2);
    put(0, 0, 0, 49, 1);
    start();
    ticks(1);
    Voice* first = ch(0).voice;
    ticks(11); // rows 0 and 1
    ticks(1);  // row 0 again: the note starts again on the partner slot
    EXPECT_EQ(player.row, 0);
    EXPECT_NE(ch(0).voice, first);
    EXPECT_EQ(ch(0).voice->positionInt, 0u);
}

TEST_F(SequencerTest, PatternBreakTargets) {
    player.songLength = 3;
    const std::pair<int, int> breaks[] = {{0x45, 45}, {0x70, 0}, {0x0F, 15}};
    for (auto [param, row] : breaks) {
        SetUp();
        player.songLength = 3;
        putEffect(0, 0, 0, 13, static_cast<uint8_t>(param));
        start();
        auto seen = rowTicks(2);
        EXPECT_EQ(seen[1], Position(1, row)) << "D" << std::hex << param;
    }
}

TEST_F(SequencerTest, PositionJumpPastSongEndGoesToStart) {
    player.songLength = 3;
    putEffect(0, 0, 0, 11, 0x05);
    start();
    auto seen = rowTicks(2);
    EXPECT_EQ(seen[1], Position(0, 0));
}

TEST_F(SequencerTest, BreakThenJumpTakesOrderFromJumpAndRowZero) {
    player.songLength = 3;
    putEffect(0, 0, 0, 13, 0x10); // D10 in channel 0
    putEffect(0, 0, 1, 11, 0x02); // B02 in channel 1
    start();
    EXPECT_EQ(rowTicks(2)[1], Position(2, 0));
}

TEST_F(SequencerTest, JumpThenBreakTakesOrderFromJumpAndRowFromBreak) {
    player.songLength = 3;
    putEffect(0, 0, 0, 11, 0x02);
    putEffect(0, 0, 1, 13, 0x10);
    start();
    EXPECT_EQ(rowTicks(2)[1], Position(2, 10));
}

TEST_F(SequencerTest, BreakAfterLastPositionWrapsToZeroNotRestart) {
    player.songLength = 2;
    player.restartPosition = 1;
    player.orderTable[1] = 1;
    putEffect(1, 0, 0, 13, 0x05);
    start();
    player.nextOrder = 1;
    auto seen = rowTicks(2);
    EXPECT_EQ(seen[0], Position(1, 0));
    EXPECT_EQ(seen[1], Position(0, 5));
}

TEST_F(SequencerTest, PatternLoopPlaysTheRangeThreeTimes) {
    putEffect(0, 4, 0, 14, 0x60);
    putEffect(0, 7, 0, 14, 0x62);
    start();
    auto seen = rowTicks(18);
    std::vector<int> rows;
    for (auto& p : seen) {
        rows.push_back(p.second);
    }
    const std::vector<int> expected = {0, 1, 2, 3, 4, 5, 6, 7, 4, 5, 6, 7, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(rows, expected);
}

// An E60 in the row from which an earlier channel's loop jumps marks that row, not the row
// before the first channel's loop start: here channel 1's loop must come back to row 3.
TEST_F(SequencerTest, LoopStartInTheRowAnotherLoopJumpsFromIsThatRow) {
    putEffect(0, 0, 0, 14, 0x60);
    putEffect(0, 3, 0, 14, 0x61); // channel 0: rows 0..3 twice
    putEffect(0, 1, 1, 14, 0x61); // channel 1: its loop ends at row 1...
    putEffect(0, 3, 1, 14, 0x60); // ...and starts at row 3, set as channel 0 jumps
    start();
    std::vector<int> rows;
    for (auto& p : rowTicks(12)) {
        rows.push_back(p.second);
    }
    const std::vector<int> expected = {0, 1, 0, 1, 2, 3, 0, 1, 3, 4, 5, 6};
    EXPECT_EQ(rows, expected);
}

TEST_F(SequencerTest, LoopBackToRowZeroHoldsMinusOneUntilTheNextRowTick) {
    putEffect(0, 0, 0, 14, 0x60);
    putEffect(0, 1, 0, 14, 0x61);
    put(0, 1, 1, 0, 0, 0, 4, 0x48); // a vibrato in the looping row
    start();
    ticks(7); // row 1's row tick
    EXPECT_EQ(player.row, -1);
    ticks(5); // its later ticks read no cells outside the pattern
    EXPECT_EQ(player.row, -1);
    ticks(1);
    EXPECT_EQ(player.row, 0);
}

TEST_F(SequencerTest, JumpInTheRowOfALoopWins) {
    player.songLength = 2;
    player.orderTable[1] = 1;
    putEffect(0, 2, 0, 14, 0x60);
    putEffect(0, 3, 0, 14, 0x62);
    putEffect(0, 3, 1, 13, 0x00);
    start();
    auto seen = rowTicks(4);
    EXPECT_EQ(seen[3], Position(0, 3));
    EXPECT_EQ(player.row, 1);                  // E62 lowered the row...
    EXPECT_EQ(rowTicks(1)[0], Position(1, 0)); // ...but the break decided where to go
}

struct ObservedRow {
    int order;
    int row;
    int loopJump;
    bool operator==(const ObservedRow&) const = default;
};

void recordRow(void* context, const ModulePlayer* player, int32_t loopJump) {
    static_cast<std::vector<ObservedRow>*>(context)->push_back(
        ObservedRow{player->order, player->row, loopJump});
}

// The row observer sees every row tick's row once its jump is applied, and is told which rows a
// pattern loop jumped back to: not the loop's other rows, not a break's target, and not a loop
// that a jump in the same row overrode.
TEST_F(SequencerTest, RowObserverSeesEachRowAndWhetherALoopJumpedToIt) {
    player.songLength = 2;
    player.orderTable[1] = 1;
    player.defaultTempo = 2;
    setRows(1, 4);
    putEffect(0, 0, 0, 14, 0x60); // loop from row 0, where row drops to -1 when it jumps
    putEffect(0, 2, 0, 14, 0x62);
    putEffect(0, 3, 0, 13, 0x02); // break to row 2 of order 1
    putEffect(1, 3, 0, 11, 0x00); // jump to order 0...
    putEffect(1, 3, 1, 14, 0x61); // ...which wins over this loop
    std::vector<ObservedRow> seen;
    player.rowObserver = recordRow;
    player.rowObserverContext = &seen;
    start();
    ticks(13 * 2);
    const std::vector<ObservedRow> expected = {
        {0, 0, 0}, {0, 1, 0}, {0, 2, 0},            // first time through the loop
        {0, 0, 1}, {0, 1, 0}, {0, 2, 0},            // second
        {0, 0, 1}, {0, 1, 0}, {0, 2, 0}, {0, 3, 0}, // third, then the break
        {1, 2, 0}, {1, 3, 0},                       // the jump overrides E61
        {0, 0, 0},
    };
    EXPECT_EQ(seen, expected);
}

// F00 does nothing: the tempo stays, and an F00 in either channel leaves the other's F03 be.
TEST_F(SequencerTest, SpeedZeroDoesNothing) {
    const struct {
        uint8_t first, second;
        int tempo;
    } table[] = {{0x00, 0x00, 6}, {0x03, 0x00, 3}, {0x00, 0x03, 3}};
    for (const auto& row : table) {
        SetUp();
        putEffect(0, 0, 0, 15, row.first);
        putEffect(0, 0, 1, 15, row.second);
        start();
        ticks(row.tempo);
        EXPECT_EQ(player.tempo, row.tempo);
        EXPECT_EQ(player.row, 0) << "F" << int(row.first) << " F" << int(row.second);
        ticks(1);
        EXPECT_EQ(player.row, 1);
    }
}

// After a pattern loop has jumped, the next pattern reached by running off the end starts at
// the loop's start row, once; a Bxx or Dxy after the loop or in its row (from an earlier
// channel), or a pattern without that row, starts it at row 0. Orders 0, 1, 2 of 8 rows, the
// restart position 1, the loop in channel 1 and the other effect in channel 0 of its pattern;
// "order.row" where the song enters each of its first four orders.
TEST_F(SequencerTest, LoopStartRowCarriesIntoTheNextPattern) {
    const struct {
        const char* name;
        int pattern, start, end, rows1, row;
        uint8_t effect, param;
        const char* entries;
    } table[] = {
        {"at the end", 0, 4, 7, 8, 0, 0, 0, "0.0 1.4 2.0 1.0"},
        {"mid-pattern", 0, 2, 4, 8, 0, 0, 0, "0.0 1.2 2.0 1.0"},
        {"then D00", 0, 2, 4, 8, 6, 13, 0x00, "0.0 1.0 2.0 1.0"},
        {"then D05", 0, 2, 4, 8, 6, 13, 0x05, "0.0 1.5 2.0 1.0"},
        {"then B02", 0, 2, 4, 8, 6, 11, 0x02, "0.0 2.0 1.0 2.0"},
        {"D03 in the loop's row", 0, 2, 4, 8, 4, 13, 0x03, "0.0 1.3 2.0 1.0"},
        {"next too short", 0, 4, 7, 4, 0, 0, 0, "0.0 1.0 2.0 1.0"},
        {"next just long enough", 0, 4, 7, 5, 0, 0, 0, "0.0 1.4 2.0 1.0"},
        {"wrap to the restart", 2, 3, 5, 8, 0, 0, 0, "0.0 1.0 2.0 1.3"},
    };
    for (const auto& row : table) {
        SetUp();
        player.songLength = 3;
        player.restartPosition = 1;
        player.orderTable[1] = 1;
        player.orderTable[2] = 2;
        setRows(0, 8);
        setRows(1, row.rows1);
        setRows(2, 8);
        putEffect(row.pattern, row.start, 1, 14, 0x60);
        putEffect(row.pattern, row.end, 1, 14, 0x61);
        putEffect(row.pattern, row.row, 0, row.effect, row.param);
        start();
        std::string entries;
        int order = -1, count = 0;
        for (const Position& at : rowTicks(40)) {
            if (at.first != order && count++ < 4) {
                entries += std::to_string(at.first) + "." + std::to_string(at.second);
                entries += count < 4 ? " " : "";
            }
            order = at.first;
        }
        EXPECT_EQ(entries, row.entries) << row.name;
    }
}

TEST_F(SequencerTest, BreakIntoShorterPatternPlaysEmptyRowsThenMovesOn) {
    player.songLength = 3;
    player.orderTable[1] = 1;
    player.orderTable[2] = 2;
    setRows(1, 16);
    putEffect(0, 0, 0, 13, 0x40); // row 40 of a 16-row pattern
    start();
    auto seen = rowTicks(3);
    EXPECT_EQ(seen[1], Position(1, 40));
    EXPECT_EQ(seen[2], Position(2, 0));
}

TEST_F(SequencerTest, MissingPatternNumberIsSkipped) {
    player.songLength = 2;
    player.orderTable[0] = 200; // beyond the pattern slots
    player.orderTable[1] = 1;
    start();
    auto seen = rowTicks(2);
    EXPECT_EQ(seen[0], Position(0, 0));
    EXPECT_EQ(seen[1], Position(1, 0));
}

TEST_F(SequencerTest, RestartPositionOutsideTheSongFallsBackToZero) {
    setRows(0, 1);
    player.songLength = 1;
    player.restartPosition = 9;
    start();
    auto seen = rowTicks(3);
    EXPECT_EQ(seen[2], Position(0, 0));
}

TEST_F(SequencerTest, PatternWithoutCellsDoesNothingButAdvances) {
    setRows(0, 2);
    patterns[0].cells = nullptr;
    start();
    auto seen = rowTicks(3);
    EXPECT_EQ(seen[1], Position(0, 1));
    EXPECT_EQ(seen[2], Position(0, 0));
}

} // namespace
} // namespace ostrel::test
