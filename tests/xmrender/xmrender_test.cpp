// xmrender against the demo's own playback path: the WAV data must be the bytes the device
// would play from the ring, chunk after chunk, as the audio thread refills it; the positions
// file must hold each chunk's ChunkInfo; bad songs and bad command lines end with their codes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "audio/output.h"
#include "module/stream.h"
#include "platform/headless/headless_audio.h"
#include "test_song.h"
#include "tool_run.h"
#include "tests/support/xm_writer.h"

namespace ostrel::testing {
namespace {

struct Played {
    std::vector<int16_t> samples;
    std::vector<ChunkInfo> infos;
};

// The demo's way: pre-render, hand the ring to the device, and let the audio thread refill each
// chunk the device leaves. The device is moved 50 chunks at a time; after each move the chunks
// just refilled are the next ones in play order.
Played playLikeTheDemo(const std::string& path, int32_t chunks) {
    Played played;
    platform::headlessSetThreadsEnabled(1);
    platform::headlessAudioSetOpenResult(0);
    EXPECT_EQ(openAudio(44100), 1);
    const char* reason = "";
    ModulePlayer* player = createPlayer(&fileStreamHooks, path.c_str(), nullptr, &reason);
    EXPECT_NE(player, nullptr) << reason;
    if (!player)
        return played;
    EXPECT_EQ(startPlayback(player), 1);
    const int16_t* ring = platform::headlessAudioRing();
    const size_t chunkSamples = size_t(chunkFrames) * 2;
    auto take = [&](int32_t k) {
        played.samples.insert(played.samples.end(), ring + k * chunkSamples,
                              ring + (k + 1) * chunkSamples);
        played.infos.push_back(loadChunkInfo(&chunkInfos[k]));
    };
    for (int32_t k = 0; k < 100 && k < chunks; ++k)
        take(k);
    int32_t given = 100;
    while (given < chunks) {
        const int32_t batch = chunks - given < 50 ? chunks - given : 50;
        const int32_t from = writeIndex.load();
        const int32_t target = (audibleIndex.load() + batch) % 100;
        platform::headlessAudioAdvance(uint32_t(batch * chunkFrames * 4));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (audibleIndex.load() != target && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(audibleIndex.load(), target);
        for (int32_t i = 0; i < batch; ++i)
            take((from + i) % 100);
        given += batch;
    }
    destroyPlayer(player);
    closeAudio();
    return played;
}

class XmrenderTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        songPath = new std::string(scratch("song.xm"));
        ASSERT_TRUE(xmtest::writeTestSong(*songPath, 4));
    }
    static void TearDownTestSuite() {
        std::remove(songPath->c_str());
        delete songPath;
    }
    static std::string* songPath;
};
std::string* XmrenderTest::songPath = nullptr;

// 6 s at 44,100 Hz: 264,600 frames, 299.3 chunks of 884, so 300 whole chunks (three laps).
constexpr int32_t sixSecondChunks = 300;

TEST_F(XmrenderTest, WavDataIsWhatTheDemoRingPlays) {
    const std::string wav = scratch("six.wav");
    const ToolRun run = runTool(*songPath + " -o " + wav + " --seconds 6");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string bytes = readFile(wav);
    ASSERT_EQ(bytes.size(), 44u + sixSecondChunks * 884u * 4);
    const Played demo = playLikeTheDemo(*songPath, sixSecondChunks);
    ASSERT_EQ(demo.samples.size(), size_t(sixSecondChunks) * 884 * 2);
    int32_t firstDifferentChunk = -1;
    bool heard = false;
    for (size_t i = 0; i < demo.samples.size(); ++i) {
        const auto low = uint8_t(bytes[44 + 2 * i]);
        const auto high = uint8_t(bytes[44 + 2 * i + 1]);
        const auto sample = int16_t(uint16_t(low | high << 8));
        heard = heard || sample != 0;
        if (sample != demo.samples[i]) {
            firstDifferentChunk = int32_t(i / (884 * 2));
            break;
        }
    }
    EXPECT_EQ(firstDifferentChunk, -1);
    EXPECT_TRUE(heard) << "the song rendered as silence";
    std::remove(wav.c_str());
}

TEST_F(XmrenderTest, PositionsAreTheChunkInfos) {
    const std::string wav = scratch("pos.wav");
    const std::string positions = scratch("pos.txt");
    const ToolRun run =
        runTool(*songPath + " -o " + wav + " --seconds 6 --positions " + positions + " --quiet");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Played demo = playLikeTheDemo(*songPath, sixSecondChunks);
    std::ifstream lines(positions);
    int32_t chunk = 0;
    int order = 0, row = 0, timeMs = 0;
    std::string seconds;
    while (lines >> order >> row >> timeMs >> seconds) {
        ASSERT_LT(chunk, sixSecondChunks);
        const ChunkInfo info = demo.infos[chunk]; // copied: packed fields bind no reference
        const int32_t infoTimeMs = info.timeMs;
        EXPECT_EQ(order, info.order) << chunk;
        EXPECT_EQ(row, info.row) << chunk;
        EXPECT_EQ(timeMs, infoTimeMs) << chunk;
        // the exact time of the chunk's end, from the frames, to the microsecond
        char exact[32];
        std::snprintf(exact, sizeof exact, "%.6f", (chunk + 1) * 884 / 44100.0);
        EXPECT_EQ(seconds, exact) << chunk;
        ++chunk;
    }
    EXPECT_EQ(chunk, sixSecondChunks);
    // 265,200 frames are 6013.6 ms; the song clock truncates every piece between ticks, at most
    // three pieces a chunk at these tempos, so it lands a little below but not far
    EXPECT_LE(demo.infos.back().timeMs, 6013);
    EXPECT_GT(demo.infos.back().timeMs, 6013 - 3 * sixSecondChunks);
    std::remove(wav.c_str());
    std::remove(positions.c_str());
}

TEST_F(XmrenderTest, WavHeaderDescribesWholeChunksOfStereo16Bit) {
    const std::string wav = scratch("header.wav");
    // 1 s at 22,050 Hz: 444-frame chunks, 49.7 of them, so 50: 22,200 frames
    const ToolRun run = runTool(*songPath + " -o " + wav + " --seconds 1 --rate 22050");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string bytes = readFile(wav);
    ASSERT_EQ(bytes.size(), 44u + 22200u * 4);
    auto u32 = [&](size_t at) {
        return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
               uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
    };
    auto u16 = [&](size_t at) {
        return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8;
    };
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(u32(4), 36u + 22200u * 4);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(u32(16), 16u);
    EXPECT_EQ(u16(20), 1u); // PCM
    EXPECT_EQ(u16(22), 2u); // stereo
    EXPECT_EQ(u32(24), 22050u);
    EXPECT_EQ(u32(28), 22050u * 4);
    EXPECT_EQ(u16(32), 4u);
    EXPECT_EQ(u16(34), 16u);
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(u32(40), 22200u * 4);
    std::remove(wav.c_str());
}

TEST_F(XmrenderTest, MissingSongExits2NamingIt) {
    const std::string missing = scratch("no_such_song.xm");
    const ToolRun run = runTool(missing + " -o " + scratch("never.wav"));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find(missing), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
}

TEST_F(XmrenderTest, RejectedSongExits2WithTheLoadersReason) {
    const std::string bogus = scratch("not_a_song.xm");
    {
        std::ofstream file(bogus, std::ios::binary);
        file << "this is plain text and no tracker module at all, just words";
    }
    const char* why = "";
    ASSERT_EQ(createPlayer(&fileStreamHooks, bogus.c_str(), nullptr, &why), nullptr);
    const std::string reason = why;
    ASSERT_FALSE(reason.empty());
    const ToolRun run = runTool(bogus + " -o " + scratch("never.wav"));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "xmrender: " + bogus + ": " + reason + "\n");
    std::remove(bogus.c_str());
}

