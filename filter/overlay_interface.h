// The overlay filter's identities and its private settings interface, as the
// recorder and the property page use them.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "common/component_ids.h"
#include "telemetry/records.h"

namespace orvant {

using vistrel::CLSID_OverlayFilter;
// {7EB64495-DB8A-46EE-A957-D22C7F579926}
inline constexpr GUID CLSID_OverlayPropertyPage = {
    0x7EB64495, 0xDB8A, 0x46EE, {0xA9, 0x57, 0xD2, 0x2C, 0x7F, 0x57, 0x99, 0x26}};
// {6F862B6B-00C0-43CC-9408-D823D7CCEB6B}
inline constexpr GUID IID_IOverlaySettings = {
    0x6F862B6B, 0x00C0, 0x43CC, {0x94, 0x08, 0xD8, 0x23, 0xD7, 0xCC, 0xEB, 0x6B}};

}  // namespace orvant

struct DECLSPEC_UUID("6F862B6B-00C0-43CC-9408-D823D7CCEB6B") DECLSPEC_NOVTABLE IOverlaySettings
    : public IUnknown {
    // A copy of the whole 764-byte record, after a reload from the profile.
    virtual HRESULT STDMETHODCALLTYPE GetSettings(telemetry::OverlaySettings* settings) = 0;
    // Takes the caller's record over and saves it to the profile.
    virtual HRESULT STDMETHODCALLTYPE SetSettings(const telemetry::OverlaySettings* settings) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IOverlaySettings, 0x6F862B6B, 0x00C0, 0x43CC, 0x94, 0x08, 0xD8, 0x23, 0xD7, 0xCC,
                0xEB, 0x6B)
#endif
