// The entry point of every unit test program: the headless sound device and the engine's tick
// for the loader are installed before any test runs, as a program installs them at start-up.
#include <gtest/gtest.h>

#include "audio/output.h"
#include "module/stream.h"
#include "platform/headless/headless_audio.h"
#include "player/sequencer.h"

int main(int argc, char** argv) {
    ostrel::installAudioDevice(&ostrel::platform::headlessAudioDevice);
    ostrel::installTickFunction(ostrel::playerTick);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
