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

// A method the recorder never calls.
#define NOT_USED(signature)           \
    STDMETHODIMP signature override { \
        return E_NOTIMPL;             \
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

    NOT_USED(GetTimestamp(SYSTEMTIME*))
    STDMETHODIMP GetSensorValue(REFPROPERTYKEY key, PROPVARIANT* value) override;
    NOT_USED(GetSensorValues(IPortableDeviceKeyCollection*, IPortableDeviceValues**))

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
            value->lVal = static_cast<LONG>(v.number);  // the tests write small counts only
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
    NOT_USED(GetType(SENSOR_TYPE_ID*))
    NOT_USED(GetID(SENSOR_ID*))
    NOT_USED(GetCategory(SENSOR_CATEGORY_ID*))
    NOT_USED(GetFriendlyName(BSTR*))
    NOT_USED(GetProperty(REFPROPERTYKEY, PROPVARIANT*))
    NOT_USED(GetProperties(IPortableDeviceKeyCollection*, IPortableDeviceValues**))
    NOT_USED(GetSupportedDataFields(IPortableDeviceKeyCollection**))
    NOT_USED(SetProperties(IPortableDeviceValues*, IPortableDeviceValues**))
    NOT_USED(SupportsDataField(REFPROPERTYKEY, VARIANT_BOOL*))
    NOT_USED(GetState(SensorState*))
    NOT_USED(SupportsEvent(REFGUID, VARIANT_BOOL*))
    NOT_USED(GetEventInterest(GUID**, ULONG*))
    NOT_USED(SetEventInterest(GUID*, ULONG))
    NOT_USED(SetEventSink(ISensorEvents*))

  private:
    const ULONG index_;  // which sensor of the feed
};

class SensorCollection final : public Object<ISensorCollection> {
  public:
    explicit SensorCollection(ULONG count) : count_(count) {}

    STDMETHODIMP GetAt(ULONG index, ISensor** sensor) override {
        if (!sensor)
            return E_POINTER;
        *sensor = nullptr;
        if (index >= count_)
            return E_INVALIDARG;
        ComPtr<ISensor> made;
        HRESULT hr = Make<Sensor>(made, index);
        if (SUCCEEDED(hr))
            *sensor = made.Detach();
        return hr;
    }
    STDMETHODIMP GetCount(ULONG* count) override {
        if (!count)
            return E_POINTER;
        *count = count_;
        return S_OK;
    }
    NOT_USED(Add(ISensor*))
    NOT_USED(Remove(ISensor*))
    NOT_USED(RemoveByID(REFSENSOR_ID))
    NOT_USED(Clear())

  private:
    const ULONG count_;
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
        ComPtr<ISensorCollection> collection;
        HRESULT hr = Make<SensorCollection>(collection, SensorCount(feed));
        if (SUCCEEDED(hr))
            *found = collection.Detach();
        return hr;
    }

    NOT_USED(GetSensorsByCategory(REFSENSOR_CATEGORY_ID, ISensorCollection**))
    NOT_USED(GetSensorByID(REFSENSOR_ID, ISensor**))
    NOT_USED(SetEventSink(ISensorManagerEvents*))
    NOT_USED(RequestPermissions(HWND, ISensorCollection*, WINBOOL))
};

const dshow::FactoryEntry kClasses[] = {
    {L"Vistrel Test Sensor Manager", &kClsidSensorManager, dshow::CreateInstance<SensorManager>,
     nullptr},
};

}  // namespace

const dshow::ComServer dshow::kThisServer{kClasses};
