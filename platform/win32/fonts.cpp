// Windows font build: the face is turned into display lists by WGL, a bitmap font for raster
// text and a flat outline font for text in model space.
// Covers: buildFonts. Lacks: nothing; the face mapper substitutes a face when the asked one is
// missing, and no result of the font calls is looked at.
#include <windows.h>

#include <GL/gl.h>

#include "platform/fonts.h"

namespace ostrel::platform {

namespace {

// Filled by the outline build; nothing reads it afterwards.
GLYPHMETRICSFLOAT glyphMetrics[256];

HFONT createFont(const char* faceName) {
    return CreateFontA(90, 0, 0, 0, FW_THIN, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                       CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 0, faceName);
}

} // namespace

int buildFonts(void* deviceContext, const char* faceName, uint32_t* bitmapBase,
               uint32_t* outlineBase) {
    HDC dc = static_cast<HDC>(deviceContext);

    *bitmapBase = glGenLists(96);
    HFONT bitmapFont = createFont(faceName);
    HGDIOBJ previous = SelectObject(dc, bitmapFont);
    wglUseFontBitmapsA(dc, 32, 96, *bitmapBase);
    SelectObject(dc, previous);
    DeleteObject(bitmapFont);

    *outlineBase = glGenLists(256);
    HFONT outlineFont = createFont(faceName);
    previous = SelectObject(dc, outlineFont);
    // Codes 0..254: the list for 255 stays empty.
    const BOOL built =
        wglUseFontOutlinesA(dc, 0, 255, *outlineBase, 0.0f, 0.0f, WGL_FONT_POLYGONS, glyphMetrics);
    // Nothing uses the second font once its outlines are lists; release it too.
    SelectObject(dc, previous);
    DeleteObject(outlineFont);
    return built;
}

} // namespace ostrel::platform
