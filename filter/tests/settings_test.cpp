#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "filter/overlay_settings.h"
#include "memory_profile.h"

namespace orvant {
namespace {

using testing::MemoryProfile;

OverlaySettings Zeroed() {
    OverlaySettings s;
    std::memset(&s, 0, sizeof(s));
    return s;
}

TEST(OverlaySettingsProfile, EmptyProfileLoadsDefaultsAndSavesFourteenKeysInOrder) {
    MemoryProfile profile;
    OverlaySettings s = Zeroed();
    s.InstanceNumber = 3;
    s.FrameWidth = 640;
    LoadSettings(profile, s);
    EXPECT_EQ(s.FrameWidth, 640) << "fields without a key are left alone";
    // The defaults, as they are saved.
    SaveSettings(profile, s);
    ASSERT_EQ(profile.sections.size(), 1u);
    const MemoryProfile::Section expected = {{"Color", "65280"},
                                             {"FontWidth", "13"},
                                             {"FontHeight", "16"},
                                             {"Font", "System"},
                                             {"Custom", "Custom Text"},
                                             {"Flags", "0"},
                                             {"Mode0", "6"},
                                             {"Mode1", "2"},
                                             {"Mode2", "10"},
                                             {"Mode3", "11"},
                                             {"Mode4", "1"},
                                             {"Mode5", "5"},
                                             {"Mode6", "8"},
                                             {"Mode7", "9"}};
    EXPECT_EQ(profile.sections["Orvant3"], expected);
}

// Which section an instance reads is the overlay filter test's, through the
// platform's profile.
TEST(OverlaySettingsProfile, NumbersKeepTheirBitsAcrossSaveAndLoad) {
    MemoryProfile profile;
    OverlaySettings s = Zeroed();
    LoadSettings(profile, s);
    s.Flags = FLAG_FLIP | FLAG_FONT_DIRTY;
    s.Mode[3] = 255;
    s.Color = 0xFFFFFFFF;
    s.FontHeight = -20;
    SaveSettings(profile, s);
    EXPECT_EQ(*profile.Find("Orvant0", "Flags"), "-2147483647");
    EXPECT_EQ(*profile.Find("Orvant0", "Mode3"), "255");
    EXPECT_EQ(*profile.Find("Orvant0", "Color"), "-1");
    OverlaySettings back = Zeroed();
    LoadSettings(profile, back);
    EXPECT_EQ(back.Flags, FLAG_FLIP | FLAG_FONT_DIRTY);
    EXPECT_EQ(back.Mode[3], 255);
    EXPECT_EQ(back.Color, 0xFFFFFFFFu);
    EXPECT_EQ(back.FontHeight, -20);
}

TEST(OverlaySettingsProfile, ValuesOfAnyTextLoadSafely) {
    MemoryProfile profile;
    profile.Set("Orvant0", "Font", std::string(200, 'F'));
    profile.Set("Orvant0", "Custom", std::string(63, 'C'));
    profile.Set("Orvant0", "FontWidth", "70000");  // 0x11170: cut to 16 bits
    profile.Set("Orvant0", "FontHeight", "  0x1F tail");
    profile.Set("Orvant0", "Color", "green");
    profile.Set("Orvant0", "Mode0", "300");  // cut to 8 bits
    profile.Set("Orvant0", "Mode1", "-1");
    profile.Set("Orvant0", "Flags", "99999999999999999999");
    OverlaySettings s = Zeroed();
    std::memset(s.Font, 'x', sizeof(s.Font));
    LoadSettings(profile, s);
    EXPECT_EQ(std::strlen(s.Font), 126u);
    EXPECT_EQ(std::strlen(s.Custom), 62u);
    EXPECT_EQ(s.FontWidth, 0x1170);
    EXPECT_EQ(s.FontHeight, 31);
    EXPECT_EQ(s.Color, 0u);
    EXPECT_EQ(s.Mode[0], 44);
    EXPECT_EQ(s.Mode[1], 255);
    EXPECT_EQ(s.Font[127], '\0');
}

TEST(OverlaySettingsProfile, ProfileIntegerSyntax) {
    EXPECT_EQ(ParseProfileInteger("", 5), 5);
    EXPECT_EQ(ParseProfileInteger(nullptr, 5), 5);
    EXPECT_EQ(ParseProfileInteger("-2147483648", 5), -2147483647 - 1);
    EXPECT_EQ(ParseProfileInteger("4294967295", 5), -1);
    EXPECT_EQ(ParseProfileInteger("x12", 5), 0);
}

TEST(OverlaySettingsProfile, UnterminatedTextsOfTheRecordAreSavedCut) {
    MemoryProfile profile;
    OverlaySettings s = Zeroed();
    std::memset(s.Font, 'A', sizeof(s.Font));
    std::memset(s.Custom, 'B', sizeof(s.Custom));
    SaveSettings(profile, s);
    EXPECT_EQ(*profile.Find("Orvant0", "Font"), std::string(128, 'A'));
    EXPECT_EQ(*profile.Find("Orvant0", "Custom"), std::string(64, 'B'));
}

TEST(OverlaySettingsInterface, ReplaceKeepsWhatTheRunningPartiesOwn) {
    OverlaySettings record = Zeroed();
    record.FrameWidth = 1920;
    record.FrameHeight = 1080;
    record.UserCount = 2;
    record.InstanceNumber = 4;
    record.ClaimFlag = 0;
    std::strcpy(record.TextLines[0].Text, "written by another process");

    OverlaySettings copy = Zeroed();
    copy.UserCount = 1;  // taken before a second filter attached
    copy.InstanceNumber = 9;
    copy.ClaimFlag = 1;
    copy.Color = 0x123456;
    std::strcpy(copy.Custom, "Truck 7");
    copy.TextLines[1].X = -5;

    ReplaceSettings(record, copy);
    EXPECT_EQ(record.FrameWidth, 1920);
    EXPECT_EQ(record.FrameHeight, 1080);
    EXPECT_EQ(record.UserCount, 2);
    EXPECT_EQ(record.InstanceNumber, 4);
    EXPECT_EQ(record.ClaimFlag, 0);
    EXPECT_EQ(record.Color, 0x123456u);
    EXPECT_STREQ(record.Custom, "Truck 7");
    // The caller's whole copy of the text lines wins, as the page expects.
    EXPECT_STREQ(record.TextLines[0].Text, "");
    EXPECT_EQ(record.TextLines[1].X, -5);

    ReplaceSettings(record, record);  // the constructor passes the record itself
    EXPECT_EQ(record.Color, 0x123456u);
}

TEST(OverlaySettingsStream, FieldsRoundTripAndShortStreamsChangeNothing) {
    OverlaySettings s = Zeroed();
    s.Color = 0xABCDEF;
    s.FontWidth = 9;
    s.FontHeight = -12;
    std::strcpy(s.Font, "Courier New");
    for (int i = 0; i < 8; ++i)
        s.Mode[i] = static_cast<uint8_t>(20 + i);
    s.Flags = FLAG_FLIP | FLAG_AUTOMATIC;
    std::strcpy(s.Custom, "Unit 12");
    std::array<uint8_t, kPersistFieldsSize> bytes{};
    EncodePersistFields(s, bytes);
    // Offsets after the 24-byte header: Color at 0, sizes at 4 and 6, Font at 8.
    EXPECT_EQ(bytes[0], 0xEF);
    EXPECT_EQ(bytes[4], 9);
    EXPECT_EQ(std::memcmp(bytes.data() + 8, "Courier New", 11), 0);
    EXPECT_EQ(bytes[136], 20);
    EXPECT_EQ(bytes[144], FLAG_FLIP | FLAG_AUTOMATIC);
    EXPECT_EQ(std::memcmp(bytes.data() + 148, "Unit 12", 7), 0);

    OverlaySettings back = Zeroed();
    back.FrameWidth = 77;
    ASSERT_TRUE(DecodePersistFields(bytes, back));
    EXPECT_EQ(back.Color, s.Color);
    EXPECT_EQ(back.FontHeight, -12);
    EXPECT_STREQ(back.Font, "Courier New");
    EXPECT_EQ(std::memcmp(back.Mode, s.Mode, 8), 0);
    EXPECT_EQ(back.Flags, s.Flags);
    EXPECT_STREQ(back.Custom, "Unit 12");
    EXPECT_EQ(back.FrameWidth, 77);

    OverlaySettings untouched = back;
    EXPECT_FALSE(DecodePersistFields(std::span(bytes).first(kPersistFieldsSize - 1), untouched));
    EXPECT_EQ(std::memcmp(&untouched, &back, sizeof(back)), 0);

    std::array<uint8_t, kPersistFieldsSize> garbage;
    garbage.fill(0x41);
    ASSERT_TRUE(DecodePersistFields(garbage, untouched));
    EXPECT_EQ(std::strlen(untouched.Font), 127u);
    EXPECT_EQ(std::strlen(untouched.Custom), 63u);
}

}  // namespace
}  // namespace orvant
