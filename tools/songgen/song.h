// "Ostrel", the built-in song: A minor, 125 BPM, twelve channels. Its sections and their
// lengths at 44,100 Hz:
//   order 0  intro       Am F C G            pads swell, chip sequence, riser and snare roll
//   order 1  theme       Am F C G            drums, bass and the lead's theme with its echo
//   order 2  theme       Am F Dm E
//   order 3  development F G Em Am           half-time drums, bell figures, lead up high
//   order 4  development F G Dm E            groove returns, tom fill
//   order 5  climax      Am F C G            four on the floor, bell doubles the theme
//   order 6  ending      F G Dm E            slowing down from 125 to 110 BPM
//   order 7  last chord  Am                  rings out until just before 60 s
// After the last chord the song goes on at order 1 (the theme), which sets 125 BPM again.
#pragma once

#include <string>

#include "tools/songgen/song_model.h"

namespace ostrel::songgen {

enum Channel : int {
    chKick,
    chSnare,
    chHat,
    chBass,
    chLead,
    chEcho,
    chArp,
    chPad1,
    chPad2,
    chPad3,
    chBell,
    chFx,
    channelTotal
};

// Builds the whole song; false (with a message) when a track does not parse or does not fit.
bool buildSong(SongDesc& song, std::string& error);

// Frames at 44,100 Hz from the start to the beginning of order position `order` (the song's
// length when `order` equals the song length), following Fxx tempo and BPM changes.
int64_t framesUntilOrder(const SongDesc& song, int order);

} // namespace ostrel::songgen
