// The keys of live playback, and the signals that stop it: q, Escape and Ctrl-C stop; Space
// pauses; the arrows and Page Up/Down move in the song; n and p change songs. Signal handlers
// only set a flag, which nextKey reports. POSIX hosts read the terminal in raw mode, where the
// arrows and Page Up/Down arrive as escape sequences; Windows reads the console with _kbhit and
// _getch, where they arrive as two codes.
#pragma once

#include <cstdint>

namespace ostrel::xmrender {

enum class Key : int32_t {
    none,
    stop,      // q, Q, a lone Escape, Ctrl-C, or a signal asking the program to end
    pause,     // Space: pauses, and resumes
    back5,     // Left: 5 s back
    forward5,  // Right: 5 s on
    prevOrder, // Up, Page Up
    nextOrder, // Down, Page Down
    nextSong,  // n
    prevSong,  // p
};

// Starts watching: the terminal on standard input (when it is one) stops echoing and hands
// over each key at once, and Ctrl-C no longer ends the program but asks playback to stop.
void beginKeys();
// The next key pressed, or Key::none when none is waiting; Key::stop once a stop signal came.
// Never waits.
Key nextKey();
// Restores the terminal and the signals' default handling. Call it on every way out.
void endKeys();

// Takes the first key apart from the bytes a terminal sent (count >= 1) and returns how many
// bytes it used: at least 1, or 0 when they end inside an escape sequence and moreMayFollow,
// the rest being still on its way. Bytes that are no key of ours give Key::none.
int32_t parseTerminalKey(const unsigned char* bytes, int32_t count, bool moreMayFollow, Key* key);
// The key of a console code from _getch; second is the code after a 0 or 0xE0 prefix.
Key consoleKey(int first, int second);

} // namespace ostrel::xmrender
