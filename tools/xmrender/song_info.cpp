// xmrender --info: the header's title, tracker name and counts as the file gives them, and the
// values the engine plays with from the loaded song.
#include "tools/xmrender/song_info.h"

#include <cstring>

#include "module/stream.h"

namespace ostrel::xmrender {

namespace {

// A 20-byte text field of the header as printable text: control bytes become '?', and trailing
// blanks and zeros go (trackers pad with either).
void copyText(char* out, const uint8_t* field) {
    int32_t length = 0;
    for (int32_t i = 0; i < 20; ++i) {
        const uint8_t c = field[i];
        out[i] = c >= 0x20 && c != 0x7F ? static_cast<char>(c) : c == 0 ? ' ' : '?';
        if (c != 0 && c != ' ')
            length = i + 1;
    }
    out[length] = '\0';
}

uint16_t le16(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}

} // namespace

int32_t readSongFacts(const char* path, SongFacts* facts, const char** reason) {
    const char* why = "";
    ModulePlayer* player = createPlayer(songHooks(path), songStreamName(path), nullptr, &why);
    if (!player) {
        *reason = why[0] ? why : "cannot load the module";
        return 0;
    }
    // The loader has accepted the header, so its first 80 bytes are there: texts at 17 and 38,
    // the channel count at 68 and the pattern count at 70.
    uint8_t header[80] = {};
    ModuleStream* stream = streamOpen(songHooks(path), songStreamName(path));
    if (stream) {
        streamRead(header, sizeof header, stream);
        streamClose(stream);
    }
    copyText(facts->title, header + 17);
    copyText(facts->tracker, header + 38);
    facts->fileChannels = le16(header + 68);
    facts->patterns = le16(header + 70);
    facts->channels = player->channelCount;
    facts->songLength = player->songLength;
    facts->restartPosition = player->restartPosition;
    facts->instruments = player->instrumentCount;
    facts->samples = 0;
    for (int32_t i = 0; i < player->instrumentCount; ++i)
        facts->samples += player->instruments[i].sampleCount;
    facts->tempo = player->defaultTempo;
    facts->bpm = player->defaultBpm;
    facts->linearFrequencies = player->flags & flagLinearFrequencies ? 1 : 0;
    destroyPlayer(player);
    return 1;
}

void printSongInfo(std::FILE* out, const SongFacts& facts, const SongLength& length,
                   uint32_t rate) {
    std::fprintf(out, "Title: %s\n", facts.title);
    std::fprintf(out, "Tracker: %s\n", facts.tracker);
    if (facts.fileChannels != facts.channels)
        std::fprintf(out, "Channels: %d (the first %d are played)\n", facts.fileChannels,
                     facts.channels);
    else
        std::fprintf(out, "Channels: %d\n", facts.channels);
    std::fprintf(out, "Patterns: %d\n", facts.patterns);
    std::fprintf(out, "Song length: %d %s\n", facts.songLength,
                 facts.songLength == 1 ? "order" : "orders");
    std::fprintf(out, "Restart position: %d\n", facts.restartPosition);
    std::fprintf(out, "Instruments: %d\n", facts.instruments);
    std::fprintf(out, "Samples: %d\n", facts.samples);
    std::fprintf(out, "Tempo: %d ticks per row\n", facts.tempo);
    std::fprintf(out, "BPM: %d\n", facts.bpm);
    std::fprintf(out, "Frequencies: %s\n", facts.linearFrequencies ? "linear" : "Amiga");
    if (length.capped)
        std::fprintf(out, "End: none found within %d minutes\n", passCapSeconds / 60);
    else
        std::fprintf(out, "End: goes back to order %d, row %d\n", length.repeatOrder,
                     length.repeatRow);
    std::fprintf(out, "Duration: %.3f s\n",
                 static_cast<double>(length.passFrames) / static_cast<double>(rate));
}

} // namespace ostrel::xmrender
