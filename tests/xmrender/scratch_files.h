// Files and folders of a test's own: reading and writing whole files, scratch names that no
// other test process shares, and a fresh folder with a look at everything left in it.
#pragma once

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace ostrel::testing {

inline std::string readFile(const std::string& path) {
    std::string content;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char block[65536];
        for (size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;)
            content.append(block, n);
        std::fclose(file);
    }
    return content;
}

inline void writeFile(const std::string& path, const std::string& content) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

// CTest runs every test case as a process of its own, several at a time and for more than one
// build: a scratch file's name carries the test's name and the process id so none are shared.
inline std::string scratch(const std::string& name) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return ::testing::TempDir() + "xmrender_" + (test ? test->name() : "none") + "_" +
           std::to_string(getpid()) + "_" + name;
}

// A fresh folder, removed with everything in it.
struct ScratchDir {
    std::string dir;
    ScratchDir() {
        std::string pattern = ::testing::TempDir() + "xmrender_XXXXXX";
        dir = mkdtemp(pattern.data()) ? pattern : "";
    }
    // Write permission first: a test may have taken it from a folder inside.
    ~ScratchDir() { std::system(("chmod -R u+w '" + dir + "'; rm -rf '" + dir + "'").c_str()); }
    std::string operator/(const std::string& name) const { return dir + "/" + name; }
    // Every entry, hidden ones too, with the content of the files (none for a folder).
    std::map<std::string, std::string> contents() const {
        std::map<std::string, std::string> found;
        if (DIR* folder = opendir(dir.c_str())) {
            while (dirent* entry = readdir(folder))
                if (std::strcmp(entry->d_name, ".") && std::strcmp(entry->d_name, ".."))
                    found[entry->d_name] = readFile(*this / entry->d_name);
            closedir(folder);
        }
        return found;
    }
};

} // namespace ostrel::testing
