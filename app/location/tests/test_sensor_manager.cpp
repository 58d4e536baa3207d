// test_sensor_manager.dll: a sensor manager of the test tree, registered in a
// test prefix only, under the platform's CLSID_SensorManager, so the
// recorder's location publisher runs its real COM path under Wine (which has
// no Sensor API).
//
// ISensorManager::GetSensorsByType(SENSOR_TYPE_LOCATION_GPS) answers a
// collection of the feed's sensors (sensor_feed.h); any other type, or no
// feed, HRESULT_FROM_WIN32(ERROR_NOT_FOUND). ISensor::GetData reads the feed
// at that moment into a new report; ISensorDataReport::GetSensorValue serves
// the location format's values. Everything else answers E_NOTIMPL.
#include <windows.h>
#include <propidl.h>
#include <sensorsapi.h>
#include <wrl/client.h>

#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "app/location/tests/sensor_feed.h"
#include "common/win_handle.h"
#include "framework/com_object.h"
#include "framework/dll_entry.h"

using Microsoft::WRL::ComPtr;

namespace {

// {77A1C827-FCD2-4689-8915-9D613CC5FA3E}
constexpr CLSID kClsidSensorManager = {
    0x77A1C827, 0xFCD2, 0x4689, {0x89, 0x15, 0x9D, 0x61, 0x3C, 0xC5, 0xFA, 0x3E}};
// {ED4CA589-327A-4FF9-A560-91DA4B48275E}
constexpr GUID kSensorTypeGps = {
    0xED4CA589, 0x327A, 0x4FF9, {0xA5, 0x60, 0x91, 0xDA, 0x4B, 0x48, 0x27, 0x5E}};
// {055C74D8-CA6F-47D6-95C6-1ED3637A0FF4}
constexpr GUID kLocationFormat = {
    0x055C74D8, 0xCA6F, 0x47D6, {0x95, 0xC6, 0x1E, 0xD3, 0x63, 0x7A, 0x0F, 0xF4}};

constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
constexpr HRESULT kNoData = HRESULT_FROM_WIN32(ERROR_NO_DATA);

// The feed as it is now; false when there is none (or not of this layout).
bool ReadFeed(sensortest::Feed* feed) {
    vistrel::UniqueHandle mapping(OpenFileMappingA(FILE_MAP_READ, FALSE, sensortest::kFeedName));
    if (!mapping)
        return false;
    // A mapping smaller than the layout does not map at this size.
    vistrel::UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, sizeof(*feed)));
    if (!view)
        return false;
    std::memcpy(feed, view.get(), sizeof(*feed));
    return feed->magic == sensortest::kFeedMagic;
}

ULONG SensorCount(const sensortest::Feed& feed) {
    return feed.sensorCount < sensortest::kMaxSensors ? feed.sensorCount : sensortest::kMaxSensors;
}

// A new object of the DLL, handed out through `out`.
template <class T, class I, class... Args>
HRESULT Make(ComPtr<I>& out, Args&&... args) {
    T* object = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!object)
        return E_OUTOFMEMORY;
    object->NonDelegatingAddRef();
    HRESULT hr = object->inner()->QueryInterface(IID_PPV_ARGS(out.ReleaseAndGetAddressOf()));
    object->NonDelegatingRelease();
    return hr;
}

// An object of the DLL answering IUnknown and the one interface `I`.
template <class I>
class Object : public dshow::ComObject, public I {
  public:
    explicit Object(IUnknown* outer = nullptr) : ComObject(outer) {}
    DSHOW_DELEGATING_UNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, __uuidof(I)))
            return dshow::GetInterface(static_cast<I*>(this), out);
        return ComObject::NonDelegatingQueryInterface(iid, out);
    }
};

class DataReport final : public Object<ISensorDataReport> {
  public:
    explicit DataReport(const sensortest::Sensor& values) : values_(values) {}

    STDMETHODIMP GetTimestamp(SYSTEMTIME*) override { return E_NOTIMPL; }
    STDMETHODIMP GetSensorValue(REFPROPERTYKEY key, PROPVARIANT* value) override;
    STDMETHODIMP GetSensorValues(IPortableDeviceKeyCollection*, IPortableDeviceValues**) override {
        return E_NOTIMPL;
    }

  private:
    const sensortest::Sensor values_;
};

STDMETHODIMP DataReport::GetSensorValue(REFPROPERTYKEY key, PROPVARIANT* value) {
    if (!value)
        return E_POINTER;
    PropVariantInit(value);
    if (!IsEqualGUID(key.fmtid, kLocationFormat) || key.pid >= sensortest::kProperties)
        return kNotFound;
    const sensortest::Value& v = values_.values[key.pid];
    switch (static_cast<sensortest::Kind>(v.kind)) {
        case sensortest::Kind::kError:
            value->vt = VT_ERROR;
            value->scode = kNoData;
            return S_OK;
        case sensortest::Kind::kDouble:
            value->vt = VT_R8;
            value->dblVal = v.number;
            return S_OK;
        case sensortest::Kind::kInt32:
            value->vt = VT_I4;
            // Out of range (or not a number) reads as 0 rather than undefined.
            value->lVal = v.number >= -2147483648.0 && v.number <= 2147483647.0
                              ? static_cast<LONG>(v.number)
                              : 0;
            return S_OK;
        case sensortest::Kind::kBytes: {
            ULONG count = v.count < sensortest::kVectorBytes ? v.count : sensortest::kVectorBytes;
            auto* bytes = static_cast<UCHAR*>(CoTaskMemAlloc(count ? count : 1));
            if (!bytes)
                return E_OUTOFMEMORY;
            std::memcpy(bytes, v.bytes, count);
            value->vt = VT_VECTOR | VT_UI1;
            value->caub.cElems = count;
            value->caub.pElems = bytes;
            return S_OK;
        }
        case sensortest::Kind::kMissing:
            break;
    }
    return kNotFound;
}

