// The protocol rules over raw memory, and the texts of the records.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "telemetry/protocol.h"
#include "telemetry/records.h"

namespace telemetry {
namespace {

template <typename T>
void Put(std::vector<uint8_t>& image, size_t offset, T value) {
    std::memcpy(image.data() + offset, &value, sizeof(T));
}

// Where each field sits is fixed by the static assertions beside the layouts.
TEST(RecordLayout, ReadersTakeTheLowSixteenBitsOfAPidSlotAndNoSlotBeyond) {
    std::vector<uint8_t> obd(kObdMinSize, 0);
    Put<uint32_t>(obd, 120, 0x1A2B3C4D);  // PID 0x0C, engine speed slot
    ObdSharedRecord o;
    ASSERT_TRUE(SnapshotObd(obd, o));
    EXPECT_EQ(PidValue(o, kPidEngineRpm), 0x3C4D);
    EXPECT_EQ(PidValue(o, 40), 0);
}

TEST(RecordProtocol, CountsWrapUpAndNeverGoBelowZero) {
    uint8_t count = 255;
    EXPECT_EQ(IncrementCount(count), 0);
    DecrementCount(count);
    EXPECT_EQ(count, 0);
    count = 1;
    DecrementCount(count);
    DecrementCount(count);
    EXPECT_EQ(count, 0);
}

TEST(RecordProtocol, ANewGpsRecordClearsStaleBytes) {
    std::vector<uint8_t> block(kGpsRecordSize, 0xAB);  // stale bytes of an earlier life
    ASSERT_TRUE(InitNewGpsRecord(block));
    GpsSharedRecord r;
    SnapshotGps(block, r);
    EXPECT_EQ(r.PublisherActive, 1);
    EXPECT_EQ(r.UserCount, 1);
    EXPECT_EQ(r.Signature, kGpsSignature);
    EXPECT_EQ(r.Latitude, 0.0f);
    EXPECT_EQ(r.Reserved220[47], 0);
    // A publisher leaving a reader's block, and the next joining it, are the
    // cross-process test's, with real feeds.
}

TEST(RecordProtocol, ViewsTooSmallAreRefusedAndLeftUntouched) {
    std::vector<uint8_t> small(100, 0x5A);
    EXPECT_FALSE(InitNewGpsRecord(small));
    EXPECT_FALSE(AttachGpsReader(small));
    EXPECT_FALSE(AttachObdReader(small));
    EXPECT_FALSE(RequestPids(small, 0x1000));
    EXPECT_FALSE(StampFixMilliseconds(small, 5));
    EXPECT_FALSE(TakeOsdBlock(small, true, 1));
    EXPECT_FALSE(ClaimOfferedOsdBlock(small));
    GpsSharedRecord g;
    ObdSharedRecord o;
    EXPECT_FALSE(SnapshotGps(small, g));
    EXPECT_FALSE(SnapshotObd(small, o));
    DetachObdReader(small);
    ReleaseOsdBlock(small);
    for (uint8_t b : small)
        ASSERT_EQ(b, 0x5A);
    // 9751 bytes is one short of what readers touch.
    std::vector<uint8_t> almost(kObdMinSize - 1, 0);
    EXPECT_FALSE(AttachObdReader(almost));
}

TEST(RecordProtocol, PidRequestsAreOredAndNeverCleared) {
    std::vector<uint8_t> obd(kObdMinSize, 0);
    Put<uint32_t>(obd, 40, 0x10);
    ASSERT_TRUE(RequestPids(obd, 0x1000 | 0x2000));
    ASSERT_TRUE(RequestPids(obd, 0x1000));
    uint32_t word;
    std::memcpy(&word, &obd[40], 4);
    EXPECT_EQ(word, 0x3010u);
    // A view whose field is not 4-aligned still gets its bits.
    std::vector<uint8_t> shifted(kObdMinSize + 1, 0);
    ASSERT_TRUE(RequestPids(std::span<uint8_t>(shifted).subspan(1), 0x4));
    EXPECT_EQ(shifted[41], 0x4);
}

TEST(RecordProtocol, ANewOsdBlockIsClearedAndNumbered) {
    std::vector<uint8_t> block(kOsdBlockSize, 0x77);
    ASSERT_TRUE(TakeOsdBlock(block, /*isNew=*/true, 300));
    OverlaySettings s;
    SnapshotOsd(block, s);
    EXPECT_EQ(s.UserCount, 1);
    EXPECT_EQ(s.InstanceNumber, 44);  // 300 keeps its low 8 bits
    EXPECT_EQ(s.Font[0], 0);
    // Offering, taking and releasing a block, and a block left without users,
    // are the cross-process test's.
}

TEST(RecordText, FieldsWithoutTerminatorStopAtTheirEnd) {
    OsdTextLine line;
    std::memset(line.Text, 'x', sizeof(line.Text));
    EXPECT_EQ(FieldText(line.Text).size(), 64u);
    char field[8];
    CopyToField(field, sizeof(field), "a longer text");
    EXPECT_EQ(FieldText(field), "a longe");
    EXPECT_EQ(field[7], '\0');
    CopyToField(field, sizeof(field), "");
    EXPECT_EQ(FieldText(field), "");
}

// A state byte from shared memory indexes the name tables: every value past
// them must give an empty text, never a read beyond.
TEST(RecordText, StateNamesPastTheTablesAreEmpty) {
    for (int v = 8; v < 256; ++v) {
        ASSERT_STREQ(LinkStateName(static_cast<uint8_t>(v)), "");
        ASSERT_STREQ(FixStateName(static_cast<uint8_t>(v)), "");
        ASSERT_STREQ(FixStateLabel(static_cast<uint8_t>(v)), "");
    }
}

}  // namespace
}  // namespace telemetry
