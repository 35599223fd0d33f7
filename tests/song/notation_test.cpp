// The pattern notation: note names, lengths, fields on the first or on every row, repeats
// and the errors that must stop the generator instead of writing a wrong song.
#include <gtest/gtest.h>

#include "tools/songgen/notation.h"

using namespace ostrel::songgen;

namespace {

std::vector<Cell> parse(const char* text, int instrument = 3) {
    std::vector<Cell> rows;
    std::string error;
    EXPECT_TRUE(parseTrack(text, instrument, rows, error)) << error;
    return rows;
}

std::string parseError(const char* text) {
    std::vector<Cell> rows;
    std::string error;
    EXPECT_FALSE(parseTrack(text, 1, rows, error));
    return error;
}

} // namespace

TEST(NoteNames, MapOctavesAndSharpsToXmNoteNumbers) {
    EXPECT_EQ(parseNoteName("C-0"), 1);
    EXPECT_EQ(parseNoteName("C-4"), 49);
    EXPECT_EQ(parseNoteName("C#4"), 50);
    EXPECT_EQ(parseNoteName("A-4"), 58);
    EXPECT_EQ(parseNoteName("B-7"), 96);
}

TEST(NoteNames, RejectWhatIsNotANote) {
    EXPECT_EQ(parseNoteName("C-8"), 0); // above the 96 XM notes
    EXPECT_EQ(parseNoteName("H-4"), 0);
    EXPECT_EQ(parseNoteName("E#4"), 0); // no E sharp in the name table
    EXPECT_EQ(parseNoteName("C4"), 0);
    EXPECT_EQ(parseNoteName("off"), 0);
}

TEST(Tracks, NoteTakesTheDefaultInstrumentAndItsLength) {
    std::vector<Cell> rows = parse("A-4:3 r off");
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].note, 58);
    EXPECT_EQ(rows[0].instrument, 3);
    EXPECT_TRUE(rows[1].empty());
    EXPECT_TRUE(rows[2].empty());
    EXPECT_TRUE(rows[3].empty());
    EXPECT_EQ(rows[4].note, keyOffNote);
    EXPECT_EQ(rows[4].instrument, 0); // a key-off carries no instrument
}

TEST(Tracks, LowerCaseFieldsFillOnlyTheFirstRow) {
    std::vector<Cell> rows = parse("C-5:2,v40,eA0F,i7");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].volume, 0x10 + 40);
    EXPECT_EQ(rows[0].effect, 10);
    EXPECT_EQ(rows[0].param, 0x0F);
    EXPECT_EQ(rows[0].instrument, 7);
    EXPECT_TRUE(rows[1].empty());
}

TEST(Tracks, UpperCaseFieldsFillEveryRowOfTheToken) {
    std::vector<Cell> rows = parse(".:3,E446,X71");
    ASSERT_EQ(rows.size(), 3u);
    for (const Cell& c : rows) {
        EXPECT_EQ(c.note, 0);
        EXPECT_EQ(c.effect, 4);
        EXPECT_EQ(c.param, 0x46);
        EXPECT_EQ(c.volume, 0x71);
    }
}

TEST(Tracks, PanningAndLetterEffectsUseTheirXmCodes) {
    std::vector<Cell> rows = parse("C-4,p12,eR93 .,eED1");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].volume, 0xCC);
    EXPECT_EQ(rows[0].effect, 27); // R
    EXPECT_EQ(rows[0].param, 0x93);
    EXPECT_EQ(rows[1].effect, 14); // E
    EXPECT_EQ(rows[1].param, 0xD1);
}

TEST(Tracks, RepeatsNestAndBarLinesAreIgnored) {
    std::vector<Cell> rows = parse("[C-4 [r]x2 | D-4]x3");
    ASSERT_EQ(rows.size(), 12u);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(rows[k * 4].note, 49);
        EXPECT_TRUE(rows[k * 4 + 1].empty());
        EXPECT_TRUE(rows[k * 4 + 2].empty());
        EXPECT_EQ(rows[k * 4 + 3].note, 51);
    }
}

TEST(Tracks, BracketsMayTouchTheirNotes) {
    std::vector<Cell> rows = parse("[C-4:2]x2");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].note, 49);
    EXPECT_EQ(rows[2].note, 49);
}

TEST(Tracks, MalformedInputIsReported) {
    EXPECT_NE(parseError("C-9").find("bad note"), std::string::npos);
    EXPECT_NE(parseError("C-4:0").find("bad length"), std::string::npos);
    EXPECT_NE(parseError("C-4,v65").find("bad field"), std::string::npos);
    EXPECT_NE(parseError("C-4,eA1").find("bad field"), std::string::npos);
    EXPECT_NE(parseError("C-4,q1").find("bad field"), std::string::npos);
    EXPECT_NE(parseError("r,v10").find("rest"), std::string::npos);
    EXPECT_NE(parseError("[C-4").find("unclosed"), std::string::npos);
    EXPECT_NE(parseError("C-4 ]x2").find("unmatched"), std::string::npos);
    EXPECT_NE(parseError("[C-4 ]y2").find("bad repeat"), std::string::npos);
}
