// The main loop, start-up and shutdown against a scripted fake host. Every call the loop makes
// is written to a trace, one letter per call:
//   S sleep   F renderFrame   W swapBuffers   Q WM_QUIT taken
//   K key down dispatched   U key up   A WM_ACTIVATE   C WM_CLOSE   P any other message
// Messages are scheduled to arrive before a given pass (pass 1 is the first sleep).
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "shell/main_loop.h"
#include "shell/settings.h"
#include "shell/window_proc.h"

namespace ostrel {
namespace {

struct Arrival {
    int pass;
    platform::Message message;
};

struct FakeHost {
    std::string trace;
    std::vector<Arrival> arrivals;
    std::deque<platform::Message> queue;
    std::vector<int32_t> frameResults; // result of each renderFrame call; 1 past the end
    int pass = 0;
    int frames = 0;
    int passLimit = 200; // a loop that never ends fails the test instead of hanging it
};
FakeHost host;

void fakeSleep(uint32_t milliseconds) {
    EXPECT_EQ(milliseconds, 10u);
    ++host.pass;
    host.trace += 'S';
    for (const Arrival& arrival : host.arrivals) {
        if (arrival.pass == host.pass) {
            host.queue.push_back(arrival.message);
        }
    }
    if (host.pass >= host.passLimit) {
        ADD_FAILURE() << "loop still running after " << host.passLimit << " passes";
        requestQuit();
    }
}

int32_t fakePeek(platform::Message* message) {
    if (host.queue.empty()) {
        return 0;
    }
    *message = host.queue.front();
    host.queue.pop_front();
    if (message->message == platform::wmQuit) {
        host.trace += 'Q';
    }
    return 1;
}

void fakePostQuit(int32_t exitCode) {
    host.queue.push_back(platform::Message{platform::wmQuit, static_cast<uintptr_t>(exitCode), 0});
}

void fakeDispatch(const platform::Message* message) {
    switch (message->message) {
    case platform::wmKeyDown:
        host.trace += 'K';
        break;
    case platform::wmKeyUp:
        host.trace += 'U';
        break;
    case platform::wmActivate:
        host.trace += 'A';
        break;
    case platform::wmClose:
        host.trace += 'C';
        break;
    default:
        host.trace += 'P';
        break;
    }
    handleWindowMessage(message, fakePostQuit);
}

int32_t fakeRender() {
    host.trace += 'F';
    int32_t result = host.frames < static_cast<int>(host.frameResults.size())
                         ? host.frameResults[static_cast<size_t>(host.frames)]
                         : 1;
    ++host.frames;
    return result;
}

void fakeSwap() {
    host.trace += 'W';
}

const LoopHost loopHost = {fakeSleep, fakePeek, fakeDispatch, fakeRender, fakeSwap};

platform::Message keyDown(uintptr_t key) {
    return {platform::wmKeyDown, key, 0};
}
platform::Message keyUp(uintptr_t key) {
    return {platform::wmKeyUp, key, 0};
}
platform::Message activate(uintptr_t wParam) {
    return {platform::wmActivate, wParam, 0};
}
platform::Message closeWindow() {
    return {platform::wmClose, 0, 0};
}
platform::Message paint() {
    return {0x000F, 0, 0};
}

class MainLoopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings = builtinSettings;
        appWindow = AppWindow{};
        for (int32_t& key : keyTable) {
            key = 0;
        }
        host = FakeHost{};
    }
};

TEST_F(MainLoopTest, EachPassHandlesOneMessageOrOneFrame) {
    // pass:    1   2   3   4   5
    // queue:   P   P   -   P   -      (frame 3 ends the run)
    // action:  P   P   FW  P   F
    host.arrivals = {{1, paint()}, {1, paint()}, {4, paint()}};
    host.frameResults = {1, 0};
    EXPECT_EQ(runMainLoop(&loopHost), 0);
    EXPECT_EQ(host.trace, "SPSPSFWSPSF");
}

TEST_F(MainLoopTest, AMessageEveryPassHoldsBackFrames) {
    // Five passes with a waiting message draw nothing; the first empty pass draws.
    for (int pass = 1; pass <= 5; ++pass) {
        host.arrivals.push_back({pass, paint()});
    }
    host.frameResults = {0};
    runMainLoop(&loopHost);
    EXPECT_EQ(host.trace, "SPSPSPSPSPSF");
}

TEST_F(MainLoopTest, FrameResultZeroEndsTheLoopWithoutQuit) {
    host.frameResults = {1, 1, 0};
    EXPECT_EQ(runMainLoop(&loopHost), 0);
    // No swap after the last frame, and quit stays clear.
    EXPECT_EQ(host.trace, "SFWSFWSF");
    EXPECT_EQ(isQuitRequested(), 0);
}

