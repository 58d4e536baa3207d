// The shared records between real processes in one Wine prefix: the feed
// tools and a peer program on one side, this test process on the other.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "telemetry/attach.h"
#include "tests/support/child_process.h"

namespace telemetry {
namespace {

using testsupport::ChildProcess;
using testsupport::WaitUntil;

GpsSharedRecord Gps(const TelemetryReader& r) {
    GpsSharedRecord copy{};
    SnapshotGps(r.gps(), copy);
    return copy;
}

bool OutputHas(const ChildProcess& p, const char* text) {
    return p.Output().find(text) != std::string::npos;
}

TEST(CrossProcessGps, FeedPublishesAndDetachesWhileAReaderStays) {
    ChildProcess feed = ChildProcess::Start(
        "vistrel-gpsfeed.exe", "--fix 47.5,8.25 --speed 31 --heading 270 --alt 410 --seconds 3");
    ASSERT_TRUE(feed.started()) << feed.error();
    TelemetryReader reader;
    ASSERT_TRUE(WaitUntil(
        [&] {
            reader.Poll();
            return reader.hasGps() && Gps(reader).FixValid == 1;
        },
        10000));
    GpsSharedRecord live = Gps(reader);
    EXPECT_EQ(live.PublisherActive, 1);
    EXPECT_EQ(live.UserCount, 2);  // the feed and this reader
    EXPECT_EQ(live.Signature, kGpsSignature);
    EXPECT_FLOAT_EQ(live.Latitude, 47.5f);
    EXPECT_FLOAT_EQ(live.Longitude, 8.25f);
    EXPECT_FLOAT_EQ(live.SpeedKnots, 31.0f);
    EXPECT_FLOAT_EQ(live.Heading, 270.0f);
    EXPECT_EQ(live.FixState, kFix3D);
    EXPECT_GE(live.FixTime.Year, 2024);

    // The recorder's own publisher stands aside and leaves the record alone.
    {
        GpsPublisher recorder;
        EXPECT_EQ(recorder.Attach(GpsPublisher::Role::kRecorder),
                  GpsPublisher::Result::kOtherPublisher);
    }
    EXPECT_EQ(Gps(reader).UserCount, 2);

    auto code = feed.Wait(15000);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0u) << feed.Output();
    // The reader keeps the block alive with the last position, at speed 0.
    GpsSharedRecord after = Gps(reader);
    EXPECT_EQ(after.PublisherActive, 0);
    EXPECT_EQ(after.UserCount, 1);
    EXPECT_EQ(after.SpeedKnots, 0.0f);
    EXPECT_EQ(after.FixValid, 1);
    EXPECT_FLOAT_EQ(after.Latitude, 47.5f);
    {
        GpsPublisher recorder;  // still held open by the reader: not published
        EXPECT_EQ(recorder.Attach(GpsPublisher::Role::kRecorder),
                  GpsPublisher::Result::kOtherPublisher);
    }

