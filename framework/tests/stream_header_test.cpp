// The persist-stream version header, byte for byte.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "framework/stream_header.h"

namespace dshow {
namespace {

TEST(StreamHeader, IsElevenDigitsAndASpaceInUtf16) {
    uint8_t bytes[kStreamHeaderBytes];
    FormatStreamHeader(0, bytes);
    const uint8_t expected[kStreamHeaderBytes] = {'0', 0, '0', 0, '0', 0, '0', 0, '0', 0, '0', 0,
                                                  '0', 0, '0', 0, '0', 0, '0', 0, '0', 0, ' ', 0};
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof(bytes)), 0);
    ASSERT_TRUE(ParseStreamHeader(bytes));
    EXPECT_EQ(*ParseStreamHeader(bytes), 0);

    for (int32_t version : {1, 42, -5, INT_MAX, INT_MIN + 1}) {
        FormatStreamHeader(version, bytes);
        auto parsed = ParseStreamHeader(bytes);
        ASSERT_TRUE(parsed) << version;
        EXPECT_EQ(*parsed, version);
    }
}

TEST(StreamHeader, RefusesWhatIsNotAHeader) {
    auto altered = [](size_t at, uint8_t value) {
        uint8_t bytes[kStreamHeaderBytes];
        FormatStreamHeader(7, bytes);
        bytes[at] = value;
        return ParseStreamHeader(bytes).has_value();
    };
    EXPECT_FALSE(altered(22, '0'));  // no closing space
    EXPECT_FALSE(altered(4, 'x'));
    EXPECT_FALSE(altered(5, 1));  // a character beyond Latin-1
    uint8_t zeros[kStreamHeaderBytes] = {};
    EXPECT_FALSE(ParseStreamHeader(zeros));
}

}  // namespace
}  // namespace dshow
