#include "framework/file_writer.h"

#include <cstring>
#include <cwchar>
#include <new>
#include <string>

#include "framework/base_filter.h"
#include "framework/file_writer_pin.h"
#include "framework/media_type.h"
#include "framework/sink_file.h"

namespace dshow {
namespace {

// Longest path the wide Win32 calls take (with the "\\?\" prefix).
constexpr size_t kMaxPath = 32767;

// Threads: every method on the graph thread, under the filter lock.
class FileWriter final : public BaseFilter,
                         public IFileSinkFilter,
                         public IAMFilterMiscFlags,
                         public IFileWriterTiming {
  public:
    FileWriter() : BaseFilter(nullptr, CLSID_ProjectFileWriter), pin_(*this, file_, name_) {}

    DSHOW_DELEGATING_UNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IFileSinkFilter))
            return GetInterface(static_cast<IFileSinkFilter*>(this), out);
        if (IsEqualIID(iid, IID_IAMFilterMiscFlags))
            return GetInterface(static_cast<IAMFilterMiscFlags*>(this), out);
        if (IsEqualIID(iid, IID_IFileWriterTiming))
            return GetInterface(static_cast<IFileWriterTiming*>(this), out);
        return BaseFilter::NonDelegatingQueryInterface(iid, out);
    }

    // IFileSinkFilter: the name takes effect at the next pause from stopped.
    STDMETHODIMP SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type) override;

    // IAMFilterMiscFlags
    STDMETHODIMP_(ULONG) GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

    // IFileWriterTiming
    STDMETHODIMP GetFirstWriteTime(LONGLONG* counter) override {
        if (!counter)
            return E_POINTER;
        *counter = file_.first_write();
        return *counter ? S_OK : S_FALSE;
    }

    int PinCount() override { return 1; }
    BasePin* PinAt(int index) override { return index == 0 ? &pin_ : nullptr; }

  private:
    // The file outlives the pin, which refers to it (members go in reverse).
    SinkFile file_;
    std::wstring name_;
    MediaType name_type_;
    FileWriterPin pin_;
};

STDMETHODIMP FileWriter::SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE* type) {
    if (!name)
        return E_POINTER;
    size_t length = wcsnlen(name, kMaxPath + 1);
    if (length == 0 || length > kMaxPath)
        return E_INVALIDARG;
    MediaType copy;
    if (type && FAILED(copy.Set(*type)))
        return E_OUTOFMEMORY;
    ScopedLock lock(filter_lock());
    name_.assign(name, length);
    name_type_ = std::move(copy);
    return S_OK;
}

STDMETHODIMP FileWriter::GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type) {
    if (!name)
        return E_POINTER;
    *name = nullptr;
    ScopedLock lock(filter_lock());
    if (name_.empty()) {
        if (type)
            std::memset(type, 0, sizeof(*type));
        return E_FAIL;
    }
    size_t bytes = (name_.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!copy)
        return E_OUTOFMEMORY;
    std::memcpy(copy, name_.c_str(), bytes);
    if (type && FAILED(CopyMediaType(type, name_type_))) {
        CoTaskMemFree(copy);
        return E_OUTOFMEMORY;
    }
    *name = copy;
    return S_OK;
}

}  // namespace

Microsoft::WRL::ComPtr<IBaseFilter> CreateFileWriter() {
    Microsoft::WRL::ComPtr<IBaseFilter> filter;
    auto* writer = new (std::nothrow) FileWriter();
    if (writer)
        filter = static_cast<IBaseFilter*>(writer);
    return filter;
}

}  // namespace dshow
