// The output formats through the real program: FLAC, chosen by the extension, decodes to the
// 16-bit WAV's samples, and --float holds the mix those samples were converted from.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "test_song.h"
#include "tool_run.h"

namespace ostrel::testing {
namespace {

uint32_t le32(const std::string& bytes, size_t at) {
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
           uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
}

std::vector<int16_t> wavSamples(const std::string& wav) {
    std::vector<int16_t> samples(wav.size() < 44 ? 0 : (wav.size() - 44) / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(uint8_t(wav[44 + 2 * i]) | uint8_t(wav[45 + 2 * i]) << 8);
    return samples;
}

// FLAC decoded by libsndfile, loaded here as xmrender loads it; empty when it cannot be.
std::vector<int16_t> decodeFlac(const std::string& path, SF_INFO* info) {
    std::vector<int16_t> samples;
    void* library = dlopen("libsndfile.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return samples;
    auto open =
        reinterpret_cast<SNDFILE* (*)(const char*, int, SF_INFO*)>(dlsym(library, "sf_open"));
    auto read = reinterpret_cast<sf_count_t (*)(SNDFILE*, short*, sf_count_t)>(
        dlsym(library, "sf_readf_short"));
    auto close = reinterpret_cast<int (*)(SNDFILE*)>(dlsym(library, "sf_close"));
    if (SNDFILE* file = open && read && close ? open(path.c_str(), SFM_READ, info) : nullptr) {
        samples.resize(size_t(info->frames) * 2 + 2);
        samples.resize(size_t(read(file, samples.data(), info->frames + 1)) * 2);
        close(file);
    }
    dlclose(library);
    return samples;
}

// The test song once to its end, which cuts its last chunk short, as a 16-bit WAV, a FLAC file
// and a float WAV. FLAC decodes to the WAV's samples; each 16-bit sample is its float mix sample
// truncated toward zero and clamped, as the mixer converts, and the float file keeps the
// fractions the 16-bit one lost.
TEST(Formats, FlacAndFloatHoldTheSixteenBitWavsSound) {
    ScratchDir dir;
    ASSERT_TRUE(xmtest::writeTestSong(dir / "song.xm", 4));
    for (const char* output : {"-o song.wav", "-o song.flac", "--float -o float.wav"}) {
        const ToolRun run = runTool(std::string("song.xm --rate 22050 ") + output, "", dir.dir);
        ASSERT_EQ(run.exitCode, 0) << output << ": " << run.err;
    }
    const std::vector<int16_t> samples = wavSamples(readFile(dir / "song.wav"));
    ASSERT_EQ(samples.size(), 4 * 32 * 6 * (580 + 420) * 2u); // the pass's frames at 22,050 Hz

    const std::string mix = readFile(dir / "float.wav");
    ASSERT_EQ(mix.size(), 58 + samples.size() * 4);
    EXPECT_EQ(le32(mix, 20) & 0xFFFF, 3u); // IEEE float
    size_t differing = 0, fractional = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const uint32_t bits = le32(mix, 58 + 4 * i);
        float value;
        std::memcpy(&value, &bits, 4);
        const float scaled = value * 32768.0f;
        const float clamped = std::fmax(-32768.0f, std::fmin(32767.0f, std::trunc(scaled)));
        differing += int16_t(clamped) != samples[i];
        fractional += scaled != std::trunc(scaled);
    }
    EXPECT_EQ(differing, 0u);
    EXPECT_GT(fractional, samples.size() / 2);

    SF_INFO info = {};
    const std::vector<int16_t> decoded = decodeFlac(dir / "song.flac", &info);
    if (decoded.empty())
        GTEST_SKIP() << "libsndfile.so.1 cannot be loaded or read the file";
    EXPECT_EQ(info.samplerate, 22050);
    EXPECT_EQ(decoded, samples);
}

} // namespace
} // namespace ostrel::testing