TEST_F(XmrenderTest, UsageErrorsExit1) {
    const std::string out = scratch("never.wav");
    std::remove(out.c_str());
    const std::string cases[] = {
        "",                                     // no output
        "--rate 44100",                         // still no output
        "-o",                                   // output without a name
        "-o " + out + " --seconds 0",           // nothing to render
        "-o " + out + " --seconds -3",          //
        "-o " + out + " --seconds ten",         //
        "-o " + out + " --rate 999",            // below the lowest rate
        "-o " + out + " --rate 48k",            //
        "-o " + out + " --frobnicate",          // unknown option
        "a.xm b.xm -o " + out,                  // two songs
        "-o " + out + " --loops 0",             // no pass
        "-o " + out + " --loops 2x",            //
        "-o " + out + " --loops 2 --seconds 5", // two lengths
        "-o " + out + " --loop",                // endless, but only live
        "--info -o " + out,                     // --info renders nothing
        "--info --loops 2",                     //
        "--play -o " + out,                     // --play writes no file
        "--play --seconds 3",                   //
        "--play --loop --loops 2",              // two lengths
        "-o " + out + " --float -o x.flac",     // FLAC is 16-bit
        "-o " + out + " --quiet=yes",           // a flag takes no value
        "--output=",                            // an empty name
        "-o=" + out,                            // "=" joins only long names
        "-- -o " + out,                         // after "--", -o is a song's name
        "a.xm b.xm",                            // several songs go with -d
        "a.xm b.xm -o " + out,                  //
        "-d dir",                               // -d takes songs
        "a.xm -d dir --positions p.txt",        // --positions goes with -o
        "a.xm -d dir -o " + out,                //
    };
    for (const std::string& arguments : cases) {
        const ToolRun run = runTool(arguments);
        EXPECT_EQ(run.exitCode, 1) << arguments;
        EXPECT_EQ(run.err.rfind("xmrender: ", 0), 0u) << arguments;
    }
    std::ifstream probe(out);
    EXPECT_FALSE(probe.good()) << "a usage error writes no output";
}

