// Turns a SongDesc into the bytes of an XM module, and those bytes into a C++ source file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/songgen/song_model.h"

namespace ostrel::songgen {

// One packed cell as it appears in the file: the five raw bytes when every field is present
// (shorter than a mask byte plus five), otherwise a mask byte with bit 7 set and the fields
// whose bits are set.
void packCell(const Cell& cell, std::vector<uint8_t>& out);

// Sample frames as stored: 8-bit values or 16-bit little-endian, each the difference from the
// frame before (the first from 0).
std::vector<uint8_t> encodeSampleData(const SampleDesc& sample);

// Quantises one frame of a sample to its stored integer (-127..127 or -32767..32767).
int32_t quantiseFrame(float value, int bits);

std::vector<uint8_t> writeXm(const SongDesc& song);

// A C++ source defining builtinModule and builtinModuleSize from the bytes.
std::string writeCppArray(const std::vector<uint8_t>& bytes, const std::string& origin);

} // namespace ostrel::songgen
