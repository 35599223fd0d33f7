// The SDL backend lies below the shell and reaches it only through the installed window client:
// a dispatched message goes to the client's table, whose quit comes back out of the queue as
// WM_QUIT, and without a client nothing is handled and no window is made.
#include <gtest/gtest.h>

#include <vector>

#include "platform/window.h"

namespace ostrel::platform {
namespace {

std::vector<uint32_t> handled;
int32_t fullscreenAsks = 0;

// Handles WM_CLOSE by posting quit code 7, leaves everything else to the default handling.
int32_t recordingTable(const Message* message, PostQuitFunction postQuit) {
    handled.push_back(message->message);
    if (message->message == wmClose) {
        postQuit(7);
        return 1;
    }
    return 0;
}

int32_t countFullscreen() {
    ++fullscreenAsks;
    return 0;
}

class SdlWindowClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        handled.clear();
        fullscreenAsks = 0;
    }
    void TearDown() override { installWindowClient(nullptr); }
    WindowHandles handles = {};
    const WindowClient client = {&handles, countFullscreen, recordingTable};
};

TEST_F(SdlWindowClientTest, DispatchGivesTheMessageToTheClientsTable) {
    installWindowClient(&client);
    EXPECT_EQ(installedWindowClient(), &client);
    const Message keyDown = {wmKeyDown, 27, 0};
    const Message close = {wmClose, 0, 0};
    dispatchMessage(&keyDown);
    dispatchMessage(&close);
    EXPECT_EQ(handled, (std::vector<uint32_t>{wmKeyDown, wmClose}));
    // The table's quit is the next message taken, ahead of any event, and only once.
    Message taken = {};
    ASSERT_EQ(peekMessage(&taken), 1);
    EXPECT_EQ(taken.message, wmQuit);
    EXPECT_EQ(taken.wParam, 7u);
    EXPECT_EQ(peekMessage(&taken), 0);
}

TEST_F(SdlWindowClientTest, WithoutAClientNothingIsHandledAndNoWindowIsMade) {
    installWindowClient(nullptr);
    const Message close = {wmClose, 0, 0};
    dispatchMessage(&close);
    EXPECT_TRUE(handled.empty());
    Message taken = {};
    EXPECT_EQ(peekMessage(&taken), 0);
    EXPECT_EQ(createGlWindow("Ostrel", 1280, 720, 32), 0);
    EXPECT_EQ(destroyGlWindow(), 0);
    swapBuffers(); // harmless without a window
    EXPECT_EQ(fullscreenAsks, 0);
}

} // namespace
} // namespace ostrel::platform