TEST_F(MainLoopTest, CloseEndsTheLoopWithoutAnotherFrame) {
    // pass 1 frame, pass 2 WM_CLOSE (posts WM_QUIT), pass 3 takes WM_QUIT: no frame after it.
    host.arrivals = {{2, closeWindow()}};
    EXPECT_EQ(runMainLoop(&loopHost), 0);
    EXPECT_EQ(host.trace, "SFWSCSQ");
    EXPECT_EQ(isQuitRequested(), 1);
}

TEST_F(MainLoopTest, QuitMessageIsNotDispatched) {
    host.arrivals = {{1, platform::Message{platform::wmQuit, 0, 0}}};
    runMainLoop(&loopHost);
    EXPECT_EQ(host.trace, "SQ");
}

TEST_F(MainLoopTest, EscapeEndsTheLoopOnTheFirstIdlePass) {
    // pass 1 key down, pass 2 idle: Escape seen, quit set, no frame drawn. The key's own wParam
    // (27) is not the exit code: a run ended by Escape ends with 0.
    host.arrivals = {{1, keyDown(27)}};
    EXPECT_EQ(runMainLoop(&loopHost), 0);
    EXPECT_EQ(host.trace, "SKS");
    EXPECT_EQ(isQuitRequested(), 1);
}

TEST_F(MainLoopTest, EscapeWaitsWhileMessagesAreWaiting) {
    // A held Escape is acted on only once the queue is empty.
    host.arrivals = {{1, keyDown(27)}, {2, paint()}, {3, keyDown(27)}};
    runMainLoop(&loopHost);
    EXPECT_EQ(host.trace, "SKSPSKS");
}

TEST_F(MainLoopTest, EscapeIsIgnoredWhileMinimised) {
    // pass:   1 minimise  2 Escape down  3..5 idle and minimised  6 restore  7 idle: quit
    host.arrivals = {{1, activate(0x00010000)}, {2, keyDown(27)}, {6, activate(0x00000001)}};
    runMainLoop(&loopHost);
    EXPECT_EQ(host.trace, "SASKSSSSAS");
    EXPECT_EQ(isQuitRequested(), 1);
    EXPECT_EQ(host.frames, 0);
}

TEST_F(MainLoopTest, ReleasedEscapeDoesNotEndTheRun) {
    host.arrivals = {{1, keyDown(27)}, {1, keyUp(27)}};
    host.frameResults = {0};
    runMainLoop(&loopHost);
    EXPECT_EQ(host.trace, "SKSUSF");
    EXPECT_EQ(isQuitRequested(), 0);
}

TEST_F(MainLoopTest, MinimisedWindowDrawsNoFrames) {
    // Frames stop while minimised and resume on restore; losing focus alone keeps drawing.
    host.arrivals = {{2, activate(0x00010000)}, {5, activate(0x00000001)}, {7, activate(0)}};
    host.frameResults = {1, 1, 1, 0};
    runMainLoop(&loopHost);
    // pass: 1 F  2 A(min)  3 -  4 -  5 A(restore)  6 F  7 A(lost focus)  8 F  9 F(end)
    EXPECT_EQ(host.trace, "SFWSASSSASFWSASFWSF");
}

TEST_F(MainLoopTest, ActiveStartsSetSoTheFirstPassDraws) {
    host.frameResults = {0};
    runMainLoop(&loopHost);
    EXPECT_EQ(host.trace, "SF");
}

TEST_F(MainLoopTest, SceneEndExitsWithZeroWhateverCameLast) {
    // The last message taken is the key-up of 'B' (66) and a minimise with a non-zero wParam
    // came before it; the end of the scene still ends the run with 0.
    host.arrivals = {{1, activate(0x00000001)}, {2, keyUp('B')}};
    host.frameResults = {1, 0};
    EXPECT_EQ(runMainLoop(&loopHost), 0);
    EXPECT_EQ(host.trace, "SASUSFWSF");
}

TEST_F(MainLoopTest, ExitCodeComesFromThePostedQuit) {
    host.arrivals = {{1, keyDown('A')}, {2, platform::Message{platform::wmQuit, 3, 0}}};
    EXPECT_EQ(runMainLoop(&loopHost), 3);
}

TEST_F(MainLoopTest, EscapeAfterOtherMessagesStillExitsWithZero) {
    host.arrivals = {{1, keyDown('A')}, {2, keyDown(27)}};
    EXPECT_EQ(runMainLoop(&loopHost), 0);
    EXPECT_EQ(host.trace, "SKSKS");
}

TEST_F(MainLoopTest, LoopDoesNotRunWhenQuitIsAlreadySet) {
    requestQuit();
    EXPECT_EQ(runMainLoop(&loopHost), 0);
    EXPECT_EQ(host.trace, "");
}

