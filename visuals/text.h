// Text through font display lists: a bitmap font for raster-positioned text and a flat outline
// font for text in model space. The platform builds the lists (platform/fonts.h) into
// bitmapBase and outlineBase.
#pragma once

#include <cstdint>

namespace ostrel {

extern uint32_t bitmapBase;  // 96 lists, codes 32..127
extern uint32_t outlineBase; // 256 lists, codes 0..255 (255 stays empty)

void deleteFonts();
void drawText2D(float x, float y, const char* text);
void drawText3D(const char* text);

} // namespace ostrel
