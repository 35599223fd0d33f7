// The stream hook table, the ModuleStream operations, the memory and file streams, and the
// player's create/destroy life.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "module/memory_stream.h"
#include "module/stream.h"
#include "tests/support/xm_writer.h"

namespace ostrel {
namespace {

using xmtest::buildXm;
using xmtest::XmModule;

// A 22,089-byte image whose byte k is k & 0xFF, served by the memory stream.
struct MemoryStreamTest : ::testing::Test {
    std::vector<uint8_t> image = std::vector<uint8_t>(22089);
    MemoryStream* stream = nullptr;
    void SetUp() override {
        for (size_t k = 0; k < image.size(); ++k) {
            image[k] = uint8_t(k);
        }
        stream = openMemoryStream(image.data(), int32_t(image.size()));
        ASSERT_NE(stream, nullptr);
    }
    void TearDown() override { memoryStreamClose(stream); }
};

TEST_F(MemoryStreamTest, OpenCopiesTheImageAndStartsAtZero) {
    EXPECT_EQ(stream->size, 22089);
    EXPECT_EQ(memoryStreamTell(stream), 0);
    EXPECT_NE(stream->bytes, image.data());
    image[5] = 0xEE; // a private copy: later changes to the source do not show
    uint8_t bytes[8] = {};
    EXPECT_EQ(memoryStreamRead(bytes, 8, stream), 8);
    EXPECT_EQ(bytes[5], 5);
    EXPECT_EQ(memoryStreamTell(stream), 8);
}

TEST_F(MemoryStreamTest, ReadAtTheEndDeliversTheRestThenNothing) {
    memoryStreamSeek(stream, 22080, 0);
    uint8_t bytes[17] = {};
    EXPECT_EQ(memoryStreamRead(bytes, 17, stream), 9);
    EXPECT_EQ(bytes[0], uint8_t(22080));
    EXPECT_EQ(bytes[8], uint8_t(22088));
    EXPECT_EQ(bytes[9], 0); // untouched
    EXPECT_EQ(memoryStreamTell(stream), 22089);
    EXPECT_EQ(memoryStreamRead(bytes, 17, stream), 0);
    EXPECT_EQ(memoryStreamTell(stream), 22089);
}

TEST_F(MemoryStreamTest, ReadWithNonPositiveCountDeliversNothing) {
    uint8_t bytes[4] = {};
    EXPECT_EQ(memoryStreamRead(bytes, 0, stream), 0);
    EXPECT_EQ(memoryStreamRead(bytes, -5, stream), 0);
    EXPECT_EQ(memoryStreamTell(stream), 0);
}

TEST_F(MemoryStreamTest, SeekFromEachOrigin) {
    // from position, offset, whence -> position after (size 22,089)
    struct Step {
        int32_t from, offset, whence, expected;
    };
    const Step steps[] = {
        {0, 0, 2, 22089},             // to the end
        {0, 30000, 0, 22089},         // past the end stops at size
        {10, 23, 1, 33},              // relative
        {10, -4, 2, 22085},           // from the end backwards
        {100, 5, 3, 100},             // unknown origin: unchanged
        {10, -50, 1, 0},              // before the start stops at 0
        {0, -1, 0, 0},                // negative absolute target stops at 0
        {22000, INT32_MAX, 1, 22089}, // overflowing sum still clamps
    };
    for (const Step& s : steps) {
        stream->position = s.from;
        memoryStreamSeek(stream, s.offset, s.whence);
        EXPECT_EQ(memoryStreamTell(stream), s.expected)
            << "from " << s.from << " offset " << s.offset << " whence " << s.whence;
    }
}

TEST_F(MemoryStreamTest, UnknownOriginIsStillClampedToSize) {
    stream->position = 30000; // as if something had put it past the end
    memoryStreamSeek(stream, 7, 3);
    EXPECT_EQ(memoryStreamTell(stream), 22089);
}

TEST(MemoryStream, BuiltInOpenServesTheEmbeddedModule) {
    auto* stream = static_cast<MemoryStream*>(memoryStreamOpen("music.xm"));
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->size, builtinModuleSize);
    EXPECT_EQ(stream->position, 0);
    memoryStreamClose(stream);
}

TEST(MemoryStream, NullHandleIsHarmless) {
    uint8_t byte = 0;
    memoryStreamClose(nullptr);
    memoryStreamSeek(nullptr, 1, 0);
    EXPECT_EQ(memoryStreamRead(&byte, 1, nullptr), 0);
    EXPECT_EQ(memoryStreamTell(nullptr), 0);
    EXPECT_EQ(openMemoryStream(nullptr, -1), nullptr);
}

// Counting hooks over a fixed image, to watch what the ModuleStream layer passes on.
struct HookLog {
    std::vector<uint8_t> image;
    int opens = 0;
    int closes = 0;
    int lastWhence = -99;
};
HookLog hookLog;

void* countingOpen(const char*) {
    ++hookLog.opens;
    return openMemoryStream(hookLog.image.data(), int32_t(hookLog.image.size()));
}
void* failingOpen(const char*) {
    ++hookLog.opens;
    return nullptr;
}
void countingClose(void* handle) {
    ++hookLog.closes;
    memoryStreamClose(handle);
}
void loggingSeek(void* handle, int32_t offset, int32_t whence) {
    hookLog.lastWhence = whence;
    memoryStreamSeek(handle, offset, whence);
}

struct HookTest : ::testing::Test {
    void SetUp() override {
        hookLog = HookLog{};
        hookLog.image = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'x', 'm'};
    }
    StreamHooks hooks = {countingOpen, countingClose,    memoryStreamRead,
                         loggingSeek,  memoryStreamTell, nullptr};
};

