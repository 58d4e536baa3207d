#include "app/capture/device_catalogue.h"

#include <dshow.h>
#include <wrl/client.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/capture/crossbar_routes.h"
#include "app/capture/device_names.h"
#include "app/core/settings.h"
#include "common/debug_output.h"

using Microsoft::WRL::ComPtr;

namespace vistrel {

namespace {

// IAMCrossbar and pins seen through the portable route search.
class PlatformCrossbars final : public CrossbarView {
  public:
    explicit PlatformCrossbars(IPin* analogInput) : analogInput_(analogInput) {}

    Link UpstreamOfCapture() override { return LinkFrom(analogInput_.Get()); }

    Link UpstreamOfInput(int32_t crossbar, int32_t input) override {
        ComPtr<IPin> pin = PinAt(crossbar, input);
        return pin ? LinkFrom(pin.Get()) : Link{};
    }

    bool PinCounts(int32_t crossbar, int32_t& outputs, int32_t& inputs) override {
        long out = 0, in = 0;
        if (!Valid(crossbar) || FAILED(crossbars_[crossbar].bar->get_PinCounts(&out, &in)))
            return false;
        outputs = out;
        inputs = in;
        return true;
    }

    bool PinInfo(int32_t crossbar, bool isInput, int32_t index, int32_t& related,
                 int32_t& type) override {
        long r = -1, t = 0;
        if (!Valid(crossbar) || FAILED(crossbars_[crossbar].bar->get_CrossbarPinInfo(
                                    isInput ? TRUE : FALSE, index, &r, &t)))
            return false;
        related = r;
        type = t;
        return true;
    }

    bool CanRoute(int32_t crossbar, int32_t output, int32_t input) override {
        return Valid(crossbar) && crossbars_[crossbar].bar->CanRoute(output, input) == S_OK;
    }

    int32_t Route(int32_t crossbar, int32_t output, int32_t input) override {
        return Valid(crossbar) ? crossbars_[crossbar].bar->Route(output, input) : kRouteFail;
    }

  private:
    struct Crossbar {
        ComPtr<IBaseFilter> filter;
        ComPtr<IAMCrossbar> bar;
    };

    bool Valid(int32_t crossbar) const {
        return crossbar >= 0 && static_cast<size_t>(crossbar) < crossbars_.size();
    }

    // The n-th pin of a crossbar in enumeration order (inputs come first).
    ComPtr<IPin> PinAt(int32_t crossbar, int32_t n) {
        ComPtr<IEnumPins> pins;
        if (!Valid(crossbar) || FAILED(crossbars_[crossbar].filter->EnumPins(&pins)))
            return nullptr;
        ComPtr<IPin> pin;
        for (int32_t i = 0; pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK; ++i) {
            if (i == n)
                return pin;
        }
        return nullptr;
    }

    Link LinkFrom(IPin* input) {
        Link link;
        ComPtr<IPin> upstream;
        if (input->ConnectedTo(&upstream) != S_OK || !upstream)
            return link;
        PIN_INFO info{};
        if (upstream->QueryPinInfo(&info) != S_OK) {
            link.kind = Upstream::kNoPinInfo;
            return link;
        }
        ComPtr<IBaseFilter> filter;
        filter.Attach(info.pFilter);
        ComPtr<IAMCrossbar> bar;
        if (!filter || FAILED(filter.As(&bar))) {
            link.kind = Upstream::kNotCrossbar;
            return link;
        }
        link.kind = Upstream::kCrossbar;
        link.crossbar = HandleOf(filter, bar);
        long outputs = 0, inputs = 0;
        bar->get_PinCounts(&outputs, &inputs);
        link.outputIndex = PositionOf(filter.Get(), upstream.Get()) - inputs;
        return link;
    }

    int32_t HandleOf(const ComPtr<IBaseFilter>& filter, const ComPtr<IAMCrossbar>& bar) {
        for (size_t i = 0; i < crossbars_.size(); ++i) {
            if (crossbars_[i].filter.Get() == filter.Get())
                return static_cast<int32_t>(i);
        }
        crossbars_.push_back({filter, bar});
        return static_cast<int32_t>(crossbars_.size() - 1);
    }

    static int32_t PositionOf(IBaseFilter* filter, IPin* wanted) {
        ComPtr<IEnumPins> pins;
        if (FAILED(filter->EnumPins(&pins)))
            return -1;
        ComPtr<IPin> pin;
        for (int32_t i = 0; pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK; ++i) {
            if (pin.Get() == wanted)
                return i;
        }
        return -1;
    }

