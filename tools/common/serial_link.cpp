#include "tools/common/serial_link.h"

#include <cstdio>

namespace tools {

SerialLink::SerialLink(const char* tool, std::string portName, SerialDevice& device)
    : tool_(tool), name_(std::move(portName)), path_(SerialPath(name_)), device_(device) {}

void SerialLink::Lose(int64_t nowMs, const char* what) {
    DWORD error = GetLastError();
    port_.Close();
    device_.Disconnected(nowMs);
    ++losses_;
    nextOpenMs_ = nowMs + kReopenMs;
    std::printf("%s: %s: %s (error %lu); trying again every %d s\n", tool_, name_.c_str(), what,
                error, static_cast<int>(kReopenMs / 1000));
    std::fflush(stdout);
    toldClosed_ = true;
}

void SerialLink::Pump(int64_t nowMs) {
    if (!port_.is_open()) {
        if (nowMs < nextOpenMs_)
            return;
        if (!port_.Open(path_)) {
            nextOpenMs_ = nowMs + kReopenMs;
            if (!toldClosed_) {
                std::printf("%s: %s: cannot open (error %lu); trying again every %d s\n", tool_,
                            name_.c_str(), GetLastError(), static_cast<int>(kReopenMs / 1000));
                std::fflush(stdout);
                toldClosed_ = true;
            }
            return;
        }
        std::printf("%s: %s: open\n", tool_, name_.c_str());
        std::fflush(stdout);
        toldClosed_ = false;
        baud_ = 0;
        device_.Connected(nowMs);
    }
    rx_.clear();
    if (!port_.Read(rx_)) {
        Lose(nowMs, "lost");
        return;
    }
    if (!rx_.empty())
        device_.Received(rx_, nowMs);
    PortRequest request = device_.Poll(nowMs);
    if (request.baud != 0 && request.baud != baud_) {
        if (!port_.SetBaud(request.baud)) {
            Lose(nowMs, "cannot set the rate");
            return;
        }
        baud_ = request.baud;
    }
    if (!request.write.empty() && !port_.Write(request.write))
        Lose(nowMs, "lost");
}

}  // namespace tools
