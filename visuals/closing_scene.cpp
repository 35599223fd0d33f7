// The closing scene. Its particles are seeded from the unseeded rand() sequence, so the layout
// is the same in every run; the picture's colours change frame by frame and accumulate.
#include "visuals/closing_scene.h"

#include <cmath>
#include <cstdlib>

#include "assets/assets.h"
#include "platform/gl.h"
#include "visuals/picture.h"
#include "visuals/text.h"

namespace ostrel {

ClosingScene closingScene = {};

namespace {

// The fixed 2-D area the scene is laid out in, whatever the window size.
constexpr int32_t areaWidth = 1280;
constexpr int32_t areaHeight = 720;

void drawPicture(uint8_t* picture, float progress) {
    const float threshold = pictureThreshold(progress);
    glBegin(GL_POINTS);
    for (int32_t col = 0; col < pictureWidth; ++col) {
        for (int32_t row = 0; row < pictureHeight; ++row) {
            const int32_t i = pictureBytesPerPixel * (pictureWidth * row + col);
            uint8_t* pixel = picture + i;
            if (pixel[0] == 0) {
                continue; // transparent for the whole run
            }
            if (pixelSubject(i, threshold)) {
                applyColourRules(pixel);
            }
            glColor3ub(pixel[0], pixel[1], pixel[2]);
            // A 4 x 4 cell with its lower-left and upper-right 2 x 2 quarters lit; row 0 on top.
            const int32_t x = 4 * col;
            const int32_t y = 4 * row;
            glVertex2i(x, 168 - y);
            glVertex2i(x + 1, 168 - y);
            glVertex2i(x, 169 - y);
            glVertex2i(x + 1, 169 - y);
            glVertex2i(x + 2, 170 - y);
            glVertex2i(x + 3, 170 - y);
            glVertex2i(x + 2, 171 - y);
            glVertex2i(x + 3, 171 - y);
        }
    }
    glEnd();
}

void initialise() {
    // An asset shorter than its preamble has no runs at all; it then decodes as an empty stream.
    const bool hasRuns = closingPictureSize > closingPicturePreamble;
    closingScene.picture =
        loadPicture(hasRuns ? closingPicture + closingPicturePreamble : closingPicture,
                    hasRuns ? closingPictureSize - closingPicturePreamble : 0, std::malloc);
    for (RisingRing& ring : closingScene.rings) {
        seedRisingRing(&ring);
    }
    for (WavyLine& line : closingScene.lines) {
        seedWavyLine(&line);
    }
    closingScene.initialised = 1;
}

// A seeded field: base + 0.1 x (rand() % range), formed in extended precision.
float tenths(long double base, int32_t range) {
    return static_cast<float>(base + static_cast<long double>(0.1) * (std::rand() % range));
}

} // namespace

uint8_t* loadPicture(const uint8_t* stream, int32_t length, PictureAllocateFunction allocate) {
    auto* picture = static_cast<uint8_t*>(allocate(pictureBytes));
    if (picture == nullptr) {
        return nullptr;
    }
    if (!decodePicture(stream, length, picture)) {
        // A half-decoded picture would show garbage; show none instead.
        std::free(picture);
        return nullptr;
    }
    return picture;
}

void seedRisingRing(RisingRing* ring) {
    ring->radius = tenths(10, 250);
    ring->x = static_cast<float>(std::rand() % areaWidth);
    ring->y0 = static_cast<float>(std::rand() % areaHeight);
    ring->speed = static_cast<float>(500 + std::rand() % 500);
    ring->swayAmplitude = tenths(10, 200);
    ring->swayFrequency = static_cast<float>(40 + std::rand() % 100);
}

void seedWavyLine(WavyLine* line) {
    line->count = 14 + std::rand() % 10;
    line->step = tenths(4, 40);
    line->x = static_cast<float>(std::rand() % areaWidth);
    line->frequency = static_cast<float>(20 + std::rand() % 80);
    line->amplitude = tenths(5, 50);
    line->phase = tenths(0, 100);
}

float pictureThreshold(float progress) {
    return progress * static_cast<float>(pictureBytes);
}

bool pixelSubject(int32_t index, float threshold) {
    return static_cast<float>(index) < threshold;
}

void applyColourRules(uint8_t* pixel) {
    // Reddish pixels turn to a random brown-orange.
    if (pixel[0] > 180 && pixel[1] <= 99) {
        pixel[0] = static_cast<uint8_t>(122 + std::rand() % 60);
        pixel[1] = static_cast<uint8_t>(79 + std::rand() % 50);
        pixel[2] = static_cast<uint8_t>(6 + std::rand() % 30);
    }
    // Near-white pixels dim to a random light grey-ish colour, 170..249 per component.
    if (pixel[0] > 230 && pixel[1] > 230 && pixel[2] > 230) {
        pixel[0] = static_cast<uint8_t>(std::rand() % 80 - 86);
        pixel[1] = static_cast<uint8_t>(std::rand() % 80 - 86);
        pixel[2] = static_cast<uint8_t>(std::rand() % 80 - 86);
    }
}

Point2f risingRingCentre(const RisingRing& ring, float progress) {
    const int32_t k = static_cast<int32_t>(ring.radius);
    const int32_t height =
        static_cast<int32_t>(static_cast<long double>(progress) * ring.speed + ring.y0);
    // Wraps from the top edge back to just below the bottom edge.
    const int32_t y = height % (k + areaHeight) - k;
    const long double x =
        ring.x +
        ring.swayAmplitude * std::sin(static_cast<long double>(progress) * ring.swayFrequency);
    return Point2f{static_cast<float>(x), static_cast<float>(y)};
}

Point2f wavyLinePoint(const WavyLine& line, float progress, int32_t j) {
    const long double theta =
        j * (static_cast<long double>(progress) * line.frequency) + line.phase;
    return Point2f{static_cast<float>(line.x + line.amplitude * std::sin(theta)),
                   static_cast<float>(static_cast<long double>(j) * line.step)};
}

bool closingTextShown(float progress) {
    return static_cast<double>(progress) > 0.8;
}

float closingTextAlpha(float progress) {
    if (static_cast<double>(progress) > 0.9) {
        return 1.0f;
    }
    return static_cast<float>((static_cast<double>(progress) - 0.8) * 10.0);
}

void drawClosingScene(float progress) {
    beginOrtho(areaWidth, areaHeight);
    if (!closingScene.initialised) {
        initialise();
    }
    if (closingScene.picture != nullptr) {
        drawPicture(closingScene.picture, progress);
    }

    glColor3ub(255, 255, 255);
    for (const RisingRing& ring : closingScene.rings) {
        const Point2f centre = risingRingCentre(ring, progress);
        drawRing2D(centre.x, centre.y, ring.radius);
    }

    glColor3ub(32, 221, 32);
    for (const WavyLine& line : closingScene.lines) {
        glBegin(GL_LINE_STRIP);
        for (int32_t j = 0; j < line.count; ++j) {
            const Point2f point = wavyLinePoint(line, progress, j);
            glVertex2f(point.x, point.y);
        }
        glEnd();
    }

    endOrtho();

    if (closingTextShown(progress)) {
        // Additive, so the text brightens whatever lies under it.
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glEnable(GL_BLEND);
        glDisable(GL_DEPTH_TEST);
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, -1.0f);
        // The colour is set before the raster position, so the text takes it.
        glColor4f(1.0f, 1.0f, 1.0f, closingTextAlpha(progress));
        drawText2D(-0.2f, 0.0f, closingText);
        glDisable(GL_BLEND);
        glEnable(GL_DEPTH_TEST);
    }
}

} // namespace ostrel
