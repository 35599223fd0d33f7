// The built-in settings and their accessors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "shell/settings.h"

namespace ostrel {
namespace {

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings = builtinSettings;
        appWindow = AppWindow{};
    }
};

TEST_F(SettingsTest, DefaultsAreTheBuiltInOnes) {
    EXPECT_STREQ(settings.fontFace, "Comic Sans MS");
    EXPECT_STREQ(settings.windowTitle, "Ostrel");
    EXPECT_EQ(settings.active, 1);
    EXPECT_EQ(settings.musicEnabled, 1);
    EXPECT_EQ(settings.fullscreen, 1);
    EXPECT_EQ(settings.height, 720);
    EXPECT_EQ(settings.width, 1280);
    EXPECT_EQ(settings.timeOffset, 0.0f);
    EXPECT_TRUE(std::signbit(settings.timeOffset));
}

TEST_F(SettingsTest, AccessorsReadAndWriteTheirFields) {
    setResolution(640, 480);
    EXPECT_EQ(getWidth(), 640);
    EXPECT_EQ(getHeight(), 480);
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(settings.height, 480);
    setFullscreen(0);
    EXPECT_EQ(isFullscreen(), 0);
    EXPECT_EQ(settings.fullscreen, 0);
    setMusicEnabled(0);
    EXPECT_EQ(isMusicEnabled(), 0);
    EXPECT_EQ(settings.musicEnabled, 0);
    // The other fields stay as they were.
    EXPECT_EQ(settings.active, 1);
    EXPECT_EQ(settings.timeOffset, 0.0f);
}

TEST_F(SettingsTest, QuitStartsClearAndIsSetOnRequest) {
    EXPECT_EQ(isQuitRequested(), 0);
    requestQuit();
    EXPECT_EQ(isQuitRequested(), 1);
    EXPECT_EQ(appWindow.quit, 1);
    requestQuit();
    EXPECT_EQ(isQuitRequested(), 1);
}

} // namespace
} // namespace ostrel
