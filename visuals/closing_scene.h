// The closing scene: the picture as a field of dots recoloured row by row from the top, 40 white
// rings that rise and sway, 40 green wavy lines along the bottom and, from 80 % on, the fading
// text. The arithmetic behind each element is exposed so that it can be checked without GL.
#pragma once

#include <cstddef>
#include <cstdint>

#include "visuals/draw.h"

namespace ostrel {

struct RisingRing {
    float x;
    float y0;
    float speed;
    float swayAmplitude;
    float swayFrequency;
    float radius;
};

struct WavyLine {
    int32_t count; // points
    float step;    // vertical distance between points
    float x;
    float frequency;
    float amplitude;
    float phase;
};

constexpr int32_t risingRingCount = 40;
constexpr int32_t wavyLineCount = 40;

using PictureAllocateFunction = void* (*)(size_t bytes);

// Everything the scene keeps for the whole run. The picture is allocated and decoded by the
// first call and changed in place afterwards; null when it could not be had, in which case the
// scene draws no picture.
struct ClosingScene {
    int32_t initialised;
    uint8_t* picture;
    RisingRing rings[risingRingCount];
    WavyLine lines[wavyLineCount];
};

extern ClosingScene closingScene;

constexpr const char* closingText = "The End :(";

// The scene's progress callback; progress strictly between 0 and 1.
void drawClosingScene(float progress);

// First-call work, in the order the scene does it: the picture, then the rings, then the lines.
// Allocates the picture with `allocate` (released with std::free when the stream is bad) and
// returns it decoded, or null.
uint8_t* loadPicture(const uint8_t* stream, int32_t length, PictureAllocateFunction allocate);
// Each draws rand() once per field in the order radius, x, y0, speed, swayAmplitude,
// swayFrequency (rings) and count, step, x, frequency, amplitude, phase (lines).
void seedRisingRing(RisingRing* ring);
void seedWavyLine(WavyLine* line);

// progress x 18900, in single precision.
float pictureThreshold(float progress);
// Whether the pixel whose red byte is at `index` is subject to the colour rules.
bool pixelSubject(int32_t index, float threshold);
// The two colour rules applied to one pixel (red, green, blue) in place; draws rand() only for
// the rule that applies.
void applyColourRules(uint8_t* pixel);

// Where a ring's centre is at this progress: x swaying, y rising and wrapping.
Point2f risingRingCentre(const RisingRing& ring, float progress);
// Point j of a wavy line at this progress.
Point2f wavyLinePoint(const WavyLine& line, float progress, int32_t j);

// The closing text is drawn only above 0.8, fading in until 0.9.
bool closingTextShown(float progress);
float closingTextAlpha(float progress);

} // namespace ostrel
