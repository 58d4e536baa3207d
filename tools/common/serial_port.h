// A COM port opened for a GPS receiver or an OBD-II adapter: 8 data bits, no
// parity, one stop bit, no flow control, and reads that never block.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "common/win_handle.h"

namespace tools {

// "COM5" (any case, 1 to 255) or "\\.\COM5" as the path CreateFile takes;
// empty when the text names no COM port.
std::string SerialPath(std::string_view port);

// The feeds' --port and --baud values. False once the usage error is
// printed; "auto" sets the rate to 0, which means searching for it.
bool ReadPortOption(const char* tool, std::string_view text, std::string& port);
bool ReadBaudOption(const char* tool, std::string_view text, int& baud);

class SerialPort {
  public:
    // Opens and configures the port; false with GetLastError() set on failure.
    bool Open(const std::string& path);
    void Close() { handle_.reset(); }
    bool is_open() const { return handle_.valid(); }
    // Switches the rate and drops what either side had buffered.
    bool SetBaud(int baud);
    // Appends what has arrived, without waiting. False when the port failed:
    // a USB adapter pulled out, a Bluetooth link gone.
    bool Read(std::string& out);
    bool Write(std::string_view bytes);

  private:
    vistrel::UniqueHandle handle_;
};

}  // namespace tools
