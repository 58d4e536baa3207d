// Copying, freeing and comparing media types, and reading video formats from
// them without trusting the block.
#include <gtest/gtest.h>

#include <dshow.h>
#include <uuids.h>

#include <cstring>

#include "framework/com_object.h"
#include "framework/media_type.h"
#include "framework/tests/test_filters.h"

namespace dshow {
namespace {

// Counts the references a media type takes on its pUnk.
class Counted final : public IUnknown {
  public:
    STDMETHODIMP QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    ULONG refs = 1;
};

MediaType Rgb(int width, int height, int bits) {
    return fwtest::VideoType(bits == 24 ? MEDIASUBTYPE_RGB24 : MEDIASUBTYPE_RGB32, width, height,
                             bits);
}

TEST(MediaType, CopiesAreDeepAndFreeingReleasesEverything) {
    Counted unk;
    MediaType original = Rgb(320, 240, 32);
    original.pUnk = &unk;
    unk.AddRef();
    {
        MediaType copy(original);
        EXPECT_NE(copy.pbFormat, original.pbFormat);
        EXPECT_EQ(std::memcmp(copy.pbFormat, original.pbFormat, original.cbFormat), 0);
        EXPECT_EQ(unk.refs, 3u);
        AM_MEDIA_TYPE* handed_out = CreateMediaType(copy);
        ASSERT_NE(handed_out, nullptr);
        EXPECT_EQ(unk.refs, 4u);
        DeleteMediaType(handed_out);
        EXPECT_EQ(unk.refs, 3u);

        MediaType moved(std::move(copy));
        EXPECT_EQ(copy.pbFormat, nullptr);
        EXPECT_TRUE(copy.empty());
        EXPECT_TRUE(MediaTypesEqual(moved, original));
    }
    EXPECT_EQ(unk.refs, 2u);
    original.Reset();
    EXPECT_EQ(unk.refs, 1u);
    EXPECT_EQ(original.cbFormat, 0u);
    EXPECT_EQ(original.pbFormat, nullptr);
}

TEST(MediaType, EqualityLooksAtTypesAndTheWholeFormatBlock) {
    MediaType a = Rgb(320, 240, 32);
    MediaType b(a);
    b.lSampleSize = 1;  // not part of the equality
    b.bFixedSizeSamples = FALSE;
    EXPECT_TRUE(MediaTypesEqual(a, b));

    MediaType other_subtype(a);
    other_subtype.subtype = MEDIASUBTYPE_RGB24;
    EXPECT_FALSE(MediaTypesEqual(a, other_subtype));
    MediaType other_format(a);
    other_format.formattype = FORMAT_VideoInfo2;
    EXPECT_FALSE(MediaTypesEqual(a, other_format));
    MediaType other_bytes(a);
    other_bytes.pbFormat[60] ^= 1;
    EXPECT_FALSE(MediaTypesEqual(a, other_bytes));
    MediaType shorter(a);
    shorter.cbFormat -= 1;
    EXPECT_FALSE(MediaTypesEqual(a, shorter));
}

TEST(MediaType, PartialTypesMatchOnWhatTheySpecify) {
    MediaType full = Rgb(640, 480, 24);
    MediaType partial;
    EXPECT_TRUE(IsPartialMediaType(partial));
    EXPECT_TRUE(MatchesPartialMediaType(partial, full));
    partial.majortype = MEDIATYPE_Video;
    EXPECT_TRUE(MatchesPartialMediaType(partial, full));
    partial.subtype = MEDIASUBTYPE_RGB32;
    EXPECT_FALSE(MatchesPartialMediaType(partial, full));
    EXPECT_FALSE(IsPartialMediaType(full));
}

TEST(MediaType, VideoGeometryNeedsAVideoInfoBlockThatHolds) {
    MediaType ok = Rgb(640, 480, 24);
    auto g = VideoGeometryOf(ok);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->image_size, 640u * 480 * 3);

    MediaType wrong_type(ok);
    wrong_type.formattype = FORMAT_VideoInfo2;
    EXPECT_FALSE(VideoGeometryOf(wrong_type));

    // A block size that lies about the memory behind it: nothing is read.
    MediaType no_block(ok);
    CoTaskMemFree(no_block.pbFormat);
    no_block.pbFormat = nullptr;
    EXPECT_FALSE(VideoGeometryOf(no_block));

    MediaType short_block(ok);
    short_block.cbFormat = sizeof(VIDEOINFOHEADER) - 1;
    EXPECT_FALSE(VideoGeometryOf(short_block));
}

}  // namespace
}  // namespace dshow
