#include "tools/common/serial_port.h"

#include "tools/common/args.h"

namespace tools {

std::string SerialPath(std::string_view port) {
    constexpr std::string_view kDevicePrefix = "\\\\.\\";
    if (port.substr(0, kDevicePrefix.size()) == kDevicePrefix)
        port.remove_prefix(kDevicePrefix.size());
    if (port.size() < 4)
        return {};
    std::string name(port.substr(0, 3));
    for (char& c : name)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    std::string_view digits = port.substr(3);
    bool allDigits = digits.find_first_not_of("0123456789") == std::string_view::npos;
    auto number = allDigits ? ParseInteger(digits, 1, 255) : std::nullopt;
    if (name != "COM" || !number)
        return {};
    // COM10 and up exist only under the device namespace; the lower ones too.
    return std::string(kDevicePrefix) + "COM" + std::to_string(*number);
}

bool ReadPortOption(const char* tool, std::string_view text, std::string& port) {
    if (SerialPath(text).empty()) {
        UsageError(tool, "--port: not a COM port: '" + std::string(text) + "'");
        return false;
    }
    port = std::string(text);
    return true;
}

bool ReadBaudOption(const char* tool, std::string_view text, int& baud) {
    if (text == "auto") {
        baud = 0;
        return true;
    }
    auto n = ParseInteger(text, 300, 921600);
    if (!n) {
        UsageError(tool, "--baud: not a rate: '" + std::string(text) + "'");
        return false;
    }
    baud = static_cast<int>(*n);
    return true;
}

bool SerialPort::Open(const std::string& path) {
    handle_.reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr));
    if (!handle_.valid())
        return false;
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(handle_.get(), &dcb)) {
        DWORD error = GetLastError();
        handle_.reset();
        SetLastError(error);
        return false;
    }
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    // USB receivers and adapters powered from these lines want them raised.
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    // Reads return at once with what is there: a read that waits does not
    // come back on every platform when the device goes away under it.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutConstant = 1000;
    if (!SetCommState(handle_.get(), &dcb) || !SetCommTimeouts(handle_.get(), &timeouts)) {
        DWORD error = GetLastError();
        handle_.reset();
        SetLastError(error);
        return false;
    }
    return true;
}

bool SerialPort::SetBaud(int baud) {
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(handle_.get(), &dcb))
        return false;
    dcb.BaudRate = static_cast<DWORD>(baud);
    if (!SetCommState(handle_.get(), &dcb))
        return false;
    return PurgeComm(handle_.get(), PURGE_RXCLEAR | PURGE_TXCLEAR) != 0;
}

bool SerialPort::Read(std::string& out) {
    // A port whose device has gone fails here, while a read just finds nothing.
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handle_.get(), &errors, &status))
        return false;
    char buffer[1024];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(handle_.get(), buffer, sizeof(buffer), &got, nullptr))
            return false;
        out.append(buffer, got);
        if (got < sizeof(buffer))
            return true;
    }
}

bool SerialPort::Write(std::string_view bytes) {
    DWORD written = 0;
    return WriteFile(handle_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

}  // namespace tools
