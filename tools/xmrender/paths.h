// The paths of a run, checked before anything is done: which outputs would land on an input
// song or on each other, where -d puts each song's file, and the folder it makes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrel::xmrender {

// The first output (null entries skipped, "-" is standard output) that is one of the inputs,
// however spelt (a link to it too): true with their indexes, false when there is none.
bool findOutputOverInput(const char* const* outputs, int32_t outputCount, const char* const* inputs,
                         int32_t inputCount, int32_t* output, int32_t* input);
// The first two outputs (null entries skipped) that would land on one file: "-" matches only
// "-", and other paths match when they name the same place once made absolute with the links of
// their folders resolved (without regard to case on Windows). True with their indexes.
bool findSharedDestination(const char* const* outputs, int32_t count, int32_t* first,
                           int32_t* second);
// DIR/NAME.EXTENSION for the song at songPath, NAME being its file name without its last
// extension. Allocated with malloc; null when out of memory.
char* outputPathFor(const char* dir, const char* songPath, const char* extension);
// Makes the folder and its missing parents. False with the system's reason in error.
bool makeFolder(const char* dir, char* error, size_t errorSize);

} // namespace ostrel::xmrender