class Sensor final : public Object<ISensor> {
  public:
    explicit Sensor(ULONG index) : index_(index) {}

    STDMETHODIMP GetData(ISensorDataReport** report) override {
        if (!report)
            return E_POINTER;
        *report = nullptr;
        sensortest::Feed feed;
        if (!ReadFeed(&feed) || index_ >= SensorCount(feed) || feed.sensors[index_].noReport)
            return kNoData;
        ComPtr<ISensorDataReport> made;
        HRESULT hr = Make<DataReport>(made, feed.sensors[index_]);
        if (SUCCEEDED(hr))
            *report = made.Detach();
        return hr;
    }
    STDMETHODIMP GetType(SENSOR_TYPE_ID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetID(SENSOR_ID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCategory(SENSOR_CATEGORY_ID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetFriendlyName(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetProperty(REFPROPERTYKEY, PROPVARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetProperties(IPortableDeviceKeyCollection*, IPortableDeviceValues**) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetSupportedDataFields(IPortableDeviceKeyCollection**) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP SetProperties(IPortableDeviceValues*, IPortableDeviceValues**) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP SupportsDataField(REFPROPERTYKEY, VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP GetState(SensorState*) override { return E_NOTIMPL; }
    STDMETHODIMP SupportsEvent(REFGUID, VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP GetEventInterest(GUID**, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP SetEventInterest(GUID*, ULONG) override { return E_NOTIMPL; }
    STDMETHODIMP SetEventSink(ISensorEvents*) override { return E_NOTIMPL; }

  private:
    const ULONG index_;  // which sensor of the feed
};

class SensorCollection final : public Object<ISensorCollection> {
  public:
    explicit SensorCollection(std::vector<ComPtr<ISensor>> sensors)
        : sensors_(std::move(sensors)) {}

    STDMETHODIMP GetAt(ULONG index, ISensor** sensor) override {
        if (!sensor)
            return E_POINTER;
        *sensor = nullptr;
        if (index >= sensors_.size())
            return E_INVALIDARG;
        *sensor = sensors_[index].Get();
        (*sensor)->AddRef();
        return S_OK;
    }
    STDMETHODIMP GetCount(ULONG* count) override {
        if (!count)
            return E_POINTER;
        *count = static_cast<ULONG>(sensors_.size());
        return S_OK;
    }
    STDMETHODIMP Add(ISensor*) override { return E_NOTIMPL; }
    STDMETHODIMP Remove(ISensor*) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveByID(REFSENSOR_ID) override { return E_NOTIMPL; }
    STDMETHODIMP Clear() override { return E_NOTIMPL; }

  private:
    const std::vector<ComPtr<ISensor>> sensors_;
};

class SensorManager final : public Object<ISensorManager> {
  public:
    explicit SensorManager(IUnknown* outer) : Object(outer) {}

    STDMETHODIMP GetSensorsByType(REFSENSOR_TYPE_ID type, ISensorCollection** found) override {
        if (!found)
            return E_POINTER;
        *found = nullptr;
        sensortest::Feed feed;
        if (!IsEqualGUID(type, kSensorTypeGps) || !ReadFeed(&feed) || SensorCount(feed) == 0)
            return kNotFound;
        std::vector<ComPtr<ISensor>> sensors(SensorCount(feed));
        for (ULONG i = 0; i < sensors.size(); ++i) {
            HRESULT hr = Make<Sensor>(sensors[i], i);
            if (FAILED(hr))
                return hr;
        }
        ComPtr<ISensorCollection> collection;
        HRESULT hr = Make<SensorCollection>(collection, std::move(sensors));
        if (SUCCEEDED(hr))
            *found = collection.Detach();
        return hr;
    }

    STDMETHODIMP GetSensorsByCategory(REFSENSOR_CATEGORY_ID, ISensorCollection**) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetSensorByID(REFSENSOR_ID, ISensor**) override { return E_NOTIMPL; }
    STDMETHODIMP SetEventSink(ISensorManagerEvents*) override { return E_NOTIMPL; }
    STDMETHODIMP RequestPermissions(HWND, ISensorCollection*, WINBOOL) override {
        return E_NOTIMPL;
    }
};

const dshow::FactoryEntry kClasses[] = {
    {L"Vistrel Test Sensor Manager", &kClsidSensorManager, dshow::CreateInstance<SensorManager>,
     nullptr},
};

}  // namespace

const dshow::ComServer dshow::kThisServer{kClasses};
