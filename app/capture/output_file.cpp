#include "app/capture/output_file.h"

#include <uuids.h>
#include <wrl/client.h>

#include "common/debug_output.h"
#include "framework/file_writer.h"
#include "framework/media_type.h"

using Microsoft::WRL::ComPtr;

namespace vistrel::capture {
namespace {

void Report(const char* what, HRESULT hr) {
    DebugFailure("capture output", what, hr);
}

ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION wanted) {
    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(&pins)) || !pins)
        return nullptr;
    ComPtr<IPin> pin;
    while (pins->Next(1, &pin, nullptr) == S_OK && pin) {
        PIN_DIRECTION direction;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == wanted)
            return pin;
        pin.Reset();
    }
    return nullptr;
}

// Filters added so far, taken out of the graph again unless the build is kept.
class AddedFilters {
  public:
    explicit AddedFilters(IGraphBuilder* graph) : graph_(graph) {}
    AddedFilters(const AddedFilters&) = delete;
    AddedFilters& operator=(const AddedFilters&) = delete;
    ~AddedFilters() {
        // Latest first; RemoveFilter also breaks the filters' connections.
        for (int i = count_ - 1; i >= 0; --i)
            graph_->RemoveFilter(filters_[i].Get());
    }
    HRESULT Add(IBaseFilter* filter, const wchar_t* name) {
        HRESULT hr = graph_->AddFilter(filter, name);
        if (SUCCEEDED(hr))
            filters_[count_++] = filter;
        return hr;
    }
    void Keep() { count_ = 0; }

  private:
    IGraphBuilder* graph_;
    ComPtr<IBaseFilter> filters_[2];
    int count_ = 0;
};

HRESULT BuildAviOutput(IGraphBuilder* graph, const wchar_t* file, IBaseFilter** mux_out,
                       IFileSinkFilter** sink_out) {
    ComPtr<IBaseFilter> mux;
    HRESULT hr = CoCreateInstance(CLSID_AviDest, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mux));
    if (FAILED(hr)) {
        Report("creating the AVI multiplexer", hr);
        return hr;
    }
    AddedFilters added(graph);
    if (FAILED(hr = added.Add(mux.Get(), L"Mux"))) {
        Report("adding the multiplexer", hr);
        return hr;
    }
    // Set before the output connects: a change of mode reconnects it.
    ComPtr<IConfigInterleaving> interleaving;
    hr = mux.As(&interleaving);
    if (SUCCEEDED(hr))
        hr = interleaving->put_Mode(INTERLEAVE_FULL);
    if (FAILED(hr)) {
        Report("setting full interleaving", hr);
        return hr;
    }

    ComPtr<IBaseFilter> writer = dshow::CreateFileWriter();
    if (!writer)
        return E_OUTOFMEMORY;
    ComPtr<IFileSinkFilter> sink;
    if (FAILED(hr = writer.As(&sink)))
        return hr;
    if (FAILED(hr = added.Add(writer.Get(), L"File Writer"))) {
        Report("adding the file writer", hr);
        return hr;
    }
    if (FAILED(hr = sink->SetFileName(file, nullptr))) {
        Report("setting the file name", hr);
        return hr;
    }
    ComPtr<IPin> mux_output = FirstPin(mux.Get(), PINDIR_OUTPUT);
    ComPtr<IPin> writer_input = FirstPin(writer.Get(), PINDIR_INPUT);
    if (!mux_output || !writer_input)
        return E_FAIL;
    if (FAILED(hr = graph->ConnectDirect(mux_output.Get(), writer_input.Get(), nullptr))) {
        Report("connecting the multiplexer to the file writer", hr);
        return hr;
    }

    added.Keep();
    *mux_out = mux.Detach();
    if (sink_out)
        *sink_out = sink.Detach();
    return S_OK;
}

