// Channels through the real program: --stems writes one float WAV per channel that sounds, and
// those stems, added frame by frame, are the float mix; --mute and --solo leave out exactly the
// channels they name, counted from 1.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "test_song.h"
#include "tool_run.h"

namespace ostrel::testing {
namespace {

// The samples of a float WAV's data chunk (full scale +-1.0).
std::vector<float> floatSamples(const std::string& wav) {
    size_t at = 12;
    while (at + 8 <= wav.size()) {
        uint32_t size = 0;
        std::memcpy(&size, wav.data() + at + 4, 4);
        if (wav.compare(at, 4, "data") == 0) {
            std::vector<float> samples(size / 4);
            std::memcpy(samples.data(), wav.data() + at + 8, samples.size() * 4);
            return samples;
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

// The sum of some channels' stems, against a mix; the largest difference. Each stem and the mix
// round the same voices' sums differently, so they agree to float rounding, far below one step
// of 16 bits (1 / 32768).
float largestDifference(const std::vector<float>& mix, const std::vector<std::vector<float>>& stems,
                        const std::vector<int>& channels) {
    float largest = 0;
    for (size_t i = 0; i < mix.size(); ++i) {
        float sum = 0;
        for (const int channel : channels)
            sum += stems[size_t(channel - 1)].at(i);
        largest = std::fmax(largest, std::fabs(sum - mix[i]));
    }
    return largest;
}

TEST(Channels, StemsAddUpToTheMixAndMutesLeaveOutTheirChannels) {
    ScratchDir dir;
    ASSERT_TRUE(xmtest::writeTestSong(dir / "song.xm", 4));
    ToolRun run = runTool("song.xm --seconds 4 --float -o mix.wav --stems stems", "", dir.dir);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<float> mix = floatSamples(readFile(dir / "mix.wav"));
    ASSERT_EQ(mix.size(), 2u * 44200 * 4);
    std::vector<std::vector<float>> stems;
    for (const char* name : {"song-ch01.wav", "song-ch02.wav", "song-ch03.wav", "song-ch04.wav"}) {
        stems.push_back(floatSamples(readFile(dir / (std::string("stems/") + name))));
        ASSERT_EQ(stems.back().size(), mix.size()) << name;
    }
    EXPECT_LT(largestDifference(mix, stems, {1, 2, 3, 4}), 1e-6f);
    // Each stem has a sound of its own: a stem of the whole mix, or of silence, would pass above.
    EXPECT_GT(largestDifference(mix, stems, {1, 2, 3}), 1e-3f);

    const struct {
        const char* options;
        std::vector<int> heard;
        std::vector<std::string> stems;
    } table[] = {
        {"--mute 1,3-4", {2}, {"song-ch02.wav"}},
        {"--solo 2,4", {2, 4}, {"song-ch02.wav", "song-ch04.wav"}},
        {"--solo 2-3 --mute 2", {3}, {"song-ch03.wav"}},
    };
    for (const auto& c : table) {
        run = runTool(std::string("song.xm --seconds 4 --float -f -o part.wav --stems part ") +
                          c.options,
                      "", dir.dir);
        ASSERT_EQ(run.exitCode, 0) << c.options << ": " << run.err;
        EXPECT_LT(largestDifference(floatSamples(readFile(dir / "part.wav")), stems, c.heard),
                  1e-6f)
            << c.options;
        std::vector<std::string> written;
        if (DIR* folder = opendir((dir / "part").c_str())) {
            while (const dirent* entry = readdir(folder))
                if (entry->d_name[0] != '.')
                    written.push_back(entry->d_name);
            closedir(folder);
        }
        std::sort(written.begin(), written.end());
        EXPECT_EQ(written, c.stems) << c.options;
        std::system(("rm -rf '" + dir / "part" + "'").c_str());
    }
    // A channel the song does not have is the user's mistake, before any file is written.
    run = runTool("song.xm -o none.wav --mute 5", "", dir.dir);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("channel 5 is not in the song, which has 4"), std::string::npos)
        << run.err;
    EXPECT_EQ(readFile(dir / "none.wav"), "");
}

} // namespace
} // namespace ostrel::testing