// Start-up and shutdown: the application's own steps go to a second trace.
struct AppTrace {
    std::string steps;
    int32_t boxAnswer = 6;
    int32_t windowResult = 1;
    std::string boxText, boxCaption, windowTitle;
    uint32_t boxType = 0;
    int32_t width = 0, height = 0, bits = 0;
    int32_t fullscreenAtWindow = -1;
};
AppTrace app;

int32_t fakeBox(const char* text, const char* caption, uint32_t type) {
    app.steps += "box ";
    app.boxText = text;
    app.boxCaption = caption;
    app.boxType = type;
    return app.boxAnswer;
}
int32_t fakeCreate(const char* title, int32_t width, int32_t height, int32_t bits) {
    app.steps += "create ";
    app.windowTitle = title;
    app.width = width;
    app.height = height;
    app.bits = bits;
    app.fullscreenAtWindow = isFullscreen();
    return app.windowResult;
}
int32_t fakeDestroy() {
    app.steps += "destroy ";
    return 1;
}
int32_t fakeInit() {
    app.steps += "init ";
    return 0;
}
int32_t fakeStopMusic() {
    app.steps += "stopMusic ";
    return 1;
}
int32_t fakeEndSchedule() {
    app.steps += "endSchedule ";
    return 1;
}
int32_t appRender() {
    app.steps += "frame ";
    return fakeRender();
}

const AppHost appHost = {fakeBox,
                         fakeCreate,
                         fakeDestroy,
                         fakeInit,
                         fakeStopMusic,
                         fakeEndSchedule,
                         {fakeSleep, fakePeek, fakeDispatch, appRender, fakeSwap}};

class ApplicationTest : public MainLoopTest {
  protected:
    void SetUp() override {
        MainLoopTest::SetUp();
        app = AppTrace{};
        host.frameResults = {0}; // one frame ends the run
    }
};

TEST_F(ApplicationTest, StartsAndShutsDownInOrder) {
    EXPECT_EQ(runApplication(&appHost), 0);
    EXPECT_EQ(app.steps, "box create init frame destroy stopMusic endSchedule ");
}

TEST_F(ApplicationTest, AsksTheFullscreenQuestion) {
    runApplication(&appHost);
    EXPECT_EQ(app.boxText, "Fullscreen");
    EXPECT_EQ(app.boxCaption, "Varnholt");
    EXPECT_EQ(app.boxType, 0x24u); // MB_YESNO | MB_ICONQUESTION
}

TEST_F(ApplicationTest, OpensTheBuiltInWindow) {
    runApplication(&appHost);
    EXPECT_EQ(app.windowTitle, "Ostrel");
    EXPECT_EQ(app.width, 1280);
    EXPECT_EQ(app.height, 720);
    EXPECT_EQ(app.bits, 32);
}

TEST_F(ApplicationTest, OnlyNoClearsFullscreen) {
    // answer:           IDYES  IDNO  0 (no box)  IDOK
    // fullscreen after: 1      0     1           1
    const int32_t answers[4] = {6, 7, 0, 1};
    const int32_t expected[4] = {1, 0, 1, 1};
    for (int i = 0; i < 4; ++i) {
        SetUp();
        app.boxAnswer = answers[i];
        runApplication(&appHost);
        EXPECT_EQ(app.fullscreenAtWindow, expected[i]) << "answer " << answers[i];
    }
}

TEST_F(ApplicationTest, FailedWindowEndsAtOnceWithZero) {
    app.windowResult = 0;
    EXPECT_EQ(runApplication(&appHost), 0);
    EXPECT_EQ(app.steps, "box create ");
    EXPECT_EQ(host.trace, "");
}

TEST_F(ApplicationTest, MusicOffSkipsStopMusic) {
    setMusicEnabled(0);
    runApplication(&appHost);
    EXPECT_EQ(app.steps, "box create init frame destroy endSchedule ");
}

TEST_F(ApplicationTest, ReturnsTheLoopsExitCode) {
    host.frameResults = {};
    host.arrivals = {{2, platform::Message{platform::wmQuit, 5, 0}}};
    EXPECT_EQ(runApplication(&appHost), 5);
    EXPECT_EQ(app.steps, "box create init frame destroy stopMusic endSchedule ");
}

TEST_F(ApplicationTest, ShutdownIsTheSameAfterEscape) {
    host.frameResults = {};
    host.arrivals = {{2, keyDown(27)}};
    EXPECT_EQ(runApplication(&appHost), 0);
    EXPECT_EQ(app.steps, "box create init frame destroy stopMusic endSchedule ");
}

} // namespace
} // namespace ostrel
