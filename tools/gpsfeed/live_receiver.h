// A GPS receiver on a serial port: its byte stream cut into sentences, its
// baud rate found by listening for checksummed sentences, and its fix put into
// the shared record, falling back to "No Data" when it goes quiet.
// Portable: no windows.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "telemetry/records.h"
#include "tools/common/serial_device.h"
#include "tools/gpsfeed/nmea.h"

namespace gpsfeed {

// Cuts bytes into lines at CR or LF. A '$' inside a line starts a new one (the
// line end before it was lost); a line longer than any sentence is dropped up
// to its end and counted.
class LineAssembler {
  public:
    static constexpr size_t kMaxLine = 256;

    template <typename OnLine>
    void Push(std::string_view bytes, OnLine&& onLine) {
        for (char c : bytes) {
            if (c == '\r' || c == '\n' || (c == '$' && !line_.empty())) {
                if (!overlong_ && !line_.empty())
                    onLine(std::string_view(line_));
                line_.clear();
                overlong_ = false;
                if (c != '$')
                    continue;
            }
            if (overlong_)
                continue;
            if (line_.size() >= kMaxLine) {
                overlong_ = true;
                ++overlongLines_;
                line_.clear();
                continue;
            }
            line_.push_back(c);
        }
    }
    // Forgets a partial line (after the rate changed, or the port reopened).
    void Reset() {
        line_.clear();
        overlong_ = false;
    }
    long overlongLines() const { return overlongLines_; }

  private:
    std::string line_;
    bool overlong_ = false;
    long overlongLines_ = 0;
};

struct ReceiverStats {
    long sentences = 0;    // well-formed and checksummed
    long accepted = 0;     // folded into the fix
    long badFraming = 0;   // noise, cut lines, bytes outside printable ASCII
    long badChecksum = 0;  // missing or wrong checksum
    long badFields = 0;    // a field that is not what it must be
    long overlong = 0;     // lines longer than any sentence
    long bad() const { return badFraming + badChecksum + badFields + overlong; }
};

class LiveReceiver : public tools::SerialDevice {
  public:
    static constexpr int64_t kStaleMs = 3000;     // no valid sentence this long: "No Data"
    static constexpr int64_t kListenMs = 3000;    // per rate while searching
    static constexpr int kSentencesToLock = 2;    // checksummed sentences that prove a rate
    static constexpr int64_t kRelockMs = 5000;    // bytes but no sentence this long: search again
    static constexpr int64_t kRelockBytes = 256;  // ... and at least this many bytes

    // fixedBaud 0 searches the standard rates.
    explicit LiveReceiver(int fixedBaud);

    void Connected(int64_t nowMs) override;
    void Disconnected(int64_t nowMs) override;
    void Received(std::string_view bytes, int64_t nowMs) override;
    tools::PortRequest Poll(int64_t nowMs) override;

    // Writes the newest fix when one arrived since the last call, or marks the
    // record "No Data" (FixValid 0, FixState 0) when nothing valid came for
    // kStaleMs. True when it wrote anything.
    bool Publish(int64_t nowMs, telemetry::GpsSharedRecord& record);

    int baud() const { return baud_; }
    bool locked() const { return locked_; }
    // True once after the rate was proven (for a message).
    bool TakeLockNews();
    ReceiverStats stats() const;
    const nmea::Fix& fix() const { return reader_.current(); }

  private:
    void OnLine(std::string_view line, int64_t nowMs);
    void TryRate(size_t index, int64_t nowMs);

    int fixedBaud_;
    size_t rateIndex_ = 0;
    int baud_ = 0;
    bool rateChangeDue_ = false;
    bool locked_ = false;
    bool lockNews_ = false;
    int sentencesAtRate_ = 0;
    int64_t listenUntil_ = 0;
    int64_t lastSentenceMs_ = -1;  // a checksummed sentence, of any type
    int64_t lastAcceptedMs_ = -1;  // a sentence folded into the fix
    int64_t bytesSince_ = 0;       // bytes since the last checksummed sentence
    bool fresh_ = false;
    LineAssembler lines_;
    nmea::Reader reader_;
    ReceiverStats stats_;
};

}  // namespace gpsfeed
