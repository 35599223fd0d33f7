// The PNG writer's checksums and container, checked against values known from the formats'
// definitions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tools/songviz/analysis.h"
#include "tools/songviz/png.h"

using namespace ostrel::songviz;

namespace {
uint32_t big32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
} // namespace

TEST(Checksums, Crc32OfTheStandardCheckString) {
    const char* text = "123456789";
    EXPECT_EQ(crc32(reinterpret_cast<const uint8_t*>(text), 9), 0xCBF43926u);
    EXPECT_EQ(crc32(nullptr, 0), 0u);
}

TEST(Checksums, Adler32OfAShortText) {
    const char* text = "Wikipedia";
    EXPECT_EQ(adler32(reinterpret_cast<const uint8_t*>(text), 9), 0x11E60398u);
    EXPECT_EQ(adler32(nullptr, 0), 1u);
}

TEST(Png, OnePixelPictureHasTheExpectedChunks) {
    std::vector<uint8_t> png = encodePng(1, 1, {255, 0, 128});
    ASSERT_GE(png.size(), 8u + 25u + 12u + 12u);
    EXPECT_EQ(std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8), 0);
    // IHDR: length 13, 1 x 1, 8 bits, colour type 2 (RGB)
    EXPECT_EQ(big32(&png[8]), 13u);
    EXPECT_EQ(std::memcmp(&png[12], "IHDR", 4), 0);
    EXPECT_EQ(big32(&png[16]), 1u);
    EXPECT_EQ(big32(&png[20]), 1u);
    EXPECT_EQ(png[24], 8);
    EXPECT_EQ(png[25], 2);
    EXPECT_EQ(big32(&png[29]), crc32(&png[12], 17));
    // IDAT: zlib header, one final stored block of 4 bytes (filter byte + pixel), Adler-32
    const uint8_t* idat = &png[33];
    EXPECT_EQ(std::memcmp(idat + 4, "IDAT", 4), 0);
    const uint8_t* z = idat + 8;
    EXPECT_EQ(z[0], 0x78);
    EXPECT_EQ(z[2], 1); // final block, stored
    EXPECT_EQ(z[3], 4);
    EXPECT_EQ(z[4], 0);
    EXPECT_EQ(z[5], 0xFB);
    EXPECT_EQ(z[6], 0xFF);
    const uint8_t raw[4] = {0, 255, 0, 128};
    EXPECT_EQ(std::memcmp(z + 7, raw, 4), 0);
    EXPECT_EQ(big32(z + 11), adler32(raw, 4));
    EXPECT_EQ(std::memcmp(&png[png.size() - 8], "IEND", 4), 0);
}

TEST(Png, LargePicturesSplitIntoStoredBlocksOf65535Bytes) {
    // 200 x 120 RGB: 120 rows of 601 bytes = 72,120 raw bytes, so two stored blocks.
    std::vector<uint8_t> png = encodePng(200, 120, std::vector<uint8_t>(200 * 120 * 3, 7));
    const uint8_t* z = &png[33 + 8];
    EXPECT_EQ(z[2], 0); // first block is not the last
    EXPECT_EQ(z[3] | (z[4] << 8), 65535);
    const uint8_t* second = z + 2 + 5 + 65535;
    EXPECT_EQ(second[0], 1);
    EXPECT_EQ(second[1] | (second[2] << 8), 72120 - 65535);
}

TEST(Levels, PeakAndRmsInDecibelsOfFullScale) {
    const int16_t square[4] = {16384, -16384, 16384, -16384};
    Levels l = measureLevels(square, 4);
    EXPECT_EQ(l.peak, 16384);
    EXPECT_NEAR(l.peakDb, -6.02, 0.01);
    EXPECT_NEAR(l.rmsDb, -6.02, 0.01);
    const int16_t lowest[2] = {-32768, 0};
    EXPECT_EQ(measureLevels(lowest, 2).peak, 32768);
}

TEST(Fft, PureToneLandsInItsBin) {
    const int n = 64;
    std::vector<double> re(n);
    std::vector<double> im(n, 0.0);
    for (int i = 0; i < n; ++i)
        re[i] = std::cos(2.0 * 3.14159265358979323846 * 5 * i / n);
    fft(re, im);
    EXPECT_NEAR(re[5], n / 2.0, 1e-9);
    EXPECT_NEAR(re[n - 5], n / 2.0, 1e-9);
    EXPECT_NEAR(re[4], 0.0, 1e-9);
    EXPECT_NEAR(im[5], 0.0, 1e-9);
}
