#include "app/capture/capture_format.h"

#include <dshow.h>
#include <wrl/client.h>

#include <cstring>
#include <vector>

#include "app/capture/format_catalogue.h"
#include "app/capture/output_file.h"
#include "app/core/settings.h"

using Microsoft::WRL::ComPtr;

namespace vistrel {

namespace {

static_assert(sizeof(VIDEOINFOHEADER) == VideoHeader::kSize);
static_assert(offsetof(VIDEOINFOHEADER, AvgTimePerFrame) == VideoHeader::kAvgTimePerFrame);
static_assert(offsetof(VIDEOINFOHEADER, bmiHeader) + offsetof(BITMAPINFOHEADER, biWidth) ==
              VideoHeader::kBiWidth);
static_assert(offsetof(VIDEOINFOHEADER, bmiHeader) + offsetof(BITMAPINFOHEADER, biHeight) ==
              VideoHeader::kBiHeight);

// A media type from the platform, freed with its format block.
struct OwnedMediaType {
    AM_MEDIA_TYPE* type = nullptr;
    OwnedMediaType() = default;
    OwnedMediaType(const OwnedMediaType&) = delete;
    OwnedMediaType& operator=(const OwnedMediaType&) = delete;
    ~OwnedMediaType() {
        if (!type)
            return;
        if (type->cbFormat && type->pbFormat)
            CoTaskMemFree(type->pbFormat);
        if (type->pUnk)
            type->pUnk->Release();
        CoTaskMemFree(type);
    }
    bool IsVideoInfo() const {
        return type && type->formattype == FORMAT_VideoInfo && type->pbFormat &&
               type->cbFormat >= sizeof(VIDEOINFOHEADER);
    }
};

void CopyGuid(std::array<uint8_t, 16>& to, const GUID& from) {
    std::memcpy(to.data(), &from, sizeof(GUID));
}

GUID ToGuid(const std::array<uint8_t, 16>& from) {
    GUID guid;
    std::memcpy(&guid, from.data(), sizeof(GUID));
    return guid;
}

EntryMediaType FieldsOf(const AM_MEDIA_TYPE& type) {
    EntryMediaType fields;
    CopyGuid(fields.majorType, type.majortype);
    CopyGuid(fields.subtype, type.subtype);
    fields.fixedSizeSamples = type.bFixedSizeSamples;
    fields.temporalCompression = type.bTemporalCompression;
    fields.sampleSize = type.lSampleSize;
    CopyGuid(fields.formatType, type.formattype);
    return fields;
}

std::vector<FormatCapability> ReadCapabilities(IAMStreamConfig* config) {
    std::vector<FormatCapability> caps;
    int count = 0, size = 0;
    if (FAILED(config->GetNumberOfCapabilities(&count, &size)) ||
        size < static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS)))
        return caps;
    // A device claiming thousands of capabilities still yields at most 120
    // entries; reading them all would only cost time.
    const int limit = count < 1024 ? count : 1024;
    std::vector<BYTE> raw(static_cast<size_t>(size));
    for (int i = 0; i < limit; ++i) {
        OwnedMediaType type;
        if (FAILED(config->GetStreamCaps(i, &type.type, raw.data())) || !type.type)
            continue;
        VIDEO_STREAM_CONFIG_CAPS vcaps;
        std::memcpy(&vcaps, raw.data(), sizeof(vcaps));
        FormatCapability cap;
        cap.mediaType = FieldsOf(*type.type);
        cap.headerIsVideoInfo = type.IsVideoInfo();
        if (cap.headerIsVideoInfo)
            std::memcpy(cap.header.bytes.data(), type.type->pbFormat, VideoHeader::kSize);
        cap.maxOutputWidth = vcaps.MaxOutputSize.cx;
        cap.maxOutputHeight = vcaps.MaxOutputSize.cy;
        cap.minFrameInterval = vcaps.MinFrameInterval;
        cap.maxFrameInterval = vcaps.MaxFrameInterval;
        caps.push_back(cap);
    }
    return caps;
}

// The chosen entry into the pin's current type, as the catalogue decides.
void ApplyEntryTo(AM_MEDIA_TYPE& type) {
    EntryMediaType fields = FieldsOf(type);
    VideoHeader header;
    std::memcpy(header.bytes.data(), type.pbFormat, VideoHeader::kSize);
    ApplyFormatEntry(Catalogue(), gSettings.resolution, fields, header);
    type.bFixedSizeSamples = fields.fixedSizeSamples;
    type.bTemporalCompression = fields.temporalCompression;
    type.lSampleSize = fields.sampleSize;
    type.subtype = ToGuid(fields.subtype);
    std::memcpy(type.pbFormat, header.bytes.data(), VideoHeader::kSize);
}

void ApplyRateTo(AM_MEDIA_TYPE& type) {
    // An unusable rate keeps the device's own interval.
    if (int64_t interval = FrameIntervalForRate(gSettings.frameRate))
        reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat)->AvgTimePerFrame = interval;
}

ComPtr<IAMStreamConfig> StreamConfig(ICaptureGraphBuilder2* builder, const GUID& category,
                                     IBaseFilter* filter) {
    ComPtr<IAMStreamConfig> config;
    if (FAILED(capture::FindPinInterface(builder, &category, &MEDIATYPE_Video, filter,
                                         IID_IAMStreamConfig,
                                         reinterpret_cast<void**>(config.GetAddressOf()))))
        return nullptr;
    return config;
}

}  // namespace

void ApplyCaptureFormat(ICaptureGraphBuilder2* builder, IBaseFilter* videoCapture) {
    if (ComPtr<IAMStreamConfig> config =
            StreamConfig(builder, PIN_CATEGORY_CAPTURE, videoCapture)) {
        std::vector<FormatCapability> caps = ReadCapabilities(config.Get());
        RebuildFormatCatalogue(Catalogue(), caps, gSettings.resolution);
        OwnedMediaType type;
        if (config->GetFormat(&type.type) == S_OK && type.IsVideoInfo()) {
            ApplyEntryTo(*type.type);
            config->SetFormat(type.type);
            ApplyRateTo(*type.type);
            config->SetFormat(type.type);
            config->SetFormat(type.type);
        }
    }
    if (ComPtr<IAMStreamConfig> preview =
            StreamConfig(builder, PIN_CATEGORY_PREVIEW, videoCapture)) {
        OwnedMediaType type;
        if (preview->GetFormat(&type.type) == S_OK && type.IsVideoInfo()) {
            ApplyEntryTo(*type.type);
            ApplyRateTo(*type.type);
            preview->SetFormat(type.type);
        }
    }
}

}  // namespace vistrel
