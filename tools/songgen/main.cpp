// songgen: writes the built-in song as an XM file and as the C++ byte array the program links.
//   songgen <module.xm> <builtin_module.cpp>
// Prints the module's size, where its bytes go and the song's timing.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/songgen/song.h"
#include "tools/songgen/xm_writer.h"

using namespace ostrel::songgen;

namespace {

bool writeFile(const char* path, const void* data, size_t size) {
    FILE* f = std::fopen(path, "wb");
    if (!f) {
        std::fprintf(stderr, "songgen: cannot write %s\n", path);
        return false;
    }
    bool ok = std::fwrite(data, 1, size, f) == size;
    ok = std::fclose(f) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "songgen: writing %s failed\n", path);
    return ok;
}

void printSummary(const SongDesc& song, size_t total) {
    size_t sampleBytes = 0;
    for (const InstrumentDesc& ins : song.instruments)
        sampleBytes += ins.sample.wave.size() * (ins.sample.bits == 16 ? 2 : 1);
    size_t patternBytes = 0;
    for (const PatternDesc& p : song.patterns) {
        std::vector<uint8_t> packed;
        for (const Cell& c : p.cells)
            packCell(c, packed);
        patternBytes += packed.size() + 9;
    }
    std::printf("module %zu bytes: patterns %zu, sample data %zu, headers %zu\n", total,
                patternBytes, sampleBytes, total - patternBytes - sampleBytes);
    for (size_t pos = 0; pos <= song.order.size(); ++pos) {
        double seconds = framesUntilOrder(song, static_cast<int>(pos)) / 44100.0;
        if (pos < song.order.size())
            std::printf("order %zu starts at %6.2f s\n", pos, seconds);
        else
            std::printf("song ends at %6.2f s\n", seconds);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: songgen <module.xm> <builtin_module.cpp>\n");
        return 2;
    }
    SongDesc song;
    std::string error;
    if (!buildSong(song, error)) {
        std::fprintf(stderr, "songgen: %s\n", error.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes = writeXm(song);
    std::string cpp = writeCppArray(bytes, "tools/songgen");
    if (!writeFile(argv[1], bytes.data(), bytes.size()) ||
        !writeFile(argv[2], cpp.data(), cpp.size()))
        return 1;
    printSummary(song, bytes.size());
    return 0;
}
