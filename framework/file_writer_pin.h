// The file writer's input pin: MEDIATYPE_Stream of any subtype, written into
// the writer's SinkFile, by sample (IMemInputPin::Receive: the start time is
// the byte offset) or through IStream, as the AVI multiplexer writes.
//
// Threads: connection and state hooks on the graph thread under the filter
// lock; Receive on the upstream streaming thread; IStream on whichever thread
// the upstream filter writes from (its streaming thread, and the graph thread
// while it stops). Neither Receive nor IStream takes the filter lock: the
// file has its own.
#pragma once

#include <string>

#include "framework/input_pin.h"
#include "framework/sink_file.h"

namespace dshow {

class FileWriterPin final : public InputPin, public IStream {
  public:
    // `file_name` is the writer's chosen name, read under the filter lock.
    FileWriterPin(BaseFilter& filter, SinkFile& file, const std::wstring& file_name);

    // IUnknown, shared by IPin, IMemInputPin and IStream
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        return BasePin::QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return BasePin::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return BasePin::Release(); }

    // IMemInputPin, IPin
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP EndOfStream() override;

    // ISequentialStream, IStream
    STDMETHODIMP Read(void* data, ULONG size, ULONG* read) override;
    STDMETHODIMP Write(const void* data, ULONG size, ULONG* written) override;
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override;
    STDMETHODIMP SetSize(ULARGE_INTEGER size) override;
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Commit(DWORD flags) override;
    STDMETHODIMP Revert() override { return E_NOTIMPL; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Stat(STATSTG* stat, DWORD flags) override;
    STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

    // Pin
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    // Paused from stopped: opens (creates or empties) the file.
    HRESULT Active() override;
    // Disconnected: the file is closed.
    HRESULT BreakConnect() override;

  protected:
    HRESULT QueryPinInterface(REFIID iid, void** out) override;

  private:
    HRESULT WriteSample(IMediaSample* sample);

    SinkFile& file_;
    const std::wstring& file_name_;
};

}  // namespace dshow
