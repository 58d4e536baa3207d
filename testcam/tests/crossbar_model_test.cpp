// The test crossbar's routing rules and the crossbar camera's picture title,
// natively: what routes, what is refused and leaves the routing as it was,
// how pins pair up, and that a title read from a picture tells the inputs
// apart whatever the frame.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testcam/crossbar_model.h"
#include "testcam/pattern.h"

namespace testcam {
namespace {

bool IsAudio(long type) {
    return type >= kAudioTuner;
}

TEST(CrossbarModel, RoutesOnlyWithinAKindAndRefusalsChangeNothing) {
    CrossbarModel m;
    long routed = -2;
    ASSERT_EQ(m.RoutedTo(CrossbarModel::kVideoOutput, &routed), CrossbarAnswer::kYes);
    EXPECT_EQ(routed, 0);
    EXPECT_EQ(m.VideoSource(), kVideoTuner);
    ASSERT_EQ(m.RoutedTo(CrossbarModel::kAudioOutput, &routed), CrossbarAnswer::kYes);
    EXPECT_EQ(routed, 3);

    for (long out = 0; out < CrossbarModel::kOutputs; ++out) {
        CrossbarPinInfo o;
        ASSERT_TRUE(CrossbarModel::PinInfo(false, out, &o));
        for (long in = 0; in < CrossbarModel::kInputs; ++in) {
            CrossbarPinInfo i;
            ASSERT_TRUE(CrossbarModel::PinInfo(true, in, &i));
            bool same = IsAudio(o.type) == IsAudio(i.type);
            EXPECT_EQ(m.CanRoute(out, in), same ? CrossbarAnswer::kYes : CrossbarAnswer::kNo)
                << out << "<-" << in;
        }
    }

    ASSERT_EQ(m.Route(CrossbarModel::kVideoOutput, 1), CrossbarAnswer::kYes);
    EXPECT_EQ(m.VideoSource(), kVideoComposite);
    // Refused and out of range: the route stays.
    EXPECT_EQ(m.Route(CrossbarModel::kVideoOutput, 4), CrossbarAnswer::kNo);
    EXPECT_EQ(m.Route(CrossbarModel::kVideoOutput, 5), CrossbarAnswer::kBadIndex);
    EXPECT_EQ(m.Route(CrossbarModel::kVideoOutput, -2), CrossbarAnswer::kBadIndex);
    EXPECT_EQ(m.Route(2, 1), CrossbarAnswer::kBadIndex);
    ASSERT_EQ(m.RoutedTo(CrossbarModel::kVideoOutput, &routed), CrossbarAnswer::kYes);
    EXPECT_EQ(routed, 1);
    EXPECT_EQ(m.CanRoute(2, 0), CrossbarAnswer::kBadIndex);
    EXPECT_EQ(m.RoutedTo(2, &routed), CrossbarAnswer::kBadIndex);

    // -1 leaves the output unrouted.
    ASSERT_EQ(m.Route(CrossbarModel::kVideoOutput, -1), CrossbarAnswer::kYes);
    EXPECT_EQ(m.RoutedTo(CrossbarModel::kVideoOutput, &routed), CrossbarAnswer::kNo);
    EXPECT_EQ(routed, -1);
    EXPECT_EQ(m.VideoSource(), 0);
    EXPECT_EQ(InputTitle(m.VideoSource()), kNoSignalTitle);
}

TEST(CrossbarModel, PinsPairVideoWithAudio) {
    int video_inputs = 0;
    for (long in = 0; in < CrossbarModel::kInputs; ++in) {
        CrossbarPinInfo i, related;
        ASSERT_TRUE(CrossbarModel::PinInfo(true, in, &i));
        ASSERT_TRUE(CrossbarModel::PinInfo(true, i.related, &related)) << in;
        EXPECT_NE(IsAudio(i.type), IsAudio(related.type)) << in;
        if (!IsAudio(i.type)) {
            ++video_inputs;
            EXPECT_NE(InputTitle(i.type), kNoSignalTitle);
        }
    }
    EXPECT_EQ(video_inputs, 3);
    CrossbarPinInfo unchanged{7, 7};
    EXPECT_FALSE(CrossbarModel::PinInfo(true, 5, &unchanged));
    EXPECT_FALSE(CrossbarModel::PinInfo(false, -1, &unchanged));
    EXPECT_EQ(unchanged.related, 7);
}

struct Picture {
    Picture(int w, int h, int bytes)
        : pixels(static_cast<size_t>(w) * bytes * h),
          view{pixels.data(), w, h, bytes, static_cast<size_t>(w) * bytes, false} {}
    std::vector<uint8_t> pixels;
    FrameView view;
};

TEST(PictureTitle, TellsTheInputsApartWhateverTheFrame) {
    const std::vector<std::string> titles = {"TUNER", "COMPOSITE", "SVIDEO", "NO SIGNAL",
                                             "TEST CAMERA"};
    for (auto [w, h, bytes] : {std::tuple{320, 240, 3}, std::tuple{1920, 1080, 4}}) {
        for (const std::string& drawn : titles) {
            Picture p(w, h, bytes);
            DrawTestPattern(p.view, 4711, "2026-01-02 03:04:05.678", drawn);
            for (const std::string& asked : titles)
                EXPECT_EQ(ShowsTitle(p.view, asked), asked == drawn) << drawn << " / " << asked;
        }
    }
    // The old entry point keeps the camera's own title.
    Picture plain(640, 480, 4);
    DrawTestPattern(plain.view, 1, "10:00:00");
    EXPECT_TRUE(ShowsTitle(plain.view, kDefaultTitle));

    // A compressed picture differs a little everywhere: the tolerance allows
    // for that and still tells the titles apart.
    Picture noisy(640, 480, 4);
    DrawTestPattern(noisy.view, 9, "", "SVIDEO");
    for (size_t i = 0; i < noisy.pixels.size(); ++i) {
        int v = noisy.pixels[i] + (i % 3 == 0 ? 12 : -12);
        noisy.pixels[i] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
    EXPECT_FALSE(ShowsTitle(noisy.view, "SVIDEO"));
    EXPECT_TRUE(ShowsTitle(noisy.view, "SVIDEO", 24));
    EXPECT_FALSE(ShowsTitle(noisy.view, "TUNER", 24));

    // Too small for text, or nothing to read.
    Picture tiny(64, 100, 4);
    DrawTestPattern(tiny.view, 1, "", "TUNER");
    EXPECT_FALSE(ShowsTitle(tiny.view, "TUNER"));
    EXPECT_FALSE(ShowsTitle(FrameView{}, "TUNER"));
    EXPECT_FALSE(ShowsTitle(plain.view, ""));
}

}  // namespace
}  // namespace testcam
