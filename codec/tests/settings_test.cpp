// The quality as IAMVideoCompression gives it, and the settings' bytes in a
// saved graph.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "codec/compressor_settings.h"

namespace mjpeg {
namespace {

TEST(Settings, QualityFractionsRoundTripAndOutOfRangeIsRefused) {
    for (int q = 0; q <= 100; ++q) {
        auto back = QualityFromFraction(FractionFromQuality(q), 85);
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, q);
    }
    EXPECT_EQ(FractionFromQuality(85), 0.85);
    EXPECT_EQ(QualityFromFraction(-1.0, 85), 85) << "negative asks for the default";
    EXPECT_EQ(QualityFromFraction(0.854, 85), 85);
    EXPECT_FALSE(QualityFromFraction(1.0001, 85));
    EXPECT_FALSE(QualityFromFraction(std::numeric_limits<double>::quiet_NaN(), 85));
    EXPECT_FALSE(QualityFromFraction(std::numeric_limits<double>::infinity(), 85));
    // JPEG has no quality 0: the lowest it has stands in.
    EXPECT_EQ(JpegQuality({0, Chroma::k420}), 1);
    EXPECT_EQ(JpegQuality({100, Chroma::k420}), 100);
}

TEST(Settings, SavedBytesRoundTripAndBadOnesChangeNothing) {
    const Settings s{37, Chroma::k422};
    auto bytes = EncodeSettings(s);
    EXPECT_EQ(DecodeSettings(bytes), s);
    EXPECT_FALSE(DecodeSettings(std::span(bytes).first(7)));
    auto bad_quality = bytes;
    bad_quality[0] = 101;
    EXPECT_FALSE(DecodeSettings(bad_quality));
    auto bad_chroma = bytes;
    bad_chroma[4] = 0x44;  // 444 is not offered
    bad_chroma[5] = 0x01;
    EXPECT_FALSE(DecodeSettings(bad_chroma));
}

}  // namespace
}  // namespace mjpeg
