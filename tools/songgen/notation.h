// The small text notation the patterns are written in. A track is one channel's rows, written
// as whitespace-separated tokens; each token fills one or more rows:
//
//   A-4  C#5         a note (octave 0..7); played with the track's default instrument
//   off              key-off
//   r                an empty row
//   .                a row without a note, for fields only (".,E4A4")
//   token:N          the token lasts N rows; rows after the first are empty
//   token,field...   fields of the token's first row (lower case) or of all its rows (upper case):
//                      iN      instrument N (decimal; overrides the default)
//                      vN/VN   volume-column volume N (0..64, decimal)
//                      pN/PN   volume-column panning N (0..15)
//                      xHH/XHH raw volume-column byte (hex)
//                      eTPP/ETPP effect T (0-9, A-Z) with parameter PP (hex)
//   [ ... ]xN        the tokens in brackets N times (nesting allowed)
//   |                a bar line; ignored
#pragma once

#include <string>
#include <vector>

#include "tools/songgen/song_model.h"

namespace ostrel::songgen {

// Parses a note name such as "C-4", "F#2"; returns 1..96, or 0 when it is not a note.
int parseNoteName(const std::string& text);

// Parses one track into rows of cells. Returns false and fills error on malformed input.
bool parseTrack(const std::string& text, int defaultInstrument, std::vector<Cell>& rows,
                std::string& error);

} // namespace ostrel::songgen
