// The picture is painted from simple shapes back to front. Its colours are chosen for the
// scene's recolouring: the red hull, roofs and lighthouse stripes turn brown-orange, and the
// white sails, moon, stars and foam turn pale and mottled, as the sweep passes over them.
#include "tools/picturegen/art.h"

#include <cmath>
#include <cstring>

namespace ostrel::picturegen {

namespace {

struct Rgb {
    uint8_t r, g, b;
};

// Palette. Red stays at 1 or above everywhere: red 0 would make a pixel transparent.
constexpr Rgb starWhite{246, 244, 250};
constexpr Rgb starDim{150, 150, 205};
constexpr Rgb moonWhite{248, 246, 236};
constexpr Rgb moonShade{214, 210, 196};
constexpr Rgb seaDeep{10, 34, 84};
constexpr Rgb seaMid{22, 58, 120};
constexpr Rgb seaCrest{60, 110, 170};
constexpr Rgb foam{240, 242, 248};
constexpr Rgb moonGlint{236, 232, 200};
constexpr Rgb rock{86, 80, 92};
constexpr Rgb rockDark{58, 52, 68};
constexpr Rgb grass{40, 112, 52};
constexpr Rgb stripeRed{214, 40, 46};
constexpr Rgb stripeWhite{242, 240, 236};
constexpr Rgb roofRed{204, 34, 42};
constexpr Rgb railing{48, 48, 62};
constexpr Rgb lamp{255, 226, 112};
constexpr Rgb door{70, 44, 30};
constexpr Rgb hullRed{202, 36, 38};
constexpr Rgb hullDark{120, 22, 28};
constexpr Rgb hullStripe{244, 240, 234};
constexpr Rgb porthole{250, 214, 96};
constexpr Rgb mast{122, 82, 46};
constexpr Rgb sail{244, 242, 234};
constexpr Rgb sailShade{200, 198, 190};
constexpr Rgb pennant{226, 30, 36};
constexpr Rgb hill{28, 84, 46};
constexpr Rgb hillLight{44, 108, 58};
constexpr Rgb wall{206, 184, 140};
constexpr Rgb wallShade{168, 146, 108};
constexpr Rgb window{255, 216, 92};
constexpr Rgb windowWhite{250, 248, 238};
constexpr Rgb gull{236, 236, 240};

struct Canvas {
    uint8_t* pixels;

    void set(int32_t x, int32_t y, Rgb c) {
        if (x < 0 || y < 0 || x >= artWidth || y >= artHeight) {
            return;
        }
        uint8_t* p = pixels + 3 * (artWidth * y + x);
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    }
    void clear(int32_t x, int32_t y) { set(x, y, Rgb{0, 0, 0}); }
    void rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Rgb c) {
        for (int32_t y = y0; y <= y1; ++y) {
            for (int32_t x = x0; x <= x1; ++x) {
                set(x, y, c);
            }
        }
    }
    void disc(double cx, double cy, double radius, Rgb c) {
        for (int32_t y = 0; y < artHeight; ++y) {
            for (int32_t x = 0; x < artWidth; ++x) {
                const double dx = x - cx;
                const double dy = y - cy;
                if (dx * dx + dy * dy <= radius * radius) {
                    set(x, y, c);
                }
            }
        }
    }
    void clearDisc(double cx, double cy, double radius) { disc(cx, cy, radius, Rgb{0, 0, 0}); }
    // Filled triangle by the sign of the three edge functions at each pixel centre.
    void triangle(double ax, double ay, double bx, double by, double cx, double cy, Rgb c) {
        for (int32_t y = 0; y < artHeight; ++y) {
            for (int32_t x = 0; x < artWidth; ++x) {
                const double px = x + 0.5;
                const double py = y + 0.5;
                const double e0 = (bx - ax) * (py - ay) - (by - ay) * (px - ax);
                const double e1 = (cx - bx) * (py - by) - (cy - by) * (px - bx);
                const double e2 = (ax - cx) * (py - cy) - (ay - cy) * (px - cx);
                if ((e0 >= 0 && e1 >= 0 && e2 >= 0) || (e0 <= 0 && e1 <= 0 && e2 <= 0)) {
                    set(x, y, c);
                }
            }
        }
    }
};

// A small fixed pseudo-random sequence, so the stars land in the same places on every run.
struct Scatter {
    uint32_t state;
    uint32_t next(uint32_t range) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % range;
    }
};

