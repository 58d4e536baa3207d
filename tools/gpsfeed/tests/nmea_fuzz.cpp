// Arbitrary bytes as an NMEA log: lines are fed one by one, and every fix
// that comes out is put into a shared record; then the same bytes as a live
// receiver's stream, in pieces, with time passing.
#include <cstdint>
#include <string_view>

#include "tools/gpsfeed/fix_record.h"
#include "tools/gpsfeed/live_receiver.h"
#include "tools/gpsfeed/nmea.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    nmea::Reader reader;
    telemetry::GpsSharedRecord record{};
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end == text.npos ? text.npos : end - start);
        reader.Feed(line);
        if (reader.HasCompletedEpoch())
            gpsfeed::WriteFix(reader.TakeCompletedEpoch(), record);
        if (end == text.npos)
            break;
        start = end + 1;
    }
    gpsfeed::WriteFix(reader.current(), record);

    gpsfeed::LiveReceiver live(size % 3 ? 0 : 4800);
    telemetry::GpsSharedRecord liveRecord{};
    live.Connected(0);
    int64_t now = 0;
    for (size_t i = 0; i < size; i += 13) {
        now += 400;
        live.Received(text.substr(i, 13), now);
        live.Poll(now);
        live.Publish(now, liveRecord);
    }
    return 0;
}
