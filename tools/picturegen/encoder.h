// Run-length coding of RGB pixels into the form the closing scene decodes: literal runs of
// 1..127 pixels (control byte 1..127, then the pixels) and repeat runs of 2..127 pixels
// (control byte 128 + count, then the one pixel).
#pragma once

#include <cstdint>
#include <vector>

namespace ostrel::picturegen {

// Codes pixelCount pixels of 3 bytes each. Any two or more equal neighbours become a repeat run;
// everything else goes into literal runs.
std::vector<uint8_t> encodePicture(const uint8_t* pixels, int32_t pixelCount);

// The 16-byte preamble the program keeps before the runs: width, height and bytes per pixel as
// little-endian 32-bit values, then four zero bytes.
std::vector<uint8_t> picturePreamble(int32_t width, int32_t height, int32_t bytesPerPixel);

} // namespace ostrel::picturegen
