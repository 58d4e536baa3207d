// The file writer: a renderer-type sink with one input pin that writes what
// arrives into a Win32 file, the last node of a recording (after the AVI
// multiplexer). The pin takes MEDIATYPE_Stream of any subtype and offers
// IMemInputPin (a sample is written at the byte offset its start time names)
// and IStream (the multiplexer writes through it). The filter offers
// IFileSinkFilter and IFileWriterTiming.
//
// The file is created (or emptied) when the filter pauses from stopped, and
// stays open past Stop, because a multiplexer writes its header and index
// while the graph stops, after the sink has stopped; it is closed when the pin
// is disconnected or the filter is released.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

namespace dshow {

// {5098FF34-9631-49A7-8456-AED1E0394FBC}
inline constexpr CLSID CLSID_ProjectFileWriter = {
    0x5098ff34, 0x9631, 0x49a7, {0x84, 0x56, 0xae, 0xd1, 0xe0, 0x39, 0x4f, 0xbc}};
// {4B189529-B72B-4DBC-A4C2-D8F1628048FB}
inline constexpr IID IID_IFileWriterTiming = {
    0x4b189529, 0xb72b, 0x4dbc, {0xa4, 0xc2, 0xd8, 0xf1, 0x62, 0x80, 0x48, 0xfb}};

// A new file writer with one reference, or null when out of memory.
Microsoft::WRL::ComPtr<IBaseFilter> CreateFileWriter();

}  // namespace dshow

// When the first byte of the current file was written, for measuring how long
// a recording takes to start.
struct DECLSPEC_UUID("4B189529-B72B-4DBC-A4C2-D8F1628048FB") DECLSPEC_NOVTABLE IFileWriterTiming
    : public IUnknown {
    // The QueryPerformanceCounter value of the first write since the file was
    // opened: S_OK; S_FALSE and 0 when nothing has been written yet.
    virtual HRESULT STDMETHODCALLTYPE GetFirstWriteTime(LONGLONG* counter) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IFileWriterTiming, 0x4b189529, 0xb72b, 0x4dbc, 0xa4, 0xc2, 0xd8, 0xf1, 0x62, 0x80,
                0x48, 0xfb)
#endif
