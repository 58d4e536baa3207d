// A GPS receiver on a serial port, played by a fake port: rate search, damaged
// input, a receiver that changes its rate. A receiver falling silent or being
// unplugged is the serial scenario's check.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tools/gpsfeed/live_receiver.h"

namespace gpsfeed {
namespace {

std::string Sentence(const std::string& body) {
    unsigned sum = 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof(tail), "*%02X\r\n", sum);
    return "$" + body + tail;
}

// One second of a receiver's output, moving north by 0.0001' a second.
std::string Epoch(int second, const char* talker = "GP") {
    char t[16], lat[16];
    std::snprintf(t, sizeof(t), "10%02d%02d.00", second / 60 % 60, second % 60);
    std::snprintf(lat, sizeof(lat), "4807.%04d", second % 10000);
    std::string tk = talker;
    return Sentence(tk + "RMC," + t + ",A," + lat + ",N,01131.0000,E,12.5,090.0,070626,,,A") +
           Sentence(tk + "GGA," + t + "," + lat + ",N,01131.0000,E,1,07,1.2,512.0,M,47.0,M,,") +
           Sentence(tk + "GSA,A,3,01,03,07,11,14,19,22,,,,,,2.1,1.2,1.7");
}

// A serial line: what the receiver sends arrives intact only when the port
// runs at the receiver's rate; at any other rate it arrives as other bytes.
class FakeLine {
  public:
    explicit FakeLine(int receiverBaud) : receiverBaud_(receiverBaud) {}
    void set_receiver_baud(int b) { receiverBaud_ = b; }
    std::string Deliver(const std::string& sent) {
        if (portBaud_ == receiverBaud_)
            return sent;
        std::string junk;
        for (size_t i = 0; i < sent.size(); ++i) {
            seed_ = seed_ * 1103515245u + 12345u;
            junk.push_back(static_cast<char>(seed_ >> 16));
        }
        return junk;
    }
    int portBaud_ = 0;

  private:
    int receiverBaud_;
    uint32_t seed_ = 7;
};

struct Wire {
    explicit Wire(int fixedBaud, int receiverBaud) : rx(fixedBaud), line(receiverBaud) {
        rx.Connected(0);
        Turn();
    }
    void Turn() {
        tools::PortRequest r = rx.Poll(now);
        if (r.baud)
            line.portBaud_ = r.baud;
        rx.Publish(now, record);
    }
    // Advances `ms`, the receiver talking once a second.
    void For(int64_t ms) {
        for (int64_t end = now + ms; now < end;) {
            now += 50;
            if (now % 1000 == 0)
                rx.Received(line.Deliver(Epoch(second++)), now);
            Turn();
        }
    }
    LiveReceiver rx;
    FakeLine line;
    telemetry::GpsSharedRecord record{};
    int64_t now = 0;
    int second = 0;
};

TEST(LiveReceiver, FindsTheReceiversRateAndPublishesItsFix) {
    for (int baud : {4800, 38400, 115200}) {
        Wire run(0, baud);
        run.For(6 * LiveReceiver::kListenMs + 2000);
        EXPECT_TRUE(run.rx.locked()) << baud;
        EXPECT_EQ(run.rx.baud(), baud);
        EXPECT_EQ(run.line.portBaud_, baud);
        EXPECT_EQ(run.record.FixValid, 1) << baud;
        // The rate is kept once found, however long the receiver talks.
        run.For(20000);
        EXPECT_EQ(run.line.portBaud_, baud);
        EXPECT_NEAR(run.record.Latitude, 48 + (7 + (run.second - 1) / 10000.0) / 60, 1e-5);
    }
    // A rate given on the command line is used as it is, right or wrong.
    Wire fixed(9600, 4800);
    fixed.For(30000);
    EXPECT_EQ(fixed.line.portBaud_, 9600);
    EXPECT_EQ(fixed.record.FixValid, 0);
    EXPECT_GT(fixed.rx.stats().bad(), 0);
}

TEST(LiveReceiver, SearchesAgainWhenTheReceiverChangesItsRate) {
    Wire run(0, 9600);
    run.For(10000);
    ASSERT_EQ(run.line.portBaud_, 9600);
    run.line.set_receiver_baud(57600);  // reconfigured by its maker's tool
    run.For(LiveReceiver::kRelockMs + 6 * LiveReceiver::kListenMs + 3000);
    EXPECT_EQ(run.line.portBaud_, 57600);
    EXPECT_TRUE(run.rx.locked());
    EXPECT_EQ(run.record.FixValid, 1);
}

TEST(LiveReceiver, DamagedInputIsSkippedAndCounted) {
    LiveReceiver rx(4800);
    rx.Connected(0);
    rx.Poll(0);
    std::string good = Epoch(1);
    std::string bad = Sentence("GPRMC,100002.00,A,4807.0002,N,01131.0000,E,1.0,1.0,070626,,,A");
    bad[20] = '9';                                          // wrong checksum
    std::string noise("\x00\xFF\x13$\x80\r\n\x01\x02", 9);  // binary noise
    std::string cut = good.substr(0, 30);                   // a line cut off, no end
    std::string overlong = "$GPTXT," + std::string(600, 'x') + "\r\n";
    std::string fields = Sentence("GPGGA,100002.00,4807.0002,N,01131.0000,E,1,07,1.2,x,M,47,M,,");
    // Cut straight into the next sentence: the '$' starts it afresh.
    std::string stream = noise + bad + cut + Epoch(2) + overlong + fields + Epoch(3);
    // Delivered in awkward pieces, as a serial port does.
    for (size_t i = 0; i < stream.size(); i += 7)
        rx.Received(std::string_view(stream).substr(i, 7), 100);
    telemetry::GpsSharedRecord record{};
    rx.Publish(100, record);
    EXPECT_EQ(record.FixValid, 1);
    EXPECT_NEAR(record.Latitude, 48 + 7.0003 / 60, 1e-5);  // from the last good epoch
    ReceiverStats s = rx.stats();
    EXPECT_EQ(s.accepted, 6);
    EXPECT_EQ(s.badChecksum, 2);  // the wrong one, and the cut line that lost its own
    EXPECT_EQ(s.overlong, 1);
    EXPECT_EQ(s.badFields, 1);
    EXPECT_GE(s.badFraming, 1);  // the noise
}

}  // namespace
}  // namespace gpsfeed