TEST_F(XmrenderTest, HelpExplainsEveryOption) {
    const ToolRun run = runTool("--help");
    EXPECT_EQ(run.exitCode, 0);
    for (const char* option :
         {"FILE.xm", "-o OUT.wav", "standard output", "--loops N", "--seconds", "--rate",
          "--positions", "--quiet", "order row timeMs seconds", "--info", "--play", "--loop ",
          "q, Escape or Ctrl-C", "30 minutes", "4 no sound device"})
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
    // the command line's forms, the real limits, the formats and several songs
    for (const char* option :
         {"--version", "--rate=48000", "end of the options", "24,347 s", "22,369 s", "--float",
          ".flac", "12,173 s", "-d, --output-dir", "the first that failed", "--start POS",
          "--mute CH", "--solo CH", "--stems DIR", "--json", "Space pauses", "n plays the next"})
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
}

// The test song ends where it wraps after its fourth order: each 64-row pattern is half at
// BPM 95 and half at BPM 131, 6 ticks a row, 32 * 6 * (1160 + 841) = 384,192 frames, so one
// pass is 1,536,768 frames. The song-length renders are the --seconds render cut there; a second
// pass is as long as the first (the restart position is 0).
TEST_F(XmrenderTest, SongLengthRendersAreTheSecondsRenderCutAtTheEnd) {
    constexpr uint32_t passFrames = 4 * 32 * 6 * (1160 + 841);
    const std::string longer = scratch("seconds.wav");
    ASSERT_EQ(runTool(*songPath + " -o " + longer + " --seconds 75 --quiet").exitCode, 0);
    const std::string seconds = readFile(longer);
    const struct {
        const char* options;
        uint32_t frames;
    } table[] = {{"", passFrames}, {"--loops 1", passFrames}, {"--loops 2", 2 * passFrames}};
    for (const auto& row : table) {
        const std::string wav = scratch("song.wav");
        const ToolRun run = runTool(*songPath + " -o " + wav + " " + row.options);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "") << "no progress off a terminal";
        const std::string bytes = readFile(wav);
        ASSERT_EQ(bytes.size(), 44u + row.frames * 4) << row.options;
        EXPECT_EQ(bytes.substr(44), seconds.substr(44, row.frames * 4)) << row.options;
        // the header's sizes follow the cut, not whole chunks
        uint32_t dataSize = 0;
        std::memcpy(&dataSize, bytes.data() + 40, 4); // little-endian, as the host
        EXPECT_EQ(dataSize, row.frames * 4) << row.options;
        std::remove(wav.c_str());
    }
    std::remove(longer.c_str());
}

TEST_F(XmrenderTest, DashWritesTheSameWavToStandardOutput) {
    const std::string wav = scratch("file.wav");
    ASSERT_EQ(runTool(*songPath + " -o " + wav).exitCode, 0);
    const ToolRun run = runTool(*songPath + " -o -");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, readFile(wav));
    std::remove(wav.c_str());
}

std::string writeModule(const std::string& name, const xmtest::XmModule& module) {
    const std::string path = scratch(name);
    EXPECT_TRUE(xmtest::writeXmFile(path, module));
    return path;
}

