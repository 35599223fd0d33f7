// Text through font display lists: a bitmap font for raster-positioned text and a flat outline
// font for text in model space. buildFonts is the host's (platform/*/fonts.cpp).
#pragma once

#include <cstdint>

namespace ostrel {

extern uint32_t bitmapBase;  // 96 lists, codes 32..127
extern uint32_t outlineBase; // 256 lists, codes 0..255 (255 stays empty)

int buildFonts(void* deviceContext, const char* faceName);
void deleteFonts();
void drawText2D(float x, float y, const char* text);
void drawText3D(const char* text);

} // namespace ostrel
