// The committed built-in song: it is exactly what the generator writes today, it fits its
// budget, and the demo's loader reads it as the song it was composed to be.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "assets/assets.h"
#include "module/stream.h"
#include "tools/songgen/instruments.h"
#include "tools/songgen/song.h"
#include "tools/songgen/xm_writer.h"

using namespace ostrel;
using namespace ostrel::songgen;

namespace {

std::vector<uint8_t> readFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    uint8_t buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    return bytes;
}

std::vector<uint8_t> generate() {
    SongDesc song;
    std::string error;
    EXPECT_TRUE(buildSong(song, error)) << error;
    return writeXm(song);
}

ModulePlayer* loadBuiltin() {
    const char* reason = "";
    ModulePlayer* player = createPlayer(&memoryStreamHooks, "music.xm", nullptr, &reason);
    EXPECT_NE(player, nullptr) << reason;
    return player;
}

} // namespace

TEST(BuiltinSong, GeneratingTwiceGivesTheSameBytes) {
    EXPECT_EQ(generate(), generate());
}

TEST(BuiltinSong, CommittedAssetsAreTheGeneratorsOutput) {
    std::vector<uint8_t> fresh = generate();
    std::vector<uint8_t> builtin(builtinModule, builtinModule + builtinModuleSize);
    EXPECT_EQ(builtin, fresh) << "run songgen assets/ostrel.xm assets/builtin_module.cpp";
    EXPECT_EQ(readFile(OSTREL_SOURCE_DIR "/assets/ostrel.xm"), fresh);
    std::vector<uint8_t> cpp = readFile(OSTREL_SOURCE_DIR "/assets/builtin_module.cpp");
    std::string expected = writeCppArray(fresh, "tools/songgen");
    EXPECT_EQ(std::string(cpp.begin(), cpp.end()), expected);
}

TEST(BuiltinSong, GeneratorRunIntoATempDirRecreatesTheCommittedFiles) {
    std::string xm = testing::TempDir() + "songgen_out.xm";
    std::string cpp = testing::TempDir() + "songgen_out.cpp";
    std::string command = std::string(SONGGEN_PATH) + " " + xm + " " + cpp + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(readFile(xm), readFile(OSTREL_SOURCE_DIR "/assets/ostrel.xm"));
    EXPECT_EQ(readFile(cpp), readFile(OSTREL_SOURCE_DIR "/assets/builtin_module.cpp"));
    EXPECT_FALSE(readFile(xm).empty());
    std::remove(xm.c_str());
    std::remove(cpp.c_str());
}

TEST(BuiltinSong, StaysUnder32KiB) {
    EXPECT_LT(builtinModuleSize, 32 * 1024);
}

TEST(BuiltinSong, LoadsWithItsStructure) {
    ModulePlayer* p = loadBuiltin();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->channelCount, channelTotal);
    EXPECT_GE(p->channelCount, 8);
    EXPECT_LE(p->channelCount, 16);
    EXPECT_EQ(p->songLength, 8);
    EXPECT_EQ(p->restartPosition, 1);
    EXPECT_EQ(p->patternSlotCount, 8);
    EXPECT_EQ(p->instrumentCount, instrumentTotal);
    EXPECT_EQ(p->flags & flagLinearFrequencies, flagLinearFrequencies);
    EXPECT_EQ(p->defaultTempo, 6);
    EXPECT_EQ(p->defaultBpm, 125);
    for (int pos = 0; pos < 8; ++pos)
        EXPECT_EQ(p->orderTable[pos], pos);
    const int rows[8] = {64, 64, 64, 64, 64, 64, 48, 56};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(p->patterns[k].rowCount, rows[k]) << "pattern " << k;
        EXPECT_NE(p->patterns[k].cells, nullptr);
    }
    // The theme's first row: kick with the tempo reset to 125 BPM for the loop, crash on fx.
    const PatternCell* theme = p->patterns[1].cells;
    EXPECT_EQ(theme[chKick].note, 49);
    EXPECT_EQ(theme[chKick].instrument, insKick);
    EXPECT_EQ(theme[chKick].effect, 15);
    EXPECT_EQ(theme[chKick].effectParam, 125);
    EXPECT_EQ(theme[chFx].instrument, insCrash);
    destroyPlayer(p);
}

TEST(BuiltinSong, InstrumentsUseLoopsEnvelopesAndVibrato) {
    ModulePlayer* p = loadBuiltin();
    ASSERT_NE(p, nullptr);
    auto ins = [&](int number) -> const Instrument& { return p->instruments[number - 1]; };
    for (int k = 1; k <= instrumentTotal; ++k)
        ASSERT_EQ(ins(k).sampleCount, 1) << "instrument " << k;
    // The pad: ping-pong loop, looping volume and panning envelopes, slow fade-out.
    EXPECT_EQ(ins(insPad).samples[0]->loopType, loopPingPong);
    EXPECT_EQ(ins(insPad).volumeEnvelopeFlags, envelopeOn | envelopeLoop);
    EXPECT_EQ(ins(insPad).panningEnvelopeFlags, envelopeOn | envelopeLoop);
    EXPECT_GT(ins(insPad).fadeout, 0);
    // Lead and bass hold on a sustain point until key-off, then fade.
    EXPECT_EQ(ins(insLead).volumeEnvelopeFlags, envelopeOn | envelopeSustain);
    EXPECT_EQ(ins(insBass).volumeEnvelopeFlags, envelopeOn | envelopeSustain);
    EXPECT_GT(ins(insLead).fadeout, 0);
    EXPECT_GT(ins(insLead).vibratoDepth, 0);
    EXPECT_GT(ins(insLead).vibratoSweep, 0);
    // The drums loop a short tail and let the envelope end them.
    EXPECT_EQ(ins(insKick).samples[0]->loopType, loopForward);
    EXPECT_EQ(ins(insSnare).samples[0]->loopType, loopForward);
    EXPECT_EQ(ins(insKick).volumeEnvelope[ins(insKick).volumeEnvelopePointCount - 1].y, 0);
    destroyPlayer(p);
}

TEST(BuiltinSong, MixesEightAndSixteenBitSamples) {
    SongDesc song;
    std::string error;
    ASSERT_TRUE(buildSong(song, error)) << error;
    int eight = 0;
    int sixteen = 0;
    for (const InstrumentDesc& ins : song.instruments)
        (ins.sample.bits == 16 ? sixteen : eight) += 1;
    EXPECT_GT(eight, 0);
    EXPECT_GT(sixteen, 0);
}

TEST(BuiltinSong, EchoFollowsTheLeadThreeRowsLater) {
    SongDesc song;
    std::string error;
    ASSERT_TRUE(buildSong(song, error)) << error;
    const PatternDesc& theme = song.patterns[1];
    int checked = 0;
    for (int r = 0; r + 3 < theme.rows; ++r) {
        const Cell& lead = theme.cells[static_cast<size_t>(r * song.channels + chLead)];
        const Cell& echo = theme.cells[static_cast<size_t>((r + 3) * song.channels + chEcho)];
        EXPECT_EQ(echo.note, lead.note) << "row " << r;
        if (lead.instrument) {
            EXPECT_EQ(echo.instrument, insEcho);
            ++checked;
        }
    }
    EXPECT_GT(checked, 10);
}
