#include "telemetry/protocol.h"

#include <atomic>
#include <cstring>

namespace telemetry {

namespace {

// Field access at a fixed offset of a view already checked for size.
template <typename T>
T& At(View view, size_t offset) {
    return *reinterpret_cast<T*>(view.data() + offset);
}

template <typename T>
void StoreAt(View view, size_t offset, T value) {
    std::memcpy(view.data() + offset, &value, sizeof(T));
}

constexpr size_t kGpsUserCount = offsetof(GpsSharedRecord, UserCount);
constexpr size_t kObdUserCount = offsetof(ObdSharedRecord, UserCount);
constexpr size_t kOsdUserCount = offsetof(OverlaySettings, UserCount);

}  // namespace

uint8_t IncrementCount(uint8_t& count) {
    return static_cast<uint8_t>(std::atomic_ref<uint8_t>(count).fetch_add(1) + 1);
}

void DecrementCount(uint8_t& count) {
    std::atomic_ref<uint8_t> ref(count);
    uint8_t seen = ref.load();
    while (seen != 0 && !ref.compare_exchange_weak(seen, static_cast<uint8_t>(seen - 1))) {
    }
}

GpsPublishChoice ChooseGpsPublish(bool blockOpened, bool outsideFeed, uint8_t publisherActive) {
    if (!blockOpened)
        return GpsPublishChoice::kCreate;
    if (outsideFeed && publisherActive == 0)
        return GpsPublishChoice::kTakeOver;
    return GpsPublishChoice::kStandAside;
}

bool InitNewGpsRecord(View view) {
    if (view.size() < kGpsRecordSize)
        return false;
    std::memset(view.data(), 0, kGpsRecordSize);
    At<uint8_t>(view, kGpsUserCount) = 1;
    for (size_t offset : {36, 40, 48, 52, 56, 64, 68, 72, 188, 192})
        StoreAt(view, offset, 0.0f);
    StoreAt(view, offsetof(GpsSharedRecord, Signature), kGpsSignature);
    std::atomic_ref<uint8_t>(At<uint8_t>(view, offsetof(GpsSharedRecord, PublisherActive)))
        .store(1, std::memory_order_release);
    return true;
}

bool JoinGpsRecord(View view) {
    if (view.size() < kGpsRecordSize)
        return false;
    IncrementCount(At<uint8_t>(view, kGpsUserCount));
    At<uint8_t>(view, offsetof(GpsSharedRecord, PublisherActive)) = 1;
    return true;
}

bool DetachGpsPublisher(View view) {
    if (view.size() < kGpsRecordSize)
        return false;
    StoreAt(view, offsetof(GpsSharedRecord, SpeedKnots), 0.0f);
    At<uint8_t>(view, offsetof(GpsSharedRecord, PublisherActive)) = 0;
    DecrementCount(At<uint8_t>(view, kGpsUserCount));
    return true;
}

bool AttachGpsReader(View view) {
    if (view.size() < kGpsRecordSize)
        return false;
    IncrementCount(At<uint8_t>(view, kGpsUserCount));
    return true;
}

bool AttachObdReader(View view) {
    if (view.size() < kObdMinSize)
        return false;
    IncrementCount(At<uint8_t>(view, kObdUserCount));
    return true;
}

void DetachGpsReader(View view) {
    if (view.size() >= kGpsRecordSize)
        DecrementCount(At<uint8_t>(view, kGpsUserCount));
}

void DetachObdReader(View view) {
    if (view.size() >= kObdMinSize)
        DecrementCount(At<uint8_t>(view, kObdUserCount));
}

bool SnapshotGps(ConstView view, GpsSharedRecord& out) {
    if (view.size() < sizeof(out))
        return false;
    std::memcpy(&out, view.data(), sizeof(out));
    return true;
}

bool SnapshotObd(ConstView view, ObdSharedRecord& out) {
    if (view.size() < sizeof(out))
        return false;
    std::memcpy(&out, view.data(), sizeof(out));
    return true;
}

bool SnapshotOsd(ConstView view, OverlaySettings& out) {
    if (view.size() < sizeof(out))
        return false;
    std::memcpy(&out, view.data(), sizeof(out));
    return true;
}

bool RequestPids(View obd, uint32_t bits) {
    if (obd.size() < kObdMinSize)
        return false;
    uint8_t* p = obd.data() + offsetof(ObdSharedRecord, RequestedPids);
    if (reinterpret_cast<uintptr_t>(p) % alignof(uint32_t) != 0) {
        uint32_t word;
        std::memcpy(&word, p, sizeof(word));
        word |= bits;
        std::memcpy(p, &word, sizeof(word));
        return true;
    }
    // The provider may clear bits at the same moment; an atomic OR loses none of theirs.
    std::atomic_ref<uint32_t> word(*reinterpret_cast<uint32_t*>(p));
    if ((word.load(std::memory_order_relaxed) & bits) != bits)
        word.fetch_or(bits);
    return true;
}

uint16_t PidValue(const ObdSharedRecord& record, int pid) {
    if (pid < 0 || pid >= kObdPidSlots)
        return 0;
    return static_cast<uint16_t>(record.PidValues[pid] & 0xFFFF);
}

bool StampFixMilliseconds(View gps, uint16_t milliseconds) {
    if (gps.size() < kGpsRecordSize)
        return false;
    StoreAt(gps, offsetof(GpsSharedRecord, FixTime.Milliseconds), milliseconds);
    return true;
}

OsdBlockChoice ChooseOsdBlock(bool existed, uint8_t userCount) {
    if (!existed)
        return OsdBlockChoice::kTakeNew;
    return userCount == 0 ? OsdBlockChoice::kTakeExisting : OsdBlockChoice::kSkip;
}

bool TakeOsdBlock(View view, bool isNew, int instanceNumber) {
    if (view.size() < kOsdBlockSize)
        return false;
    if (isNew)
        std::memset(view.data(), 0, kOsdBlockSize);
    IncrementCount(At<uint8_t>(view, kOsdUserCount));
    At<uint8_t>(view, offsetof(OverlaySettings, InstanceNumber)) =
        static_cast<uint8_t>(static_cast<unsigned>(instanceNumber) & 0xFF);
    return true;
}

bool ClaimOfferedOsdBlock(View view) {
    if (view.size() < kOsdBlockSize)
        return false;
    std::atomic_ref<uint8_t> flag(At<uint8_t>(view, offsetof(OverlaySettings, ClaimFlag)));
    // Exchange, so that of two filters racing for one offer only one wins it.
    if (flag.load() == 0 || flag.exchange(0) == 0)
        return false;
    IncrementCount(At<uint8_t>(view, kOsdUserCount));
    return true;
}

void ReleaseOsdBlock(View view) {
    if (view.size() >= kOsdBlockSize)
        DecrementCount(At<uint8_t>(view, kOsdUserCount));
}

bool SetClaimFlag(View view, bool raised) {
    if (view.size() < kOsdBlockSize)
        return false;
    std::atomic_ref<uint8_t>(At<uint8_t>(view, offsetof(OverlaySettings, ClaimFlag)))
        .store(raised ? 1 : 0);
    return true;
}

void CopyToField(char* field, size_t fieldSize, std::string_view text) {
    if (fieldSize == 0)
        return;
    size_t n = text.size() < fieldSize - 1 ? text.size() : fieldSize - 1;
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, fieldSize - n);
}

const char* FixStateName(uint8_t state) {
    static const char* const kNames[] = {"No Data", "No Fix", "2D Fix", "3D Fix", ""};
    return state < 5 ? kNames[state] : "";
}

const char* FixStateLabel(uint8_t state) {
    static const char* const kLabels[] = {"N/C ", "NA  ", "2D  ", "3D  ", "  "};
    return state < 5 ? kLabels[state] : "";
}

const char* LinkStateName(uint8_t state) {
    static const char* const kNames[] = {"N/C",  "Closed", "Open", "Working",
                                         "Init", "TO",     "Busy", "Idle"};
    return state < 8 ? kNames[state] : "";
}

}  // namespace telemetry
