#include "app/core/settings_table.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace vistrel {
namespace {

using Bytes = std::vector<uint8_t>;

const SettingRow& Row(const char* name) {
    for (const SettingRow& row : SettingsTable) {
        if (std::strcmp(row.name, name) == 0)
            return row;
    }
    ADD_FAILURE() << "no row " << name;
    return SettingsTable[0];
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes Le32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

Bytes Le64(uint64_t v) {
    Bytes b = Le32(uint32_t(v)), h = Le32(uint32_t(v >> 32));
    b.insert(b.end(), h.begin(), h.end());
    return b;
}

Bytes Rect(int32_t l, int32_t t, int32_t w, int32_t h) {
    Bytes b;
    for (int32_t v : {l, t, w, h}) {
        Bytes part = Le32(uint32_t(v));
        b.insert(b.end(), part.begin(), part.end());
    }
    return b;
}

bool Decode(const char* name, uint32_t type, const Bytes& data, RecorderSettings& s) {
    return DecodeStoredValue(Row(name), type, data, s);
}

TEST(SettingsTable, ArchiveDefaultFillsOnlyAnEmptyArchive) {
    RecorderSettings s;
    ApplyArchiveDefault(s);
    EXPECT_STREQ(s.archive, "C:\\Archive");
    std::strcpy(s.archive, "D:\\Keep");
    ApplyArchiveDefault(s);
    EXPECT_STREQ(s.archive, "D:\\Keep");
}

TEST(SettingsTable, EveryRowSurvivesAStoreAndLoad) {
    RecorderSettings s;
    s.windowPosition = {-1920, 5, 1280, 720};
    std::strcpy(s.capFilename, "E:\\Cam\\Front");
    std::strcpy(s.archive, "E:\\Keep");
    std::strcpy(s.vCodec, "Codec \xE9");
    std::strcpy(s.aCodec, "");
    std::memset(s.tvVideoDevice, 'v', 255);
    s.tvVideoDevice[255] = '\0';
    std::strcpy(s.tvAudioDevice, "Mic");
    s.frameRate = 59.94;
    s.vidFlags = 0xDEADBEEF;
    s.capSeconds = 60;
    s.resolution = 7;
    s.fileLimit = 5;
    s.gbLimit = 1;
    s.input = 2;
    RecorderSettings loaded;
    for (const SettingRow& row : SettingsTable) {
        EXPECT_TRUE(DecodeStoredValue(row, row.type, EncodeSettingValue(row, s), loaded))
            << row.name;
        EXPECT_EQ(EncodeSettingValue(row, loaded), EncodeSettingValue(row, s)) << row.name;
    }
    EXPECT_EQ(loaded.vidFlags, 0xDEADBEEF);  // bits without meaning are kept
    EXPECT_EQ(std::strlen(loaded.tvVideoDevice), 255u);
}

TEST(DecodeStoredValue, TextsNeverRunWithoutTheirZero) {
    RecorderSettings s;
    // Filling the whole variable leaves no room for the zero: refused, the
    // setting keeps what it had.
    EXPECT_FALSE(Decode("CapFilename", kRegSz, Bytes(260, 'C'), s));
    EXPECT_STREQ(s.capFilename, "C:\\Video\\Capture");
    EXPECT_FALSE(Decode("ACodec", kRegSz, Bytes(300, 'x'), s));
    EXPECT_STREQ(s.aCodec, "PCM");
    // One shorter fits.
    EXPECT_TRUE(Decode("ACodec", kRegSz, Bytes(63, 'y'), s));
    EXPECT_EQ(std::string(s.aCodec), std::string(63, 'y'));
    // Stored with or without the terminating zero, and with junk after it.
    EXPECT_TRUE(Decode("VCodec", kRegSz, Text(std::string("DivX\0junk", 9)), s));
    EXPECT_STREQ(s.vCodec, "DivX");
    Bytes longTail = Text("Cam");
    longTail.push_back(0);
    longTail.resize(5000, 'z');
    EXPECT_TRUE(Decode("TVVideoDevice", kRegSz, longTail, s));
    EXPECT_STREQ(s.tvVideoDevice, "Cam");
    // A shorter text replaces the whole old one, not just its start.
    EXPECT_TRUE(Decode("CapFilename", kRegSz, Text("D:\\x"), s));
    EXPECT_STREQ(s.capFilename, "D:\\x");
    EXPECT_TRUE(Decode("Archive", kRegSz, Bytes{}, s));
    EXPECT_STREQ(s.archive, "");
}

TEST(DecodeStoredValue, TextTypesAreAcceptedNumbersAreNot) {
    RecorderSettings s;
    EXPECT_TRUE(Decode("VCodec", kRegExpandSz, Text("A"), s));
    EXPECT_STREQ(s.vCodec, "A");
    EXPECT_TRUE(Decode("VCodec", kRegBinary, Text("B"), s));
    EXPECT_STREQ(s.vCodec, "B");
    EXPECT_TRUE(Decode("TVAudioDevice", kRegMultiSz, Text(std::string("One\0Two\0\0", 9)), s));
    EXPECT_STREQ(s.tvAudioDevice, "One");
    EXPECT_FALSE(Decode("ACodec", kRegDword, Le32(0x004D4350), s));  // "PCM\0" as a number
    EXPECT_STREQ(s.aCodec, "PCM");
    EXPECT_FALSE(Decode("ACodec", 11 /* REG_QWORD */, Le64(1), s));
}

TEST(DecodeStoredValue, BinaryRowsNeedTheirExactSize) {
    RecorderSettings s;
    EXPECT_FALSE(Decode("WindowPosition", kRegDword, Le32(7), s));
    EXPECT_FALSE(Decode("WindowPosition", kRegBinary, Le32(7), s));
    Bytes longer = Rect(1, 2, 3, 4);
    longer.push_back(9);
    EXPECT_FALSE(Decode("WindowPosition", kRegBinary, longer, s));
    EXPECT_EQ(s.windowPosition.left, 100);
    EXPECT_EQ(s.windowPosition.height, 240);
    EXPECT_TRUE(Decode("WindowPosition", kRegBinary, Rect(-50, -20, 10, 10), s));
    EXPECT_EQ(s.windowPosition.left, -50);

    EXPECT_FALSE(Decode("FrameRate2", kRegDword, Le32(30), s));
    EXPECT_FALSE(Decode("FrameRate2", kRegBinary, Le32(30), s));
    EXPECT_DOUBLE_EQ(s.frameRate, 29.97);
    EXPECT_TRUE(Decode("FrameRate2", kRegBinary, Le64(std::bit_cast<uint64_t>(25.0)), s));
    EXPECT_DOUBLE_EQ(s.frameRate, 25.0);
}

TEST(DecodeStoredValue, FrameRateMustBeAUsableNumber) {
    for (double bad :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity(), 0.0, -30.0}) {
        RecorderSettings s;
        EXPECT_FALSE(Decode("FrameRate2", kRegBinary, Le64(std::bit_cast<uint64_t>(bad)), s))
            << bad;
        EXPECT_DOUBLE_EQ(s.frameRate, 29.97);
    }
}

TEST(DecodeStoredValue, DwordRowsTakeFourBytesAndKeepAllBits) {
    RecorderSettings s;
    EXPECT_TRUE(Decode("Preview", kRegDword, Le32(0xFFFF0108), s));
    EXPECT_EQ(s.vidFlags, 0xFFFF0108u);
    EXPECT_TRUE(Decode("FileLimit", kRegBinary, Le32(5), s));
    EXPECT_EQ(s.fileLimit, 5u);
    EXPECT_FALSE(Decode("CapSeconds", kRegDword, Bytes{60, 0}, s));
    EXPECT_FALSE(Decode("CapSeconds", kRegBinary, Le64(60), s));
    EXPECT_FALSE(Decode("CapSeconds", kRegSz, Text("60"), s));
    EXPECT_FALSE(Decode("CapSeconds", 5 /* REG_DWORD_BIG_ENDIAN */, Le32(60), s));
    EXPECT_EQ(s.capSeconds, 3600u);
}

TEST(ClampWindowPosition, OnlyNegativeCornersAndTinySizesChange) {
    WindowPosition p{1920, 0, 30, 1080};
    ClampWindowPosition(p);
    EXPECT_EQ(p.left, 1920);
    EXPECT_EQ(p.width, 30);
    WindowPosition q{INT32_MIN, -1, INT32_MIN, 29};
    ClampWindowPosition(q);
    EXPECT_EQ(q.left, 0);
    EXPECT_EQ(q.top, 0);
    EXPECT_EQ(q.width, 30);
    EXPECT_EQ(q.height, 30);
}

}  // namespace
}  // namespace vistrel
