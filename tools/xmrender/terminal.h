// The keys and signals that stop live playback: q, Escape and Ctrl-C, and a request to end the
// program. The handlers only set a flag, which the playing loop polls. POSIX hosts read single
// keys from a terminal in raw mode; Windows reads the console with _kbhit and _getch.
#pragma once

#include <cstdint>

namespace ostrel::xmrender {

// Starts watching: the terminal on standard input (when it is one) stops echoing and hands
// over each key at once, and Ctrl-C no longer ends the program but asks playback to stop.
void beginStopKeys();
// 1 once a stop has been asked for. Reads the keys waiting.
int32_t stopAsked();
// Restores the terminal and the signals' default handling. Call it on every way out.
void endStopKeys();

} // namespace ostrel::xmrender
