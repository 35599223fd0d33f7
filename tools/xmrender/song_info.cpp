// xmrender --info, from the library's description of the loaded song.
#include "tools/xmrender/song_info.h"

namespace ostrel::xmrender {

namespace {

// Code page 437's upper half in Unicode.
const uint16_t codePage437[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// A JSON string: quotes, backslashes and control bytes escaped, the upper half as code page 437.
void putJsonString(std::FILE* out, const char* text) {
    if (!text) {
        std::fputs("null", out);
        return;
    }
    std::fputc('"', out);
    for (const char* at = text; *at; ++at) {
        const auto c = static_cast<unsigned char>(*at);
        if (c == '"' || c == '\\')
            std::fprintf(out, "\\%c", c);
        else if (c < 0x20 || c == 0x7F)
            std::fprintf(out, "\\u%04x", c);
        else if (c >= 0x80)
            std::fprintf(out, "\\u%04x", codePage437[c - 0x80]);
        else
            std::fputc(c, out);
    }
    std::fputc('"', out);
}

} // namespace

void printSongInfo(std::FILE* out, ostrel_player* player, const SongLength& length, uint32_t rate,
                   const char* damage) {
    ostrel_info info;
    ostrel_get_info(player, &info);
    std::fprintf(out, "Title: %s\n", ostrel_title(player));
    std::fprintf(out, "Tracker: %s\n", ostrel_tracker(player));
    if (info.file_channels != info.channels)
        std::fprintf(out, "Channels: %d (the first %d are played)\n", info.file_channels,
                     info.channels);
    else
        std::fprintf(out, "Channels: %d\n", info.channels);
    std::fprintf(out, "Patterns: %d\n", info.patterns);
    std::fprintf(out, "Song length: %d %s\n", info.orders, info.orders == 1 ? "order" : "orders");
    std::fprintf(out, "Restart position: %d\n", info.restart_position);
    std::fprintf(out, "Instruments: %d\n", info.instruments);
    std::fprintf(out, "Samples: %d\n", info.samples);
    std::fprintf(out, "Tempo: %d ticks per row\n", info.initial_tempo);
    std::fprintf(out, "BPM: %d\n", info.initial_bpm);
    std::fprintf(out, "Frequencies: %s\n", info.linear_frequencies ? "linear" : "Amiga");
    if (length.capped)
        std::fprintf(out, "End: none found within %d minutes\n", passCapSeconds / 60);
    else
        std::fprintf(out, "End: goes back to order %d, row %d\n", length.repeatOrder,
                     length.repeatRow);
    std::fprintf(out, "Duration: %.3f s\n",
                 static_cast<double>(length.frames) / static_cast<double>(rate));
    if (damage[0])
        std::fprintf(out, "Damaged: %s\n", damage);
    // Names: instrument N, and sample N.S, the S-th of instrument N.
    bool heading = false;
    for (int32_t i = 0; i < info.instruments; ++i) {
        const char* name = ostrel_instrument_name(player, i);
        if (!name[0])
            continue;
        if (!heading)
            std::fputs("Instrument names:\n", out);
        heading = true;
        std::fprintf(out, "  %3d  %s\n", i + 1, name);
    }
    heading = false;
    for (int32_t i = 0; i < info.instruments; ++i) {
        for (int32_t s = 0; s < ostrel_sample_count(player, i); ++s) {
            const char* name = ostrel_sample_name(player, i, s);
            if (!name[0])
                continue;
            if (!heading)
                std::fputs("Sample names:\n", out);
            heading = true;
            std::fprintf(out, "  %3d.%-2d  %s\n", i + 1, s + 1, name);
        }
    }
}

void printSongJson(std::FILE* out, const char* file, ostrel_player* player,
                   const SongLength& length, uint32_t rate, const char* damage) {
    ostrel_info info;
    ostrel_get_info(player, &info);
    std::fputs("{\"file\":", out);
    putJsonString(out, file);
    std::fputs(",\"title\":", out);
    putJsonString(out, ostrel_title(player));
    std::fputs(",\"tracker\":", out);
    putJsonString(out, ostrel_tracker(player));
    std::fprintf(out,
                 ",\"channels\":%d,\"file_channels\":%d,\"patterns\":%d,\"orders\":%d,"
                 "\"restart_position\":%d,\"instruments\":%d,\"samples\":%d,\"tempo\":%d,"
                 "\"bpm\":%d,\"frequencies\":\"%s\"",
                 info.channels, info.file_channels, info.patterns, info.orders,
                 info.restart_position, info.instruments, info.samples, info.initial_tempo,
                 info.initial_bpm, info.linear_frequencies ? "linear" : "amiga");
    if (length.capped)
        std::fputs(",\"end\":null", out);
    else
        std::fprintf(out, ",\"end\":{\"order\":%d,\"row\":%d}", length.repeatOrder,
                     length.repeatRow);
    std::fprintf(out, ",\"duration\":{\"seconds\":%.6f,\"frames\":%lld,\"rate\":%u}",
                 static_cast<double>(length.frames) / static_cast<double>(rate),
                 static_cast<long long>(length.frames), rate);
    std::fputs(",\"damage\":", out);
    putJsonString(out, damage[0] ? damage : nullptr);
    std::fputs(",\"instrument_names\":[", out);
    bool first = true;
    for (int32_t i = 0; i < info.instruments; ++i) {
        const char* name = ostrel_instrument_name(player, i);
        if (!name[0])
            continue;
        std::fprintf(out, "%s{\"instrument\":%d,\"name\":", first ? "" : ",", i + 1);
        putJsonString(out, name);
        std::fputc('}', out);
        first = false;
    }
    std::fputs("],\"sample_names\":[", out);
    first = true;
    for (int32_t i = 0; i < info.instruments; ++i) {
        for (int32_t s = 0; s < ostrel_sample_count(player, i); ++s) {
            const char* name = ostrel_sample_name(player, i, s);
            if (!name[0])
                continue;
            std::fprintf(out, "%s{\"instrument\":%d,\"sample\":%d,\"name\":", first ? "" : ",",
                         i + 1, s + 1);
            putJsonString(out, name);
            std::fputc('}', out);
            first = false;
        }
    }
    std::fputs("]}\n", out);
}

} // namespace ostrel::xmrender
