// PNG files of the song's picture, written by libpng.
#pragma once

#include <cstdint>
#include <vector>

namespace ostrel::songviz {

// The PNG file of a width x height picture given as rows of 8-bit RGB, top row first. Empty
// when the picture has no pixels, rgb holds fewer than width x height x 3 bytes, or libpng
// fails.
std::vector<uint8_t> encodePng(int width, int height, const std::vector<uint8_t>& rgb);

} // namespace ostrel::songviz
