// The font build: the platform turns a system font into the two display-list families that
// visuals/text.h draws with. The lists' first names go where the caller says (the text
// module's bitmapBase and outlineBase), since the text module lies above the platform.
#pragma once

#include <cstdint>

namespace ostrel::platform {

// Builds, with the window's rendering context current, the bitmap family (96 lists, codes
// 32..127; its first name stored in *bitmapBase) and then the outline family (256 lists, codes
// 0..254 built, 255 left empty; its first name in *outlineBase) from the face faceName, on the
// window's device context (null where the platform has none). Returns the outline build's
// result.
int buildFonts(void* deviceContext, const char* faceName, uint32_t* bitmapBase,
               uint32_t* outlineBase);

} // namespace ostrel::platform
