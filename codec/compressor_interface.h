// The compressor's private settings interface, as its property page uses it.
// Unlike IAMVideoCompression, which changes one filter (and the graph it is
// saved in), a change through this interface also becomes the user's
// default for every compressor made afterwards.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace mjpeg {

// {3523832B-DE3B-472A-9347-06AFEA8A82F4}
inline constexpr GUID IID_ICompressorSettings = {
    0x3523832B, 0xDE3B, 0x472A, {0x93, 0x47, 0x06, 0xAF, 0xEA, 0x8A, 0x82, 0xF4}};

struct CompressorSettings {
    LONG quality;  // 0 to 100
    LONG chroma;   // 420 or 422
};

}  // namespace mjpeg

struct DECLSPEC_UUID("3523832B-DE3B-472A-9347-06AFEA8A82F4") DECLSPEC_NOVTABLE ICompressorSettings
    : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetSettings(mjpeg::CompressorSettings* settings) = 0;
    // E_INVALIDARG for values out of range, which change nothing.
    virtual HRESULT STDMETHODCALLTYPE SetSettings(const mjpeg::CompressorSettings* settings) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(ICompressorSettings, 0x3523832B, 0xDE3B, 0x472A, 0x93, 0x47, 0x06, 0xAF, 0xEA, 0x8A,
                0x82, 0xF4)
#endif
