#include "tools/songgen/song.h"

#include <cstdio>

#include "tools/songgen/instruments.h"
#include "tools/songgen/notation.h"

namespace ostrel::songgen {
namespace {

// One pattern as text: a track per channel (null = silent). The echo channel is never
// written by hand; it is derived from the lead afterwards.
struct PatternText {
    int rows;
    const char* tracks[channelTotal];
};

// Default instrument of each channel's notes.
constexpr int channelInstrument[channelTotal] = {
    insKick, insSnare, insHat, insBass, insLead, insEcho,
    insArp,  insPad,   insPad, insPad,  insBell, insCrash,
};

// Pads sit left, centre and right; their panning envelope sways them around that place.
// The drums: kick on 1, the "and" of 2 and 3; snare on 2 and 4 with a ghost note that starts
// past the snare's attack (9xx); hats on eighths, the off-beats a tick late for a slight swing.
// The fx riser swells in even steps: a volume-column slide of 1 on the later ticks of one row
// (x71) and a fine slide of 1 on the next row's tick (x91), six steps per two rows at speed 6.
// The arpeggios name the chord's top note first (E073 minor, E074 major): a row counts its ticks
// down, so at speed 6 the later ticks play y, x, the root, y, x, and each row climbs root, third,
// fifth twice.

// clang-format off
const PatternText patternTexts[] = {
// ---- 0: intro, Am F C G --------------------------------------------------------------------
{64, {
/* kick  */ "r:48 [C-4:4]x4",
/* snare */ "r:56 C-4,v12,eR03 C-4,v18,eR03 C-4,v24,eR03 C-4,v30,eR03"
            "      C-4,v36,eR02 C-4,v42,eR02 C-4,v48,eR02 C-4,v56,eR02",
/* hat   */ "r:32 [C-4,v20 r C-4,v14,eED1 r]x4 [C-4,v28 r C-4,v18,eED1 r]x4",
/* bass  */ "r:32 C-2:12,v40 C-2:2,v28 C-2:2,v34 | G-1:14,v44 G-1,v30 B-1,v38",
/* lead  */ nullptr,
/* echo  */ nullptr,
/* arp   */ "[A-4:2,E073 A-5:2,E073]x4 [F-4:2,E074 F-5:2,E074]x4"
            " [C-5:2,E074 C-6:2,E074]x4 [G-4:2,E074 G-5:2,E074]x4",
/* pad1  */ "A-3:16,v30,e850 A-3:16,v38,e850 G-3:16,v46,e850 G-3:16,v52,e850",
/* pad2  */ "C-4:16,v30,e880 C-4:16,v38,e880 C-4:16,v46,e880 B-3:16,v52,e880",
/* pad3  */ "E-4:16,v30,e8B0 F-4:16,v38,e8B0 E-4:16,v46,e8B0 D-4:16,v52,e8B0",
/* bell  */ "r:32 r:2 A-4:2 C-5:2 E-5:6 D-5:2 C-5:2 | B-4:8 G-4:4 D-5:4",
/* fx    */ "r:48 C-3,v4,e103 [.,x71,e103 .,x91,e103]x7 .,e103",
}},
// ---- 1: theme, Am F C G --------------------------------------------------------------------
{64, {
/* kick  */ "C-4:6,eF7D C-4:2 C-4:8 [C-4:6 C-4:2 C-4:8]x2 C-4:6 C-4:2 C-4:3 C-4:3 C-4:2",
/* snare */ "[r:4 C-4:3 C-4,v14,e905 r:4 C-4:4]x3 r:4 C-4:4 r:4 C-4:3 C-4,v16,e905",
/* hat   */ "[C-4,v40 r C-4,v22,eED1 r]x16",
/* bass  */ "A-1:3 A-1:3 A-2:2 A-1:3 A-1:3 E-2:2 | F-1:3 F-1:3 F-2:2 F-1:3 F-1:3 C-2:2 |"
            " C-2:3 C-2:3 C-3:2 C-2:3 C-2:3 G-1:2 | G-1:3 G-1:3 G-2:2 G-1:3 G-1:3 B-1:2",
/* lead  */ "r:2 A-4:2 C-5:2 E-5:6 D-5:2 C-5:2 | C-5:6 D-5:2 C-5:2 A-4:4 off:2 |"
            " r:2 G-4:2 C-5:2 E-5:6 G-5:2 E-5:2 | D-5:10 B-4:2 C-5:2 D-5:2",
/* echo  */ nullptr,
/* arp   */ "[A-4:2,E073 A-5:2,E073]x4 [F-4:2,E074 F-5:2,E074]x4"
            " [C-5:2,E074 C-6:2,E074]x4 [G-4:2,E074 G-5:2,E074]x4",
/* pad1  */ "A-3:16,e850 A-3:16,e850 G-3:16,e850 G-3:16,e850",
/* pad2  */ "C-4:16,e880 C-4:16,e880 C-4:16,e880 B-3:16,e880",
/* pad3  */ "E-4:16,e8B0 F-4:16,e8B0 E-4:16,e8B0 D-4:16,e8B0",
/* bell  */ "r:24 E-6:2 C-6:2 A-5:4 r:24 B-5:2 D-6:2 G-5:4",
/* fx    */ "C-4,v48 off r:62",
}},
// ---- 2: theme, Am F Dm E -------------------------------------------------------------------
{64, {
/* kick  */ "[C-4:6 C-4:2 C-4:8]x3 C-4:6 C-4:2 C-4:4 C-4:2 C-4:2",
/* snare */ "[r:4 C-4:3 C-4,v14,e905 r:4 C-4:4]x3 r:4 C-4:4 r:4 C-4,v30 C-4,v38 C-4,v46 C-4,v54",
/* hat   */ "[C-4,v40 r C-4,v22,eED1 r]x14 C-4,v40 r C-4,v22,eED1 r"
            " C-4,v40,eE92 C-4,v30,eE92 C-4,v36,eE93 C-4,v44,eE92",
/* bass  */ "A-1:3 A-1:3 A-2:2 A-1:3 A-1:3 E-2:2 | F-1:3 F-1:3 F-2:2 F-1:3 F-1:3 C-2:2 |"
            " D-2:3 D-2:3 D-3:2 D-2:3 D-2:3 A-1:2 | E-1:3 E-1:3 E-2:2 E-1:3 G#1:3 B-1:2",
/* lead  */ "E-5:6 A-5:2,e308 G-5:2 E-5:2 D-5:2 C-5:2 | C-5:4 D-5:2 E-5:2 F-5:6 E-5:2 |"
            " D-5:4 F-5:2 A-5:4 G-5:2 F-5:2 E-5:2 | E-5:6 D-5:2 B-4:4 G#4:4",
/* echo  */ nullptr,
/* arp   */ "[A-4:2,E073 A-5:2,E073]x4 [F-4:2,E074 F-5:2,E074]x4"
            " [D-5:2,E073 D-4:2,E073]x4 [E-4:2,E074 E-5:2,E074]x4",
/* pad1  */ "A-3:16,e850 A-3:16,e850 A-3:16,e850 G#3:16,e850",
/* pad2  */ "C-4:16,e880 C-4:16,e880 D-4:16,e880 B-3:16,e880",
/* pad3  */ "E-4:16,e8B0 F-4:16,e8B0 F-4:16,e8B0 E-4:16,e8B0",
/* bell  */ "r:28 F-5:2 A-5:2 r:16 E-6:4 B-5:4 G#5:4 E-5:4",
/* fx    */ nullptr,
}},
// ---- 3: development, F G Em Am, half time ---------------------------------------------------
{64, {
/* kick  */ "[C-4:10 C-4:6]x3 C-4:10 C-4:2 C-4:4",
/* snare */ "[r:8 C-4:8]x3 r:8 C-4:4 C-4,v24 C-4,v32 C-4,v40 C-4,v48",
/* hat   */ "[C-4,v32 C-4,v12 C-4,v22 C-4,v12]x16",
/* bass  */ "F-1:6 F-1:2 F-2:4 C-2:4 | G-1:6 G-1:2 G-2:4 D-2:4 |"
            " E-1:6 E-1:2 E-2:4 B-1:4 | A-1:6 A-1:2 A-2:2,e320 G-2:2 E-2:4",
/* lead  */ "A-5:8 G-5:4 F-5:4 | G-5:8 D-5:4 B-4:4 | E-5:6 G-5:2 B-5:8 |"
            " A-5:8 G-5:2 E-5:2 C-5:2 E-5:2",
/* echo  */ nullptr,
/* arp   */ nullptr,
/* pad1  */ "A-3:16,e850 B-3:16,e850 G-3:16,e850 A-3:16,e850",
/* pad2  */ "C-4:16,e880 D-4:16,e880 B-3:16,e880 C-4:16,e880",
/* pad3  */ "F-4:16,e8B0 G-4:16,e8B0 E-4:16,e8B0 E-4:16,e8B0",
/* bell  */ "[F-5:2 A-5:2 C-6:2 A-5:2]x2 [G-5:2 B-5:2 D-6:2 B-5:2]x2"
            " [E-5:2 G-5:2 B-5:2 G-5:2]x2 [A-5:2 C-6:2 E-6:2 C-6:2]x2",
/* fx    */ "C-4,v40 off r:62",
}},
// ---- 4: development, F G Dm E, tom fill ----------------------------------------------------
{64, {
/* kick  */ "[C-4:6 C-4:2 C-4:8]x3 C-4:2 C-4:2 C-4:2 C-4:2 C-5:2 A-4:2 F-4:2 D-4:2",
/* snare */ "[r:4 C-4:3 C-4,v14,e905 r:4 C-4:4]x3 r:4 C-4:4 r:4 C-4,v40 C-4,v48 C-4,v56 C-4,v64",
/* hat   */ "[C-4,v40 r C-4,v22,eED1 r]x12 [C-4,v36 C-4,v16]x8",
/* bass  */ "F-1:3 F-1:3 F-2:2 F-1:3 F-1:3 C-2:2 | G-1:3 G-1:3 G-2:2 G-1:3 G-1:3 D-2:2 |"
            " D-2:3 D-2:3 D-3:2 D-2:3 D-2:3 A-1:2 | E-1:3 E-1:3 E-2:2 E-1:3 G#1:3 B-1:2,E204",
/* lead  */ "F-5:4 A-5:4 C-6:8,e310 | B-5:6 A-5:2 G-5:4 D-5:4 | F-5:6 E-5:2 D-5:4 A-5:4 |"
            " G#5:6 A-5:2 B-5:8,E446",
/* echo  */ nullptr,
/* arp   */ "[F-4:2,E074 F-5:2,E074]x4 [G-4:2,E074 G-5:2,E074]x4"
            " [D-5:2,E073 D-4:2,E073]x4 [E-4:2,E074 E-5:2,E074]x4",
/* pad1  */ "A-3:16,e850 B-3:16,e850 A-3:16,e850 G#3:16,e850",
/* pad2  */ "C-4:16,e880 D-4:16,e880 D-4:16,e880 B-3:16,e880",
/* pad3  */ "F-4:16,e8B0 G-4:16,e8B0 F-4:16,e8B0 E-4:16,e8B0",
/* bell  */ "r:12 C-6:2 A-5:2 | r:12 D-6:2 B-5:2 | r:32",
/* fx    */ "r:48 C-3,v8,e104 [.,x71,e104 .,x91,e104]x7 .,e104",
}},
// ---- 5: climax, Am F C G, four on the floor ------------------------------------------------
{64, {
/* kick  */ "[C-4:4]x15 C-4:2 C-4:2",
/* snare */ "[r:4 C-4:3 C-4,v14,e905 r:4 C-4:4]x3 r:4 C-4:4 r:4 C-4:2 C-4,v36 C-4,v48",
/* hat   */ "[C-4,v36 C-4,v14 C-4,v26,eED1 C-4,v14]x16",
/* bass  */ "A-1:3 A-1:3 A-2:2 A-1:3 A-1:3 E-2:2 | F-1:3 F-1:3 F-2:2 F-1:3 F-1:3 C-2:2 |"
            " C-2:3 C-2:3 C-3:2 C-2:3 C-2:3 G-1:2 | G-1:3 G-1:3 G-2:2 G-1:3 G-1:3 B-1:2",
/* lead  */ "r:2 A-4:2 C-5:2 E-5:6 D-5:2 C-5:2 | C-5:6 D-5:2 C-5:2 A-4:4 off:2 |"
            " r:2 G-4:2 C-5:2 E-5:6 G-5:2 E-5:2 | D-5:6 E-5:2 G-5:4 B-5:4",
/* echo  */ nullptr,
/* arp   */ "[A-4,E073 A-5,E073]x8 [F-4,E074 F-5,E074]x8"
            " [C-5,E074 C-6,E074]x8 [G-4,E074 G-5,E074]x8",
/* pad1  */ "A-3:16,e850 A-3:16,e850 G-3:16,e850 G-3:16,e850",
/* pad2  */ "C-4:16,e880 C-4:16,e880 C-4:16,e880 B-3:16,e880",
/* pad3  */ "E-4:16,e8B0 F-4:16,e8B0 E-4:16,e8B0 D-4:16,e8B0",
/* bell  */ "r:2 A-5:2 C-6:2 E-6:6 D-6:2 C-6:2 | C-6:6 D-6:2 C-6:2 A-5:6 |"
            " r:2 G-5:2 C-6:2 E-6:6 G-6:2 E-6:2 | D-6:6 E-6:2 G-6:4 B-6:4",
/* fx    */ "C-4,v48 off r:30 C-4,v36 off r:30",
}},
// ---- 6: ending, F G Dm E, slowing down -----------------------------------------------------
{48, {
/* kick  */ "C-4:6 C-4:2 C-4:8 | C-4:6 C-4:2 C-4:8 | C-4:8,eF76 C-4:8,eF6E",
/* snare */ "r:4 C-4:8 C-4:4 | r:4 C-4:8 C-4:3 C-4,v16,e905 | r:4 C-4:8 C-4,v32 C-4,v40 C-4,v48 C-4,v56",
/* hat   */ "[C-4,v36 r C-4,v20,eED1 r]x10 r:8",
/* bass  */ "F-1:3 F-1:3 F-2:2 F-1:3 F-1:3 C-2:2 | G-1:3 G-1:3 G-2:2 G-1:3 G-1:3 D-2:2 |"
            " D-2:4 D-2:4 E-1:4 E-2:2 E-1:2",
/* lead  */ "C-6:6 A-5:2 F-5:4 A-5:4 | G-5:6 F-5:2 E-5:4 D-5:4 | F-5:4 E-5:2 D-5:2 E-5:4 D-5:2 B-4:2",
/* echo  */ nullptr,
/* arp   */ "[F-4:2,E074 F-5:2,E074]x4 [G-4:2,E074 G-5:2,E074]x4"
            " [D-4:2,E073 D-5:2,E073]x2 [E-4:2,E074 E-5:2,E074]x2",
/* pad1  */ "A-3:16,e850 G-3:16,e850 A-3:8,e850 G#3:8,e850",
/* pad2  */ "C-4:16,e880 B-3:16,e880 D-4:8,e880 B-3:8,e880",
/* pad3  */ "F-4:16,e8B0 D-4:16,e8B0 F-4:8,e8B0 E-4:8,e8B0",
/* bell  */ "r:8 F-6:4 E-6:4 | r:8 D-6:4 B-5:4 | r:16",
/* fx    */ nullptr,
}},
// ---- 7: the last chord, Am, ringing out ----------------------------------------------------
{56, {
/* kick  */ "C-4,eF6A r:55",
/* snare */ nullptr,
/* hat   */ nullptr,
/* bass  */ "A-1:24 off r:31",
/* lead  */ "A-4:20 off r:35",
/* echo  */ nullptr,
/* arp   */ "A-5:2 E-5:2 C-5:2 A-4:2 off r:47",
/* pad1  */ "A-3:20,e850 off r:35",
/* pad2  */ "C-4:20,e880 off r:35",
/* pad3  */ "E-4:20,e8B0 off r:35",
/* bell  */ "A-5:4 E-6:4 A-6 r:47",
/* fx    */ "C-4,v40 off r:54",
}},
};
// clang-format on

constexpr int patternTotal = static_cast<int>(sizeof patternTexts / sizeof patternTexts[0]);

// The echo: every lead cell again three rows (a dotted eighth) later on its own channel, with
// the echo instrument, at 45 % of the lead's volume. Slides and vibrato are kept so that the
// repeat bends as the lead's note did. It runs across pattern boundaries in song order.
void deriveEcho(SongDesc& song) {
    const int delay = 3;
    std::vector<Cell> lead;
    for (uint8_t p : song.order) {
        const PatternDesc& pat = song.patterns[p];
        for (int r = 0; r < pat.rows; ++r)
            lead.push_back(pat.cells[static_cast<size_t>(r * song.channels + chLead)]);
    }
    size_t row = 0;
    for (uint8_t p : song.order) {
        PatternDesc& pat = song.patterns[p];
        for (int r = 0; r < pat.rows; ++r, ++row) {
            Cell echo;
            if (row >= delay) {
                const Cell& src = lead[row - delay];
                echo.note = src.note;
                if (src.instrument)
                    echo.instrument = insEcho;
                if (src.volume >= 0x10 && src.volume <= 0x50)
                    echo.volume = static_cast<uint8_t>(0x10 + (src.volume - 0x10) * 45 / 100);
                if (src.effect == 3 || src.effect == 4) {
                    echo.effect = src.effect;
                    echo.param = src.param;
                }
            }
            pat.cells[static_cast<size_t>(r * song.channels + chEcho)] = echo;
        }
    }
}

} // namespace

bool buildSong(SongDesc& song, std::string& error) {
    song = SongDesc{};
    song.name = "Ostrel";
    song.channels = channelTotal;
    song.tempo = 6;
    song.bpm = 125;
    song.restart = 1;
    song.linear = true;
    song.instruments = buildInstruments();
    for (int p = 0; p < patternTotal; ++p) {
        const PatternText& text = patternTexts[p];
        PatternDesc pat;
        pat.rows = text.rows;
        pat.cells.resize(static_cast<size_t>(text.rows * channelTotal));
        for (int ch = 0; ch < channelTotal; ++ch) {
            if (!text.tracks[ch])
                continue;
            std::vector<Cell> rows;
            std::string why;
            char where[64];
            std::snprintf(where, sizeof where, "pattern %d channel %d: ", p, ch);
            if (!parseTrack(text.tracks[ch], channelInstrument[ch], rows, why)) {
                error = where + why;
                return false;
            }
            if (static_cast<int>(rows.size()) != text.rows) {
                char msg[64];
                std::snprintf(msg, sizeof msg, "%zu rows instead of %d", rows.size(), text.rows);
                error = where + std::string(msg);
                return false;
            }
            for (int r = 0; r < text.rows; ++r)
                pat.cells[static_cast<size_t>(r * channelTotal + ch)] =
                    rows[static_cast<size_t>(r)];
        }
        song.patterns.push_back(pat);
        song.order.push_back(static_cast<uint8_t>(p));
    }
    deriveEcho(song);
    return true;
}

int64_t framesUntilOrder(const SongDesc& song, int order) {
    int tempo = song.tempo;
    int bpm = song.bpm;
    int64_t frames = 0;
    for (int pos = 0; pos < order && pos < static_cast<int>(song.order.size()); ++pos) {
        const PatternDesc& pat = song.patterns[song.order[static_cast<size_t>(pos)]];
        for (int r = 0; r < pat.rows; ++r) {
            for (int ch = 0; ch < song.channels; ++ch) {
                const Cell& c = pat.cells[static_cast<size_t>(r * song.channels + ch)];
                if (c.effect == 15)
                    (c.param < 32 ? tempo : bpm) = c.param;
            }
            frames += static_cast<int64_t>(tempo) * (110250 / bpm);
        }
    }
    return frames;
}

} // namespace ostrel::songgen
