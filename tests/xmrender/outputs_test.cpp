// No lost files, through the real program: what each refused or interrupted run leaves in its
// folder, which must be exactly what was there before, or the finished file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <thread>

#include "test_song.h"
#include "tool_run.h"

namespace ostrel::testing {
namespace {

struct RefusalCase {
    const char* arguments; // run in the folder holding song.xm (and tune.wav, an XM too)
    const char* existing;  // a file there before, holding "old"
    int exitCode;
    const char* message; // part of standard error ("" for none)
};

// Each refused run leaves the folder as it was; each forced one replaces only its output.
TEST(Outputs, RefusedRunsLeaveTheFolderAsItWas) {
    const RefusalCase cases[] = {
        {"song.xm -o song.xm", "", 3, "song.xm would overwrite the input song song.xm"},
        {"song.xm -o ./link.xm", "", 3, "would overwrite the input song"}, // a hard link
        {"tune.wav -d .", "", 3, "./tune.wav would overwrite the input song tune.wav"},
        {"song.xm -o out.wav", "out.wav", 3, "out.wav exists; use --force (-f)"},
        {"song.xm -o out.wav --positions pos.txt", "pos.txt", 3, "pos.txt exists"},
        {"song.xm -o out.wav --positions none/pos.txt", "", 3, std::strerror(ENOENT)},
        {"song.xm -o out.wav --positions ./out.wav", "", 3, "are the same file"},
        {"song.xm -o - --positions -", "", 3, "- and - are the same file"},
        {"song.xm -o out.wav -f", "out.wav", 0, ""},
        {"song.xm -o out.wav --force --positions pos.txt", "pos.txt", 0, ""},
    };
    ScratchDir fresh; // what a forced run writes
    ASSERT_TRUE(xmtest::writeTestSong(fresh / "song.xm", 4));
    ASSERT_EQ(runTool("song.xm -o out.wav --positions pos.txt --seconds 1", "", fresh.dir).exitCode,
              0);
    for (const RefusalCase& c : cases) {
        ScratchDir dir;
        ASSERT_TRUE(xmtest::writeTestSong(dir / "song.xm", 4));
        ASSERT_TRUE(xmtest::writeTestSong(dir / "tune.wav", 4));
        ASSERT_EQ(link((dir / "song.xm").c_str(), (dir / "link.xm").c_str()), 0);
        if (*c.existing)
            writeFile(dir / c.existing, "old");
        auto expected = dir.contents();
        const ToolRun run = runTool(std::string(c.arguments) + " --seconds 1", "", dir.dir);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << ": " << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << ": " << run.err;
        if (c.exitCode == 0)
            for (const char* name : {"out.wav", "pos.txt"})
                if (std::strstr(c.arguments, name))
                    expected[name] = readFile(fresh / name);
        EXPECT_EQ(dir.contents(), expected) << c.arguments;
    }
}

// A run stopped halfway, by a signal or a failing write, leaves neither the output nor the
// positions file, not even the temporary ones; a signal still ends it as that signal.
TEST(Outputs, StoppedRunsLeaveNothing) {
    // The signal that ends the run: sent once it writes a file, or the reader of its standard
    // output going (SIGPIPE); 0: standard output is a full disk, and it exits with 3.
    for (const int ending : {SIGINT, SIGTERM, SIGPIPE, 0}) {
        ScratchDir dir;
        ASSERT_TRUE(xmtest::writeTestSong(dir / "song.xm", 4));
        const auto before = dir.contents();
        const bool toFile = ending == SIGINT || ending == SIGTERM;
        const std::string err = dir.dir + ".err";
        int pipeEnds[2];
        ASSERT_EQ(pipe(pipeEnds), 0);
        const pid_t child = fork();
        if (child == 0) {
            // Long enough to be stopped halfway: a day at 8,000 Hz.
            const int out = ending == 0 ? open("/dev/full", O_WRONLY) : pipeEnds[1];
            dup2(out, 1);
            dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            close(pipeEnds[0]);
            signal(SIGPIPE, SIG_DFL); // as a shell starts it
            execl(XMRENDER_PATH, XMRENDER_PATH, (dir / "song.xm").c_str(), "-o",
                  toFile ? (dir / "out.wav").c_str() : "-", "--positions",
                  (dir / "pos.txt").c_str(), "--seconds", "86400", "--rate", "8000", nullptr);
            _exit(127);
        }
        close(pipeEnds[1]);
        if (toFile) {
            // Once the temporary files are there and being written.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (dir.contents().size() < before.size() + 2 &&
                   std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            kill(child, ending);
        } else if (ending == SIGPIPE) {
            char start[4096];
            ASSERT_GT(read(pipeEnds[0], start, sizeof start), 0);
        }
        close(pipeEnds[0]);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        if (ending) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == ending) << status;
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status;
            EXPECT_NE(readFile(err).find(std::strerror(ENOSPC)), std::string::npos)
                << readFile(err);
        }
        EXPECT_EQ(dir.contents(), before) << ending;
        std::remove(err.c_str());
    }
}

} // namespace
} // namespace ostrel::testing
