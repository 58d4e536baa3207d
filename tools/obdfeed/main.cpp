// vistrel-obdfeed: the OBD-II provider for cars without an adapter. Creates and
// owns the shared record "XOBD2" and answers the PIDs that readers request
// with the values of a simulated drive.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "telemetry/attach.h"
#include "tools/common/args.h"
#include "tools/common/console.h"
#include "tools/obdfeed/drive_sim.h"

namespace {

constexpr char kTool[] = "vistrel-obdfeed";
constexpr DWORD kTickMs = 200;
constexpr int kRequestWindowTicks = 25;  // requests are collected afresh every 5 s

const char kHelp[] =
    "Usage: vistrel-obdfeed [--seconds N] [--all] [--verbose]\n"
    "\n"
    "Provides engine data for the recorder's overlay, as the shared record\n"
    "\"XOBD2\", from a simulated drive in place of an OBD-II adapter: engine speed,\n"
    "load, coolant and intake temperatures, speed, air flow, manifold and fuel\n"
    "pressure, timing, throttle, fuel level, odometer, trip and fuel economy.\n"
    "Readers ask for the values they show; those are the ones updated.\n"
    "\n"
    "  --seconds N   stop after N seconds (default: run until Ctrl+C)\n"
    "  --all         update every known value, requested or not\n"
    "  --verbose     print the state once a second\n"
    "\n"
    "Exit codes: 0 done, 1 could not create the record, 2 bad arguments.\n";

uint32_t TakeRequests(telemetry::ObdSharedRecord& r) {
    return std::atomic_ref<uint32_t>(r.RequestedPids).exchange(0);
}

uint32_t PeekRequests(telemetry::ObdSharedRecord& r) {
    return std::atomic_ref<uint32_t>(r.RequestedPids).load();
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 0;
    bool all = false, verbose = false;
    tools::ArgReader args(argc, argv);
    while (!args.Done()) {
        std::string_view opt = args.Next();
        if (opt == "--help" || opt == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (opt == "--seconds") {
            auto v = args.Value();
            auto n = v ? tools::ParseNumber(*v, 0.1, 1e7) : std::nullopt;
            if (!n)
                return tools::UsageError(kTool, "--seconds needs a number of seconds");
            seconds = *n;
        } else if (opt == "--all") {
            all = true;
        } else if (opt == "--verbose") {
            verbose = true;
        } else {
            return tools::UsageError(kTool, "unknown option '" + std::string(opt) + "'");
        }
    }

    tools::InstallStopHandler();
    tools::Deadline deadline(seconds);
    telemetry::ObdProvider provider;
    if (!provider.Create()) {
        std::fprintf(stderr, "%s: cannot create the shared record \"XOBD2\" (error %lu)\n", kTool,
                     GetLastError());
        return 1;
    }
    telemetry::ObdSharedRecord& record = *provider.record();
    std::printf("%s: providing \"XOBD2\"%s\n", kTool,
                provider.joinedExisting() ? " (joined the block readers kept)" : "");
    std::fflush(stdout);
    record.LinkState = telemetry::kLinkInit;

    obdfeed::DriveSimulator car;
    uint32_t window = 0;  // what readers asked for in the last collection window
    for (int tick = 0; !deadline.Passed(); ++tick) {
        if (tick % kRequestWindowTicks == 0) {
            window = TakeRequests(record);
        }
        uint32_t served = all ? 0xFFFFFFFFu : (window | PeekRequests(record));
        car.Step(kTickMs / 1000.0);
        obdfeed::WriteRecord(car.state(), served, record);
        if (all) {
            uint32_t fuel = obdfeed::EncodePid(car.state(), 0x2F);  // beyond the 32 request bits
            std::memcpy(provider.bytes().data() + 72 + 4 * 0x2F, &fuel, sizeof(fuel));
        }
        if (tick >= 5)
            record.LinkState = served ? telemetry::kLinkWorking : telemetry::kLinkIdle;
        if (verbose && tick % 5 == 0) {
            const auto& s = car.state();
            std::printf(
                "%6.1fs %5.1f km/h %5.0f rpm load %3.0f%% coolant %3.0f C requested %08lX\n",
                s.seconds, s.speedKmh, s.rpm, s.loadPercent, s.coolantC,
                static_cast<unsigned long>(served));
            std::fflush(stdout);
        }
        if (tools::WaitForStop(deadline.Remaining(kTickMs)))
            break;
    }
    provider.Close();
    std::printf("%s: stopped\n", kTool);
    return 0;
}
