// OSMesa renders into a plain memory buffer with no display; rows are stored bottom-up, as GL
// numbers them.
#include "tests/visuals/osmesa_context.h"

#include <GL/osmesa.h>

#include <cstddef>
#include <cstdlib>
#include <vector>

#include "platform/gl.h"

namespace ostrel::testgl {

namespace {

OSMesaContext context = nullptr;
std::vector<uint8_t> pixels;

// Releases the context, and with it every display list it holds, before the leak checker looks.
void destroyContext() {
    if (context != nullptr) {
        OSMesaDestroyContext(context);
        context = nullptr;
    }
}

} // namespace

bool makeCurrent() {
    if (context == nullptr) {
        context = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
        if (context == nullptr) {
            return false;
        }
        pixels.assign(static_cast<size_t>(width) * height * 4, 0);
        std::atexit(destroyContext);
    }
    if (!OSMesaMakeCurrent(context, pixels.data(), GL_UNSIGNED_BYTE, width, height)) {
        return false;
    }
    glViewport(0, 0, width, height);
    return true;
}

Rgba pixelAt(int32_t x, int32_t y) {
    glFinish();
    const uint8_t* p = pixels.data() + 4 * (static_cast<size_t>(y) * width + x);
    return Rgba{p[0], p[1], p[2], p[3]};
}

void resetFrameState() {
    // What start-up sets once ...
    glClearColor(0.078431375f, 0.06666667f, 0.3882353f, 0.0f);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_POINT_SMOOTH);
    glEnable(GL_LINE_SMOOTH);
    // ... and what every frame sets before the scene.
    glLineWidth(1.0f);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_FOG);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

} // namespace ostrel::testgl

// fontconfig keeps its configuration and caches for the life of the process by design (the font
// build does not tear the library down, since other code in the process may use it), and OSMesa
// keeps its framebuffer and driver screen after the context is gone. Neither is ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libOSMesa.so\n";
}
