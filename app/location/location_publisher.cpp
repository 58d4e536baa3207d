#include "app/location/location_publisher.h"

#include <windows.h>
#include <propidl.h>
#include <sensorsapi.h>
#include <wrl/client.h>

#include "app/location/sensor_report.h"
#include "telemetry/attach.h"

using Microsoft::WRL::ComPtr;

namespace vistrel {

namespace {

// {77A1C827-FCD2-4689-8915-9D613CC5FA3E}
constexpr CLSID kClsidSensorManager = {
    0x77A1C827, 0xFCD2, 0x4689, {0x89, 0x15, 0x9D, 0x61, 0x3C, 0xC5, 0xFA, 0x3E}};
// {BD77DB67-45A8-42DC-8D00-6DCF15F8377A}
constexpr IID kIidSensorManager = {
    0xBD77DB67, 0x45A8, 0x42DC, {0x8D, 0x00, 0x6D, 0xCF, 0x15, 0xF8, 0x37, 0x7A}};
// {ED4CA589-327A-4FF9-A560-91DA4B48275E}
constexpr GUID kSensorTypeGps = {
    0xED4CA589, 0x327A, 0x4FF9, {0xA5, 0x60, 0x91, 0xDA, 0x4B, 0x48, 0x27, 0x5E}};
// {055C74D8-CA6F-47D6-95C6-1ED3637A0FF4}
constexpr GUID kLocationFormat = {
    0x055C74D8, 0xCA6F, 0x47D6, {0x95, 0xC6, 0x1E, 0xD3, 0x63, 0x7A, 0x0F, 0xF4}};

// The publisher's process-wide state.
struct PublisherState {
    ComPtr<ISensor> sensor;
    ComPtr<ISensorDataReport> report;
    telemetry::GpsPublisher publisher;
};

PublisherState& State() {
    static PublisherState state;
    return state;
}

// A platform report seen through the portable reader.
class PlatformReport : public SensorReport {
  public:
    explicit PlatformReport(ISensorDataReport* report) : report_(report) {
        PropVariantInit(&value_);
    }
    ~PlatformReport() override { PropVariantClear(&value_); }

    SensorValue Get(int property) override {
        PropVariantClear(&value_);
        PROPERTYKEY key{kLocationFormat, static_cast<DWORD>(property)};
        if (FAILED(report_->GetSensorValue(key, &value_)))
            return {};
        SensorValue v;
        switch (value_.vt) {
            case VT_ERROR:
                v.kind = SensorValue::Kind::kError;
                break;
            case VT_R8:
                v = Number(value_.dblVal);
                break;
            case VT_R4:
                v = Number(value_.fltVal);
                break;
            case VT_I4:
            case VT_INT:
                v = Number(value_.lVal);
                break;
            case VT_UI4:
            case VT_UINT:
                v = Number(value_.ulVal);
                break;
            case VT_I2:
                v = Number(value_.iVal);
                break;
            case VT_UI2:
                v = Number(value_.uiVal);
                break;
            case VT_I1:
                v = Number(value_.cVal);
                break;
            case VT_UI1:
                v = Number(value_.bVal);
                break;
            case VT_VECTOR | VT_UI1:
                v.kind = SensorValue::Kind::kBytes;
                v.bytes = value_.caub.pElems;
                v.count = value_.caub.cElems;
                break;
            default:
                break;  // any other type is not used
        }
        return v;
    }
    void Release() override { PropVariantClear(&value_); }

  private:
    static SensorValue Number(double d) { return {SensorValue::Kind::kNumber, d, nullptr, 0}; }
    ISensorDataReport* report_;
    PROPVARIANT value_;
};

}  // namespace

void OpenLocationPublisher() {
    PublisherState& s = State();
    if (s.publisher.publishing())
        return;
    // Another program publishes: stay off, without even opening a sensor.
    if (telemetry::SharedBlock::Exists(telemetry::kGpsBlockName))
        return;

    ComPtr<ISensorManager> manager;
    if (FAILED(CoCreateInstance(kClsidSensorManager, nullptr, CLSCTX_INPROC_SERVER,
                                kIidSensorManager,
                                reinterpret_cast<void**>(manager.GetAddressOf())))) {
        return;
    }
    ComPtr<ISensorCollection> sensors;
    if (SUCCEEDED(manager->GetSensorsByType(kSensorTypeGps, &sensors)) && sensors) {
        ULONG count = 0;
        sensors->GetCount(&count);
        for (ULONG i = 0; i < count; ++i) {
            ComPtr<ISensor> sensor;
            s.report.Reset();
            if (FAILED(sensors->GetAt(i, &sensor)) || !sensor) {
                s.sensor.Reset();
                continue;
            }
            s.sensor = sensor;
            s.sensor->GetData(&s.report);
        }
    }
    sensors.Reset();
    manager.Reset();
    if (!s.sensor)
        return;
    if (s.publisher.Attach(telemetry::GpsPublisher::Role::kRecorder) !=
        telemetry::GpsPublisher::Result::kPublishing) {
        s.report.Reset();
        s.sensor.Reset();
    }
}

void PollLocationSensor() {
    PublisherState& s = State();
    if (!s.sensor || !s.publisher.publishing())
        return;
    ComPtr<ISensorDataReport> fresh;
    if (FAILED(s.sensor->GetData(&fresh)) || !fresh) {
        // No report this tick: nothing is known to be current.
        s.publisher.record()->FixValid = 0;
        return;
    }
    s.report = fresh;
    PlatformReport report(s.report.Get());
    CopySensorReport(report, *s.publisher.record());
}

void CloseLocationPublisher() {
    PublisherState& s = State();
    if (!s.publisher.publishing())
        return;
    s.report.Reset();
    s.sensor.Reset();
    s.publisher.Detach();
}

bool LocationPublisherRunning() {
    return State().publisher.publishing();
}

}  // namespace vistrel
