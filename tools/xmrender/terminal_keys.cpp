// The keys in what a terminal or a console sends, the same on every host.
#include "tools/xmrender/terminal.h"

namespace ostrel::xmrender {

namespace {

constexpr unsigned char escape = 27;

// The keys that arrive as one byte on a terminal and as one code on the console.
Key plainKey(int code) {
    switch (code) {
    case 'q':
    case 'Q':
    case escape:
    case 3: // Ctrl-C where the terminal or console hands it over as a key rather than a signal
        return Key::stop;
    case ' ':
        return Key::pause;
    case 'n':
    case 'N':
        return Key::nextSong;
    case 'p':
    case 'P':
        return Key::prevSong;
    default:
        return Key::none;
    }
}

// The final letter of an arrow's sequence, which is the same after "ESC [" and "ESC O".
Key arrowKey(unsigned char letter) {
    switch (letter) {
    case 'A':
        return Key::prevOrder;
    case 'B':
        return Key::nextOrder;
    case 'C':
        return Key::forward5;
    case 'D':
        return Key::back5;
    default:
        return Key::none;
    }
}

// "ESC [" parameters intermediates final: parameters 0x30-0x3F, intermediates 0x20-0x2F, one
// final byte 0x40-0x7E. Modifiers ride in the parameters ("ESC [ 1 ; 5 C" is Ctrl-Right), so
// only the final byte and, for '~', the first number tell the key.
int32_t parseControlSequence(const unsigned char* bytes, int32_t count, bool moreMayFollow,
                             Key* key) {
    int32_t at = 2;
    int32_t first = 0;
    bool inFirst = true;
    while (at < count && bytes[at] >= 0x30 && bytes[at] <= 0x3F) {
        if (bytes[at] >= '0' && bytes[at] <= '9' && inFirst && first < 1000)
            first = first * 10 + (bytes[at] - '0');
        else
            inFirst = false;
        ++at;
    }
    while (at < count && bytes[at] >= 0x20 && bytes[at] <= 0x2F)
        ++at;
    if (at == count) {
        if (moreMayFollow)
            return 0;
        *key = Key::none; // cut short for good: dropped
        return count;
    }
    const unsigned char final = bytes[at];
    if (final < 0x40 || final > 0x7E) {
        // Not a sequence after all: what came before the stray byte is dropped, and the stray
        // byte is read again as a key of its own.
        *key = Key::none;
        return at;
    }
    if (final == '~')
        *key = first == 5 ? Key::prevOrder : first == 6 ? Key::nextOrder : Key::none;
    else
        *key = arrowKey(final);
    return at + 1;
}

} // namespace

int32_t parseTerminalKey(const unsigned char* bytes, int32_t count, bool moreMayFollow, Key* key) {
    *key = Key::none;
    if (count <= 0)
        return 0;
    if (bytes[0] != escape) {
        *key = plainKey(bytes[0]);
        return 1;
    }
    if (count == 1) {
        // Escape by itself, unless the rest of a sequence is on its way.
        if (moreMayFollow)
            return 0;
        *key = Key::stop;
        return 1;
    }
    switch (bytes[1]) {
    case '[':
        return parseControlSequence(bytes, count, moreMayFollow, key);
    case 'O': // the arrows in the terminal's application mode: "ESC O A" .. "ESC O D"
        if (count == 2) {
            if (moreMayFollow)
                return 0;
            return 2;
        }
        *key = arrowKey(bytes[2]);
        return 3;
    case escape:
        // Escape pressed twice: the first is a key of its own.
        *key = Key::stop;
        return 1;
    default:
        // Alt with another key, which terminals send as Escape and that key: no key of ours,
        // and no Escape either.
        return 2;
    }
}

Key consoleKey(int first, int second) {
    if (first != 0 && first != 0xE0)
        return plainKey(first);
    switch (second) {
    case 75:
        return Key::back5;
    case 77:
        return Key::forward5;
    case 72: // Up
    case 73: // Page Up
        return Key::prevOrder;
    case 80: // Down
    case 81: // Page Down
        return Key::nextOrder;
    default:
        return Key::none;
    }
}

} // namespace ostrel::xmrender
