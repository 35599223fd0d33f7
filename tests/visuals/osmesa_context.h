// A 1280 x 720 RGBA software-rendered OpenGL context with a 16-bit depth buffer, current for
// the whole test program, and a reader for its pixels.
#pragma once

#include <cstdint>

namespace ostrel::testgl {

constexpr int32_t width = 1280;
constexpr int32_t height = 720;

struct Rgba {
    uint8_t r, g, b, a;
    bool operator==(const Rgba&) const = default;
};

// Creates the context on first use and makes it current; false when OSMesa cannot.
bool makeCurrent();
// The pixel at (x, y), y from the bottom row up, after glFinish.
Rgba pixelAt(int32_t x, int32_t y);
// Resets the state that the program's start-up and every frame set before a scene runs.
void resetFrameState();

} // namespace ostrel::testgl