// The pin's category through its property set; false when it has none.
bool PinCategoryOf(IPin* pin, GUID* category) {
    ComPtr<IKsPropertySet> properties;
    if (FAILED(pin->QueryInterface(IID_PPV_ARGS(&properties))))
        return false;
    DWORD returned = 0;
    HRESULT hr = properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, category,
                                 sizeof(GUID), &returned);
    return SUCCEEDED(hr) && returned == sizeof(GUID);
}

bool HasMajorType(IPin* pin, const GUID& major) {
    AM_MEDIA_TYPE connected{};
    if (pin->ConnectionMediaType(&connected) == S_OK) {
        bool same = IsEqualGUID(connected.majortype, major) != FALSE;
        dshow::FreeMediaType(connected);
        return same;
    }
    ComPtr<IEnumMediaTypes> types;
    if (FAILED(pin->EnumMediaTypes(&types)) || !types)
        return false;
    AM_MEDIA_TYPE* type = nullptr;
    bool found = false;
    while (!found && types->Next(1, &type, nullptr) == S_OK && type) {
        found = IsEqualGUID(type->majortype, major) != FALSE;
        dshow::DeleteMediaType(type);
        type = nullptr;
    }
    return found;
}

bool IsPinCategory(const GUID* category) {
    return category && !IsEqualGUID(*category, LOOK_UPSTREAM_ONLY) &&
           !IsEqualGUID(*category, LOOK_DOWNSTREAM_ONLY);
}

}  // namespace

HRESULT SetOutputFile(ICaptureGraphBuilder2* builder, IGraphBuilder* graph, const GUID& subtype,
                      const wchar_t* file, IBaseFilter** mux, IFileSinkFilter** sink) {
    if (!builder || !file || !mux)
        return E_POINTER;
    *mux = nullptr;
    if (sink)
        *sink = nullptr;
    HRESULT hr = builder->SetOutputFileName(&subtype, file, mux, sink);
    if (hr != E_NOTIMPL || !IsEqualGUID(subtype, MEDIASUBTYPE_Avi))
        return hr;
    // Whatever the refusal left in the out parameters is not ours to release.
    *mux = nullptr;
    if (sink)
        *sink = nullptr;

    ComPtr<IGraphBuilder> own_graph = graph;
    if (!own_graph) {
        hr = builder->GetFiltergraph(&own_graph);
        if (FAILED(hr) || !own_graph)
            return FAILED(hr) ? hr : E_UNEXPECTED;
    }
    return BuildAviOutput(own_graph.Get(), file, mux, sink);
}

HRESULT StopRecordingGraph(IMediaControl* control, std::initializer_list<IBaseFilter*> sources) {
    if (!control)
        return E_POINTER;
    for (IBaseFilter* source : sources) {
        if (!source)
            continue;
        HRESULT hr = source->Stop();
        if (FAILED(hr))
            Report("stopping a capture source ahead of the graph", hr);
    }
    return control->Stop();
}

HRESULT FindPinInterface(ICaptureGraphBuilder2* builder, const GUID* category,
                         const GUID* majorType, IBaseFilter* filter, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    HRESULT platform = E_NOINTERFACE;
    if (builder) {
        platform = builder->FindInterface(category, majorType, filter, iid, out);
        if (SUCCEEDED(platform) && *out)
            return platform;
        *out = nullptr;
    }
    if (!filter || !IsPinCategory(category))
        return FAILED(platform) ? platform : E_NOINTERFACE;

    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(&pins)) || !pins)
        return E_NOINTERFACE;
    ComPtr<IPin> pin;
    while (pins->Next(1, &pin, nullptr) == S_OK && pin) {
        PIN_DIRECTION direction;
        GUID pin_category;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_OUTPUT &&
            PinCategoryOf(pin.Get(), &pin_category) && IsEqualGUID(pin_category, *category) &&
            (!majorType || HasMajorType(pin.Get(), *majorType))) {
            HRESULT hr = pin->QueryInterface(iid, out);
            if (SUCCEEDED(hr) && *out)
                return S_OK;
            *out = nullptr;
        }
        pin.Reset();
    }
    return FAILED(platform) ? platform : E_NOINTERFACE;
}

}  // namespace vistrel::capture
