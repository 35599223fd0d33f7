// The keys of live playback in what a terminal sends (escape sequences, several keys in one read,
// a sequence still on its way) and in the console's two-code form.
#include <gtest/gtest.h>

#include <string>

#include "tools/xmrender/terminal.h"

namespace ostrel::testing {
namespace {

using xmrender::Key;

const char* keyName(Key key) {
    switch (key) {
    case Key::none:
        return "none";
    case Key::stop:
        return "stop";
    case Key::pause:
        return "pause";
    case Key::back5:
        return "back5";
    case Key::forward5:
        return "forward5";
    case Key::prevOrder:
        return "prevOrder";
    case Key::nextOrder:
        return "nextOrder";
    case Key::nextSong:
        return "nextSong";
    case Key::prevSong:
        return "prevSong";
    }
    return "?";
}

// The keys in one read, as the terminal code takes them apart: each key's name, "wait" where
// the rest is left for the next read.
std::string keysIn(const std::string& read, bool moreMayFollow) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(read.data());
    const auto count = static_cast<int32_t>(read.size());
    std::string keys;
    for (int32_t at = 0; at < count;) {
        Key key = Key::stop;
        const int32_t used =
            xmrender::parseTerminalKey(bytes + at, count - at, moreMayFollow, &key);
        if (used == 0)
            return keys + "wait";
        if (used < 0 || used > count - at)
            return keys + "overrun";
        if (key != Key::none)
            keys += std::string(keyName(key)) + " ";
        at += used;
    }
    return keys;
}

TEST(XmrenderKeys, TerminalBytes) {
    struct Case {
        const char* read;
        bool moreMayFollow;
        const char* keys;
    } cases[] = {
        {"q", true, "stop "},
        {"Q", true, "stop "},
        {" ", true, "pause "},
        {"n", true, "nextSong "},
        {"p", true, "prevSong "},
        {"x\r", true, ""},
        {"\x03", true, "stop "},
        // Escape alone is a key only once nothing more is on its way
        {"\x1b", false, "stop "},
        {"\x1b", true, "wait"},
        {"\x1b\x1b", false, "stop stop "},
        {"\x1b[A", true, "prevOrder "},
        {"\x1b[B", true, "nextOrder "},
        {"\x1b[C", true, "forward5 "},
        {"\x1b[D", true, "back5 "},
        {"\x1bOA", true, "prevOrder "},
        {"\x1bOD", true, "back5 "},
        {"\x1b[5~", true, "prevOrder "},
        {"\x1b[6~", true, "nextOrder "},
        // keys that are none of ours, whatever their digits begin with
        {"\x1b[3~", true, ""},
        {"\x1b[15~", true, ""},
        {"\x1b[65~", true, ""},
        {"\x1bOP", true, ""},
        // modifiers ride in the parameters
        {"\x1b[1;5C", true, "forward5 "},
        {"\x1b[5;2~", true, "prevOrder "},
        // Alt with a key is neither that key nor Escape
        {"\x1bn", false, ""},
        // several keys in one read
        {"\x1b[C\x1b[Dq", true, "forward5 back5 stop "},
        {"\x1b[C \x1bOB\x1b", false, "forward5 pause nextOrder stop "},
        {"n\x1b[6~p", true, "nextSong nextOrder prevSong "},
        // a sequence cut by the end of the read waits, or is dropped once nothing follows
        {"\x1b[", true, "wait"},
        {"q\x1b[1;", true, "stop wait"},
        {"\x1bO", true, "wait"},
        {"\x1b[1;", false, ""},
        {"\x1bO", false, ""},
        // a stray byte ends a broken sequence, and what follows is read again
        {"\x1b[2\nq", true, "stop "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keysIn(c.read, c.moreMayFollow), c.keys)
            << "read of " << std::string(c.read).size() << " bytes, case " << (&c - cases);
}

TEST(XmrenderKeys, ConsoleCodes) {
    struct Case {
        int first;
        int second;
        Key key;
    } cases[] = {
        {0xE0, 75, Key::back5},     {0, 75, Key::back5},        {0xE0, 77, Key::forward5},
        {0xE0, 72, Key::prevOrder}, {0xE0, 73, Key::prevOrder}, {0xE0, 80, Key::nextOrder},
        {0, 81, Key::nextOrder},    {0xE0, 71, Key::none},      {'K', 0, Key::none},
        {'M', 0, Key::none},        {'q', 0, Key::stop},        {27, 0, Key::stop},
        {' ', 0, Key::pause},       {'n', 0, Key::nextSong},    {'P', 0, Key::prevSong},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keyName(xmrender::consoleKey(c.first, c.second)), std::string(keyName(c.key)))
            << c.first << " " << c.second;
}

} // namespace
} // namespace ostrel::testing
