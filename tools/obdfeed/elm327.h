// The dialogue with an ELM327-compatible OBD-II adapter (the original and the
// v1.x and v2.x clones), as a state machine over bytes and time: rate search,
// reset and set-up, connecting to the vehicle's bus, reading the supported
// PIDs, and polling service-01 PIDs in turn. Portable: no windows.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/common/serial_device.h"

namespace obdfeed {

// What one reply of the adapter (the text before its '>' prompt) says.
enum class ElmReply {
    kOk,            // "OK", or the identification asked for by ATZ / ATI
    kData,          // hex bytes
    kNoData,        // "NO DATA": the vehicle did not answer
    kUnknown,       // "?": the adapter did not understand the command
    kStopped,       // "STOPPED": the command was interrupted
    kBusError,      // "CAN ERROR", "BUS ERROR", "BUS BUSY", "DATA ERROR", "BUFFER FULL", ...
    kNoConnection,  // "UNABLE TO CONNECT", "BUS INIT: ...ERROR"
    kReset,         // the adapter restarted on its own (identification, "LV RESET")
    kNothing,       // an empty reply
    kGarbage,       // none of the above
};

struct ElmResponse {
    ElmReply kind = ElmReply::kNothing;
    std::vector<std::vector<uint8_t>> frames;  // each hex line as bytes
    std::string text;                          // the identification, for ATZ / ATI
};

// Reads a reply to the command `sent` in any spacing and letter case, with or
// without line feeds and with the command's echo, if any. A line with a byte
// outside printable ASCII is not taken as data.
ElmResponse ParseElmReply(std::string_view reply, std::string_view sent);

// Data bytes of a service-01 PID as they go into the shared record; 0 when
// this table does not know the PID.
int PidDataBytes(int pid);

// The value of service-01 `pid` in a reply ("41 0C 1A F8" gives 0x1AF8): the
// PID's data bytes, first most significant. Nothing when no frame carries it
// or its frame is short.
std::optional<uint32_t> PidValueIn(const ElmResponse& reply, int pid);

// The PIDs a "01 00" / "01 20" / "01 40" reply marks as supported: its four
// data bytes, first most significant, so the top bit stands for PID base + 1
// and the lowest for base + 32; the bits of every answering unit ORed.
std::optional<uint32_t> SupportBitsIn(const ElmResponse& reply, int base);

class ElmSession : public tools::SerialDevice {
  public:
    struct Reading {
        int pid;
        uint32_t value;
        int64_t ms;
    };
    enum class Step {
        kDetect,        // listening for the adapter at one rate after another
        kReset,         // ATZ
        kEchoOff,       // ATE0
        kLinefeedsOff,  // ATL0
        kSpacesOff,     // ATS0
        kHeadersOff,    // ATH0
        kProtocol,      // ATSP0
        kConnect,       // 0100, through "SEARCHING..."
        kSupport20,     // 0120
        kSupport40,     // 0140
        kPoll,          // 01xx in turn
    };

    static constexpr int64_t kDetectMs = 1500;
    static constexpr int64_t kResetMs = 5000;
    static constexpr int64_t kCommandMs = 2000;
    static constexpr int64_t kConnectMs = 30000;  // a protocol search can take this long
    static constexpr int64_t kPidMs = 5000;
    static constexpr int64_t kNoConnectionRetryMs = 5000;
    static constexpr int64_t kBusErrorRetryMs = 1000;
    static constexpr int64_t kIdleRecheckMs = 250;
    static constexpr int kRetries = 3;  // garbled or stopped replies before a reset
    static constexpr int kBusErrorsToReconnect = 5;
    static constexpr size_t kMaxReply = 4096;

    // fixedBaud 0 searches the adapter's usual rates.
    explicit ElmSession(int fixedBaud);

    void Connected(int64_t nowMs) override;
    void Disconnected(int64_t nowMs) override;
    void Received(std::string_view bytes, int64_t nowMs) override;
    tools::PortRequest Poll(int64_t nowMs) override;

    // The readers' request bits (bit n: PID n). Speed and air flow are always
    // wanted: the odometer, the trip and the fuel economy run on them.
    void SetRequested(uint32_t pids) { requested_ = pids; }
    static constexpr uint32_t kAlwaysPolled = (1u << 0x0D) | (1u << 0x10);

    // telemetry::LinkState value.
    uint8_t linkState() const { return link_; }
    Step step() const { return step_; }
    int baud() const { return baud_; }
    const std::string& adapter() const { return adapter_; }
    // Bit n: the vehicle answers PID n (1 to 31).
    uint32_t supported() const { return supported_; }
    // PID bits 0x21 to 0x60, as the two later support replies gave them.
    uint32_t supported20() const { return supported20_; }
    uint32_t supported40() const { return supported40_; }
    std::vector<Reading> TakeReadings();

    struct Stats {
        long commands = 0, noData = 0, unknown = 0, stopped = 0, busErrors = 0, noConnection = 0,
             garbage = 0, timeouts = 0, resets = 0;
    };
    const Stats& stats() const { return stats_; }

  private:
    std::string CommandFor(Step step);
    int64_t TimeoutFor(Step step) const;
    void Handle(std::string_view reply, int64_t nowMs);
    void HandleInit(const ElmResponse& r, int64_t nowMs);
    void HandleConnect(const ElmResponse& r, int64_t nowMs);
    void HandlePoll(const ElmResponse& r, int64_t nowMs);
    void OnTimeout(int64_t nowMs);
    void Retry(int64_t nowMs);
    void Go(Step step, int64_t nowMs, int64_t pauseMs = 0);
    void DetectAt(size_t index, int64_t nowMs);
    uint32_t Wanted() const;

    int fixedBaud_;
    int baud_ = 0;
    bool baudDue_ = false;
    size_t rateIndex_ = 0;
    bool connected_ = false;
    Step step_ = Step::kReset;
    uint8_t link_ = 0;
    std::string sent_;  // the command whose reply is awaited, empty when none
    int64_t deadline_ = 0;
    int64_t resumeAt_ = 0;
    int tries_ = 0;
    int timeoutsInRow_ = 0;
    size_t detectMisses_ = 0;
    int busErrorsInRow_ = 0;
    int missesInRow_ = 0;  // polls without data since the last value
    int pollPid_ = 0;
    std::string rx_;
    std::string adapter_;
    uint32_t requested_ = 0;
    uint32_t supported_ = 0, supported20_ = 0, supported40_ = 0;
    std::vector<Reading> readings_;
    Stats stats_;
};

}  // namespace obdfeed