    // A feed started now takes over the kept block.
    ChildProcess second =
        ChildProcess::Start("vistrel-gpsfeed.exe", "--fix -33.9,151.2 --seconds 2");
    ASSERT_TRUE(second.started());
    EXPECT_TRUE(WaitUntil([&] { return Gps(reader).PublisherActive == 1; }, 10000));
    EXPECT_TRUE(WaitUntil([&] { return Gps(reader).Latitude < -33.0f; }, 5000));
    EXPECT_EQ(Gps(reader).UserCount, 2);
    EXPECT_EQ(second.Wait(15000).value_or(99), 0u);
    reader.Detach();
    EXPECT_FALSE(reader.hasGps());
}

TEST(CrossProcessGps, StandbyFeedTakesOverWhenTheFirstDetaches) {
    ChildProcess first = ChildProcess::Start("vistrel-gpsfeed.exe", "--fix 10,20 --seconds 3");
    ASSERT_TRUE(first.started());
    TelemetryReader reader;
    ASSERT_TRUE(WaitUntil(
        [&] {
            reader.Poll();
            return reader.hasGps() && Gps(reader).PublisherActive == 1;
        },
        10000));
    ChildProcess standby = ChildProcess::Start("vistrel-gpsfeed.exe", "--fix 30,40 --seconds 8");
    ASSERT_TRUE(WaitUntil([&] { return OutputHas(standby, "waiting to take over"); }, 10000))
        << standby.Output();
    EXPECT_FLOAT_EQ(Gps(reader).Latitude, 10.0f);
    ASSERT_EQ(first.Wait(15000).value_or(99), 0u);
    EXPECT_TRUE(WaitUntil([&] { return Gps(reader).Latitude == 30.0f; }, 5000));
    EXPECT_EQ(Gps(reader).PublisherActive, 1);
    EXPECT_TRUE(OutputHas(standby, "took over"));
    // A feed that must not wait gives up at once with exit code 1.
    EXPECT_EQ(testsupport::RunToExit("vistrel-gpsfeed.exe", "--fix 1,1 --no-wait", 15000), 1);
    standby.Terminate();
}

// A reader's PID requests answered by vistrel-obdfeed, and its link state at
// exit, are the OBD serial and overlay scenarios' checks.
TEST(CrossProcessObd, MappingTooSmallIsRefusedByReadersAndProvider) {
    SharedBlock squatter = SharedBlock::Create(kObdBlockName, 100);
    ASSERT_TRUE(squatter.valid());
    TelemetryReader reader;
    reader.Poll();
    EXPECT_FALSE(reader.hasObd());
    std::string out;
    EXPECT_EQ(testsupport::RunToExit("vistrel-obdfeed.exe", "--seconds 1", 15000, &out), 1) << out;
    for (size_t i = 0; i < squatter.size(); ++i)
        ASSERT_EQ(squatter.data()[i], 0) << i;
}

// A local program may create any block name with pages only reserved: the
// first touch of such a page is an access violation, so every party must
// treat the block as unusable, like one that is too small.
ChildProcess Reserve(const std::string& name, int size, int committed) {
    ChildProcess p =
        ChildProcess::Start("telemetry_peer.exe", "reserve " + name + " " + std::to_string(size) +
                                                      " " + std::to_string(committed) + " 60");
    EXPECT_TRUE(WaitUntil([&] { return OutputHas(p, "reserved"); }, 10000)) << p.Output();
    return p;
}

TEST(CrossProcessReserved, BlocksNotFullyCommittedAreRefusedByEveryParty) {
    ChildProcess gps = Reserve(kGpsBlockName, 4096, 0);
    ChildProcess obd = Reserve(kObdBlockName, 3 * 4096, 4096);  // the first page only
    ChildProcess osd = Reserve(OsdBlockName(0), 4096, 0);

    TelemetryReader reader;
    reader.Poll();
    EXPECT_FALSE(reader.hasGps());
    EXPECT_FALSE(reader.hasObd());
    GpsPublisher recorder;  // the name is taken: nothing to publish into
    EXPECT_EQ(recorder.Attach(GpsPublisher::Role::kRecorder),
              GpsPublisher::Result::kOtherPublisher);
    ObdProvider provider;
    EXPECT_FALSE(provider.Create());

    OsdBlockOwner owner;  // passes over block 0
    ASSERT_TRUE(owner.Claim(4));
    EXPECT_EQ(owner.index(), 1);
    owner.RaiseClaimFlag();
    OsdBlockClaim claim;
    EXPECT_TRUE(claim.TakeOffered());
    EXPECT_EQ(claim.index(), 1);
    EXPECT_EQ(testsupport::RunToExit("vistrel-osdtext.exe", "--block 0 --custom x", 15000), 1);

    // Once every page the layout needs is committed, the block is used. (A
    // page past the layout stays reserved: Wine reports a section committed
    // in full as reserved to other processes.)
    obd.Terminate();
    obd.Wait(5000);
    ChildProcess full = Reserve(kObdBlockName, 4 * 4096, 3 * 4096);
    reader.Poll();
    EXPECT_TRUE(reader.hasObd());
    EXPECT_TRUE(gps.Running() && osd.Running());
}

TEST(CrossProcessOsd, BlockClaimedOfferedAndTakenAcrossProcesses) {
    ChildProcess owner = ChildProcess::Start("telemetry_peer.exe", "osd-offer 5 8");
    ASSERT_TRUE(owner.started());
    ASSERT_TRUE(WaitUntil([&] { return OutputHas(owner, "block 0"); }, 10000)) << owner.Output();

    // A second recorder finds block 0 in use and takes block 1.
    ChildProcess other = ChildProcess::Start("telemetry_peer.exe", "osd-owner 6 6");
    ASSERT_TRUE(WaitUntil([&] { return OutputHas(other, "block 1"); }, 10000)) << other.Output();

    OsdBlockClaim claim;
    ASSERT_TRUE(WaitUntil([&] { return claim.TakeOffered(); }, 5000));
    EXPECT_EQ(claim.index(), 0);
    EXPECT_EQ(claim.record()->InstanceNumber, 5);
    EXPECT_EQ(claim.record()->ClaimFlag, 0);
    EXPECT_EQ(claim.record()->UserCount, 2);
    EXPECT_TRUE(WaitUntil([&] { return OutputHas(owner, "taken, users 2"); }, 5000));
    // Nothing else is on offer: a second filter keeps a private record.
    OsdBlockClaim second;
    EXPECT_FALSE(second.TakeOffered());

    // The text writer finds the block by instance number and fills a line.
    EXPECT_EQ(testsupport::RunToExit("vistrel-osdtext.exe",
                                     "--instance 5 --line 3 --x -20 --y 40 --text \"Unit 7 North\"",
                                     15000),
              0);
    EXPECT_EQ(FieldText(claim.record()->TextLines[3].Text), "Unit 7 North");
    EXPECT_EQ(claim.record()->TextLines[3].X, -20);
    EXPECT_EQ(claim.record()->TextLines[3].Y, 40);
    EXPECT_EQ(testsupport::RunToExit("vistrel-osdtext.exe", "--block 0 --custom \"Bus 12\"", 15000),
              0);
    EXPECT_EQ(FieldText(claim.record()->Custom), "Bus 12");
    std::string longText(100, 'w');
    EXPECT_EQ(testsupport::RunToExit("vistrel-osdtext.exe",
                                     "--instance 5 --line 7 --text " + longText, 15000),
              0);
    EXPECT_EQ(FieldText(claim.record()->TextLines[7].Text).size(), 63u);
    EXPECT_EQ(testsupport::RunToExit("vistrel-osdtext.exe", "--instance 5 --line 3 --clear", 15000),
              0);
    EXPECT_EQ(FieldText(claim.record()->TextLines[3].Text), "");
    EXPECT_EQ(
        testsupport::RunToExit("vistrel-osdtext.exe", "--instance 9 --line 0 --text x", 15000), 1);
    EXPECT_EQ(
        testsupport::RunToExit("vistrel-osdtext.exe", "--instance 5 --line 8 --text x", 15000), 2);

    claim.Release();
    SharedBlock view = OpenOsdBlock(0, 0);
    ASSERT_TRUE(view.valid());
    EXPECT_EQ(view.as<OverlaySettings>()->UserCount, 1);  // the recorder keeps its count
    EXPECT_EQ(owner.Wait(15000).value_or(99), 0u);
    EXPECT_EQ(other.Wait(15000).value_or(99), 0u);
}

TEST(CrossProcessOsd, BlockLeftWithoutUsersIsReusedWithItsContent) {
    // Keep block 0 alive from here with no users, as after a crash of its holders.
    SharedBlock kept = SharedBlock::Create(OsdBlockName(0), kOsdBlockSize);
    ASSERT_TRUE(kept.valid());
    auto* rec = kept.as<OverlaySettings>();
    rec->UserCount = 0;
    CopyToField(rec->Custom, sizeof(rec->Custom), "left behind");
    ChildProcess owner = ChildProcess::Start("telemetry_peer.exe", "osd-owner 3 1");
    EXPECT_EQ(owner.Wait(15000).value_or(99), 0u);
    EXPECT_NE(owner.Output().find("block 0"), std::string::npos) << owner.Output();
    EXPECT_EQ(rec->UserCount, 1);
    EXPECT_EQ(rec->InstanceNumber, 3);
    EXPECT_EQ(FieldText(rec->Custom), "left behind");
}

}  // namespace
}  // namespace telemetry
