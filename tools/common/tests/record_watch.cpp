// Test helper: attaches to "DIrivUDU" and "XOBD2" as a reader, prints their
// fields read at their byte offsets as key=value lines, and asks for the PIDs
// written in a file, as an overlay filter asks on every frame.
//
//   record_watch.exe [--seconds N] [--every MS] [--request-file FILE]
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "telemetry/attach.h"
#include "tools/common/args.h"

namespace {

template <typename T>
T At(telemetry::View v, size_t offset) {
    T value{};
    if (offset + sizeof(T) <= v.size())
        std::memcpy(&value, v.data() + offset, sizeof(T));
    return value;
}

void PrintGps(telemetry::View v, ULONGLONG t) {
    std::printf(
        "gps t=%llu active=%u valid=%u users=%u state=%u lat=%.7f lon=%.7f quality=%d alt=%.2f "
        "geoid=%.2f pdop=%.2f hdop=%.2f vdop=%.2f used=%u inview=%u speed=%.3f heading=%.2f",
        t, At<uint8_t>(v, 0), At<uint8_t>(v, 1), At<uint8_t>(v, 4), At<uint8_t>(v, 78),
        At<float>(v, 36), At<float>(v, 40), At<int32_t>(v, 44), At<float>(v, 48), At<float>(v, 52),
        At<float>(v, 64), At<float>(v, 68), At<float>(v, 72), At<uint8_t>(v, 76),
        At<uint8_t>(v, 79), At<float>(v, 188), At<float>(v, 192));
    std::printf(" time=%04u-%02u-%02uT%02u:%02u:%02u", At<uint16_t>(v, 20), At<uint16_t>(v, 22),
                At<uint16_t>(v, 26), At<uint16_t>(v, 28), At<uint16_t>(v, 30), At<uint16_t>(v, 32));
    std::printf(" prns=");
    for (int i = 0; i < 12; ++i)
        std::printf("%s%u", i ? "," : "", At<uint8_t>(v, 80 + i));
    std::printf(" sats=");
    for (int i = 0; i < 12; ++i) {
        size_t e = 92 + 8 * i;
        std::printf("%s%u/%u/%u/%u", i ? "," : "", At<uint16_t>(v, e), At<uint16_t>(v, e + 2),
                    At<uint16_t>(v, e + 4), At<uint16_t>(v, e + 6));
    }
    std::printf("\n");
}

void PrintObd(telemetry::View v, ULONGLONG t) {
    std::printf("obd t=%llu users=%u link=%u requested=%08lX", t, At<uint8_t>(v, 0),
                At<uint8_t>(v, 2), static_cast<unsigned long>(At<uint32_t>(v, 40)));
    for (int pid = 0; pid < 32; ++pid) {
        uint32_t value = At<uint32_t>(v, 72 + 4 * pid);
        if (value != 0)
            std::printf(" pid%02X=%lu", pid, static_cast<unsigned long>(value));
    }
    std::printf(" odometer=%lu trip=%lu stmpg=%u ltmpg=%u\n",
                static_cast<unsigned long>(At<uint32_t>(v, 9736)),
                static_cast<unsigned long>(At<uint32_t>(v, 9740)), At<uint16_t>(v, 9748),
                At<uint16_t>(v, 9750));
}

uint32_t RequestedInFile(const std::string& path) {
    std::ifstream in(path);
    std::string text;
    if (!path.empty() && in && std::getline(in, text))
        return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 60, every = 100;
    std::string requestFile;
    tools::ArgReader args(argc, argv);
    while (!args.Done()) {
        std::string_view opt = args.Next();
        std::string value(args.Value().value_or(""));
        double number = tools::ParseNumber(value, 0.01, 1e6).value_or(0);
        if (opt == "--seconds" && number > 0)
            seconds = number;
        else if (opt == "--every" && number > 0)
            every = number;
        else if (opt == "--request-file" && !value.empty())
            requestFile = value;
        else
            return tools::UsageError("record_watch", "bad option '" + std::string(opt) + "'");
    }
    telemetry::TelemetryReader reader;
    ULONGLONG start = GetTickCount64();
    while (GetTickCount64() - start < seconds * 1000) {
        reader.Poll();
        ULONGLONG t = GetTickCount64() - start;
        if (reader.hasGps())
            PrintGps(reader.gps(), t);
        if (reader.hasObd()) {
            if (uint32_t bits = RequestedInFile(requestFile))
                telemetry::RequestPids(reader.obd(), bits);
            PrintObd(reader.obd(), t);
        }
        std::fflush(stdout);
        Sleep(static_cast<DWORD>(every));
    }
    return 0;
}
