// The entry point of every unit test program: the headless sound device is installed before any
// test runs, as a program installs its device at start-up.
#include <gtest/gtest.h>

#include "audio/output.h"
#include "platform/headless/headless_audio.h"

int main(int argc, char** argv) {
    ostrel::installAudioDevice(&ostrel::platform::headlessAudioDevice);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
