// AM_MEDIA_TYPE helpers: copying, freeing, the framework's equality, and the
// checked reading of video formats.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <optional>

#include "framework/video_format.h"

namespace dshow {

// Deep copy of `source` into `*target`, which must hold no allocation.
// E_OUTOFMEMORY leaves *target empty.
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE& source);
// Frees the format block and the pUnk reference, and zeroes the fields.
void FreeMediaType(AM_MEDIA_TYPE& type);
// A CoTaskMemAlloc'ed copy, as IEnumMediaTypes hands out; null on failure.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE& source);
// Frees a type made by CreateMediaType (or handed out by another filter).
void DeleteMediaType(AM_MEDIA_TYPE* type);

// The framework's equality: same major type, subtype and format type, and a
// format block of the same size and bytes.
bool MediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b);
// A type with GUID_NULL in its major type, subtype or format type.
bool IsPartialMediaType(const AM_MEDIA_TYPE& type);
// Whether `full` fits `partial`: each GUID of the partial type is GUID_NULL or
// equal, and a partial type with a format type must also match its block.
bool MatchesPartialMediaType(const AM_MEDIA_TYPE& partial, const AM_MEDIA_TYPE& full);

// The video geometry of a FORMAT_VideoInfo type whose block passes
// ParseVideoInfo; nothing for any other format type or a block that fails.
std::optional<VideoGeometry> VideoGeometryOf(const AM_MEDIA_TYPE& type);

// An owned AM_MEDIA_TYPE (usable wherever one is expected): copies are deep,
// destruction frees. A failed copy leaves the object empty (majortype
// GUID_NULL); Set reports it.
class MediaType : public AM_MEDIA_TYPE {
  public:
    MediaType();
    explicit MediaType(const AM_MEDIA_TYPE& source);
    MediaType(const MediaType& other);
    MediaType& operator=(const MediaType& other);
    MediaType(MediaType&& other) noexcept;
    MediaType& operator=(MediaType&& other) noexcept;
    ~MediaType();

    HRESULT Set(const AM_MEDIA_TYPE& source);
    void Reset() { FreeMediaType(*this); }
    bool empty() const { return IsEqualGUID(majortype, GUID_NULL) != FALSE; }

    // Allocates a zeroed format block of `size` bytes of the given type,
    // replacing any block held; null when out of memory.
    BYTE* AllocateFormat(REFGUID format_type, ULONG size);
};

}  // namespace dshow
