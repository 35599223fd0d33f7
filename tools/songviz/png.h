// A minimal PNG writer: 8-bit RGB, no compression (stored deflate blocks), with the CRC-32 of
// each chunk and the Adler-32 of the zlib stream computed here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ostrel::songviz {

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0);
uint32_t adler32(const uint8_t* data, size_t size);

// The PNG file of a width x height picture given as rows of RGB bytes, top row first.
std::vector<uint8_t> encodePng(int width, int height, const std::vector<uint8_t>& rgb);

} // namespace ostrel::songviz
