// The picture's run-length coding: the built-in stream, the encoder against the decoder, and
// streams that are malformed in every way the decoder must refuse without touching memory it
// does not own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "assets/assets.h"
#include "tools/picturegen/art.h"
#include "tools/picturegen/encoder.h"
#include "visuals/closing_scene.h"
#include "visuals/picture.h"

namespace ostrel {
namespace {

using picturegen::encodePicture;

constexpr uint8_t guardByte = 0xA5;
constexpr int32_t guardBytes = 64;

// Decodes from an exactly sized heap copy of the stream (so a read past it is caught by the
// address sanitizer) into a buffer followed by guard bytes (so a write past it shows up here).
struct Decoded {
    int result;
    std::vector<uint8_t> buffer;
    bool guardIntact() const {
        for (int32_t i = pictureBytes; i < pictureBytes + guardBytes; ++i) {
            if (buffer[i] != guardByte) {
                return false;
            }
        }
        return true;
    }
};

Decoded decode(const std::vector<uint8_t>& stream) {
    Decoded out;
    out.buffer.assign(pictureBytes + guardBytes, guardByte);
    auto* copy = static_cast<uint8_t*>(std::malloc(stream.size() + 1));
    if (!stream.empty()) {
        std::memcpy(copy, stream.data(), stream.size());
    }
    out.result = decodePicture(copy, static_cast<int32_t>(stream.size()), out.buffer.data());
    std::free(copy);
    return out;
}

// A valid stream: 6,300 pixels as 49 repeat runs of 127 and one of 77 (49 x 127 + 77 = 6300).
std::vector<uint8_t> validRepeatStream() {
    std::vector<uint8_t> s;
    for (int32_t n = 0; n < 49; ++n) {
        s.insert(s.end(), {0x80 + 127, 10, 20, 30});
    }
    s.insert(s.end(), {0x80 + 77, 10, 20, 30});
    return s;
}

std::vector<uint8_t> builtinRuns() {
    return std::vector<uint8_t>(closingPicture + closingPicturePreamble,
                                closingPicture + closingPictureSize);
}

TEST(BuiltinPicture, PreambleHoldsWidthHeightAndBytesPerPixel) {
    ASSERT_GT(closingPictureSize, closingPicturePreamble);
    const uint8_t expected[16] = {150, 0, 0, 0, 42, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(closingPicture, expected, 16), 0);
}

TEST(BuiltinPicture, DecodesToExactlyTheFullBufferUsingEveryByte) {
    // The stream holds no end marker; the coder writes no byte more than it needs.
    const std::vector<uint8_t> runs = builtinRuns();
    const Decoded whole = decode(runs);
    EXPECT_EQ(whole.result, 1);
    EXPECT_TRUE(whole.guardIntact());
    std::vector<uint8_t> shorter(runs.begin(), runs.end() - 1);
    EXPECT_EQ(decode(shorter).result, 0);
}

TEST(BuiltinPicture, IsWhatTheGeneratorPaints) {
    std::vector<uint8_t> painted(picturegen::artBytes);
    picturegen::paintClosingPicture(painted.data());
    const Decoded decoded = decode(builtinRuns());
    ASSERT_EQ(decoded.result, 1);
    EXPECT_EQ(std::memcmp(decoded.buffer.data(), painted.data(), pictureBytes), 0);
    // Regenerating gives the same bytes.
    EXPECT_EQ(encodePicture(painted.data(), pictureWidth * pictureHeight), builtinRuns());
}

TEST(BuiltinPicture, HasPixelsForEveryColourRuleAndTransparency) {
    const Decoded decoded = decode(builtinRuns());
    ASSERT_EQ(decoded.result, 1);
    int32_t transparent = 0;
    int32_t reddish = 0;
    int32_t nearWhite = 0;
    for (int32_t i = 0; i < pictureBytes; i += 3) {
        const uint8_t r = decoded.buffer[i];
        const uint8_t g = decoded.buffer[i + 1];
        const uint8_t b = decoded.buffer[i + 2];
        transparent += r == 0;
        reddish += r > 180 && g <= 99;
        nearWhite += r > 230 && g > 230 && b > 230;
    }
    // Enough of each for the sweep to show: the sky, the red hull and roofs, the sails.
    EXPECT_GT(transparent, 1000);
    EXPECT_GT(reddish, 100);
    EXPECT_GT(nearWhite, 300);
}

TEST(PictureEncoder, UsesOnlyLiteralRunsUpTo127AndRepeatRunsOf2To127) {
    std::vector<uint8_t> pixels(picturegen::artBytes);
    picturegen::paintClosingPicture(pixels.data());
    const std::vector<uint8_t> runs = encodePicture(pixels.data(), pictureWidth * pictureHeight);
    size_t at = 0;
    int32_t pixelsCovered = 0;
    while (at < runs.size()) {
        const uint8_t control = runs[at];
        ASSERT_NE(control, 0x00);
        ASSERT_NE(control, 0x80);
        ASSERT_NE(control, 0x81) << "a repeat of one pixel belongs in a literal run";
        if (control < 0x80) {
            at += 1 + 3 * control;
            pixelsCovered += control;
        } else {
            at += 4;
            pixelsCovered += control - 0x80;
        }
    }
    EXPECT_EQ(at, runs.size());
    EXPECT_EQ(pixelsCovered, pictureWidth * pictureHeight);
}

TEST(PictureEncoder, LongRunsAreSplitAt127) {
    // 6,300 equal pixels: 49 repeats of 127 and one of 77, exactly the hand-made stream.
    std::vector<uint8_t> pixels(pictureBytes);
    for (int32_t i = 0; i < pictureBytes; i += 3) {
        pixels[i] = 10;
        pixels[i + 1] = 20;
        pixels[i + 2] = 30;
    }
    EXPECT_EQ(encodePicture(pixels.data(), pictureWidth * pictureHeight), validRepeatStream());
}

TEST(PictureEncoder, RoundTripsRandomPictures) {
    std::srand(12345);
    for (int32_t trial = 0; trial < 20; ++trial) {
        // Few colours, so both long repeats and long literals occur; some trials all noise.
        const int32_t colours = trial % 4 == 0 ? 256 : 2 + trial;
        std::vector<uint8_t> pixels(pictureBytes);
        for (int32_t i = 0; i < pictureBytes; i += 3) {
            const bool keep = i > 0 && std::rand() % 4 != 0;
            const uint8_t v = static_cast<uint8_t>(std::rand() % colours);
            for (int32_t c = 0; c < 3; ++c) {
                pixels[i + c] = keep ? pixels[i - 3 + c] : static_cast<uint8_t>(v * (c + 1));
            }
        }
        const Decoded decoded = decode(encodePicture(pixels.data(), pictureWidth * pictureHeight));
        ASSERT_EQ(decoded.result, 1) << "trial " << trial;
        EXPECT_TRUE(decoded.guardIntact());
        EXPECT_EQ(std::memcmp(decoded.buffer.data(), pixels.data(), pictureBytes), 0)
            << "trial " << trial;
    }
}

TEST(PictureDecoder, LiteralAndRepeatRunsPlacePixelsInOrder) {
    // literal of 2: (1,2,3) (4,5,6); repeat of 3: (7,8,9); then repeats to fill the rest.
    std::vector<uint8_t> s = {2, 1, 2, 3, 4, 5, 6, 0x83, 7, 8, 9};
    int32_t left = pictureWidth * pictureHeight - 5;
    while (left > 0) {
        const int32_t n = left > 127 ? 127 : left;
        s.insert(s.end(), {static_cast<uint8_t>(0x80 + n), 11, 12, 13});
        left -= n;
    }
    const Decoded decoded = decode(s);
    ASSERT_EQ(decoded.result, 1);
    const uint8_t expected[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 7, 8, 9, 7, 8, 9, 11, 12, 13};
    EXPECT_EQ(std::memcmp(decoded.buffer.data(), expected, sizeof expected), 0);
    EXPECT_EQ(decoded.buffer[pictureBytes - 1], 13);
}

TEST(PictureDecoder, RejectsAnEmptyStream) {
    const Decoded decoded = decode({});
    EXPECT_EQ(decoded.result, 0);
    EXPECT_TRUE(decoded.guardIntact());
}

TEST(PictureDecoder, RejectsControlByteZero) {
    std::vector<uint8_t> s = {0x00};
    const std::vector<uint8_t> rest = validRepeatStream();
    s.insert(s.end(), rest.begin(), rest.end());
    EXPECT_EQ(decode(s).result, 0);
}

TEST(PictureDecoder, RejectsControlByte0x80) {
    std::vector<uint8_t> s = {0x80, 1, 2, 3};
    const std::vector<uint8_t> rest = validRepeatStream();
    s.insert(s.end(), rest.begin(), rest.end());
    EXPECT_EQ(decode(s).result, 0);
}

TEST(PictureDecoder, RejectsARepeatRunPastTheBuffer) {
    std::vector<uint8_t> s = validRepeatStream();
    s[s.size() - 4] = 0x80 + 78; // one pixel more than is left
    const Decoded decoded = decode(s);
    EXPECT_EQ(decoded.result, 0);
    EXPECT_TRUE(decoded.guardIntact());
}

TEST(PictureDecoder, RejectsALiteralRunPastTheBuffer) {
    std::vector<uint8_t> s = validRepeatStream();
    s.resize(s.size() - 4); // 6,223 pixels written, 77 left
    s.push_back(78);        // a literal of 78 pixels, all present in the stream
    s.insert(s.end(), 3 * 78, 9);
    const Decoded decoded = decode(s);
    EXPECT_EQ(decoded.result, 0);
    EXPECT_TRUE(decoded.guardIntact());
}

TEST(PictureDecoder, RejectsALiteralRunCutShort) {
    std::vector<uint8_t> s = {5, 1, 2, 3, 4, 5, 6}; // announces 5 pixels, holds 2
    EXPECT_EQ(decode(s).result, 0);
}

TEST(PictureDecoder, RejectsARepeatRunWithoutItsPixel) {
    EXPECT_EQ(decode({0x90, 1, 2}).result, 0);
}

TEST(PictureDecoder, RejectsAStreamThatEndsBeforeTheBufferIsFull) {
    std::vector<uint8_t> s = validRepeatStream();
    s.resize(s.size() - 4);
    const Decoded decoded = decode(s);
    EXPECT_EQ(decoded.result, 0);
}

TEST(PictureDecoder, EveryCutOfTheBuiltinStreamIsRejected) {
    const std::vector<uint8_t> runs = builtinRuns();
    for (size_t length = 0; length < runs.size(); length += 7) {
        const Decoded decoded = decode(std::vector<uint8_t>(runs.begin(), runs.begin() + length));
        ASSERT_EQ(decoded.result, 0) << "cut at " << length;
        ASSERT_TRUE(decoded.guardIntact());
    }
}

TEST(PictureDecoder, RandomStreamsNeverWritePastTheBuffer) {
    // Mostly long repeats, so that many streams reach the end of the buffer and overrun it.
    std::srand(77);
    int32_t accepted = 0;
    for (int32_t trial = 0; trial < 2000; ++trial) {
        std::vector<uint8_t> s(static_cast<size_t>(std::rand() % 300));
        for (uint8_t& byte : s) {
            byte =
                static_cast<uint8_t>(std::rand() % 8 == 0 ? std::rand() : 0xF0 + std::rand() % 16);
        }
        const Decoded decoded = decode(s);
        ASSERT_TRUE(decoded.guardIntact()) << "trial " << trial;
        accepted += decoded.result;
    }
    // A few land exactly on the end and are valid; most are not.
    EXPECT_LT(accepted, 2000);
}

TEST(PictureDecoder, IgnoresBytesAfterTheLastRun) {
    std::vector<uint8_t> s = validRepeatStream();
    s.insert(s.end(), {0x00, 0x80});
    EXPECT_EQ(decode(s).result, 1);
}

TEST(PictureDecoder, RejectsNullArguments) {
    uint8_t buffer[4];
    const uint8_t stream[1] = {1};
    EXPECT_EQ(decodePicture(nullptr, 10, buffer), 0);
    EXPECT_EQ(decodePicture(stream, 1, nullptr), 0);
}

void* failingAllocate(size_t) {
    return nullptr;
}

TEST(LoadPicture, NoPictureWhenTheBufferCannotBeAllocated) {
    const std::vector<uint8_t> runs = builtinRuns();
    EXPECT_EQ(loadPicture(runs.data(), static_cast<int32_t>(runs.size()), failingAllocate),
              nullptr);
}

TEST(LoadPicture, NoPictureFromAMalformedStream) {
    // The half-decoded buffer is released (the leak checker would notice otherwise).
    const std::vector<uint8_t> s = {0x90, 1, 2, 3, 0x00};
    EXPECT_EQ(loadPicture(s.data(), static_cast<int32_t>(s.size()), std::malloc), nullptr);
}

TEST(LoadPicture, DecodesTheBuiltinStream) {
    const std::vector<uint8_t> runs = builtinRuns();
    uint8_t* picture = loadPicture(runs.data(), static_cast<int32_t>(runs.size()), std::malloc);
    ASSERT_NE(picture, nullptr);
    const Decoded decoded = decode(runs);
    EXPECT_EQ(std::memcmp(picture, decoded.buffer.data(), pictureBytes), 0);
    std::free(picture);
}

} // namespace
} // namespace ostrel
