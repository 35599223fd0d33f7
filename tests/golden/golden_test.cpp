// Golden checksums of xmrender's output: the built-in song and the writer's effect, volume-column
// and song-position modules on both frequency tables. Every other audio test compares the
// program with itself; these pin the bytes down, so that a speed-up or a clean-up that changes
// a single sample fails here. A checksum changes only with a deliberate change of behaviour,
// in the same commit that makes it; a failure prints the new value.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "golden_songs.h"

namespace ostrel::xmtest {
namespace {

// FNV-1a, 64 bits, over the whole WAV file.
uint64_t checksum(const std::vector<uint8_t>& bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes) {
        hash ^= b;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

struct Golden {
    const char* name;
    XmModule (*song)(); // null: the built-in song
    const char* options;
    uint64_t expected;
};

const Golden goldens[] = {
    {"builtin", nullptr, "--seconds 70", 0x58a2c46347a22082ull},
    {"effects-linear", [] { return goldenSong(1, 4, effectCells()); }, "--seconds 12",
     0xced5226cf1cf245aull},
    {"effects-amiga", [] { return goldenSong(0, 4, effectCells()); }, "--seconds 12",
     0xacbe9c585da78ed4ull},
    {"volume-column-linear", [] { return goldenSong(1, 4, volumeColumnCells()); }, "--seconds 4",
     0x197c51965f538cbcull},
    {"volume-column-amiga", [] { return goldenSong(0, 4, volumeColumnCells()); },
     "--seconds 4 --rate 48000", 0x5d01e3eea2dd2230ull},
    {"flow", [] { return flowSong(1); }, "--seconds 20", 0x0a84baece6bc4125ull},
};

void PrintTo(const Golden& golden, std::ostream* out) {
    *out << golden.name;
}

class GoldenTest : public ::testing::TestWithParam<Golden> {};

TEST_P(GoldenTest, RenderMatchesItsChecksum) {
    const Golden& golden = GetParam();
    const std::string stem =
        ::testing::TempDir() + "golden_" + golden.name + "_" + std::to_string(getpid());
    std::string song;
    if (golden.song) {
        song = stem + ".xm";
        const XmImage image = buildXm(golden.song());
        std::ofstream(song, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.bytes.data()),
                   std::streamsize(image.bytes.size()));
    }
    const std::string wav = stem + ".wav";
    const std::string command =
        std::string(XMRENDER_PATH) + " " + song + " -o " + wav + " " + golden.options + " --quiet";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::vector<uint8_t> bytes = readFile(wav);
    std::remove(wav.c_str());
    if (!song.empty())
        std::remove(song.c_str());
    ASSERT_GT(bytes.size(), 44u);
    char actual[32];
    std::snprintf(actual, sizeof actual, "0x%016" PRIx64 "ull", checksum(bytes));
    char expected[32];
    std::snprintf(expected, sizeof expected, "0x%016" PRIx64 "ull", golden.expected);
    EXPECT_STREQ(actual, expected) << golden.name << ": " << bytes.size() << " bytes";
}

std::string testName(const ::testing::TestParamInfo<Golden>& param) {
    std::string name = param.param.name;
    for (char& c : name)
        if (c == '-')
            c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Songs, GoldenTest, ::testing::ValuesIn(goldens), testName);

} // namespace
} // namespace ostrel::xmtest
