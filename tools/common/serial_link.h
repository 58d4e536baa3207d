// Keeps a device protocol connected to its COM port: opens the port, passes
// on what arrives and sends what the protocol asks, and when the port fails
// (unplugged, out of range) closes it and tries again every two seconds.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "tools/common/serial_device.h"
#include "tools/common/serial_port.h"

namespace tools {

class SerialLink {
  public:
    static constexpr int64_t kReopenMs = 2000;

    // `tool` prefixes the messages printed when the port comes and goes.
    SerialLink(const char* tool, std::string portName, SerialDevice& device);

    // One turn; call every few tens of milliseconds.
    void Pump(int64_t nowMs);
    bool open() const { return port_.is_open(); }
    int losses() const { return losses_; }
    int baud() const { return baud_; }

  private:
    void Lose(int64_t nowMs, const char* what);

    const char* tool_;
    std::string name_;
    std::string path_;
    SerialDevice& device_;
    SerialPort port_;
    int64_t nextOpenMs_ = 0;
    bool toldClosed_ = false;
    int losses_ = 0;
    int baud_ = 0;
    std::string rx_;
};

// Milliseconds of a clock that only goes forward.
inline int64_t NowMs() {
    return static_cast<int64_t>(GetTickCount64());
}

}  // namespace tools
