// The property page's field mapping: what the controls show for a record and
// what a record gets back from them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "filter/page_fields.h"

namespace orvant {
namespace {

OverlaySettings Sample() {
    OverlaySettings s = {};
    s.FrameWidth = 640;
    s.FrameHeight = 480;
    s.FontWidth = 13;
    s.FontHeight = 16;
    s.Color = 0x00336699;  // red 0x99, green 0x66, blue 0x33
    std::strcpy(s.Font, "Arial");
    const uint8_t modes[8] = {6, 2, 10, 11, 1, 5, 8, 255};
    std::memcpy(s.Mode, modes, sizeof(modes));
    std::strcpy(s.TextLines[2].Text, "written by another process");
    s.Flags = FLAG_MIRROR | FLAG_FONT_DIRTY | 0x100;
    std::strcpy(s.Custom, "Unit 7");
    s.UserCount = 2;
    s.InstanceNumber = 3;
    return s;
}

// What the controls show for a record is the page test's, through the dialog.
TEST(PageFields, UnterminatedTextsFromSharedMemoryStopAtTheirField) {
    OverlaySettings s = Sample();
    std::memset(s.Font, 'F', sizeof(s.Font));
    std::memset(s.Custom, 'C', sizeof(s.Custom));
    const PageFields f = FieldsFromSettings(s);
    EXPECT_EQ(f.font, std::string(128, 'F'));
    EXPECT_EQ(f.custom, std::string(64, 'C'));
}

TEST(PageFields, UnchangedFieldsGiveTheRecordBackWithOnlyTheThreeSwitches) {
    const OverlaySettings before = Sample();
    OverlaySettings after = before;
    ApplyFields(FieldsFromSettings(before), after);
    EXPECT_EQ(after.Flags, FLAG_MIRROR) << "the dirty bit and unknown bits are cleared";
    after.Flags = before.Flags;
    EXPECT_EQ(std::memcmp(&after, &before, sizeof(after)), 0)
        << "modes (255 included), colour, font, sizes, custom text and the rest kept";
}

TEST(PageFields, EditedFieldsReachTheRecord) {
    OverlaySettings s = Sample();
    PageFields f = FieldsFromSettings(s);
    f.colourText[0] = "200";  // the red bar moved to 200
    f.modeSelection[3] = 30;
    f.modeSelection[4] = -1;
    f.flip = true;
    f.mirror = false;
    f.automatic = true;
    f.fontWidth = " 20px";
    f.fontHeight = "abc";
    f.font = "Courier New";
    f.custom = std::string(80, 'x');
    ApplyFields(f, s);
    EXPECT_EQ(s.Color, 0x003366C8u);
    EXPECT_EQ(s.Mode[3], 30);
    EXPECT_EQ(s.Mode[4], 255) << "no selection is stored as 255";
    EXPECT_EQ(s.Flags, FLAG_FLIP | FLAG_AUTOMATIC);
    EXPECT_EQ(s.FontWidth, 20);
    EXPECT_EQ(s.FontHeight, 0) << "a non-numeric height is stored as 0";
    EXPECT_STREQ(s.Font, "Courier New");
    EXPECT_EQ(std::string(s.Custom), std::string(63, 'x'));
}

TEST(PageFields, NoFontSelectionKeepsTheStoredFace) {
    OverlaySettings s = Sample();
    PageFields f = FieldsFromSettings(s);
    f.fontSelected = false;
    f.font = "ignored";
    ApplyFields(f, s);
    EXPECT_STREQ(s.Font, "Arial");

    f.fontSelected = true;
    f.font = std::string(200, 'G');
    ApplyFields(f, s);
    EXPECT_EQ(std::string(s.Font), std::string(127, 'G'));
}

TEST(PageFields, ColourValuesStayInTheirOwnByte) {
    OverlaySettings s = Sample();
    PageFields f = FieldsFromSettings(s);
    f.colourText[0] = "256";  // would carry into green
    f.colourText[1] = "-1";
    f.colourText[2] = "12 ";
    ApplyFields(f, s);
    EXPECT_EQ(s.Color, 0x000C0000u);
}

TEST(PageFields, NumberReading) {
    EXPECT_EQ(ParseUnsignedField("255"), 255u);
    EXPECT_EQ(ParseUnsignedField("12a"), 0u);
    EXPECT_EQ(ParseUnsignedField("99999999999"), 0u);

    EXPECT_EQ(ParseDecimalField("  -42x"), -42);
    EXPECT_EQ(ParseDecimalField("999999999999999999999"), 2147483647);
    EXPECT_EQ(ParseDecimalField("-999999999999999999999"), -2147483647 - 1);
    // Kept in 16 bits: 70000 wraps like the record's field does.
    OverlaySettings s = Sample();
    PageFields f = FieldsFromSettings(s);
    f.fontWidth = "70000";
    ApplyFields(f, s);
    EXPECT_EQ(s.FontWidth, static_cast<int16_t>(70000 - 65536));
}

TEST(PageFields, StatusTextOfStatesPastTheTables) {
    EXPECT_EQ(StatusText(true, 4, true, 7), "GPS \r\nOBD-II Idle");
    EXPECT_EQ(StatusText(true, 200, true, 8), "GPS Unknown\r\nOBD-II Unknown");
}

}  // namespace
}  // namespace orvant
