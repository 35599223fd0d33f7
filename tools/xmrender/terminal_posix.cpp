// Stop keys on POSIX hosts: the terminal in non-canonical mode without echo (signals stay on,
// so Ctrl-C still arrives as SIGINT), polled without blocking; SIGINT, SIGTERM and SIGHUP set a
// flag.
#include "tools/xmrender/terminal.h"

#include <csignal>

#include <termios.h>
#include <unistd.h>

namespace ostrel::xmrender {

namespace {

volatile std::sig_atomic_t signalled = 0;
bool rawTerminal = false;
termios savedTerminal;
struct sigaction savedActions[3];
const int caughtSignals[3] = {SIGINT, SIGTERM, SIGHUP};

void onSignal(int) {
    signalled = 1;
}

} // namespace

void beginStopKeys() {
    signalled = 0;
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

int32_t stopAsked() {
    if (rawTerminal) {
        unsigned char keys[32];
        const ssize_t count = read(STDIN_FILENO, keys, sizeof keys);
        for (ssize_t i = 0; i < count; ++i) {
            if (keys[i] == 'q' || keys[i] == 'Q')
                signalled = 1;
            // A lone Escape; the keys that send a sequence (arrows, function keys) begin with
            // Escape too, but the rest of their sequence arrives in the same read.
            if (keys[i] == 27 && count == 1)
                signalled = 1;
        }
    }
    return signalled ? 1 : 0;
}

void endStopKeys() {
    if (rawTerminal)
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    rawTerminal = false;
    for (int i = 0; i < 3; ++i)
        sigaction(caughtSignals[i], &savedActions[i], nullptr);
}

} // namespace ostrel::xmrender
