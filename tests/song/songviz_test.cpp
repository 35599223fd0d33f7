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

// A steady tone lights the spectrogram's row of its frequency in every column. The rows run
// from 16 kHz at the top to 40 Hz on a log scale: in a picture 400 pixels high the spectrogram
// has 298 rows (below a 100-row waveform band and a 2-row rule), and a tone of f Hz lies in row
// floor(298 * (1 - ln(f / 40) / ln(400))), worked out by hand below. The FFT's bins are 21.5 Hz
// wide, so the brightest row may sit a row or two off; rows far from the tone stay dark.
TEST(Spectrogram, ToneLightsTheRowOfItsFrequency) {
    const struct {
        double hz;
        int row;
    } tones[] = {
        {1000.0, 137}, // 298 * (1 - 3.21888 / 5.99146) = 137.90
        {5000.0, 57},  // 298 * (1 - 4.82831 / 5.99146) = 57.85
        {12000.0, 14}, // 298 * (1 - 5.70378 / 5.99146) = 14.31
    };
    const int width = 4;
    const int height = 400;
    const int specTop = 102;
    const int specRows = 298;
    for (const auto& tone : tones) {
        std::vector<int16_t> pcm(2 * 44100);
        for (size_t f = 0; f < pcm.size() / 2; ++f) {
            int16_t v = static_cast<int16_t>(std::lround(
                16384.0 * std::sin(2.0 * 3.14159265358979323846 * tone.hz * f / 44100.0)));
            pcm[2 * f] = v;
            pcm[2 * f + 1] = v;
        }
        std::vector<uint8_t> rgb = drawSongPicture(pcm, width, height, {});
        ASSERT_EQ(rgb.size(), static_cast<size_t>(width * height * 3));
        for (int x = 0; x < width; ++x) {
            // The heat colours grow brighter channel sum by channel sum, so the sum ranks rows.
            auto brightness = [&](int row) {
                size_t at = (static_cast<size_t>(specTop + row) * width + x) * 3;
                return rgb[at] + rgb[at + 1] + rgb[at + 2];
            };
            int brightest = 0;
            for (int row = 1; row < specRows; ++row)
                if (brightness(row) > brightness(brightest))
                    brightest = row;
            EXPECT_NEAR(brightest, tone.row, 2) << tone.hz << " Hz, column " << x;
            for (int row = 0; row < specRows; ++row) {
                if (std::abs(row - tone.row) > 25) {
                    EXPECT_LT(brightness(row), brightness(brightest) / 2)
                        << tone.hz << " Hz, column " << x << ", row " << row;
                }
            }
        }
    }
}
