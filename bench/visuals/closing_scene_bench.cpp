// One closing-scene frame as the main loop draws it (frame state, clear, the scene, finish) on
// the software renderer at 1280 x 720. The main loop's budget is 10 ms per pass.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "platform/fonts.h"
#include "platform/gl.h"
#include "tests/visuals/osmesa_context.h"
#include "visuals/closing_scene.h"
#include "visuals/draw.h"
#include "visuals/text.h"

namespace {

using namespace ostrel;

bool prepare() {
    static bool ready = false;
    if (!ready) {
        if (!testgl::makeCurrent()) {
            return false;
        }
        platform::buildFonts(nullptr, "Comic Sans MS", &bitmapBase, &outlineBase);
        ready = true;
    }
    return true;
}

void renderFrame(float progress) {
    testgl::resetFrameState();
    setPerspective();
    glPushMatrix();
    drawClosingScene(progress);
    glPopMatrix();
    glFinish();
}

// progress as a percentage: 50 is mid-scene without text, 95 with the opaque text.
void BM_ClosingSceneFrame(benchmark::State& state) {
    if (!prepare()) {
        state.SkipWithError("no OSMesa context");
        return;
    }
    const float progress = static_cast<float>(state.range(0)) / 100.0f;
    renderFrame(progress); // the first frame decodes and seeds
    for (auto _ : state) {
        renderFrame(progress);
    }
}
BENCHMARK(BM_ClosingSceneFrame)->Arg(50)->Arg(95)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same frame without the scene: what clearing and finishing alone cost on this renderer.
void BM_EmptyFrame(benchmark::State& state) {
    if (!prepare()) {
        state.SkipWithError("no OSMesa context");
        return;
    }
    for (auto _ : state) {
        testgl::resetFrameState();
        glFinish();
    }
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
