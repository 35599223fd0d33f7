// Linux font build: the same two display-list families that WGL makes on Windows, from a face
// that fontconfig picks and FreeType renders. Bitmap lists hold one-bit glBitmap glyphs of a
// font whose cell (ascent plus descent) is 90 pixels; outline lists hold each glyph as filled,
// flat polygons in em units, tessellated by GLU, followed by a move by the glyph's advance.
// Covers: buildFonts. Lacks: the Windows font mapper; fontconfig's nearest match for the face
// (and the thin weight) stands in, and codes 128..159 follow Windows-1252 as the ANSI charset.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <array>
#include <cmath>
#include <cstring>
#include <deque>
#include <vector>

#include "platform/fonts.h"
#include "platform/gl.h"

namespace ostrel::platform {

namespace {

// What the outline build records per glyph, in em units; nothing reads it afterwards.
struct GlyphMetricsFloat {
    float blackBoxX;
    float blackBoxY;
    float originX;
    float originY;
    float cellIncX;
    float cellIncY;
};
GlyphMetricsFloat glyphMetrics[256];

constexpr int32_t cellHeight = 90;      // pixels, ascent plus descent
constexpr int32_t curveSegments = 8;    // straight pieces per curve of an outline
constexpr uint32_t outlineGlyphs = 255; // codes 0..254; 255 stays empty

// Windows-1252 for codes 128..159; 0 where the code page has no character.
constexpr uint16_t cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

uint32_t unicodeOf(uint32_t code) {
    if (code >= 128 && code < 160) {
        return cp1252High[code - 128];
    }
    return code;
}

// The font file fontconfig offers for the face; false when it offers none.
bool findFace(const char* faceName, std::vector<char>* path, int* index) {
    if (!FcInit()) {
        return false;
    }
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(faceName));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_THIN);
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue); // the outline lists need real outlines
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) {
        return false;
    }
    FcChar8* file = nullptr;
    bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
    if (found) {
        const size_t length = std::strlen(reinterpret_cast<const char*>(file));
        path->assign(reinterpret_cast<const char*>(file),
                     reinterpret_cast<const char*>(file) + length + 1);
        if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) {
            *index = 0;
        }
    }
    FcPatternDestroy(match);
    return found;
}

// Sizes the face so that its cell, measured as Windows measures it (the OS/2 table's Windows
// ascent and descent), is cellHeight pixels tall.
void setCellHeight(FT_Face face) {
    double cellUnits = static_cast<double>(face->ascender - face->descender);
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        cellUnits = static_cast<double>(os2->usWinAscent + os2->usWinDescent);
    }
    if (cellUnits <= 0) {
        cellUnits = face->units_per_EM;
    }
    const double emPixels = cellHeight * face->units_per_EM / cellUnits;
    FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(emPixels * 64.0)), 72, 72);
}

// One glyph list of the bitmap family: a glBitmap whose origin puts the glyph's baseline at the
// raster position and whose move is the hinted advance.
void buildBitmapGlyph(FT_Face face, uint32_t code, uint32_t list, std::vector<uint8_t>* bits) {
    glNewList(list, GL_COMPILE);
    const FT_UInt glyph = FT_Get_Char_Index(face, unicodeOf(code));
    if (FT_Load_Glyph(face, glyph, FT_LOAD_TARGET_MONO) == 0 &&
        FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) == 0) {
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const int32_t width = static_cast<int32_t>(bitmap.width);
        const int32_t rows = static_cast<int32_t>(bitmap.rows);
        const int32_t stride = (width + 7) / 8;
        bits->assign(static_cast<size_t>(stride * rows) + 1, 0);
        // FreeType's rows run top down, glBitmap's bottom up; both are most significant bit first.
        for (int32_t row = 0; row < rows; ++row) {
            const uint8_t* source = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
            std::memcpy(bits->data() + static_cast<size_t>((rows - 1 - row) * stride), source,
                        static_cast<size_t>(stride));
        }
        glBitmap(width, rows, static_cast<GLfloat>(-slot->bitmap_left),
                 static_cast<GLfloat>(rows - slot->bitmap_top),
                 static_cast<GLfloat>(slot->advance.x) / 64.0f, 0.0f, bits->data());
    }
    glEndList();
}

// An outline flattened into contours of (x, y, 0) points in em units.
struct Flattener {
    double scale; // 1 / units per em
    std::vector<std::vector<double>> contours;
    double lastX;
    double lastY;

    void add(double x, double y) {
        std::vector<double>& contour = contours.back();
        contour.push_back(x * scale);
        contour.push_back(y * scale);
        contour.push_back(0.0);
        lastX = x;
        lastY = y;
    }
};

int moveTo(const FT_Vector* to, void* user) {
    auto* flattener = static_cast<Flattener*>(user);
    flattener->contours.emplace_back();
    flattener->add(static_cast<double>(to->x), static_cast<double>(to->y));
    return 0;
}

int lineTo(const FT_Vector* to, void* user) {
    static_cast<Flattener*>(user)->add(static_cast<double>(to->x), static_cast<double>(to->y));
    return 0;
}

int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* flattener = static_cast<Flattener*>(user);
    const double x0 = flattener->lastX;
    const double y0 = flattener->lastY;
    for (int32_t n = 1; n <= curveSegments; ++n) {
        const double t = static_cast<double>(n) / curveSegments;
        const double u = 1.0 - t;
        flattener->add(u * u * x0 + 2 * u * t * control->x + t * t * to->x,
                       u * u * y0 + 2 * u * t * control->y + t * t * to->y);
    }
    return 0;
}

int cubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user) {
    auto* flattener = static_cast<Flattener*>(user);
    const double x0 = flattener->lastX;
    const double y0 = flattener->lastY;
    for (int32_t n = 1; n <= curveSegments; ++n) {
        const double t = static_cast<double>(n) / curveSegments;
        const double u = 1.0 - t;
        const double a = u * u * u;
        const double b = 3 * u * u * t;
        const double c = 3 * u * t * t;
        const double d = t * t * t;
        flattener->add(a * x0 + b * control1->x + c * control2->x + d * to->x,
                       a * y0 + b * control1->y + c * control2->y + d * to->y);
    }
    return 0;
}

// Vertices the tessellator makes where contours cross; they must outlive the polygon.
std::deque<std::array<double, 3>> combinedVertices;

void tessBegin(GLenum type) {
    glBegin(type);
}
void tessVertex(void* vertex) {
    glVertex3dv(static_cast<const GLdouble*>(vertex));
}
void tessEnd() {
    glEnd();
}
void tessCombine(GLdouble coords[3], void* /*data*/[4], GLfloat /*weight*/[4], void** out) {
    combinedVertices.push_back({coords[0], coords[1], coords[2]});
    *out = combinedVertices.back().data();
}

// One glyph list of the outline family: filled polygons with no depth, then the advance.
void buildOutlineGlyph(FT_Face face, GLUtesselator* tess, uint32_t code, uint32_t list) {
    GlyphMetricsFloat& metrics = glyphMetrics[code];
    metrics = {};
    glNewList(list, GL_COMPILE);
    const FT_UInt glyph = FT_Get_Char_Index(face, unicodeOf(code));
    if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) ==
            0 &&
        face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
        const double scale = 1.0 / face->units_per_EM;
        const FT_Glyph_Metrics& m = face->glyph->metrics;
        metrics.blackBoxX = static_cast<float>(m.width * scale);
        metrics.blackBoxY = static_cast<float>(m.height * scale);
        metrics.originX = static_cast<float>(m.horiBearingX * scale);
        metrics.originY = static_cast<float>(m.horiBearingY * scale);
        metrics.cellIncX = static_cast<float>(face->glyph->advance.x * scale);

        Flattener flattener{scale, {}, 0.0, 0.0};
        FT_Outline_Funcs funcs = {};
        funcs.move_to = moveTo;
        funcs.line_to = lineTo;
        funcs.conic_to = conicTo;
        funcs.cubic_to = cubicTo;
        FT_Outline_Decompose(&face->glyph->outline, &funcs, &flattener);

        glNormal3f(0.0f, 0.0f, 1.0f);
        gluTessBeginPolygon(tess, nullptr);
        for (std::vector<double>& contour : flattener.contours) {
            // A closed contour repeats its first point at the end; the tessellator wants it once.
            size_t points = contour.size() / 3;
            if (points > 1 && contour[0] == contour[3 * (points - 1)] &&
                contour[1] == contour[3 * (points - 1) + 1]) {
                --points;
            }
            if (points < 3) {
                continue;
            }
            gluTessBeginContour(tess);
            for (size_t p = 0; p < points; ++p) {
                gluTessVertex(tess, &contour[3 * p], &contour[3 * p]);
            }
            gluTessEndContour(tess);
        }
        gluTessEndPolygon(tess);
        combinedVertices.clear();
    }
    glTranslatef(metrics.cellIncX, metrics.cellIncY, 0.0f);
    glEndList();
}

} // namespace

int buildFonts(void* /*deviceContext*/, const char* faceName, uint32_t* bitmapBase,
               uint32_t* outlineBase) {
    *bitmapBase = glGenLists(96);
    *outlineBase = glGenLists(256);

    std::vector<char> path;
    int index = 0;
    FT_Library library = nullptr;
    if (!findFace(faceName, &path, &index) || FT_Init_FreeType(&library) != 0) {
        return 0;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.data(), index, &face) != 0) {
        FT_Done_FreeType(library);
        return 0;
    }
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);

    // Bitmap family, codes 32..127. The unpack state is set for the compile only.
    setCellHeight(face);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    std::vector<uint8_t> bits;
    for (uint32_t code = 32; code < 128; ++code) {
        buildBitmapGlyph(face, code, *bitmapBase + (code - 32), &bits);
    }
    glPopClientAttrib();

    // Outline family, codes 0..254, from the unscaled outlines.
    int built = 0;
    GLUtesselator* tess = gluNewTess();
    if (tess != nullptr) {
        using Callback = void (*)();
        gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
        gluTessNormal(tess, 0.0, 0.0, 1.0);
        gluTessCallback(tess, GLU_TESS_BEGIN, reinterpret_cast<Callback>(tessBegin));
        gluTessCallback(tess, GLU_TESS_VERTEX, reinterpret_cast<Callback>(tessVertex));
        gluTessCallback(tess, GLU_TESS_END, reinterpret_cast<Callback>(tessEnd));
        gluTessCallback(tess, GLU_TESS_COMBINE, reinterpret_cast<Callback>(tessCombine));
        for (uint32_t code = 0; code < outlineGlyphs; ++code) {
            buildOutlineGlyph(face, tess, code, *outlineBase + code);
        }
        gluDeleteTess(tess);
        built = 1;
    }

    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return built;
}

} // namespace ostrel::platform