// A load's hooks must all be there: with any of the five missing (or none given) nothing is
// opened and no player made, and the open hook is never reached.
TEST_F(HookTest, IncompleteHooksOpenNothing) {
    EXPECT_EQ(streamHooksComplete(&hooks), 1);
    for (int missing = 0; missing <= 5; ++missing) {
        SCOPED_TRACE(missing);
        StreamHooks partial = hooks;
        StreamHooks* given = &partial;
        switch (missing) {
        case 0:
            partial.open = nullptr;
            break;
        case 1:
            partial.close = nullptr;
            break;
        case 2:
            partial.read = nullptr;
            break;
        case 3:
            partial.seek = nullptr;
            break;
        case 4:
            partial.tell = nullptr;
            break;
        default:
            given = nullptr;
            break;
        }
        EXPECT_EQ(streamHooksComplete(given), 0);
        EXPECT_EQ(streamOpen(given, "x"), nullptr);
        const char* reason = "";
        EXPECT_EQ(createPlayer(given, "x", nullptr, &reason), nullptr);
        EXPECT_STREQ(reason, "no stream hooks given");
    }
    EXPECT_EQ(hookLog.opens, 0);
}

TEST_F(HookTest, StreamOperationsPassThroughToTheHooks) {
    ModuleStream* stream = streamOpen(&hooks, "x");
    ASSERT_NE(stream, nullptr);
    uint8_t bytes[3] = {};
    EXPECT_EQ(streamRead(bytes, 3, stream), 3);
    EXPECT_EQ(bytes[2], 't');
    streamSeek(stream, 2, 1);
    EXPECT_EQ(hookLog.lastWhence, 1);
    EXPECT_EQ(streamTell(stream), 5);
    streamClose(stream);
    EXPECT_EQ(hookLog.closes, 1);
}

// Two loads with different hooks, one after the other, each read through its own.
TEST_F(HookTest, EachStreamKeepsTheHooksItWasOpenedWith) {
    ModuleStream* counted = streamOpen(&hooks, "x");
    const StreamHooks plain = memoryStreamHooks;
    ModuleStream* builtin = streamOpen(&plain, "music.xm");
    ASSERT_NE(counted, nullptr);
    ASSERT_NE(builtin, nullptr);
    streamSeek(builtin, 0, 2);
    EXPECT_EQ(streamTell(builtin), builtinModuleSize);
    EXPECT_EQ(hookLog.lastWhence, -99); // not the logging seek
    streamSeek(counted, 0, 2);
    EXPECT_EQ(hookLog.lastWhence, 2);
    EXPECT_EQ(streamTell(counted), 9);
    streamClose(builtin);
    EXPECT_EQ(hookLog.closes, 0);
    streamClose(counted);
    EXPECT_EQ(hookLog.closes, 1);
}

TEST_F(HookTest, WhenceTravelsAsASignedByte) {
    ModuleStream* stream = streamOpen(&hooks, "x");
    ASSERT_NE(stream, nullptr);
    streamSeek(stream, 0, 0x102); // low byte 2: from the end
    EXPECT_EQ(hookLog.lastWhence, 2);
    EXPECT_EQ(streamTell(stream), 9);
    streamSeek(stream, 0, 0xFF); // signed byte -1
    EXPECT_EQ(hookLog.lastWhence, -1);
    streamClose(stream);
}

