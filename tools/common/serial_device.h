// The contract between a device protocol spoken over a serial port (NMEA
// receiver, ELM327 adapter) and whatever carries its bytes: the Windows port
// loop in the feeds, or a fake port in tests. The protocol side is portable
// (no windows.h) and is told the time, so tests control the clock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tools {

// What the protocol asks of the port after a turn.
struct PortRequest {
    int baud = 0;       // non-zero: switch the port to this rate, dropping what is buffered
    std::string write;  // bytes to send
};

class SerialDevice {
  public:
    virtual ~SerialDevice() = default;
    // The port opened, the first time or again after it had gone.
    virtual void Connected(int64_t nowMs) = 0;
    // The port failed or was closed; nothing arrives until Connected again.
    virtual void Disconnected(int64_t nowMs) = 0;
    virtual void Received(std::string_view bytes, int64_t nowMs) = 0;
    // Called every turn, also when nothing arrived: timeouts run here.
    virtual PortRequest Poll(int64_t nowMs) = 0;
};

// Rates a serial GPS receiver or OBD-II adapter is found at.
inline constexpr int kStandardRates[] = {4800, 9600, 19200, 38400, 57600, 115200};

}  // namespace tools
