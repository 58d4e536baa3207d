// vistrel-gpsfeed: publishes the shared GPS record "DIrivUDU" as an outside
// publisher, from a GPS receiver on a serial port, a recorded NMEA 0183 log or
// fixed values.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "telemetry/attach.h"
#include "tools/common/args.h"
#include "tools/common/console.h"
#include "tools/common/serial_link.h"
#include "tools/common/serial_port.h"
#include "tools/gpsfeed/fix_record.h"
#include "tools/gpsfeed/live_receiver.h"
#include "tools/gpsfeed/nmea.h"

namespace {

constexpr char kTool[] = "vistrel-gpsfeed";

const char kHelp[] =
    "Usage: vistrel-gpsfeed --port COMn [--baud N|auto] [options]\n"
    "       vistrel-gpsfeed --nmea FILE [--rate R] [--loop] [options]\n"
    "       vistrel-gpsfeed --fix LAT,LON [--alt M] [--speed KNOTS] [--heading DEG]\n"
    "                       [--sats N] [options]\n"
    "       vistrel-gpsfeed --no-fix [options]\n"
    "\n"
    "Publishes a GPS position for the recorder's overlay, as the shared record\n"
    "\"DIrivUDU\": from a GPS receiver, or in place of one.\n"
    "\n"
    "  --port COMn     read a GPS receiver (NMEA 0183, any talker) on this serial\n"
    "                  port; an unplugged receiver is waited for\n"
    "  --baud N|auto   its rate; auto (the default) tries 4800, 9600, 19200,\n"
    "                  38400, 57600 and 115200 until sentences check out\n"
    "  --nmea FILE     replay a recorded NMEA 0183 log (RMC, GGA, GSA, GSV) at the\n"
    "                  pace of its own time stamps; bad sentences are skipped\n"
    "  --rate R        replay R times as fast (0.1 to 100, default 1)\n"
    "  --loop          start the log again at its end\n"
    "  --fix LAT,LON   publish a fixed position (degrees, north and east positive)\n"
    "  --alt M         altitude in metres (default 0)\n"
    "  --speed KNOTS   ground speed (default 0)\n"
    "  --heading DEG   course over ground, 0 to 360 (default 0)\n"
    "  --sats N        satellites used and in view (default 8)\n"
    "  --no-fix        publish a receiver that has no fix\n"
    "  --seconds N     stop after N seconds (default: run until Ctrl+C)\n"
    "  --no-wait       exit when another program publishes, instead of waiting\n"
    "                  to take over when it stops\n"
    "  --verbose       print every published fix (from a port: once a second)\n"
    "\n"
    "Exit codes: 0 done, 1 could not publish or read the log, 2 bad arguments.\n";

struct Options {
    std::string port;
    int baud = 0;  // 0: search
    std::string nmeaPath;
    double rate = 1.0;
    bool loop = false;
    bool fixed = false;
    bool noFix = false;
    nmea::Fix fix;
    double seconds = 0;
    bool wait = true;
    bool verbose = false;
};

int ParseOptions(int argc, char** argv, Options& o) {
    tools::ArgReader args(argc, argv);
    int sources = 0;
    while (!args.Done()) {
        std::string_view opt = args.Next();
        auto need = [&](const char* what) -> std::optional<std::string_view> {
            auto v = args.Value();
            if (!v)
                tools::UsageError(kTool, std::string(opt) + " needs " + what);
            return v;
        };
        auto number = [&](const char* what, double min, double max, double& out) {
            auto v = need(what);
            if (!v)
                return false;
            auto n = tools::ParseNumber(*v, min, max);
            if (!n) {
                tools::UsageError(
                    kTool, std::string(opt) + ": not " + what + ": '" + std::string(*v) + "'");
                return false;
            }
            out = *n;
            return true;
        };
        if (opt == "--help" || opt == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (opt == "--nmea") {
            auto v = need("a file");
            if (!v)
                return 2;
            o.nmeaPath = std::string(*v);
            ++sources;
        } else if (opt == "--port") {
            auto v = need("a port such as COM3");
            if (!v || !tools::ReadPortOption(kTool, *v, o.port))
                return 2;
            ++sources;
        } else if (opt == "--baud") {
            auto v = need("a rate or auto");
            if (!v || !tools::ReadBaudOption(kTool, *v, o.baud))
                return 2;
        } else if (opt == "--rate") {
            if (!number("a rate from 0.1 to 100", 0.1, 100, o.rate))
                return 2;
        } else if (opt == "--loop") {
            o.loop = true;
        } else if (opt == "--fix") {
            auto v = need("LAT,LON");
            if (!v)
                return 2;
            size_t comma = v->find(',');
            auto lat =
                comma == v->npos ? std::nullopt : tools::ParseNumber(v->substr(0, comma), -90, 90);
            auto lon = comma == v->npos ? std::nullopt
                                        : tools::ParseNumber(v->substr(comma + 1), -180, 180);
            if (!lat || !lon) {
                return tools::UsageError(
                    kTool, "--fix: expected LAT,LON in degrees, got '" + std::string(*v) + "'");
            }
            o.fix.latitude = *lat;
            o.fix.longitude = *lon;
            o.fixed = true;
            ++sources;
        } else if (opt == "--alt") {
            if (!number("metres", -1000, 20000, o.fix.altitude))
                return 2;
        } else if (opt == "--speed") {
            if (!number("knots from 0 to 1000", 0, 1000, o.fix.speedKnots))
                return 2;
        } else if (opt == "--heading") {
            if (!number("degrees from 0 to 360", 0, 360, o.fix.courseDegrees))
                return 2;
        } else if (opt == "--sats") {
            double n = 0;
            if (!number("a count from 0 to 12", 0, 12, n))
                return 2;
            o.fix.satellitesUsed = o.fix.satellitesInView = static_cast<int>(n);
        } else if (opt == "--no-fix") {
            o.noFix = true;
            ++sources;
        } else if (opt == "--seconds") {
            if (!number("seconds", 0.1, 1e7, o.seconds))
                return 2;
        } else if (opt == "--no-wait") {
            o.wait = false;
        } else if (opt == "--verbose") {
            o.verbose = true;
        } else {
            return tools::UsageError(kTool, "unknown option '" + std::string(opt) + "'");
        }
    }
    if (sources != 1)
        return tools::UsageError(kTool, "give exactly one of --port, --nmea, --fix, --no-fix");
    return -1;
}

// A fixed position with the current time, as a receiver would report it.
nmea::Fix StampNow(nmea::Fix fix, bool valid) {
    SYSTEMTIME now;
    GetSystemTime(&now);
    fix.time = {now.wYear,   now.wMonth,        now.wDay, now.wHour, now.wMinute,
                now.wSecond, now.wMilliseconds, true,     true};
    fix.valid = valid;
    fix.quality = valid ? 1 : 0;
    fix.mode = valid ? 3 : 1;
    if (valid && fix.satellitesUsed == 0 && fix.satellitesInView == 0) {
        fix.satellitesUsed = fix.satellitesInView = 8;
    }
    fix.hdop = valid ? 0.9 : 0;
    fix.pdop = valid ? 1.6 : 0;
    fix.vdop = valid ? 1.3 : 0;
    fix.usedPrnCount = fix.satellitesUsed;
    fix.satellites.clear();
    for (int i = 0; i < fix.satellitesInView && i < 12; ++i) {
        fix.usedPrns[i] = static_cast<uint8_t>(i * 3 + 2);
        fix.satellites.push_back(
            {i * 3 + 2, 15 + (i * 37) % 70, (i * 71) % 360, valid ? 28 + (i * 7) % 20 : 0});
    }
    return fix;
}

void Publish(const Options& o, telemetry::GpsPublisher& publisher, const nmea::Fix& fix) {
    gpsfeed::WriteFix(fix, *publisher.record());
    if (o.verbose) {
        std::printf("%04d-%02d-%02d %02d:%02d:%02d %s %.5f %.5f %.1f kn %.0f deg\n", fix.time.year,
                    fix.time.month, fix.time.day, fix.time.hour, fix.time.minute, fix.time.second,
                    fix.valid ? "fix" : "no fix", fix.latitude, fix.longitude, fix.speedKnots,
                    fix.courseDegrees);
        std::fflush(stdout);
    }
}

// Waits until this program publishes; false when stopped or told not to wait.
bool AttachPublisher(const Options& o, const tools::Deadline& deadline,
                     telemetry::GpsPublisher& p) {
    bool said = false;
    for (;;) {
        switch (p.Attach(telemetry::GpsPublisher::Role::kOutsideFeed)) {
            case telemetry::GpsPublisher::Result::kPublishing:
                if (said)
                    std::printf("%s: took over \"DIrivUDU\"\n", kTool);
                return true;
            case telemetry::GpsPublisher::Result::kFailed:
                std::fprintf(stderr,
                             "%s: cannot create the shared record \"DIrivUDU\" (error %lu)\n",
                             kTool, GetLastError());
                return false;
            case telemetry::GpsPublisher::Result::kOtherPublisher:
                if (!o.wait) {
                    std::fprintf(stderr, "%s: another program publishes \"DIrivUDU\"\n", kTool);
                    return false;
                }
                if (!said) {
                    std::printf(
                        "%s: another program publishes \"DIrivUDU\"; waiting to take over\n",
                        kTool);
                    std::fflush(stdout);
                    said = true;
                }
                if (tools::WaitForStop(deadline.Remaining(500)) || deadline.Passed())
                    return false;
        }
    }
}

int RunFixed(const Options& o, const tools::Deadline& deadline, telemetry::GpsPublisher& p) {
    do {
        Publish(o, p, StampNow(o.fix, !o.noFix));
    } while (!tools::WaitForStop(deadline.Remaining(1000)) && !deadline.Passed());
    return 0;
}

int RunLog(const Options& o, const tools::Deadline& deadline, telemetry::GpsPublisher& p) {
    int epochs = 0, bad = 0, accepted = 0;
    for (;;) {
        std::ifstream in(o.nmeaPath, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "%s: cannot read '%s'\n", kTool, o.nmeaPath.c_str());
            return 1;
        }
        nmea::Reader reader;
        nmea::Fix last;
        bool haveLast = false;
        std::string line;
        auto step = [&](const nmea::Fix& fix) {
            // Wait the log's own interval between epochs, scaled by the rate.
            if (haveLast) {
                int gap = nmea::SecondsOfDayDelta(last.time, fix.time) * 1000 +
                          (fix.time.millisecond - last.time.millisecond);
                gap = gap < 0 ? 0 : (gap > 10000 ? 10000 : gap);
                DWORD wait = static_cast<DWORD>(gap / o.rate);
                if (tools::WaitForStop(deadline.Remaining(wait)) || deadline.Passed())
                    return false;
            }
            Publish(o, p, fix);
            last = fix;
            haveLast = true;
            ++epochs;
            return true;
        };
        bool stopped = false;
        while (!stopped && std::getline(in, line)) {
            if (line.size() > 4096)
                line.resize(4096);
            reader.Feed(line);
            if (reader.HasCompletedEpoch())
                stopped = !step(reader.TakeCompletedEpoch());
        }
        if (!stopped && reader.started())
            stopped = !step(reader.current());
        bad += reader.bad();
        accepted += reader.accepted();
        if (stopped || !o.loop || reader.accepted() == 0)
            break;
    }
    std::printf("%s: published %d fixes from %d sentences, skipped %d bad sentences\n", kTool,
                epochs, accepted, bad);
    return accepted == 0 ? 1 : 0;
}

void PrintReceiverStats(const gpsfeed::LiveReceiver& receiver, const tools::SerialLink& link) {
    gpsfeed::ReceiverStats s = receiver.stats();
    std::printf(
        "%s: read %ld sentences (%ld used), skipped %ld bad: %ld framing, %ld checksum, "
        "%ld fields, %ld overlong; port lost %d times\n",
        kTool, s.sentences, s.accepted, s.bad(), s.badFraming, s.badChecksum, s.badFields,
        s.overlong, link.losses());
}

int RunPort(const Options& o, const tools::Deadline& deadline, telemetry::GpsPublisher& p) {
    gpsfeed::LiveReceiver receiver(o.baud);
    tools::SerialLink link(kTool, o.port, receiver);
    int64_t nextReport = 0;
    bool wasValid = false;
    do {
        int64_t now = tools::NowMs();
        link.Pump(now);
        receiver.Publish(now, *p.record());
        if (receiver.TakeLockNews()) {
            std::printf("%s: NMEA sentences at %d baud\n", kTool, receiver.baud());
            std::fflush(stdout);
        }
        bool valid = p.record()->FixValid != 0;
        if (valid != wasValid || (o.verbose && now >= nextReport)) {
            if (valid != wasValid)
                std::printf("%s: %s\n", kTool, valid ? "fix" : "no valid fix");
            if (o.verbose)
                PrintReceiverStats(receiver, link);
            std::fflush(stdout);
            wasValid = valid;
            nextReport = now + 1000;
        }
    } while (!tools::WaitForStop(deadline.Remaining(20)) && !deadline.Passed());
    PrintReceiverStats(receiver, link);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    int rc = ParseOptions(argc, argv, o);
    if (rc >= 0)
        return rc;
    if (!o.nmeaPath.empty() && GetFileAttributesA(o.nmeaPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "%s: cannot read '%s'\n", kTool, o.nmeaPath.c_str());
        return 1;
    }
    tools::InstallStopHandler();
    tools::Deadline deadline(o.seconds);
    telemetry::GpsPublisher publisher;
    if (!AttachPublisher(o, deadline, publisher))
        return tools::StopRequested() || deadline.Passed() ? 0 : 1;
    std::printf("%s: publishing \"DIrivUDU\"\n", kTool);
    std::fflush(stdout);
    if (!o.port.empty())
        rc = RunPort(o, deadline, publisher);
    else if (!o.nmeaPath.empty())
        rc = RunLog(o, deadline, publisher);
    else
        rc = RunFixed(o, deadline, publisher);
    publisher.Detach();
    std::printf("%s: detached\n", kTool);
    return rc;
}