TEST_F(HookTest, NullStreamOperationsDoNothing) {
    uint8_t byte = 0;
    EXPECT_EQ(streamRead(&byte, 1, nullptr), 0);
    EXPECT_EQ(streamTell(nullptr), 0);
    streamSeek(nullptr, 1, 0);
    streamClose(nullptr);
    EXPECT_EQ(hookLog.closes, 0);
}

TEST_F(HookTest, OpenHookFailureMakesStreamOpenNull) {
    hooks.open = failingOpen;
    EXPECT_EQ(streamOpen(&hooks, "x"), nullptr);
    EXPECT_EQ(hookLog.opens, 1);
    EXPECT_EQ(hookLog.closes, 0);
    const char* reason = "";
    EXPECT_EQ(createPlayer(&hooks, "x", nullptr, &reason), nullptr);
    EXPECT_STREQ(reason, "cannot open the module");
}

TEST_F(HookTest, CreatePlayerOnANonXmClosesTheStreamOnce) {
    const char* reason = "";
    EXPECT_EQ(createPlayer(&hooks, "music.xm", nullptr, &reason), nullptr);
    EXPECT_EQ(hookLog.opens, 1);
    EXPECT_EQ(hookLog.closes, 1);
    EXPECT_STREQ(reason, "not an XM module");
    // The reason is optional.
    EXPECT_EQ(createPlayer(&hooks, "music.xm", nullptr, nullptr), nullptr);
}

TEST_F(HookTest, CreatePlayerOnAnXmClosesTheStreamOnceAndSucceeds) {
    hookLog.image = buildXm(XmModule{}).bytes;
    const char* reason = "left over";
    ModulePlayer* player = createPlayer(&hooks, "music.xm", nullptr, &reason);
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(hookLog.closes, 1);
    EXPECT_STREQ(reason, "");
    EXPECT_EQ(destroyPlayer(player), 1);
}

TEST(PlayerLife, DestroyNullReturnsZero) {
    EXPECT_EQ(destroyPlayer(nullptr), 0);
}

void noProvider(void*, int32_t, int32_t, int32_t, int32_t) {}

TEST(PlayerLife, ProviderIsStoredInThePlayer) {
    std::vector<uint8_t> image = buildXm(XmModule{}).bytes;
    ModulePlayer* player = xmtest::createPlayerFromImage(image, noProvider);
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->sampleDataProvider, &noProvider);
    destroyPlayer(player);
}

struct FileStreamTest : ::testing::Test {
    std::string path;
    void SetUp() override {
        path = ::testing::TempDir() + "ostrel_file_stream_test.bin";
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        for (int k = 0; k < 100; ++k) {
            std::fputc(k, file);
        }
        std::fclose(file);
    }
    void TearDown() override { std::remove(path.c_str()); }
};

TEST_F(FileStreamTest, ReadsSeeksAndClampsLikeTheMemoryStream) {
    void* stream = fileStreamOpen(path.c_str());
    ASSERT_NE(stream, nullptr);
    uint8_t bytes[10] = {};
    fileStreamSeek(stream, 95, 0);
    EXPECT_EQ(fileStreamRead(bytes, 10, stream), 5);
    EXPECT_EQ(bytes[0], 95);
    EXPECT_EQ(fileStreamTell(stream), 100);
    fileStreamSeek(stream, 50, 1);
    EXPECT_EQ(fileStreamTell(stream), 100);
    fileStreamSeek(stream, -10, 2);
    EXPECT_EQ(fileStreamTell(stream), 90);
    fileStreamSeek(stream, -200, 1);
    EXPECT_EQ(fileStreamTell(stream), 0);
    fileStreamSeek(stream, 40, 3);
    EXPECT_EQ(fileStreamTell(stream), 0);
    fileStreamClose(stream);
}

TEST_F(FileStreamTest, MissingFileFailsToOpenAndCloseAcceptsNull) {
    EXPECT_EQ(fileStreamOpen((path + ".missing").c_str()), nullptr);
    EXPECT_EQ(fileStreamOpen(nullptr), nullptr);
    fileStreamClose(nullptr);
    EXPECT_EQ(fileStreamRead(nullptr, 1, nullptr), 0);
    EXPECT_EQ(fileStreamTell(nullptr), 0);
}

TEST_F(FileStreamTest, CreatePlayerLoadsAModuleFromAFile) {
    std::vector<uint8_t> image = buildXm(XmModule{}).bytes;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(image.data(), 1, image.size(), file);
    std::fclose(file);
    ModulePlayer* player = createPlayer(&fileStreamHooks, path.c_str(), nullptr, nullptr);
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->channelCount, 1);
    EXPECT_EQ(player->patterns[0].rowCount, 64);
    destroyPlayer(player);
}

} // namespace
} // namespace ostrel