void paintSky(Canvas& canvas) {
    Scatter scatter{20240611u};
    for (int32_t n = 0; n < 46; ++n) {
        const auto x = static_cast<int32_t>(scatter.next(artWidth));
        const auto y = static_cast<int32_t>(scatter.next(22));
        canvas.set(x, y, n % 3 == 0 ? starDim : starWhite);
    }
    // A crescent: a full disc with a second, offset disc taken away again.
    canvas.disc(124, 8, 6.2, moonWhite);
    canvas.disc(122.5, 10, 2.2, moonShade);
    canvas.clearDisc(127.5, 6.5, 5.4);
    // Gulls: two wing strokes meeting low in the middle.
    const int32_t gulls[][2] = {{40, 12}, {47, 9}, {104, 15}};
    for (const auto& g : gulls) {
        const int32_t x = g[0];
        const int32_t y = g[1];
        canvas.set(x - 3, y - 1, gull);
        canvas.set(x - 2, y - 1, gull);
        canvas.set(x - 1, y, gull);
        canvas.set(x, y + 1, gull);
        canvas.set(x + 1, y, gull);
        canvas.set(x + 2, y - 1, gull);
        canvas.set(x + 3, y - 1, gull);
    }
}

void paintSea(Canvas& canvas) {
    for (int32_t y = 34; y < artHeight; ++y) {
        for (int32_t x = 0; x < artWidth; ++x) {
            const Rgb base = y < 37 ? seaMid : seaDeep;
            // Crests drift diagonally; every so often one breaks into foam.
            const int32_t phase = (x + 3 * y) % 13;
            Rgb c = base;
            if (phase < 2) {
                c = seaCrest;
            }
            if (phase == 0 && (x / 13 + y) % 4 == 0) {
                c = foam;
            }
            canvas.set(x, y, c);
        }
    }
    // The moon's path on the water.
    for (int32_t y = 35; y < artHeight; ++y) {
        const int32_t half = (y - 33) / 2;
        for (int32_t x = 124 - half; x <= 124 + half; ++x) {
            if ((x + y) % 3 != 0) {
                canvas.set(x, y, (x + y) % 3 == 1 ? moonGlint : foam);
            }
        }
    }
}

void paintLighthouse(Canvas& canvas) {
    // The rock and its grass cap.
    for (int32_t y = 29; y < 37; ++y) {
        const double half = 18.0 - (36 - y) * (36 - y) * 0.3;
        for (int32_t x = 0; x < artWidth; ++x) {
            if (std::fabs(x - 20.5) <= half) {
                canvas.set(x, y, (x * 7 + y * 3) % 5 == 0 ? rockDark : rock);
            }
        }
    }
    canvas.rect(12, 29, 29, 29, grass);
    canvas.rect(9, 30, 11, 30, grass);
    canvas.rect(30, 30, 31, 30, grass);

    // The light's beams: narrow wedges from the lamp that fade with distance, behind the rest.
    for (int32_t y = 0; y < 14; ++y) {
        for (int32_t x = 0; x < 64; ++x) {
            const double dx = x - 20.0;
            const double dy = y - 6.5;
            const double reach = dx > 0 ? 42.0 : 16.0;
            if (std::fabs(dx) < 5.0 || std::fabs(dx) > reach ||
                std::fabs(dy) > std::fabs(dx) * 0.14) {
                continue;
            }
            const double fade = 1.0 - std::fabs(dx) / reach;
            canvas.set(x, y,
                       Rgb{static_cast<uint8_t>(70 + 100 * fade),
                           static_cast<uint8_t>(64 + 92 * fade),
                           static_cast<uint8_t>(90 - 10 * fade)});
        }
    }

    // The tower tapers from 11 pixels at the foot to 7 below the gallery; stripes of 4 rows.
    for (int32_t y = 10; y < 29; ++y) {
        const int32_t half = 3 + (y - 10) / 8;
        const Rgb c = ((y - 10) / 4) % 2 == 0 ? stripeRed : stripeWhite;
        canvas.rect(20 - half, y, 20 + half, y, c);
    }
    canvas.rect(19, 25, 21, 28, door);
    canvas.rect(15, 9, 25, 9, railing);
    canvas.rect(15, 8, 15, 8, railing);
    canvas.rect(25, 8, 25, 8, railing);
    canvas.rect(17, 5, 23, 8, lamp);
    canvas.rect(20, 5, 20, 8, railing);
    canvas.triangle(15.5, 5.0, 24.5, 5.0, 20.0, 0.5, roofRed);
    canvas.set(20, 0, railing);
}

