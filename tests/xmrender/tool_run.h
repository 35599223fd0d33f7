// Running the real xmrender from a test: its exit, its standard output and error, and what it
// leaves in a folder of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/xmrender/scratch_files.h"

namespace ostrel::testing {

struct ToolRun {
    int exitCode; // -1 when a signal ended it
    std::string out;
    std::string err;
};

// Runs xmrender with these arguments through the shell, in folder (when given), standard
// output to stdoutPath (when given) or captured.
inline ToolRun runTool(const std::string& arguments, const std::string& environment = "",
                       const std::string& folder = "", const std::string& stdoutPath = "") {
    const std::string out = stdoutPath.empty() ? scratch("stdout.txt") : stdoutPath;
    const std::string err = scratch("stderr.txt");
    const std::string command = (folder.empty() ? "" : "cd '" + folder + "' && ") + environment +
                                " " + std::string(XMRENDER_PATH) + " " + arguments + " >" + out +
                                " 2>" + err;
    const int status = std::system(command.c_str());
    ToolRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                stdoutPath.empty() ? readFile(out) : "", readFile(err)};
    if (stdoutPath.empty())
        std::remove(out.c_str());
    std::remove(err.c_str());
    return run;
}

} // namespace ostrel::testing