    ComPtr<IPin> analogInput_;
    std::vector<Crossbar> crossbars_;
};

struct CrossbarRouter {
    explicit CrossbarRouter(IPin* analogInput)
        : view(analogInput), table(view, FindCrossbarRoutes(view)) {}
    PlatformCrossbars view;
    RouteTable table;
};

// The catalogue's process-wide selections.
struct Selections {
    ComPtr<IMoniker> videoDevice;
    ComPtr<IMoniker> audioDevice;
    ComPtr<IMoniker> videoCodec;
    ComPtr<IMoniker> audioCodec;
    std::unique_ptr<CrossbarRouter> router;
    int32_t routeCount = 0;
    std::vector<std::string> videoCodecNames;
    std::vector<std::string> audioCodecNames;
};

Selections& State() {
    static Selections state;
    return state;
}

// A BSTR property of a moniker's bag in the system code page, cut to
// `limit` - 1 bytes as the name buffers are. False when it cannot be read.
bool ReadName(IPropertyBag* bag, const wchar_t* property, size_t limit, std::string& out) {
    VARIANT value;
    VariantInit(&value);
    bool ok = bag->Read(property, &value, nullptr) == S_OK && value.vt == VT_BSTR &&
              value.bstrVal != nullptr;
    if (ok) {
        std::vector<char> text(limit, '\0');
        int n = WideCharToMultiByte(CP_ACP, 0, value.bstrVal, -1, text.data(),
                                    static_cast<int>(limit), nullptr, nullptr);
        // A name too long for the buffer is cut rather than dropped.
        if (n == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER)
            n = static_cast<int>(limit);
        text[limit - 1] = '\0';
        out = text.data();
        ok = n > 0;
    }
    VariantClear(&value);
    return ok;
}

ComPtr<IPropertyBag> BagOf(IMoniker* moniker) {
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag))))
        return nullptr;
    return bag;
}

ComPtr<ICreateDevEnum> DeviceEnumerator() {
    ComPtr<ICreateDevEnum> devices;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&devices))))
        return nullptr;
    return devices;
}

ComPtr<IEnumMoniker> Category(ICreateDevEnum* devices, REFCLSID category) {
    ComPtr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(category, &monikers, 0) != S_OK || !monikers)
        return nullptr;
    monikers->Reset();
    return monikers;
}

constexpr size_t kNameBuffer = 128;
constexpr size_t kCodecNameBuffer = 127;

void ScanVideoDevices(ICreateDevEnum* devices) {
    ComPtr<IEnumMoniker> monikers = Category(devices, CLSID_VideoInputDeviceCategory);
    if (!monikers)
        return;
    size_t slot = 0;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag = BagOf(moniker.Get());
        std::string friendly, path;
        if (!bag || !ReadName(bag.Get(), L"FriendlyName", kNameBuffer, friendly))
            continue;
        ReadName(bag.Get(), L"DevicePath", kNameBuffer, path);
        // More devices than slots are still selectable, only not listed.
        std::string display = DeviceDisplayName(friendly, path);
        VideoDeviceNames.Set(slot, display);
        const char* listed = slot < VideoDeviceNames.kSlots ? VideoDeviceNames.At(slot) : nullptr;
        const char* name = listed ? listed : display.c_str();
        // No camera saved yet (a first start): the first one listed, kept by
        // name from now on. A saved name, "<None>" too, stays as it is.
        if (!State().videoDevice && gSettings.tvVideoDevice[0] == '\0') {
            std::snprintf(gSettings.tvVideoDevice, sizeof gSettings.tvVideoDevice, "%s", name);
            DebugLine("capture: no camera was chosen; taking %s\n", name);
        }
        if (!State().videoDevice && SameDeviceName(name, gSettings.tvVideoDevice))
            State().videoDevice = moniker;
        ++slot;
    }
    // Devices gone since the last opening must not stay listed.
    for (; slot < VideoDeviceNames.kSlots; ++slot)
        VideoDeviceNames.Set(slot, "");
}

void ScanAudioDevices(ICreateDevEnum* devices) {
    ComPtr<IEnumMoniker> monikers = Category(devices, CLSID_AudioInputDeviceCategory);
    if (!monikers)
        return;
    size_t slot = 0;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag = BagOf(moniker.Get());
        if (!bag)
            continue;
        std::string friendly;
        if (ReadName(bag.Get(), L"FriendlyName", kNameBuffer, friendly)) {
            AudioDeviceNames.Set(slot, friendly);
            if (!State().audioDevice && SameDeviceName(friendly.c_str(), gSettings.tvAudioDevice))
                State().audioDevice = moniker;
        }
        ++slot;
    }
    for (; slot < AudioDeviceNames.kSlots; ++slot)
        AudioDeviceNames.Set(slot, "");
}

ComPtr<IMoniker> ScanCompressorCategory(IEnumMoniker* monikers, std::vector<std::string>& names,
                                        const char* saved) {
    ComPtr<IMoniker> result;
    names.clear();
    monikers->Reset();
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag = BagOf(moniker.Get());
        std::string name;
        if (!bag || !ReadName(bag.Get(), L"FriendlyName", kCodecNameBuffer, name))
            continue;
        if (SameCodecName(name.c_str(), saved))
            result = moniker;  // the last match wins
        names.push_back(std::move(name));
    }
    return result;
}

