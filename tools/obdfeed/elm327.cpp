#include "tools/obdfeed/elm327.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <iterator>

#include "telemetry/records.h"

namespace obdfeed {

namespace {

// An ELM327 starts at 38400 or 9600 (set by a pin); clones also at 115200.
constexpr int kElmRates[] = {38400, 9600, 115200, 57600, 19200, 4800};

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string Normalised(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c != ' ')
            out.push_back(Upper(c));
    }
    return out;
}

bool Has(const std::string& upperLine, const char* what) {
    return upperLine.find(what) != std::string::npos;
}

int Hex(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Upper(c);
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "41 0C 1A F8", "410c1af8": bytes; nothing for any other text.
std::optional<std::vector<uint8_t>> HexFrame(const std::string& compact) {
    if (compact.empty() || compact.size() % 2 != 0)
        return std::nullopt;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < compact.size(); i += 2) {
        int hi = Hex(compact[i]), lo = Hex(compact[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return bytes;
}

bool IsBusError(const std::string& u) {
    if (Has(u, "CAN ERROR") || Has(u, "BUS ERROR") || Has(u, "BUS BUSY") || Has(u, "DATA ERROR") ||
        Has(u, "FB ERROR") || Has(u, "BUFFER FULL") || Has(u, "RX ERROR") || Has(u, "ACT ALERT")) {
        return true;
    }
    // "ERR94" and the like: internal error codes of later versions.
    return u.size() >= 4 && u.compare(0, 3, "ERR") == 0 &&
           std::all_of(u.begin() + 3, u.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool AsksIdentification(const std::string& command) {
    return command == "ATZ" || command == "ATI" || command == "ATWS" || command == "ATD";
}

}  // namespace

ElmResponse ParseElmReply(std::string_view reply, std::string_view sent) {
    const std::string command = Normalised(sent);
    std::vector<std::string> lines;  // upper case, trimmed, echo and progress dropped
    std::string line;
    bool damaged = false;
    auto endLine = [&] {
        size_t b = line.find_first_not_of(' '), e = line.find_last_not_of(' ');
        std::string t = b == std::string::npos ? std::string() : line.substr(b, e - b + 1);
        line.clear();
        if (damaged) {
            lines.push_back("\x7F");  // kept, so the reply does not read as empty
            damaged = false;
            return;
        }
        if (t.empty() || (!command.empty() && Normalised(t) == command))
            return;
        if (Has(t, "SEARCHING") || (t.compare(0, 8, "BUS INIT") == 0 && !Has(t, "ERROR")))
            return;
        lines.push_back(t);
    };
    for (char c : reply) {
        if (c == '\r' || c == '\n') {
            endLine();
        } else if (c == '\0') {
            continue;  // some clones send NULs around their replies
        } else if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) {
            damaged = true;
        } else {
            line.push_back(Upper(c));
        }
    }
    endLine();

    ElmResponse r;
    if (lines.empty())
        return r;
    for (const auto& t : lines) {
        if (Has(t, "ELM327") || Has(t, "LV RESET")) {
            if (AsksIdentification(command) && Has(t, "ELM")) {
                r.kind = ElmReply::kOk;
                r.text = t;
            } else {
                r.kind = ElmReply::kReset;
            }
            return r;
        }
    }
    bool noData = false, stopped = false, busError = false, ok = false, unknown = false;
    for (const auto& t : lines) {
        if (Has(t, "UNABLE TO CONNECT") || (t.compare(0, 8, "BUS INIT") == 0)) {
            r.kind = ElmReply::kNoConnection;
            return r;
        }
        std::string compact = Normalised(t);
        if (auto frame = HexFrame(compact)) {
            r.frames.push_back(std::move(*frame));
            continue;
        }
        noData |= Has(t, "NO DATA");
        stopped |= Has(t, "STOPPED");
        busError |= IsBusError(t);
        ok |= t == "OK";
        unknown |= t == "?";
    }
    if (!r.frames.empty())
        r.kind = ElmReply::kData;
    else if (noData)
        r.kind = ElmReply::kNoData;
    else if (stopped)
        r.kind = ElmReply::kStopped;
    else if (busError)
        r.kind = ElmReply::kBusError;
    else if (ok)
        r.kind = ElmReply::kOk;
    else if (unknown)
        r.kind = ElmReply::kUnknown;
    else
        r.kind = ElmReply::kGarbage;
    return r;
}

int PidDataBytes(int pid) {
    switch (pid) {
        case 0x00:
        case 0x01:
        case 0x20:
        case 0x40:
            return 4;
        case 0x02:
        case 0x03:
        case 0x0C:
        case 0x10:
        case 0x1F:
        case 0x14:
        case 0x15:
        case 0x16:
        case 0x17:
        case 0x18:
        case 0x19:
        case 0x1A:
        case 0x1B:
            return 2;
        default:
            // The rest of 0x04 to 0x1E are one byte; fuel trims may carry a
            // second bank's byte, which the record does not keep.
            return pid > 0 && pid < 0x20 ? 1 : 0;
    }
}

std::optional<uint32_t> PidValueIn(const ElmResponse& reply, int pid) {
    size_t n = static_cast<size_t>(PidDataBytes(pid));
    if (reply.kind != ElmReply::kData || n == 0)
        return std::nullopt;
    for (const auto& f : reply.frames) {
        if (f.size() < 2 + n || f[0] != 0x41 || f[1] != pid)
            continue;
        uint32_t v = 0;
        for (size_t i = 0; i < n; ++i)
            v = (v << 8) | f[2 + i];
        return v;
    }
    return std::nullopt;
}

std::optional<uint32_t> SupportBitsIn(const ElmResponse& reply, int base) {
    if (reply.kind != ElmReply::kData)
        return std::nullopt;
    std::optional<uint32_t> bits;
    for (const auto& f : reply.frames) {
        if (f.size() < 6 || f[0] != 0x41 || f[1] != base)
            continue;
        uint32_t v = (uint32_t{f[2]} << 24) | (uint32_t{f[3]} << 16) | (uint32_t{f[4]} << 8) | f[5];
        bits = bits.value_or(0) | v;
    }
    return bits;
}

ElmSession::ElmSession(int fixedBaud) : fixedBaud_(fixedBaud) {}

void ElmSession::DetectAt(size_t index, int64_t nowMs) {
    rateIndex_ = index % std::size(kElmRates);
    baud_ = kElmRates[rateIndex_];
    baudDue_ = true;
    step_ = Step::kDetect;
    sent_.clear();
    rx_.clear();
    tries_ = 0;
    resumeAt_ = nowMs;
}

void ElmSession::Go(Step step, int64_t nowMs, int64_t pauseMs) {
    if (step != step_)
        tries_ = 0;
    step_ = step;
    sent_.clear();
    resumeAt_ = nowMs + pauseMs;
    if (step == Step::kConnect || step == Step::kSupport20 || step == Step::kSupport40) {
        if (link_ == telemetry::kLinkInit)
            link_ = telemetry::kLinkOpen;
    }
}

void ElmSession::Connected(int64_t nowMs) {
    connected_ = true;
    link_ = telemetry::kLinkInit;
    timeoutsInRow_ = 0;
    detectMisses_ = 0;
    busErrorsInRow_ = 0;
    rx_.clear();
    if (fixedBaud_ != 0) {
        baud_ = fixedBaud_;
        baudDue_ = true;
        tries_ = 0;
        Go(Step::kReset, nowMs);
    } else {
        DetectAt(rateIndex_, nowMs);  // the rate found before comes first
    }
}

void ElmSession::Disconnected(int64_t) {
    connected_ = false;
    link_ = telemetry::kLinkNotConnected;
    sent_.clear();
    rx_.clear();
    baudDue_ = false;
}

std::vector<ElmSession::Reading> ElmSession::TakeReadings() {
    std::vector<Reading> out;
    out.swap(readings_);
    return out;
}

uint32_t ElmSession::Wanted() const {
    return (requested_ | kAlwaysPolled) & supported_ & ~1u;
}

std::string ElmSession::CommandFor(Step step) {
    switch (step) {
        case Step::kDetect:
            return "ATI";
        case Step::kReset:
            return "ATZ";
        case Step::kEchoOff:
            return "ATE0";
        case Step::kLinefeedsOff:
            return "ATL0";
        case Step::kSpacesOff:
            return "ATS0";
        case Step::kHeadersOff:
            return "ATH0";
        case Step::kProtocol:
            return "ATSP0";
        case Step::kConnect:
            return "0100";
        case Step::kSupport20:
            return "0120";
        case Step::kSupport40:
            return "0140";
        case Step::kPoll: {
            uint32_t wanted = Wanted();
            if (wanted == 0)
                return {};
            // The next wanted PID after the last one polled, round the 32 bits.
            int next = pollPid_;
            do {
                next = (next + 1) % 32;
            } while (!(wanted & (1u << next)));
            pollPid_ = next;
            char text[8];
            std::snprintf(text, sizeof(text), "01%02X", next);
            return text;
        }
    }
    return {};
}

int64_t ElmSession::TimeoutFor(Step step) const {
    switch (step) {
        case Step::kDetect:
            return kDetectMs;
        case Step::kReset:
            return kResetMs;
        case Step::kConnect:
            return kConnectMs;
        case Step::kSupport20:
        case Step::kSupport40:
        case Step::kPoll:
            return kPidMs;
        default:
            return kCommandMs;
    }
}

tools::PortRequest ElmSession::Poll(int64_t nowMs) {
    tools::PortRequest request;
    if (!connected_)
        return request;
    if (!sent_.empty() && nowMs >= deadline_)
        OnTimeout(nowMs);
    if (baudDue_) {
        request.baud = baud_;
        baudDue_ = false;
    }
    if (!sent_.empty() || nowMs < resumeAt_)
        return request;
    std::string command = CommandFor(step_);
    if (command.empty()) {
        link_ = telemetry::kLinkIdle;  // polling, but nothing is wanted
        resumeAt_ = nowMs + kIdleRecheckMs;
        return request;
    }
    sent_ = command;
    deadline_ = nowMs + TimeoutFor(step_);
    rx_.clear();
    ++stats_.commands;
    request.write = command + "\r";
    return request;
}

void ElmSession::Received(std::string_view bytes, int64_t nowMs) {
    if (!connected_)
        return;
    for (char c : bytes) {
        if (c != '>') {
            if (rx_.size() < kMaxReply)
                rx_.push_back(c);
            continue;
        }
        std::string reply;
        reply.swap(rx_);
        Handle(reply, nowMs);
    }
}

void ElmSession::Handle(std::string_view reply, int64_t nowMs) {
    if (step_ == Step::kDetect) {
        if (sent_.empty())
            return;
        std::string upper = Normalised(reply);
        if (upper.find("ELM") == std::string::npos) {
            // "?" for what the adapter took in at a wrong rate before our
            // command, or noise at this one: ask once more, a few times.
            if (++tries_ < kRetries)
                sent_.clear();
            return;
        }
        timeoutsInRow_ = 0;
        detectMisses_ = 0;
        if (link_ == telemetry::kLinkTimeout)
            link_ = telemetry::kLinkInit;
        Go(Step::kReset, nowMs);
        return;
    }
    ElmResponse r = ParseElmReply(reply, sent_);
    if (sent_.empty()) {
        // Unasked: only an adapter that restarted matters.
        if (r.kind == ElmReply::kReset) {
            ++stats_.resets;
            link_ = telemetry::kLinkInit;
            Go(Step::kEchoOff, nowMs);
        }
        return;
    }
    timeoutsInRow_ = 0;
    if (link_ == telemetry::kLinkTimeout)
        link_ = step_ >= Step::kConnect ? telemetry::kLinkOpen : telemetry::kLinkInit;
    switch (r.kind) {
        case ElmReply::kNoData:
            ++stats_.noData;
            break;
        case ElmReply::kUnknown:
            ++stats_.unknown;
            break;
        case ElmReply::kStopped:
            ++stats_.stopped;
            break;
        case ElmReply::kBusError:
            ++stats_.busErrors;
            break;
        case ElmReply::kNoConnection:
            ++stats_.noConnection;
            break;
        case ElmReply::kGarbage:
        case ElmReply::kNothing:
            ++stats_.garbage;
            break;
        default:
            break;
    }
    if (r.kind == ElmReply::kReset && step_ != Step::kReset) {
        // It restarted by itself (a voltage dip): echo and line feeds are back on.
        ++stats_.resets;
        link_ = telemetry::kLinkInit;
        Go(Step::kEchoOff, nowMs);
        return;
    }
    if (step_ <= Step::kProtocol)
        HandleInit(r, nowMs);
    else if (step_ <= Step::kSupport40)
        HandleConnect(r, nowMs);
    else
        HandlePoll(r, nowMs);
}

void ElmSession::Retry(int64_t nowMs) {
    // The same command again, a few times; then the adapter is reset.
    sent_.clear();
    if (++tries_ >= kRetries) {
        ++stats_.resets;
        link_ = telemetry::kLinkInit;
        tries_ = 0;
        step_ = Step::kReset;
    }
    resumeAt_ = nowMs;
}

void ElmSession::HandleInit(const ElmResponse& r, int64_t nowMs) {
    if (step_ == Step::kReset) {
        if (r.kind != ElmReply::kOk || r.text.empty()) {
            // A reply to what stood in the adapter's buffer before ATZ.
            sent_.clear();
            if (++tries_ >= kRetries)
                OnTimeout(nowMs);
            return;
        }
        adapter_ = r.text;
        link_ = telemetry::kLinkInit;
        Go(Step::kEchoOff, nowMs);
        return;
    }
    // Old clones answer "?" to the commands they lack (ATS0 before v1.3);
    // replies are read in any spacing and with echo, so that is fine.
    if (r.kind != ElmReply::kOk && r.kind != ElmReply::kUnknown) {
        Retry(nowMs);
        return;
    }
    Go(static_cast<Step>(static_cast<int>(step_) + 1), nowMs);
}

void ElmSession::HandleConnect(const ElmResponse& r, int64_t nowMs) {
    int base = step_ == Step::kConnect ? 0x00 : step_ == Step::kSupport20 ? 0x20 : 0x40;
    std::optional<uint32_t> bits = SupportBitsIn(r, base);
    if (step_ != Step::kConnect) {
        // Later support replies only add to what is known; a refusal ends them.
        if (base == 0x20)
            supported20_ = bits.value_or(0);
        else
            supported40_ = bits.value_or(0);
        bool more = base == 0x20 && bits && (*bits & 1u);
        Go(more ? Step::kSupport40 : Step::kPoll, nowMs);
        if (!more)
            link_ = telemetry::kLinkWorking;
        return;
    }
    switch (r.kind) {
        case ElmReply::kData:
            if (!bits) {
                Retry(nowMs);
                return;
            }
            // Bit 31 of the reply is PID 1: reverse into "bit n is PID n".
            supported_ = 0;
            for (int pid = 1; pid < 32; ++pid) {
                if (*bits & (1u << (32 - pid)))
                    supported_ |= 1u << pid;
            }
            busErrorsInRow_ = 0;
            missesInRow_ = 0;
            if (*bits & 1u) {
                Go(Step::kSupport20, nowMs);
            } else {
                Go(Step::kPoll, nowMs);
                link_ = telemetry::kLinkWorking;
            }
            return;
        case ElmReply::kNoData:
        case ElmReply::kNoConnection:
            // Ignition off, or no bus at all: ask again in a while.
            link_ = telemetry::kLinkClosed;
            Go(Step::kConnect, nowMs, kNoConnectionRetryMs);
            return;
        case ElmReply::kBusError:
            link_ = telemetry::kLinkBusy;
            Go(Step::kConnect, nowMs, kBusErrorRetryMs);
            return;
        default:
            Retry(nowMs);
            return;
    }
}

void ElmSession::HandlePoll(const ElmResponse& r, int64_t nowMs) {
    int pid = pollPid_;
    sent_.clear();
    switch (r.kind) {
        case ElmReply::kData:
            if (auto v = PidValueIn(r, pid)) {
                readings_.push_back({pid, *v, nowMs});
                link_ = telemetry::kLinkWorking;
                missesInRow_ = 0;
                busErrorsInRow_ = 0;
                tries_ = 0;
                return;
            }
            ++stats_.garbage;
            break;
        case ElmReply::kStopped:
            // Interrupted: ask for the same PID again.
            pollPid_ = (pid + 31) % 32;
            Retry(nowMs);
            return;
        case ElmReply::kNoConnection:
            link_ = telemetry::kLinkClosed;
            Go(Step::kConnect, nowMs, kNoConnectionRetryMs);
            return;
        case ElmReply::kBusError:
            link_ = telemetry::kLinkBusy;
            if (++busErrorsInRow_ >= kBusErrorsToReconnect) {
                busErrorsInRow_ = 0;
                Go(Step::kConnect, nowMs, kBusErrorRetryMs);
            } else {
                resumeAt_ = nowMs + kBusErrorRetryMs;
            }
            return;
        default:
            break;  // NO DATA, "?", noise: on to the next PID
    }
    // A whole round without a value: the engine is off with the ignition on,
    // or the vehicle has stopped answering.
    if (++missesInRow_ >= std::max(1, std::popcount(Wanted())))
        link_ = telemetry::kLinkIdle;
}

void ElmSession::OnTimeout(int64_t nowMs) {
    ++stats_.timeouts;
    sent_.clear();
    rx_.clear();
    tries_ = 0;
    if (step_ == Step::kDetect) {
        // Nothing at this rate: the next one. Only a whole round of rates
        // without an answer makes the adapter a silent one.
        if (++detectMisses_ >= std::size(kElmRates)) {
            detectMisses_ = 0;
            link_ = telemetry::kLinkTimeout;
        }
        DetectAt(rateIndex_ + 1, nowMs);
        return;
    }
    link_ = telemetry::kLinkTimeout;
    // A silent adapter is reset; after two silences in a row its rate is
    // searched again, in case another adapter was plugged in.
    if (fixedBaud_ == 0 && ++timeoutsInRow_ >= 2) {
        timeoutsInRow_ = 0;
        DetectAt(rateIndex_, nowMs);
        return;
    }
    step_ = Step::kReset;
    resumeAt_ = nowMs;
}

}  // namespace obdfeed
