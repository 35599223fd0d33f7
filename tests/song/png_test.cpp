// songviz's PNG files, read back through libpng, its levels and its spectrum.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstring>

#include "tools/songviz/analysis.h"
#include "tools/songviz/png.h"

using namespace ostrel::songviz;

namespace {

// The picture in a PNG file as 8-bit RGB rows, read back through libpng; false when libpng
// cannot read it.
bool decodePng(const std::vector<uint8_t>& file, int* width, int* height,
               std::vector<uint8_t>* rgb) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size()))
        return false;
    image.format = PNG_FORMAT_RGB;
    rgb->assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, rgb->data(), 0, nullptr))
        return false;
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    return true;
}

// A picture in which every byte differs from its neighbours along a row and down a column, so
// that rows swapped, flipped or shifted, a channel order turned round or a row stride
// miscounted all show in the bytes read back.
std::vector<uint8_t> patternPicture(int width, int height) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<uint8_t>(i * 7 + i / 3 * 13 + i / (static_cast<size_t>(width) * 3));
    return rgb;
}

} // namespace

// Widths whose rows are not a multiple of 4 bytes, a single row and column, and the song
// picture's own size: every pixel comes back as it was given.
TEST(Png, PicturesReadBackExactly) {
    const struct { int width, height; } sizes[] = {{1, 1}, {5, 3}, {1, 17}, {33, 1}, {1200, 400}};
    for (const auto& size : sizes) {
        std::vector<uint8_t> rgb = patternPicture(size.width, size.height);
        std::vector<uint8_t> file = encodePng(size.width, size.height, rgb);
        ASSERT_GE(file.size(), 8u) << size.width << "x" << size.height;
        EXPECT_EQ(std::memcmp(file.data(), "\x89PNG\r\n\x1a\n", 8), 0);
        int width = 0;
        int height = 0;
        std::vector<uint8_t> back;
        ASSERT_TRUE(decodePng(file, &width, &height, &back)) << size.width << "x" << size.height;
        EXPECT_EQ(width, size.width);
        EXPECT_EQ(height, size.height);
        EXPECT_TRUE(back == rgb) << size.width << "x" << size.height;
    }
}

// A picture without pixels, or fewer bytes than its size needs, gives no file rather than one
// that reads past the bytes given.
TEST(Png, BadPicturesGiveNoFile) {
    const struct {
        int width, height;
        size_t bytes;
    } cases[] = {
        {0, 4, 0},             // no columns
        {4, 0, 0},             // no rows
        {-1, 4, 12},           // negative width
        {4, 3, 4 * 3 * 3 - 1}, // one byte short
        {4, 3, 0},             // no bytes at all
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(encodePng(c.width, c.height, std::vector<uint8_t>(c.bytes, 9)).empty())
            << c.width << "x" << c.height << ", " << c.bytes << " bytes";
    }
    EXPECT_FALSE(encodePng(4, 3, std::vector<uint8_t>(4 * 3 * 3, 9)).empty());
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
