// The demo's entry point, the same on every host: installs the host's sound device, runs the
// demo and gives the host back what it still holds. The executable compiles this file itself (an
// entry point that only a library defines is not found by the linker). A Windows GUI program may
// define main too: the mingw-w64 start-up code calls it.
#include "audio/output.h"
#include "platform/audio_device.h"
#include "platform/platform.h"
#include "shell/app.h"

int main(int, char**) {
    ostrel::installAudioDevice(&ostrel::platform::systemAudioDevice);
    const int32_t exitCode = ostrel::runDemo();
    ostrel::platform::shutdownHost();
    return exitCode;
}
