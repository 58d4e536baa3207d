// Arbitrary bytes as what an adapter sends: the session takes them in pieces
// at times the bytes choose, polling in between; and the reply parser reads
// them whole.
#include <cstdint>
#include <string_view>

#include "tools/obdfeed/elm327.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    obdfeed::ElmResponse r = obdfeed::ParseElmReply(bytes, "010C");
    for (int pid = 0; pid < 0x42; ++pid)
        obdfeed::PidValueIn(r, pid);
    obdfeed::SupportBitsIn(r, 0x00);

    obdfeed::ElmSession session(size % 2 ? 0 : 38400);
    session.SetRequested(0xFFFFFFFFu);
    int64_t now = 0;
    session.Connected(now);
    size_t i = 0;
    while (i < size) {
        // The first byte of each piece sets its length and the time that passes.
        size_t piece = 1 + data[i] % 32;
        now += (data[i] % 8) * 700;
        ++i;
        session.Received(bytes.substr(i, piece), now);
        session.Poll(now);
        session.TakeReadings();
        i += piece;
    }
    session.Disconnected(now);
    session.Connected(now);
    session.Poll(now + 1);
    return 0;
}
