#include "framework/media_type.h"

#include <uuids.h>

#include <cstring>
#include <utility>

namespace dshow {

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE& source) {
    *target = source;
    target->pbFormat = nullptr;
    target->cbFormat = 0;
    if (source.cbFormat != 0 && source.pbFormat) {
        target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source.cbFormat));
        if (!target->pbFormat) {
            std::memset(target, 0, sizeof(*target));
            return E_OUTOFMEMORY;
        }
        std::memcpy(target->pbFormat, source.pbFormat, source.cbFormat);
        target->cbFormat = source.cbFormat;
    }
    if (target->pUnk)
        target->pUnk->AddRef();
    return S_OK;
}

void FreeMediaType(AM_MEDIA_TYPE& type) {
    if (type.pbFormat)
        CoTaskMemFree(type.pbFormat);
    if (type.pUnk)
        type.pUnk->Release();
    std::memset(&type, 0, sizeof(type));
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE& source) {
    auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!type)
        return nullptr;
    if (FAILED(CopyMediaType(type, source))) {
        CoTaskMemFree(type);
        return nullptr;
    }
    return type;
}

void DeleteMediaType(AM_MEDIA_TYPE* type) {
    if (!type)
        return;
    FreeMediaType(*type);
    CoTaskMemFree(type);
}

namespace {

bool FormatBlocksEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
    if (a.cbFormat != b.cbFormat)
        return false;
    if (a.cbFormat == 0)
        return true;
    if (!a.pbFormat || !b.pbFormat)
        return a.pbFormat == b.pbFormat;
    return std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0;
}

bool GuidFits(const GUID& partial, const GUID& full) {
    return IsEqualGUID(partial, GUID_NULL) || IsEqualGUID(partial, full);
}

}  // namespace

bool MediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
    return IsEqualGUID(a.majortype, b.majortype) && IsEqualGUID(a.subtype, b.subtype) &&
           IsEqualGUID(a.formattype, b.formattype) && FormatBlocksEqual(a, b);
}

bool IsPartialMediaType(const AM_MEDIA_TYPE& type) {
    return IsEqualGUID(type.majortype, GUID_NULL) || IsEqualGUID(type.subtype, GUID_NULL) ||
           IsEqualGUID(type.formattype, GUID_NULL);
}

bool MatchesPartialMediaType(const AM_MEDIA_TYPE& partial, const AM_MEDIA_TYPE& full) {
    if (!GuidFits(partial.majortype, full.majortype) || !GuidFits(partial.subtype, full.subtype) ||
        !GuidFits(partial.formattype, full.formattype)) {
        return false;
    }
    return IsEqualGUID(partial.formattype, GUID_NULL) || FormatBlocksEqual(partial, full);
}

std::optional<VideoGeometry> VideoGeometryOf(const AM_MEDIA_TYPE& type) {
    if (!IsEqualGUID(type.formattype, FORMAT_VideoInfo))
        return std::nullopt;
    return ParseVideoInfo(type.pbFormat, type.pbFormat ? type.cbFormat : 0);
}

MediaType::MediaType() : AM_MEDIA_TYPE{} {}

MediaType::MediaType(const AM_MEDIA_TYPE& source) : AM_MEDIA_TYPE{} {
    Set(source);
}

MediaType::MediaType(const MediaType& other) : AM_MEDIA_TYPE{} {
    Set(other);
}

MediaType& MediaType::operator=(const MediaType& other) {
    if (this != &other)
        Set(other);
    return *this;
}

MediaType::MediaType(MediaType&& other) noexcept : AM_MEDIA_TYPE(other) {
    std::memset(static_cast<AM_MEDIA_TYPE*>(&other), 0, sizeof(AM_MEDIA_TYPE));
}

MediaType& MediaType::operator=(MediaType&& other) noexcept {
    if (this != &other) {
        Reset();
        static_cast<AM_MEDIA_TYPE&>(*this) = other;
        std::memset(static_cast<AM_MEDIA_TYPE*>(&other), 0, sizeof(AM_MEDIA_TYPE));
    }
    return *this;
}

MediaType::~MediaType() {
    Reset();
}

HRESULT MediaType::Set(const AM_MEDIA_TYPE& source) {
    if (&source == this)
        return S_OK;
    Reset();
    return CopyMediaType(this, source);
}

BYTE* MediaType::AllocateFormat(REFGUID format_type, ULONG size) {
    if (pbFormat)
        CoTaskMemFree(pbFormat);
    pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(size));
    cbFormat = pbFormat ? size : 0;
    formattype = pbFormat ? format_type : GUID_NULL;
    if (pbFormat)
        std::memset(pbFormat, 0, size);
    return pbFormat;
}

}  // namespace dshow
