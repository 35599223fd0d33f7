// The closing scene's picture: 150 x 42 RGB pixels, run-length coded. Red 0 marks a transparent
// pixel.
#pragma once

#include <cstdint>

namespace ostrel {

constexpr int32_t pictureWidth = 150;
constexpr int32_t pictureHeight = 42;
constexpr int32_t pictureBytesPerPixel = 3;
constexpr int32_t pictureBytes = pictureWidth * pictureHeight * pictureBytesPerPixel; // 18,900

// Run control bytes: 1..127 open a literal run of that many pixels, 129..255 repeat the one
// following pixel (b - 128) times. 0x00 and 0x80 never occur.
constexpr uint8_t pictureRepeatFlag = 0x80;
constexpr int32_t pictureMaxRun = 127;

// Decodes `length` bytes of coded stream into exactly pictureBytes bytes of `buffer`. Returns 1
// on success; 0 for a stream that holds a 0x00 or 0x80 control byte, a run that would write past
// the buffer, or that ends before the buffer is full. It never reads past the stream or writes
// past the buffer; after a failure the buffer's content is undefined. Bytes after the last run
// needed are ignored.
int decodePicture(const uint8_t* stream, int32_t length, uint8_t* buffer);

} // namespace ostrel
