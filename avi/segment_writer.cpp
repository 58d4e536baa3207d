#include "avi/segment_writer.h"

#include <new>

#include "avi/segment_writer_filter.h"

namespace avi {

HRESULT CreateSegmentWriter(Microsoft::WRL::ComPtr<IBaseFilter>* filter,
                            Microsoft::WRL::ComPtr<ISegmentWriter>* control) {
    if (!filter || !control)
        return E_POINTER;
    auto* writer = new (std::nothrow) SegmentWriterFilter();
    if (!writer)
        return E_OUTOFMEMORY;
    Microsoft::WRL::ComPtr<IBaseFilter> made = static_cast<IBaseFilter*>(writer);
    HRESULT hr = made.As(control);
    if (FAILED(hr))
        return hr;
    *filter = std::move(made);
    return S_OK;
}

}  // namespace avi
