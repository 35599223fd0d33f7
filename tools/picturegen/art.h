// The closing picture: a lighthouse on a rock, a two-masted ship under white sails and a
// village on a hill, at night under a crescent moon, 150 x 42 pixels. Red 0 is transparent, so
// the sky lets the scene's background through; every painted colour keeps red at 1 or above.
#pragma once

#include <cstdint>

namespace ostrel::picturegen {

constexpr int32_t artWidth = 150;
constexpr int32_t artHeight = 42;
constexpr int32_t artBytes = artWidth * artHeight * 3;

// Paints the picture into 18,900 bytes, rows from the top, red, green, blue per pixel.
void paintClosingPicture(uint8_t* pixels);

} // namespace ostrel::picturegen
