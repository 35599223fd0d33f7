// The songs the library's tests play through the C API, and helpers around it.
#pragma once

#include <ostrel/ostrel.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "tests/golden/golden_songs.h"
#include "tests/xmrender/test_song.h"

namespace ostrel::apitest {

struct Song {
    std::string name;
    std::vector<uint8_t> bytes;
};

inline const char* const corpusNames[] = {"early", "many_samples", "minimal", "multi", "tune"};

inline std::vector<uint8_t> corpusSong(const std::string& name) {
    std::ifstream file(std::string(OSTREL_CORPUS_DIR) + "/" + name + ".xm", std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

// The renderer's test songs, the golden songs, the built-in song and the fuzz corpus.
inline std::vector<Song> allSongs() {
    using namespace xmtest;
    std::vector<Song> songs = {
        {"test-4", buildXm(makeTestSong(4)).bytes},
        {"test-32", buildXm(makeTestSong(32)).bytes},
        {"effects-linear", buildXm(goldenSong(1, 4, effectCells())).bytes},
        {"effects-amiga", buildXm(goldenSong(0, 4, effectCells())).bytes},
        {"volume-column", buildXm(goldenSong(0, 4, volumeColumnCells())).bytes},
        {"flow-linear", buildXm(flowSong(1)).bytes},
        {"flow-amiga", buildXm(flowSong(0)).bytes},
        {"builtin", std::vector<uint8_t>(builtinModule, builtinModule + builtinModuleSize)},
    };
    for (const char* name : corpusNames)
        songs.push_back({name, corpusSong(name)});
    return songs;
}

using PlayerPtr = std::unique_ptr<ostrel_player, void (*)(ostrel_player*)>;

inline PlayerPtr load(const std::vector<uint8_t>& bytes) {
    return PlayerPtr(ostrel_load_memory(bytes.data(), bytes.size(), nullptr, nullptr), ostrel_free);
}

// Renders on to the end of the passes, or `limit` frames, in calls of `block` frames.
inline std::vector<int16_t> renderAll(ostrel_player* player, int32_t block,
                                      int64_t limit = INT64_MAX) {
    std::vector<int16_t> out;
    int64_t done = 0;
    for (int32_t got = block; got > 0 && done < limit; done += got) {
        out.resize(2 * size_t(done + block));
        got = ostrel_render_s16(player, out.data() + 2 * done,
                                int32_t(std::min<int64_t>(block, limit - done)));
        got = got > 0 ? got : 0;
    }
    out.resize(2 * size_t(done));
    return out;
}

} // namespace ostrel::apitest
