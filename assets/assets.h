// The program's two built-in assets, written by the generators in tools/.
#pragma once

#include <cstdint>

namespace ostrel {

// The built-in XM song.
extern const uint8_t builtinModule[];
extern const int32_t builtinModuleSize;

// The closing scene's picture: a 16-byte preamble (width 150, height 42 and 3 bytes per pixel
// as little-endian 32-bit values, then four bytes) followed by the run-length coded pixels.
extern const uint8_t closingPicture[];
extern const int32_t closingPictureSize;
constexpr int32_t closingPicturePreamble = 16;

}  // namespace ostrel
