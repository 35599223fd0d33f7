// Text through the font display lists that the platform's buildFonts made: bitmap glyphs at a
// raster position, outline glyphs in model space.
#include "visuals/text.h"

#include <cstring>

#include "platform/gl.h"

namespace ostrel {

uint32_t bitmapBase = 0;
uint32_t outlineBase = 0;

namespace {

constexpr uint8_t firstBitmapCode = 32;
constexpr uint8_t lastBitmapCode = 127;

} // namespace

void deleteFonts() {
    glDeleteLists(bitmapBase, 96);
    glDeleteLists(outlineBase, 256);
}

void drawText2D(float x, float y, const char* text) {
    glRasterPos2f(x, y); // latches the current colour for the text
    glPushAttrib(GL_LIST_BIT);
    glListBase(bitmapBase - firstBitmapCode);
    // Only codes 32..127 have bitmap glyphs; any other code would call a list outside the
    // range (another font's, or the caller's own), so those are skipped. The text is passed on
    // in chunks of valid codes.
    uint8_t chunk[64];
    GLsizei used = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        const auto code = static_cast<uint8_t>(*c);
        if (code < firstBitmapCode || code > lastBitmapCode) {
            continue;
        }
        chunk[used++] = code;
        if (used == static_cast<GLsizei>(sizeof chunk)) {
            glCallLists(used, GL_UNSIGNED_BYTE, chunk);
            used = 0;
        }
    }
    if (used > 0) {
        glCallLists(used, GL_UNSIGNED_BYTE, chunk);
    }
    glPopAttrib();
}

void drawText3D(const char* text) {
    glTranslatef(0.1f, -0.3f, 0.0f);
    glPushAttrib(GL_LIST_BIT);
    glListBase(outlineBase);
    glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_UNSIGNED_BYTE, text);
    glPopAttrib();
    // Only the fixed offset is undone: each glyph moved the position on by its advance.
    glTranslatef(-0.1f, 0.3f, 0.0f);
}

} // namespace ostrel
