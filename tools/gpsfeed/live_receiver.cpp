#include "tools/gpsfeed/live_receiver.h"

#include <iterator>

#include "tools/gpsfeed/fix_record.h"

namespace gpsfeed {

namespace {

constexpr size_t kRateCount = std::size(tools::kStandardRates);

}  // namespace

LiveReceiver::LiveReceiver(int fixedBaud) : fixedBaud_(fixedBaud) {}

void LiveReceiver::TryRate(size_t index, int64_t nowMs) {
    rateIndex_ = index % kRateCount;
    baud_ = tools::kStandardRates[rateIndex_];
    rateChangeDue_ = true;
    sentencesAtRate_ = 0;
    listenUntil_ = nowMs + kListenMs;
    lines_.Reset();
}

void LiveReceiver::Connected(int64_t nowMs) {
    lines_.Reset();
    bytesSince_ = 0;
    if (fixedBaud_ != 0) {
        baud_ = fixedBaud_;
        rateChangeDue_ = true;
        locked_ = true;
        return;
    }
    // The receiver most likely still talks at the rate found before.
    locked_ = false;
    TryRate(rateIndex_, nowMs);
}

void LiveReceiver::Disconnected(int64_t) {
    lines_.Reset();
    rateChangeDue_ = false;
}

void LiveReceiver::Received(std::string_view bytes, int64_t nowMs) {
    bytesSince_ += static_cast<int64_t>(bytes.size());
    lines_.Push(bytes, [&](std::string_view line) { OnLine(line, nowMs); });
}

void LiveReceiver::OnLine(std::string_view line, int64_t nowMs) {
    nmea::LineResult r = reader_.Feed(line);
    switch (r) {
        case nmea::LineResult::kBlank:
            return;
        case nmea::LineResult::kBadFraming:
            ++stats_.badFraming;
            return;
        case nmea::LineResult::kBadChecksum:
            ++stats_.badChecksum;
            return;
        case nmea::LineResult::kBadFields:
            ++stats_.badFields;
            break;
        case nmea::LineResult::kAccepted:
            ++stats_.accepted;
            lastAcceptedMs_ = nowMs;
            fresh_ = true;
            break;
        case nmea::LineResult::kIgnored:
            break;
    }
    // Well formed with a right checksum: the rate is right.
    ++stats_.sentences;
    lastSentenceMs_ = nowMs;
    bytesSince_ = 0;
    if (!locked_ && ++sentencesAtRate_ >= kSentencesToLock) {
        locked_ = true;
        lockNews_ = true;
    }
}

tools::PortRequest LiveReceiver::Poll(int64_t nowMs) {
    if (fixedBaud_ == 0) {
        if (!locked_ && nowMs >= listenUntil_) {
            TryRate(rateIndex_ + 1, nowMs);
        } else if (locked_ && bytesSince_ >= kRelockBytes && lastSentenceMs_ >= 0 &&
                   nowMs - lastSentenceMs_ >= kRelockMs) {
            // Bytes keep coming but none make a sentence: the receiver was
            // switched to another rate.
            locked_ = false;
            bytesSince_ = 0;
            TryRate(rateIndex_ + 1, nowMs);
        }
    }
    tools::PortRequest request;
    if (rateChangeDue_) {
        request.baud = baud_;
        rateChangeDue_ = false;
    }
    return request;
}

bool LiveReceiver::Publish(int64_t nowMs, telemetry::GpsSharedRecord& record) {
    if (fresh_) {
        fresh_ = false;
        WriteFix(reader_.current(), record);
        return true;
    }
    bool stale = lastAcceptedMs_ < 0 || nowMs - lastAcceptedMs_ >= kStaleMs;
    if (stale && (record.FixValid != 0 || record.FixState != telemetry::kFixNoData)) {
        record.FixValid = 0;
        record.FixState = telemetry::kFixNoData;
        return true;
    }
    return false;
}

bool LiveReceiver::TakeLockNews() {
    bool news = lockNews_;
    lockNews_ = false;
    return news;
}

ReceiverStats LiveReceiver::stats() const {
    ReceiverStats s = stats_;
    s.overlong = lines_.overlongLines();
    return s;
}

}  // namespace gpsfeed