void paintShip(Canvas& canvas) {
    // Masts first, sails over them, hull last.
    canvas.rect(70, 6, 70, 30, mast);
    canvas.rect(87, 9, 87, 30, mast);
    canvas.rect(96, 26, 108, 26, mast); // bowsprit

    // Main sails: square-rigged, bellied towards the bow.
    for (int32_t y = 9; y < 28; ++y) {
        const int32_t belly = static_cast<int32_t>(2.5 * std::sin((y - 9) * 3.14159 / 19.0));
        const int32_t topTier = y < 18 ? 1 : 0;
        canvas.rect(62 + topTier, y, 78 - topTier + belly, y, sail);
        canvas.set(62 + topTier, y, sailShade);
    }
    canvas.rect(62, 18, 80, 18, sailShade); // the reef between the two sails
    for (int32_t y = 12; y < 28; ++y) {
        const int32_t belly = static_cast<int32_t>(2.0 * std::sin((y - 12) * 3.14159 / 16.0));
        canvas.rect(81, y, 93 + belly, y, sail);
        canvas.set(81, y, sailShade);
    }
    // Jib from the fore mast's top to the bowsprit.
    canvas.triangle(88.5, 10.0, 88.5, 26.0, 106.0, 26.0, sail);
    canvas.triangle(88.5, 20.0, 88.5, 26.0, 96.0, 26.0, sailShade);
    // Pennants.
    canvas.rect(71, 6, 74, 6, pennant);
    canvas.rect(71, 7, 72, 7, pennant);
    canvas.rect(88, 9, 90, 9, pennant);
    canvas.set(88, 10, pennant);

    // Hull: a deck line, a white stripe with lit portholes, the red body, a dark keel.
    for (int32_t y = 29; y <= 34; ++y) {
        const int32_t inset = (y - 29) * (y - 29) / 3;
        const int32_t left = 56 + inset;
        const int32_t right = 100 - inset / 2 + (y == 29 ? 2 : 0);
        Rgb c = hullRed;
        if (y == 30) {
            c = hullStripe;
        } else if (y == 34) {
            c = hullDark;
        }
        canvas.rect(left, y, right, y, c);
    }
    for (int32_t x = 62; x < 96; x += 6) {
        canvas.set(x, 30, porthole);
    }
    canvas.rect(54, 28, 60, 28, hullRed); // the raised stern
    canvas.rect(54, 27, 55, 27, hullDark);
}

void paintVillage(Canvas& canvas) {
    for (int32_t x = 104; x < artWidth; ++x) {
        const int32_t top = 27 + static_cast<int32_t>(3.0 * std::cos((x - 104) * 0.09)) -
                            static_cast<int32_t>((x - 104) * 0.05);
        for (int32_t y = top; y < 35; ++y) {
            canvas.set(x, y, (x + y) % 6 == 0 ? hillLight : hill);
        }
    }
    struct House {
        int32_t x, ground, width, height;
        bool whiteWindow;
    };
    const House houses[] = {{110, 28, 7, 5, false},
                            {120, 27, 9, 6, true},
                            {132, 26, 6, 4, false},
                            {140, 25, 8, 6, true}};
    for (const House& h : houses) {
        const int32_t top = h.ground - h.height;
        canvas.rect(h.x, top, h.x + h.width - 1, h.ground, wall);
        canvas.rect(h.x + h.width - 1, top, h.x + h.width - 1, h.ground, wallShade);
        canvas.triangle(h.x - 1.5, top + 0.5, h.x + h.width + 0.5, top + 0.5,
                        h.x + h.width * 0.5 - 0.5, top - h.width * 0.5 - 0.5, roofRed);
        canvas.set(h.x + 1, top + 2, window);
        canvas.set(h.x + h.width - 3, top + 2, h.whiteWindow ? windowWhite : window);
        canvas.rect(h.x + h.width / 2 - 1, h.ground - 1, h.x + h.width / 2 - 1, h.ground, door);
    }
}

} // namespace

void paintClosingPicture(uint8_t* pixels) {
    std::memset(pixels, 0, artBytes);
    Canvas canvas{pixels};
    paintSky(canvas);
    paintLighthouse(canvas);
    paintSea(canvas);
    paintShip(canvas);
    paintVillage(canvas);
}

} // namespace ostrel::picturegen
