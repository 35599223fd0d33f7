// Keys on POSIX hosts: the terminal in non-canonical mode without echo (signals stay on, so
// Ctrl-C still arrives as SIGINT), read without blocking; SIGINT, SIGTERM and SIGHUP set a flag.
#include "tools/xmrender/terminal.h"

#include <csignal>
#include <cstring>

#include <termios.h>
#include <unistd.h>

namespace ostrel::xmrender {

namespace {

volatile std::sig_atomic_t signalled = 0;
bool rawTerminal = false;
termios savedTerminal;
struct sigaction savedActions[3];
const int caughtSignals[3] = {SIGINT, SIGTERM, SIGHUP};
// Bytes read but not yet taken apart: several keys can come in one read.
unsigned char pending[64];
int32_t pendingCount = 0;

void onSignal(int) {
    signalled = 1;
}

} // namespace

void beginKeys() {
    signalled = 0;
    pendingCount = 0;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i)
        sigaction(caughtSignals[i], &action, &savedActions[i]);
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &savedTerminal) == 0) {
        termios raw = savedTerminal;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 0; // a read returns at once, with or without a key
        raw.c_cc[VTIME] = 0;
        rawTerminal = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
}

Key nextKey() {
    // A sequence split between two reads is completed by the second: bytes that end inside one
    // are kept until a read brings nothing new, and only then is a lone Escape an Escape.
    bool fresh = false;
    while (!signalled && rawTerminal) {
        const auto space = static_cast<int32_t>(sizeof pending) - pendingCount;
        const ssize_t got =
            space > 0 ? read(STDIN_FILENO, pending + pendingCount, static_cast<size_t>(space)) : 0;
        if (got > 0) {
            pendingCount += static_cast<int32_t>(got);
            fresh = true;
        }
        if (pendingCount == 0)
            return Key::none;
        Key key = Key::none;
        // A full buffer cannot wait for more: the sequence in it is taken as it is.
        const bool moreMayFollow = fresh && pendingCount < static_cast<int32_t>(sizeof pending);
        const int32_t used = parseTerminalKey(pending, pendingCount, moreMayFollow, &key);
        if (used == 0)
            return Key::none;
        pendingCount -= used;
        std::memmove(pending, pending + used, static_cast<size_t>(pendingCount));
        if (key != Key::none)
            return key;
    }
    return signalled ? Key::stop : Key::none;
}

void endKeys() {
    if (rawTerminal)
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    rawTerminal = false;
    for (int i = 0; i < 3; ++i)
        sigaction(caughtSignals[i], &savedActions[i], nullptr);
}

} // namespace ostrel::xmrender
