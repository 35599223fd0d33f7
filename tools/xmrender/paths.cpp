// Path checks through the standard library's file system calls, in their forms that report
// errors by code.
#include "tools/xmrender/paths.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace ostrel::xmrender {

namespace fs = std::filesystem;

namespace {

bool isSeparator(char c) {
#if defined(_WIN32)
    return c == '/' || c == '\\' || c == ':';
#else
    return c == '/';
#endif
}

// Windows compares paths without regard to case, and takes either slash.
void placeKey(std::string* place) {
#if defined(_WIN32)
    for (char& c : *place)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c == '\\' ? '/' : c;
#else
    (void)place;
#endif
}

} // namespace

bool findOutputOverInput(const char* const* outputs, int32_t outputCount, const char* const* inputs,
                         int32_t inputCount, int32_t* output, int32_t* input) {
    for (int32_t o = 0; o < outputCount; ++o) {
        if (!outputs[o] || std::strcmp(outputs[o], "-") == 0)
            continue;
        // Only an output that exists can be an input: most runs write new files, and those
        // need no comparison at all.
        std::error_code error;
        const fs::path target(outputs[o]);
        if (!fs::exists(target, error))
            continue;
        for (int32_t i = 0; i < inputCount; ++i) {
            if (inputs[i] && fs::equivalent(target, fs::path(inputs[i]), error) && !error) {
                *output = o;
                *input = i;
                return true;
            }
        }
    }
    return false;
}

bool findSharedDestination(const char* const* outputs, int32_t count, int32_t* first,
                           int32_t* second) {
    // Each path's place, worked out once.
    std::vector<std::string> places(static_cast<size_t>(count));
    for (int32_t k = 0; k < count; ++k) {
        if (!outputs[k])
            continue;
        if (std::strcmp(outputs[k], "-") == 0) {
            places[k].push_back('-'); // standard output: no path has that place
            continue;
        }
        std::error_code error;
        fs::path place = fs::weakly_canonical(fs::absolute(fs::path(outputs[k]), error), error);
        places[k] = error ? std::string(outputs[k]) : place.string();
        placeKey(&places[k]);
    }
    for (int32_t a = 0; a < count; ++a) {
        for (int32_t b = a + 1; b < count && outputs[a]; ++b) {
            if (outputs[b] && places[a] == places[b]) {
                *first = a;
                *second = b;
                return true;
            }
        }
    }
    return false;
}

char* outputPathFor(const char* dir, const char* songPath, const char* extension) {
    const char* name = songPath;
    for (const char* at = songPath; *at; ++at)
        if (isSeparator(*at))
            name = at + 1;
    size_t nameLength = std::strlen(name);
    // The last extension goes, but not a leading dot: ".xm" stays ".xm".
    for (size_t i = nameLength; i > 1; --i) {
        if (name[i - 1] == '.') {
            nameLength = i - 1;
            break;
        }
    }
    const size_t dirLength = std::strlen(dir);
    const bool joined = dirLength > 0 && isSeparator(dir[dirLength - 1]);
    const size_t size = dirLength + 1 + nameLength + std::strlen(extension) + 1;
    char* path = static_cast<char*>(std::malloc(size));
    if (path)
        std::snprintf(path, size, "%s%s%.*s%s", dir, joined ? "" : "/",
                      static_cast<int>(nameLength), name, extension);
    return path;
}

bool makeFolder(const char* dir, char* error, size_t errorSize) {
    std::error_code code;
    if (fs::is_directory(fs::path(dir), code))
        return true;
    fs::create_directories(fs::path(dir), code);
    if (code) {
        std::snprintf(error, errorSize, "%s: cannot make the folder: %s", dir,
                      code.message().c_str());
        return false;
    }
    return true;
}

} // namespace ostrel::xmrender