// --info tells the header's texts and counts and the song's start settings, and its duration
// from the song-end search, as the loop-start row makes it: orders 0, 1, 1 of 8 rows at 4 ticks
// and BPM 100 (1102 frames a tick). Pattern 1 loops rows 2-5 twice: order 0 plays 8 rows,
// order 1 rows 0-5, 2-5, 6-7 (12), order 2 starts at the loop's row 2 and loops again: 2-5,
// 2-5, 6-7 (10). The wrap to restart position 2 also starts at row 2, already played: 30 rows,
// 30 * 4 * 1102 = 132,240 frames, 2.999 s at 44,100 Hz. From row 0 it would be 32 rows.
TEST_F(XmrenderTest, InfoTellsTheSongsFields) {
    xmtest::XmModule module;
    module.name = "Field Test  "; // padded with blanks, the tracker name with zeros
    module.tracker = "FastTracker v2.00";
    module.channels = 40; // more than are played
    module.songLength = 3;
    module.restartPosition = 2;
    module.flags = 0;
    module.tempo = 4;
    module.bpm = 100;
    module.orderTable = {0, 1, 1};
    module.patterns.resize(2);
    for (auto& pattern : module.patterns)
        pattern.rows = 8;
    module.patterns[1].cells.resize(8 * 40);
    module.patterns[1].cells[2 * 40] = {0, 0, 0, 0xE, 0x60};
    module.patterns[1].cells[5 * 40] = {0, 0, 0, 0xE, 0x61};
    module.instruments.resize(3);
    module.instruments[0].samples = {xmtest::XmSample::eightBit({1}),
                                     xmtest::XmSample::eightBit({3})};
    module.instruments[2].samples = {xmtest::XmSample::sixteen({4, 5, 6})};
    const std::string path = writeModule("fields.xm", module);
    const ToolRun run = runTool(path + " --info");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "Title: Field Test\n"
                       "Tracker: FastTracker v2.00\n"
                       "Channels: 40 (the first 32 are played)\n"
                       "Patterns: 2\n"
                       "Song length: 3 orders\n"
                       "Restart position: 2\n"
                       "Instruments: 3\n"
                       "Samples: 3\n"
                       "Tempo: 4 ticks per row\n"
                       "BPM: 100\n"
                       "Frequencies: Amiga\n"
                       "End: goes back to order 2, row 2\n"
                       "Duration: 2.999 s\n");
    std::remove(path.c_str());
}

// A song that would play for hours before a row comes round again (256 orders of 64 rows of
// 31 ticks at BPM 32, 2.4 s a row) is cut at 30 minutes, with a one-line warning.
TEST_F(XmrenderTest, SongWithoutAnEndWithinThirtyMinutesStopsThere) {
    xmtest::XmModule module;
    module.songLength = 256;
    module.tempo = 31;
    module.bpm = 32;
    const std::string path = writeModule("endless.xm", module);
    const ToolRun run = runTool(path + " --info");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("End: none found within 30 minutes\nDuration: 1800.000 s\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.err,
              "xmrender: warning: " + path + ": no end found within 30 minutes; stopping there\n");
    std::remove(path.c_str());
}

// Live playback refuses what rendering refuses, with the same words and codes, and says so in
// one line when there is no sound device.
TEST_F(XmrenderTest, PlayReportsBadSongsAndAMissingDevice) {
    const std::string bogus = scratch("not_a_song.xm");
    std::ofstream(bogus, std::ios::binary) << "plain text, no module";
    const ToolRun rendered = runTool(bogus + " -o " + scratch("never.wav"));
    const ToolRun played = runTool(bogus + " --play");
    EXPECT_EQ(played.exitCode, 2);
    EXPECT_EQ(played.exitCode, rendered.exitCode);
    EXPECT_EQ(played.err, rendered.err);
    // Each song that cannot play is told in its line and passed; the status is the first's. No
    // song plays, so no device is opened.
    const std::string missing = scratch("missing.xm");
    const ToolRun both = runTool(missing + " " + bogus + " --play");
    EXPECT_EQ(both.exitCode, 2);
    EXPECT_EQ(both.err, "xmrender: " + missing + ": No such file or directory\n" + played.err);
    const ToolRun channel = runTool("--play --mute 30 --quiet");
    EXPECT_EQ(channel.exitCode, 1);
    EXPECT_EQ(channel.err.rfind("xmrender: built-in song: channel 30 is not in the song", 0), 0u)
        << channel.err;
    // SDL's own reason follows, naming the driver it was asked for
    const ToolRun noDevice = runTool("--play --quiet", "SDL_AUDIODRIVER=no_such_driver");
    EXPECT_EQ(noDevice.exitCode, 4);
    EXPECT_EQ(noDevice.err.rfind("xmrender: no sound device could be opened: ", 0), 0u)
        << noDevice.err;
    EXPECT_NE(noDevice.err.find("no_such_driver"), std::string::npos) << noDevice.err;
    EXPECT_EQ(noDevice.err.find('\n'), noDevice.err.size() - 1) << noDevice.err;
    std::remove(bogus.c_str());
}

} // namespace
} // namespace ostrel::testing
