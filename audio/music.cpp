// The music glue: starting and stopping the built-in song, the song position the listener hears
// now, and the sync trigger that strikes visual effects on chosen rows.
#include "audio/music.h"

#include "audio/output.h"
#include "module/stream.h"

namespace ostrel {

ModulePlayer* musicPlayer = nullptr;
int32_t lastSyncRow = -1;

namespace {

constexpr uint8_t noSync = 253;
constexpr uint8_t mapEnd = 255;
constexpr uint8_t tableEnd = 254;

// Per scene, the row-list number for each order position.
constexpr uint8_t syncOrderMaps[42] = {
    // scene 0
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, mapEnd,
    // scene 1
    noSync, 1, 2, 3, 2, 4, 2, 4, noSync, 1, 2, 5, 6, mapEnd,
    // scene 2
    noSync, 7, 8, 9, 8, 10, noSync, noSync, noSync, 7, 8, 11, noSync, mapEnd,
    // scene 3 has an empty map: the table ends right after scene 2's
    tableEnd};
static_assert(syncOrderMaps[41] == tableEnd, "the order maps hold exactly 42 bytes");

constexpr int16_t listEnd = -1;
constexpr int16_t listsEnd = -2;

// The row lists; the last list is closed by the table end itself.
constexpr int16_t syncRowLists[206] = {
    // 0
    0, 12, 32, 44, 64, 76, 96, 108, listEnd,
    // 1
    112, 116, 122, 124, listEnd,
    // 2
    0, 2, 6, 12, 14, 20, 28, 32, 34, 38, 44, 46, 50, 51, 52, 60, 64, 66, 70, 76, 78, 84, 92, 96, 98,
    102, 108, 110, 116, 124, listEnd,
    // 3
    0, 2, 6, 12, 14, 20, 28, 32, 34, 38, 44, 46, 52, 60, 62, 63, 64, 66, 70, 76, 78, 84, 92, 96, 98,
    102, 108, 110, 116, 124, listEnd,
    // 4
    0, 2, 6, 12, 14, 20, 28, 32, 34, 38, 44, 46, 52, 60, 62, 63, 64, 66, 70, 76, 78, 84, 92, 96, 98,
    100, 104, 106, 110, 111, 112, 114, 116, 118, 120, listEnd,
    // 5
    0, 2, 6, 12, 14, 20, 28, 34, 36, 40, 42, 46, 47, 48, 50, 52, 54, 56, 64, 68, 70, 76, 78, 84, 92,
    96, 98, 102, 108, 110, 114, 115, 116, 124, listEnd,
    // 6
    0, 2, 4, 6, listEnd,
    // 7
    111, 126, listEnd,
    // 8
    8, 24, 40, 54, 56, 62, 72, 88, 104, 120, listEnd,
    // 9
    8, 18, 24, 40, 56, 72, 88, 104, 114, 120, 126, 127, listEnd,
    // 10
    8, 18, 24, 40, 56, 72, 88, 94, 96, 100, 102, 106, 108, 112, 114, listEnd,
    // 11
    8, 24, 30, 32, 36, 38, 42, 44, 48, 50, listsEnd};
static_assert(syncRowLists[205] == listsEnd, "the row lists hold exactly 206 values");

// The entry of the chunk being heard; all zero when no ring exists (before the first start or
// after a stop), so that a query never follows an absent array.
ChunkInfo audibleEntry() {
    if (!chunkInfos)
        return ChunkInfo{0, 0, 0};
    return loadChunkInfo(&chunkInfos[audibleIndex.load()]);
}

} // namespace

int32_t audibleOrder(const ModulePlayer* player) {
    return player ? audibleEntry().order : 0;
}

int32_t audibleRow(const ModulePlayer* player) {
    return player ? audibleEntry().row : 0;
}

int32_t audibleTimeMs(const ModulePlayer* player) {
    return player ? audibleEntry().timeMs : 0;
}

int32_t musicOrder() {
    return audibleOrder(musicPlayer);
}

int32_t musicRow() {
    return audibleRow(musicPlayer);
}

int32_t syncTrigger(int32_t scene) {
    if (scene < 0)
        return 0;
    // Find the scene's map.
    int32_t at = 0;
    for (int32_t skipped = 0; skipped < scene; ++at) {
        if (syncOrderMaps[at] == tableEnd)
            return 0;
        if (syncOrderMaps[at] == mapEnd)
            ++skipped;
    }
    if (syncOrderMaps[at] == tableEnd)
        return 0;

    // The list for the audible order position; a position past the map's end selects none.
    const int32_t order = musicOrder();
    int32_t mapLength = 0;
    while (syncOrderMaps[at + mapLength] != mapEnd && syncOrderMaps[at + mapLength] != tableEnd)
        ++mapLength;
    if (order >= mapLength)
        return 0;
    const int32_t list = static_cast<int8_t>(syncOrderMaps[at + order]);
    if (list < 0)
        return 0;

    int32_t row = 0;
    for (int32_t skipped = 0; skipped < list; ++row) {
        if (syncRowLists[row] == listsEnd)
            return 0;
        if (syncRowLists[row] == listEnd)
            ++skipped;
    }

    const int32_t audible = musicRow();
    for (; syncRowLists[row] >= 0; ++row) {
        if (syncRowLists[row] == audible && audible != lastSyncRow) {
            lastSyncRow = audible;
            return 1;
        }
    }
    return 0;
}

int32_t startMusic() {
    // Without a device nothing is started: no player, no ring, no thread; the program runs
    // silently.
    if (!openAudio(44100))
        return 0;
    musicPlayer = createPlayer(&memoryStreamHooks, "music.xm", nullptr, nullptr);
    return startPlayback(musicPlayer);
}

int32_t stopMusic() {
    destroyPlayer(musicPlayer);
    musicPlayer = nullptr;
    return closeAudio();
}

} // namespace ostrel
