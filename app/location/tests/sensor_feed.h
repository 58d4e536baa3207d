// The values the test sensor manager (test_sensor_manager.dll) serves: a
// named file mapping of this layout, written by a test in any process of the
// prefix and read by the DLL at every ISensor::GetData, so the recorder reads
// them through the real COM path on each tick.
//
// Without the mapping, or with a wrong magic or no sensors, the manager finds
// no GPS sensor. Portable: no windows.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sensortest {

inline constexpr char kFeedName[] = "VistrelTestSensorFeed";
inline constexpr uint32_t kFeedMagic = 0x44464E53;  // "SNFD"
inline constexpr uint32_t kMaxSensors = 2;
// Property numbers 0 to 39 of the location data format.
inline constexpr int kProperties = 40;
inline constexpr int kVectorBytes = 32;

enum class Kind : uint8_t {
    kMissing = 0,  // GetSensorValue fails with ERROR_NOT_FOUND
    kError = 1,    // VT_ERROR
    kDouble = 2,   // VT_R8
    kInt32 = 3,    // VT_I4 (the integer value of `number`)
    kBytes = 4,    // VT_VECTOR | VT_UI1 of `count` bytes
};

struct Value {
    uint8_t kind;
    uint8_t count;  // kBytes: the vector's length, at most kVectorBytes
    uint8_t reserved[6];
    double number;
    uint8_t bytes[kVectorBytes];
};

struct Sensor {
    uint32_t noReport;  // non-zero: GetData fails
    uint32_t reserved;
    Value values[kProperties];
};

struct Feed {
    uint32_t magic;
    uint32_t sensorCount;  // more than kMaxSensors counts as kMaxSensors
    Sensor sensors[kMaxSensors];
};

static_assert(sizeof(Value) == 48);
static_assert(offsetof(Feed, sensors) == 8);

}  // namespace sensortest
