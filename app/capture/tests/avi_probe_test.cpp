#include "app/capture/avi_probe.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace vistrel {
namespace {

std::string Chunk(const char* id, const std::string& body) {
    std::string out(id, 4);
    uint32_t n = static_cast<uint32_t>(body.size());
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(n >> (8 * i));
    out += body;
    if (body.size() & 1)
        out += '\0';
    return out;
}

std::string List(const char* id, const char* type, const std::string& body) {
    return Chunk(id, std::string(type, 4) + body);
}

AviContent Probe(const std::string& file) {
    return ProbeAviContent([&](uint64_t at, uint8_t* out, size_t n) {
        if (at >= file.size())
            return size_t{0};
        size_t k = std::min(n, static_cast<size_t>(file.size() - at));
        std::memcpy(out, file.data() + at, k);
        return k;
    });
}

// What a multiplexer leaves when it stops before the first frame, and after.
TEST(ProbeAviContent, TellsAnEmptyMovieListFromOneWithAFrame) {
    std::string header = List("LIST", "hdrl", Chunk("avih", std::string(56, '\0')));
    std::string junk = Chunk("JUNK", std::string(1000, '\0'));
    EXPECT_EQ(Probe(List("RIFF", "AVI ", header + junk + List("LIST", "movi", ""))),
              AviContent::kNoFrame);
    EXPECT_EQ(Probe(List("RIFF", "AVI ",
                         header + List("LIST", "movi", Chunk("ix00", "xx") + Chunk("00dc", "f")))),
              AviContent::kFrames);
    EXPECT_EQ(Probe(List("RIFF", "AVI ",
                         header + List("LIST", "movi", List("LIST", "rec ", Chunk("01wb", "a"))))),
              AviContent::kFrames);
}

// Never "no frame" for what does not parse: the caller would delete it.
TEST(ProbeAviContent, DamagedOrForeignFilesAreUnknown) {
    std::string movie = List("LIST", "movi", Chunk("00dc", std::string(64, 'f')));
    std::string file = List("RIFF", "AVI ", movie);
    EXPECT_EQ(Probe(""), AviContent::kUnknown);
    EXPECT_EQ(Probe(List("RIFF", "WAVE", movie)), AviContent::kUnknown);
    EXPECT_EQ(Probe(file.substr(0, 30)), AviContent::kUnknown);  // cut inside the list
    EXPECT_EQ(Probe(List("RIFF", "AVI ", Chunk("JUNK", "x"))), AviContent::kUnknown);
}

}  // namespace
}  // namespace vistrel
