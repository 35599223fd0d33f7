// The XM writer: cell packing, delta-coded sample data and a small song written to a file and
// read back by the demo's own loader.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "module/stream.h"
#include "tools/songgen/xm_writer.h"

using namespace ostrel;
using namespace ostrel::songgen;

TEST(CellPacking, FullCellIsWrittenAsFiveRawBytes) {
    std::vector<uint8_t> out;
    packCell(Cell{49, 2, 0x40, 10, 0x0F}, out);
    EXPECT_EQ(out, (std::vector<uint8_t>{49, 2, 0x40, 10, 0x0F}));
}

TEST(CellPacking, PartialCellsUseAMaskByte) {
    std::vector<uint8_t> out;
    packCell(Cell{}, out);                       // empty: the mask alone
    packCell(Cell{keyOffNote, 0, 0, 0, 0}, out); // note only
    packCell(Cell{0, 0, 0x30, 14, 0xD1}, out);   // volume, effect and parameter
    packCell(Cell{0, 0, 0, 0, 0x37}, out);       // an arpeggio: effect 0 is left out
    EXPECT_EQ(out, (std::vector<uint8_t>{0x80, 0x81, 97, 0x9C, 0x30, 14, 0xD1, 0x90, 0x37}));
}

TEST(SampleData, EightBitFramesAreStoredAsByteDeltas) {
    SampleDesc s;
    s.bits = 8;
    s.wave = {0.5f, -0.5f, 1.0f, -2.0f}; // 64 (63.5 rounds to even), -64, 127, clamped -127
    EXPECT_EQ(quantiseFrame(0.5f, 8), 64);
    EXPECT_EQ(quantiseFrame(-2.0f, 8), -127);
    std::vector<uint8_t> data = encodeSampleData(s);
    // 64, then -128 (0x80), +191 wraps to 0xBF, -254 wraps to 0x02
    EXPECT_EQ(data, (std::vector<uint8_t>{64, 0x80, 0xBF, 0x02}));
}

TEST(SampleData, SixteenBitFramesAreStoredAsLittleEndianDeltas) {
    SampleDesc s;
    s.bits = 16;
    s.wave = {1.0f, 0.0f}; // 32767, then 0: a delta of -32767
    std::vector<uint8_t> data = encodeSampleData(s);
    EXPECT_EQ(data, (std::vector<uint8_t>{0xFF, 0x7F, 0x01, 0x80}));
}

namespace {

SongDesc tinySong() {
    SongDesc song;
    song.name = "tiny";
    song.channels = 2;
    song.tempo = 5;
    song.bpm = 140;
    song.restart = 1;
    song.order = {1, 0};
    PatternDesc empty;
    empty.rows = 4;
    empty.cells.resize(8);
    PatternDesc notes;
    notes.rows = 2;
    notes.cells = {Cell{49, 1, 0x20, 0, 0}, Cell{}, Cell{}, Cell{keyOffNote, 0, 0, 15, 0x40}};
    song.patterns = {empty, notes};
    InstrumentDesc ins;
    ins.name = "wave";
    ins.sample.bits = 16;
    ins.sample.wave = {0.0f, 0.25f, 0.5f, -0.25f, 0.0f, -0.25f};
    ins.sample.loop = Loop::pingPong;
    ins.sample.loopStart = 2;
    ins.sample.loopLength = 3;
    ins.sample.volume = 40;
    ins.sample.relativeNote = -5;
    ins.sample.panning = 200;
    ins.volume.points = {{0, 64}, {10, 32}, {20, 48}};
    ins.volume.sustain = 1;
    ins.panning.points = {{0, 32}, {8, 10}, {16, 54}};
    ins.panning.loopStart = 0;
    ins.panning.loopEnd = 2;
    ins.vibratoDepth = 7;
    ins.vibratoRate = 9;
    ins.fadeout = 300;
    song.instruments = {ins};
    return song;
}

} // namespace

TEST(XmWriter, SmallSongReadsBackThroughTheLoader) {
    std::vector<uint8_t> bytes = writeXm(tinySong());
    std::string path = testing::TempDir() + "songgen_tiny.xm";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);

    const char* reason = "";
    ModulePlayer* p = createPlayer(&fileStreamHooks, path.c_str(), nullptr, &reason);
    ASSERT_NE(p, nullptr) << reason;
    EXPECT_EQ(p->songLength, 2);
    EXPECT_EQ(p->restartPosition, 1);
    EXPECT_EQ(p->channelCount, 2);
    EXPECT_EQ(p->patternSlotCount, 2);
    EXPECT_EQ(p->flags & 1, 1);
    EXPECT_EQ(p->defaultTempo, 5);
    EXPECT_EQ(p->defaultBpm, 140);
    EXPECT_EQ(p->orderTable[0], 1);
    // The all-empty pattern is written without data and still has its rows.
    EXPECT_EQ(p->patterns[0].rowCount, 4);
    EXPECT_EQ(p->patterns[0].cells[7].note, 0);
    ASSERT_EQ(p->patterns[1].rowCount, 2);
    const PatternCell& c0 = p->patterns[1].cells[0];
    EXPECT_EQ(c0.note, 49);
    EXPECT_EQ(c0.instrument, 1);
    EXPECT_EQ(c0.volume, 0x20);
    const PatternCell& c3 = p->patterns[1].cells[3];
    EXPECT_EQ(c3.note, noteKeyOff);
    EXPECT_EQ(c3.effect, 15);
    EXPECT_EQ(c3.effectParam, 0x40);

    ASSERT_EQ(p->instrumentCount, 1);
    const Instrument& ins = p->instruments[0];
    EXPECT_EQ(ins.volumeEnvelopeFlags, envelopeOn | envelopeSustain);
    EXPECT_EQ(ins.volumeSustainPoint, 1);
    EXPECT_EQ(ins.volumeEnvelope[2].x, 20);
    EXPECT_EQ(ins.volumeEnvelope[2].y, 48);
    EXPECT_EQ(ins.panningEnvelopeFlags, envelopeOn | envelopeLoop);
    EXPECT_EQ(ins.panningLoopEndPoint, 2);
    EXPECT_EQ(ins.vibratoDepth, 7);
    EXPECT_EQ(ins.vibratoRate, 9);
    EXPECT_EQ(ins.fadeout, 600); // the loader doubles the stored value
    ASSERT_EQ(ins.sampleCount, 1);
    const Sample& s = *ins.samples[0];
    EXPECT_EQ(s.length, 6u);
    EXPECT_EQ(s.loopType, loopPingPong);
    EXPECT_EQ(s.loopStart, 2u);
    EXPECT_EQ(s.loopLength, 3u);
    EXPECT_EQ(s.volume, 40);
    EXPECT_EQ(s.relativeNote, -5);
    EXPECT_EQ(s.panning, 200);
    EXPECT_EQ(s.data[1], 8192);  // 0.25 of full scale, 16-bit
    EXPECT_EQ(s.data[3], -8192); // the deltas sum back to the frames
    EXPECT_EQ(s.data[5], 0);     // the ping-pong guard frame repeats the loop's last frame
    destroyPlayer(p);
    std::remove(path.c_str());
}

TEST(XmWriter, ByteArraySourceListsEveryByteAndTheSize) {
    std::string text = writeCppArray({1, 2, 255}, "unit test");
    EXPECT_NE(text.find("const uint8_t builtinModule[] = {\n    1, 2, 255,\n};"),
              std::string::npos);
    EXPECT_NE(text.find("const int32_t builtinModuleSize = 3;"), std::string::npos);
    EXPECT_NE(text.find("Generated by unit test"), std::string::npos);
}
