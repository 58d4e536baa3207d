// vistrel-obdfeed: the OBD-II provider. Creates and owns the shared record
// "XOBD2" and fills it from an ELM327-compatible adapter on a serial port, or
// from a simulated drive for a car without one; either way it answers the
// PIDs that readers request.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "telemetry/attach.h"
#include "telemetry/protocol.h"
#include "tools/common/args.h"
#include "tools/common/console.h"
#include "tools/common/serial_link.h"
#include "tools/common/serial_port.h"
#include "tools/obdfeed/drive_sim.h"
#include "tools/obdfeed/elm327.h"
#include "tools/obdfeed/trip_computer.h"

namespace {

constexpr char kTool[] = "vistrel-obdfeed";
constexpr DWORD kTickMs = 200;
constexpr int kRequestWindowTicks = 25;  // requests are collected afresh every 5 s
constexpr int64_t kRequestWindowMs = 5000;
constexpr int64_t kSaveOdometerMs = 30000;

const char kHelp[] =
    "Usage: vistrel-obdfeed --port COMn [--baud N|auto] [--odometer-file FILE]\n"
    "                       [--set-odometer MILES] [options]\n"
    "       vistrel-obdfeed [--simulate] [--all] [options]\n"
    "\n"
    "Provides engine data for the recorder's overlay, as the shared record\n"
    "\"XOBD2\". Readers ask for the values they show; those are the ones read.\n"
    "\n"
    "  --port COMn          read an ELM327-compatible OBD-II adapter (USB or\n"
    "                       Bluetooth) on this serial port; an unplugged adapter\n"
    "                       is waited for\n"
    "  --baud N|auto        its rate; auto (the default) tries 38400, 9600, 115200,\n"
    "                       57600, 19200 and 4800 until the adapter answers\n"
    "  --odometer-file FILE where the odometer is kept between runs (default\n"
    "                       %APPDATA%\\Vistrel\\odometer.txt)\n"
    "  --set-odometer MILES start the odometer at this reading\n"
    "  --simulate           a simulated drive in place of an adapter (the default\n"
    "                       without --port): engine speed, load, temperatures,\n"
    "                       speed, air flow, pressures, timing, throttle, fuel\n"
    "                       level, odometer, trip and fuel economy\n"
    "  --all                with --simulate: update every known value, requested or not\n"
    "  --seconds N          stop after N seconds (default: run until Ctrl+C)\n"
    "  --verbose            print the state once a second\n"
    "\n"
    "Exit codes: 0 done, 1 could not create the record, 2 bad arguments.\n";

struct Options {
    std::string port;
    int baud = 0;  // 0: search
    std::string odometerFile;
    double setOdometer = -1;
    bool simulate = false;
    bool all = false;
    double seconds = 0;
    bool verbose = false;
};

uint32_t TakeRequests(telemetry::ObdSharedRecord& r) {
    return std::atomic_ref<uint32_t>(r.RequestedPids).exchange(0);
}

uint32_t PeekRequests(telemetry::ObdSharedRecord& r) {
    return std::atomic_ref<uint32_t>(r.RequestedPids).load();
}

int ParseOptions(int argc, char** argv, Options& o) {
    tools::ArgReader args(argc, argv);
    while (!args.Done()) {
        std::string_view opt = args.Next();
        auto value = [&](const char* what) -> std::optional<std::string_view> {
            auto v = args.Value();
            if (!v)
                tools::UsageError(kTool, std::string(opt) + " needs " + what);
            return v;
        };
        if (opt == "--help" || opt == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (opt == "--port") {
            auto v = value("a port such as COM3");
            if (!v || !tools::ReadPortOption(kTool, *v, o.port))
                return 2;
        } else if (opt == "--baud") {
            auto v = value("a rate or auto");
            if (!v || !tools::ReadBaudOption(kTool, *v, o.baud))
                return 2;
        } else if (opt == "--odometer-file") {
            auto v = value("a file");
            if (!v)
                return 2;
            o.odometerFile = std::string(*v);
        } else if (opt == "--set-odometer") {
            auto v = value("miles");
            auto n = v ? tools::ParseNumber(*v, 0, 4294967) : std::nullopt;
            if (!n)
                return tools::UsageError(kTool, "--set-odometer needs miles from 0 to 4294967");
            o.setOdometer = *n;
        } else if (opt == "--simulate") {
            o.simulate = true;
        } else if (opt == "--seconds") {
            auto v = value("a number of seconds");
            auto n = v ? tools::ParseNumber(*v, 0.1, 1e7) : std::nullopt;
            if (!n)
                return tools::UsageError(kTool, "--seconds needs a number of seconds");
            o.seconds = *n;
        } else if (opt == "--all") {
            o.all = true;
        } else if (opt == "--verbose") {
            o.verbose = true;
        } else {
            return tools::UsageError(kTool, "unknown option '" + std::string(opt) + "'");
        }
    }
    if (o.simulate && !o.port.empty())
        return tools::UsageError(kTool, "give --port or --simulate, not both");
    if (o.port.empty() && (o.baud != 0 || !o.odometerFile.empty() || o.setOdometer >= 0))
        return tools::UsageError(kTool, "--baud and the odometer options need --port");
    if (!o.port.empty() && o.all)
        return tools::UsageError(kTool, "--all is for --simulate");
    return -1;
}

int RunSimulation(const Options& o, const tools::Deadline& deadline,
                  telemetry::ObdProvider& provider) {
    telemetry::ObdSharedRecord& record = *provider.record();
    record.LinkState = telemetry::kLinkInit;
    obdfeed::DriveSimulator car;
    uint32_t window = 0;  // what readers asked for in the last collection window
    for (int tick = 0; !deadline.Passed(); ++tick) {
        if (tick % kRequestWindowTicks == 0) {
            window = TakeRequests(record);
        }
        uint32_t served = o.all ? 0xFFFFFFFFu : (window | PeekRequests(record));
        car.Step(kTickMs / 1000.0);
        obdfeed::WriteRecord(car.state(), served, record);
        if (o.all) {
            uint32_t fuel = obdfeed::EncodePid(car.state(), 0x2F);  // beyond the 32 request bits
            std::memcpy(provider.bytes().data() + 72 + 4 * 0x2F, &fuel, sizeof(fuel));
        }
        if (tick >= 5)
            record.LinkState = served ? telemetry::kLinkWorking : telemetry::kLinkIdle;
        if (o.verbose && tick % 5 == 0) {
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
    return 0;
}

// ---- the adapter

std::string DefaultOdometerFile() {
    char appData[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableA("APPDATA", appData, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return "odometer.txt";
    std::string folder = std::string(appData) + "\\Vistrel";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\odometer.txt";
}

double LoadOdometer(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return 0;
    std::ostringstream text;
    text << in.rdbuf();
    auto miles = obdfeed::ParseOdometerFile(text.str().substr(0, 256));
    if (!miles) {
        std::fprintf(stderr, "%s: '%s' does not hold an odometer reading; starting at 0\n", kTool,
                     path.c_str());
        return 0;
    }
    return *miles;
}

// Written beside and then moved over the old file, so a power cut leaves
// either reading whole.
bool SaveOdometer(const std::string& path, double miles) {
    std::string temp = path + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << obdfeed::FormatOdometerFile(miles);
        if (!out.flush())
            return false;
    }
    return MoveFileExA(temp.c_str(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void PrintAdapterState(const obdfeed::ElmSession& elm, const telemetry::ObdSharedRecord& r) {
    const auto& s = elm.stats();
    std::printf(
        "%s: link %s, %d baud, rpm %u, %u km/h, odometer %.3f mi, trip %.3f mi, "
        "%.2f/%.2f mpg; %ld commands, %ld no data, %ld unknown, %ld stopped, %ld bus errors, "
        "%ld no connection, %ld garbled, %ld timeouts, %ld resets\n",
        kTool, telemetry::LinkStateName(r.LinkState), elm.baud(),
        static_cast<unsigned>((r.PidValues[telemetry::kPidEngineRpm] & 0xFFFF) / 4),
        static_cast<unsigned>(r.PidValues[telemetry::kPidVehicleSpeed] & 0xFF), r.Odometer / 1000.0,
        r.TripDistance / 1000.0, r.StMpg / 100.0, r.LtMpg / 100.0, s.commands, s.noData, s.unknown,
        s.stopped, s.busErrors, s.noConnection, s.garbage, s.timeouts, s.resets);
    std::fflush(stdout);
}

int RunAdapter(const Options& o, const tools::Deadline& deadline,
               telemetry::ObdProvider& provider) {
    telemetry::ObdSharedRecord& record = *provider.record();
    record.LinkState = telemetry::kLinkNotConnected;
    std::string odometerFile = o.odometerFile.empty() ? DefaultOdometerFile() : o.odometerFile;
    double startMiles = o.setOdometer >= 0 ? o.setOdometer : LoadOdometer(odometerFile);
    obdfeed::TripComputer trip(startMiles);
    trip.Write(record);

    obdfeed::ElmSession elm(o.baud);
    tools::SerialLink link(kTool, o.port, elm);
    uint32_t window = 0;
    int64_t windowEnd = 0, nextReport = 0, nextSave = tools::NowMs() + kSaveOdometerMs;
    uint8_t lastLink = 0xFF;
    std::string lastAdapter;
    uint32_t lastSupported = 0;
    double savedMiles = startMiles;
    auto save = [&] {
        if (trip.odometerMiles() != savedMiles || o.setOdometer >= 0) {
            if (SaveOdometer(odometerFile, trip.odometerMiles()))
                savedMiles = trip.odometerMiles();
            else
                std::fprintf(stderr, "%s: cannot write '%s'\n", kTool, odometerFile.c_str());
        }
    };
    if (o.setOdometer >= 0)
        save();
    do {
        int64_t now = tools::NowMs();
        if (now >= windowEnd) {
            window = TakeRequests(record);
            windowEnd = now + kRequestWindowMs;
        }
        elm.SetRequested(window | PeekRequests(record));
        link.Pump(now);
        for (const auto& reading : elm.TakeReadings()) {
            if (reading.pid < 0 || reading.pid >= telemetry::kObdPidSlots)
                continue;
            record.PidValues[reading.pid] = reading.value;
            trip.OnReading(reading.pid, reading.value, reading.ms);
        }
        uint8_t state = link.open() ? elm.linkState() : uint8_t{telemetry::kLinkNotConnected};
        if (state != telemetry::kLinkWorking && state != telemetry::kLinkIdle &&
            state != telemetry::kLinkBusy) {
            trip.Interrupt();
        }
        trip.Write(record);
        record.LinkState = state;
        if (elm.adapter() != lastAdapter) {
            lastAdapter = elm.adapter();
            std::printf("%s: adapter \"%s\" at %d baud\n", kTool, lastAdapter.c_str(), elm.baud());
        }
        if (elm.supported() != lastSupported && elm.step() == obdfeed::ElmSession::Step::kPoll) {
            lastSupported = elm.supported();
            std::printf("%s: the vehicle answers PIDs %08lX %08lX %08lX\n", kTool,
                        static_cast<unsigned long>(lastSupported),
                        static_cast<unsigned long>(elm.supported20()),
                        static_cast<unsigned long>(elm.supported40()));
        }
        if (state != lastLink) {
            std::printf("%s: link %s\n", kTool, telemetry::LinkStateName(state));
            std::fflush(stdout);
            lastLink = state;
        }
        if (o.verbose && now >= nextReport) {
            PrintAdapterState(elm, record);
            nextReport = now + 1000;
        }
        if (now >= nextSave) {
            save();
            nextSave = now + kSaveOdometerMs;
        }
    } while (!tools::WaitForStop(deadline.Remaining(20)) && !deadline.Passed());
    save();
    PrintAdapterState(elm, record);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    int rc = ParseOptions(argc, argv, o);
    if (rc >= 0)
        return rc;

    tools::InstallStopHandler();
    tools::Deadline deadline(o.seconds);
    telemetry::ObdProvider provider;
    if (!provider.Create()) {
        std::fprintf(stderr, "%s: cannot create the shared record \"XOBD2\" (error %lu)\n", kTool,
                     GetLastError());
        return 1;
    }
    std::printf("%s: providing \"XOBD2\"%s\n", kTool,
                provider.joinedExisting() ? " (joined the block readers kept)" : "");
    std::fflush(stdout);
    rc = o.port.empty() ? RunSimulation(o, deadline, provider) : RunAdapter(o, deadline, provider);
    provider.Close();
    std::printf("%s: stopped\n", kTool);
    return rc;
}
