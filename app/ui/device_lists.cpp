#include "app/ui/device_lists.h"

#include <dshow.h>
#include <olectl.h>
#include <wrl/client.h>

#include "app/capture/capture_graph.h"
#include "app/capture/device_names.h"
#include "app/core/main_window_handle.h"
#include "app/core/settings.h"

using Microsoft::WRL::ComPtr;

namespace vistrel {

namespace {

LRESULT AddText(HWND list, const char* text) {
    return SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

void Select(HWND list, LRESULT item) {
    if (item >= 0)
        SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
}

void FillCodecList(HWND list, DeviceKind kind, const char* uncompressed, const char* saved) {
    Select(list, AddText(list, uncompressed));
    for (const std::string& name : CodecNames(kind)) {
        LRESULT item = AddText(list, name.c_str());
        // The last match is the codec the catalogue selected.
        if (SameCodecName(name.c_str(), saved))
            Select(list, item);
    }
}

}  // namespace

void FillDeviceList(DeviceKind kind, HWND list) {
    bool video = kind == DeviceKind::kVideo;
    const char* saved = video ? gSettings.tvVideoDevice : gSettings.tvAudioDevice;
    for (size_t i = 0; i < VideoDeviceNames.kSlots; ++i) {
        const char* name = video ? VideoDeviceNames.At(i) : AudioDeviceNames.At(i);
        if (name[0] == '\0')
            break;
        LRESULT item = AddText(list, name);
        if (SameDeviceName(name, saved))
            Select(list, item);
    }
}

void FillCodecLists(HWND videoList, HWND audioList) {
    EnumerateCodecs();
    if (videoList)
        FillCodecList(videoList, DeviceKind::kVideo, kUncompressedVideo, gSettings.vCodec);
    if (audioList)
        FillCodecList(audioList, DeviceKind::kAudio, kUncompressedAudio, gSettings.aCodec);
}

void ShowPropertyPages(HWND parent, int target) {
    ComPtr<IUnknown> object;
    switch (target) {
        case TargetVideoDevice:
            object = VideoCaptureFilter();
            break;
        case TargetAudioDevice:
            object = AudioCaptureFilter();
            break;
        case TargetVideoCodec:
            object.Attach(BindCodec(DeviceKind::kVideo));
            break;
        case TargetAudioCodec:
            object.Attach(BindCodec(DeviceKind::kAudio));
            break;
        case TargetOverlay:
            object = OverlayFilter();
            break;
        default:
            return;
    }
    if (!object)
        return;
    ComPtr<IAMVfwCompressDialogs> dialogs;
    if (SUCCEEDED(object->QueryInterface(IID_IAMVfwCompressDialogs,
                                         reinterpret_cast<void**>(dialogs.GetAddressOf()))))
        dialogs->ShowDialog(VfwCompressDialog_Config, parent);
    dialogs.Reset();
    ComPtr<ISpecifyPropertyPages> specify;
    if (FAILED(object.As(&specify)))
        return;
    CAUUID pages{};
    if (SUCCEEDED(specify->GetPages(&pages))) {
        IUnknown* objects[] = {object.Get()};
        OleCreatePropertyFrame(MainWindowHandle(), 30, 30, nullptr, 1, objects, pages.cElems,
                               pages.pElems, 0, 0, nullptr);
        CoTaskMemFree(pages.pElems);
    }
}

}  // namespace vistrel