int32_t AnalogInputCategoryPin(IBaseFilter* filter, ComPtr<IPin>& found) {
    ComPtr<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(&pins)))
        return 0;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        PIN_INFO info{};
        if (pin->QueryPinInfo(&info) != S_OK)
            continue;
        if (info.pFilter)
            info.pFilter->Release();
        if (info.dir != PINDIR_INPUT)
            continue;
        ComPtr<IKsPropertySet> properties;
        if (FAILED(pin.As(&properties)))
            continue;
        GUID category{};
        DWORD returned = 0;
        if (properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category,
                            sizeof(category), &returned) == S_OK &&
            returned >= sizeof(category) && category == PIN_CATEGORY_ANALOGVIDEOIN) {
            found = pin;
            return 1;
        }
    }
    return 0;
}

}  // namespace

IMoniker* VideoDeviceMoniker() {
    return State().videoDevice.Get();
}
IMoniker* AudioDeviceMoniker() {
    return State().audioDevice.Get();
}
IMoniker* VideoCodecMoniker() {
    return State().videoCodec.Get();
}
IMoniker* AudioCodecMoniker() {
    return State().audioCodec.Get();
}
int32_t RouteCount() {
    return State().routeCount;
}

void ScanCaptureDevices() {
    ComPtr<ICreateDevEnum> devices = DeviceEnumerator();
    if (!devices)
        return;
    ScanVideoDevices(devices.Get());
    ScanAudioDevices(devices.Get());
}

void RouteDefaultInput() {
    Selections& s = State();
    if (s.router && s.routeCount > 0)
        s.router->table.SelectInput(s.router->table.DefaultInput());
}

void EnumerateCodecs() {
    Selections& s = State();
    s.videoCodec.Reset();
    s.audioCodec.Reset();
    ComPtr<ICreateDevEnum> devices = DeviceEnumerator();
    if (!devices)
        return;
    if (ComPtr<IEnumMoniker> video = Category(devices.Get(), CLSID_VideoCompressorCategory))
        s.videoCodec = ScanCompressorCategory(video.Get(), s.videoCodecNames, gSettings.vCodec);
    if (ComPtr<IEnumMoniker> audio = Category(devices.Get(), CLSID_AudioCompressorCategory))
        s.audioCodec = ScanCompressorCategory(audio.Get(), s.audioCodecNames, gSettings.aCodec);
}

void ChooseDefaultVideoCodec() {
    EnumerateCodecs();
    for (const std::string& name : CodecNames(DeviceKind::kVideo)) {
        if (SameCodecName(name.c_str(), kDefaultVideoCodec)) {
            std::snprintf(gSettings.vCodec, sizeof gSettings.vCodec, "%s", kDefaultVideoCodec);
            EnumerateCodecs();
            return;
        }
    }
}

const std::vector<std::string>& CodecNames(DeviceKind kind) {
    return kind == DeviceKind::kVideo ? State().videoCodecNames : State().audioCodecNames;
}

IBaseFilter* BindCodec(DeviceKind kind) {
    IMoniker* moniker = kind == DeviceKind::kVideo ? VideoCodecMoniker() : AudioCodecMoniker();
    IBaseFilter* filter = nullptr;
    if (moniker && FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                                reinterpret_cast<void**>(&filter))))
        filter = nullptr;
    return filter;
}

void CreateCrossbarRouterFor(IBaseFilter* captureFilter) {
    Selections& s = State();
    ComPtr<IPin> analog;
    if (!AnalogInputCategoryPin(captureFilter, analog))
        return;
    s.router = std::make_unique<CrossbarRouter>(analog.Get());
    s.routeCount = s.router->table.InputCount();
}

void RouteSavedInput() {
    Selections& s = State();
    if (!s.router || s.routeCount <= 0)
        return;
    for (int32_t i = 0; i < s.routeCount && static_cast<size_t>(i) < InputNames.kSlots; ++i) {
        char name[64];
        if (s.router->table.InputName(i, name, 63))
            InputNames.Set(static_cast<size_t>(i), name);
    }
    // An out-of-range saved input fails and leaves the routing of the opening.
    uint32_t saved = gSettings.input;
    int32_t index =
        saved < static_cast<uint32_t>(s.routeCount) ? static_cast<int32_t>(saved) : s.routeCount;
    s.router->table.SelectInput(index);
}

void ReleaseCatalogueSelections() {
    Selections& s = State();
    s.router.reset();
    s.routeCount = 0;
    s.videoDevice.Reset();
    s.audioDevice.Reset();
    s.videoCodec.Reset();
    s.audioCodec.Reset();
}

}  // namespace vistrel
