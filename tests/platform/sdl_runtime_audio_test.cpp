// The run-time form of the SDL sound device, in a program that links no SDL: SDL is not loaded
// until the device is opened; a library that cannot be loaded fails the open with the loader's
// reason and is tried again on the next open; once loaded, the device plays through SDL's dummy
// driver, whose thread takes the ring at the pace of a sound card.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/audio_device.h"

namespace ostrel::platform {
namespace {

bool sdlLoaded() {
    void* library = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (library)
        dlclose(library);
    return library != nullptr;
}

uint32_t positionAfter(std::chrono::milliseconds wait) {
    std::this_thread::sleep_for(wait);
    uint32_t bytes = 0;
    EXPECT_EQ(systemAudioDevice.getPosition(&bytes), 0);
    return bytes;
}

// One test: the failed load must come before the one that succeeds, in any order of the run.
TEST(SdlRuntimeAudioDevice, LoadsSdlOnOpenFailsCleanlyWithoutItAndPlays) {
    const AudioDevice& device = systemAudioDevice;
    EXPECT_FALSE(sdlLoaded());

    setenv("OSTREL_SDL_LIBRARY", "libostrel-no-such-sdl.so.0", 1);
    EXPECT_EQ(device.open(44100), 6);
    EXPECT_NE(std::string(systemAudioDeviceError()).find("libostrel-no-such-sdl.so.0"),
              std::string::npos)
        << systemAudioDeviceError();
    EXPECT_FALSE(sdlLoaded());
    EXPECT_NE(device.close(), 0);

    unsetenv("OSTREL_SDL_LIBRARY");
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(device.open(44100), 0) << systemAudioDeviceError();
    EXPECT_STREQ(systemAudioDeviceError(), "");
    EXPECT_TRUE(sdlLoaded());
    EXPECT_EQ(device.open(44100), 4);

    static int16_t ring[2 * 4410] = {};
    device.prepare(ring, sizeof ring);
    device.write();
    // The dummy driver takes 1024 frames (4096 bytes) about every 23 ms.
    uint32_t played = 0;
    for (int i = 0; i < 100 && played < 3 * 4096; ++i)
        played = positionAfter(std::chrono::milliseconds(10));
    EXPECT_GE(played, 3u * 4096);
    EXPECT_EQ(played % 4096, 0u);

    device.reset();
    EXPECT_EQ(positionAfter(std::chrono::milliseconds(60)), 0u);
    device.unprepare();
    EXPECT_EQ(device.close(), 0);
    uint32_t bytes = 0;
    EXPECT_NE(device.getPosition(&bytes), 0);
}

} // namespace
} // namespace ostrel::platform
