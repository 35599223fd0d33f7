// The window procedure's table: which messages it handles, what they change, and what goes on
// to the default handling.
#include <gtest/gtest.h>

#include "shell/settings.h"
#include "shell/window_proc.h"

namespace ostrel {
namespace {

int32_t quitPosts;
int32_t lastQuitCode;
void recordQuit(int32_t exitCode) {
    ++quitPosts;
    lastQuitCode = exitCode;
}

int32_t send(uint32_t message, uintptr_t wParam, intptr_t lParam = 0) {
    platform::Message m = {message, wParam, lParam};
    return handleWindowMessage(&m, recordQuit);
}

class WindowProcTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings = builtinSettings;
        appWindow = AppWindow{};
        for (int32_t& key : keyTable) {
            key = 0;
        }
        quitPosts = 0;
        lastQuitCode = -1;
    }
};

TEST_F(WindowProcTest, ActivateFollowsOnlyTheMinimisedFlag) {
    // wParam        high word  low word      active afterwards
    // 0x00010000    1          WA_INACTIVE   0
    // 0x00000001    0          WA_ACTIVE     1
    // 0x00010002    1          WA_CLICKACTIVE 0
    // 0x00000000    0          WA_INACTIVE   1  (lost focus, not minimised: keeps drawing)
    const uintptr_t wParams[4] = {0x00010000, 0x00000001, 0x00010002, 0x00000000};
    const int32_t expected[4] = {0, 1, 0, 1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(send(platform::wmActivate, wParams[i]), 1);
        EXPECT_EQ(settings.active, expected[i]) << "wParam " << std::hex << wParams[i];
    }
}

TEST_F(WindowProcTest, ActivateLooksAtTheWholeHighWord) {
    // Any non-zero high word counts as minimised, not only 1.
    send(platform::wmActivate, 0xFFFF0001);
    EXPECT_EQ(settings.active, 0);
    // Bits above the 32-bit word are not part of it.
    if (sizeof(uintptr_t) > 4) {
        send(platform::wmActivate, static_cast<uintptr_t>(uint64_t{1} << 32 | 1));
        EXPECT_EQ(settings.active, 1);
    }
}

TEST_F(WindowProcTest, ClosePostsQuitWithZero) {
    EXPECT_EQ(send(platform::wmClose, 0), 1);
    EXPECT_EQ(quitPosts, 1);
    EXPECT_EQ(lastQuitCode, 0);
    // Closing does not set quit itself: that is the loop's part when it takes WM_QUIT.
    EXPECT_EQ(appWindow.quit, 0);
}

TEST_F(WindowProcTest, KeysSetAndClearTheirEntries) {
    EXPECT_EQ(send(platform::wmKeyDown, 27), 1);
    EXPECT_EQ(keyTable[27], 1);
    EXPECT_EQ(send(platform::wmKeyDown, 'A'), 1);
    EXPECT_EQ(keyTable['A'], 1);
    EXPECT_EQ(send(platform::wmKeyUp, 27), 1);
    EXPECT_EQ(keyTable[27], 0);
    EXPECT_EQ(keyTable['A'], 1);
    // A repeated key-down keeps the entry at 1, not a count.
    send(platform::wmKeyDown, 'A');
    EXPECT_EQ(keyTable['A'], 1);
    send(platform::wmKeyUp, 'A');
    EXPECT_EQ(keyTable['A'], 0);
}

TEST_F(WindowProcTest, KeyCodesOutsideTheTableChangeNothing) {
    // 0x11B would land on Escape (27) if it were folded into the table.
    EXPECT_EQ(send(platform::wmKeyDown, 0x11B), 1);
    EXPECT_EQ(keyTable[27], 0);
    for (int32_t key : keyTable) {
        EXPECT_EQ(key, 0);
    }
}

TEST_F(WindowProcTest, ScreenSaverAndMonitorPowerAreSwallowed) {
    EXPECT_EQ(send(platform::wmSysCommand, 0xF140), 1);
    EXPECT_EQ(send(platform::wmSysCommand, 0xF170), 1);
}

TEST_F(WindowProcTest, OtherSystemCommandsGoToTheDefaultHandling) {
    // Compared whole: the same command with platform bits in the low nibble is not swallowed.
    const uintptr_t others[5] = {0xF141, 0xF172, 0xF020 /* minimise */, 0xF060 /* close */,
                                 0xF140u + 0x10000u};
    for (uintptr_t command : others) {
        EXPECT_EQ(send(platform::wmSysCommand, command), 0) << std::hex << command;
    }
}

TEST_F(WindowProcTest, UnknownMessagesGoToTheDefaultHandlingUntouched) {
    const uint32_t messages[4] = {0x0000, 0x0005 /* size */, 0x000F /* paint */, platform::wmQuit};
    for (uint32_t message : messages) {
        EXPECT_EQ(send(message, 27), 0);
    }
    EXPECT_EQ(keyTable[27], 0);
    EXPECT_EQ(settings.active, 1);
    EXPECT_EQ(quitPosts, 0);
}

} // namespace
} // namespace ostrel
