#include "telemetry/attach.h"

namespace telemetry {

GpsPublisher::Result GpsPublisher::Attach(Role role) {
    Detach();
    SharedBlock existing = SharedBlock::Open(kGpsBlockName, kGpsRecordSize);
    bool opened = existing.valid() || SharedBlock::Exists(kGpsBlockName);
    uint8_t active = existing.valid() ? existing.as<GpsSharedRecord>()->PublisherActive : 1;
    switch (ChooseGpsPublish(opened, role == Role::kOutsideFeed, active)) {
        case GpsPublishChoice::kStandAside:
            return Result::kOtherPublisher;
        case GpsPublishChoice::kTakeOver:
            block_ = std::move(existing);
            JoinGpsRecord(block_.bytes());
            return Result::kPublishing;
        case GpsPublishChoice::kCreate:
            break;
    }
    block_ = SharedBlock::Create(kGpsBlockName, kGpsRecordSize);
    if (!block_.valid())
        return Result::kFailed;
    if (block_.existed()) {
        JoinGpsRecord(block_.bytes());  // another publisher won the race
    } else {
        InitNewGpsRecord(block_.bytes());
    }
    return Result::kPublishing;
}

void GpsPublisher::Detach() {
    if (!block_.valid())
        return;
    DetachGpsPublisher(block_.bytes());
    block_.reset();
}

void TelemetryReader::Poll() {
    if (!gps_.valid()) {
        gps_ = SharedBlock::Open(kGpsBlockName, kGpsRecordSize);
        if (gps_.valid())
            AttachGpsReader(gps_.bytes());
    }
    if (!obd_.valid()) {
        obd_ = SharedBlock::Open(kObdBlockName, kObdMinSize);
        if (obd_.valid())
            AttachObdReader(obd_.bytes());
    }
}

void TelemetryReader::Detach() {
    if (gps_.valid()) {
        DetachGpsReader(gps_.bytes());
        gps_.reset();
    }
    if (obd_.valid()) {
        DetachObdReader(obd_.bytes());
        obd_.reset();
    }
}

bool ObdProvider::Create(size_t size) {
    Close();
    if (size < kObdMinSize)
        size = kObdMinSize;
    block_ = SharedBlock::Create(kObdBlockName, size);
    if (!block_.valid())
        return false;
    if (!block_.existed())
        std::fill(block_.data(), block_.data() + block_.size(), uint8_t{0});
    return true;
}

void ObdProvider::Close() {
    if (!block_.valid())
        return;
    block_.as<ObdSharedRecord>()->LinkState = kLinkNotConnected;
    block_.reset();
}

bool OsdBlockOwner::Claim(int instanceNumber) {
    if (block_.valid())
        return true;
    for (int n = 0; n < kOsdBlockCount; ++n) {
        SharedBlock block = SharedBlock::Create(OsdBlockName(n), kOsdBlockSize);
        if (!block.valid()) {
            // A name held by a mapping we cannot use is skipped, not fatal.
            if (SharedBlock::Exists(OsdBlockName(n)))
                continue;
            return false;
        }
        auto choice = ChooseOsdBlock(block.existed(), block.as<OverlaySettings>()->UserCount);
        if (choice == OsdBlockChoice::kSkip)
            continue;
        TakeOsdBlock(block.bytes(), choice == OsdBlockChoice::kTakeNew, instanceNumber);
        block_ = std::move(block);
        index_ = n;
        return true;
    }
    return false;
}

bool OsdBlockClaim::TakeOffered() {
    if (block_.valid())
        return true;
    for (int n = 0; n < kOsdBlockCount; ++n) {
        SharedBlock block = SharedBlock::Open(OsdBlockName(n), kOsdBlockSize);
        if (!block.valid())
            continue;
        if (ClaimOfferedOsdBlock(block.bytes())) {
            block_ = std::move(block);
            index_ = n;
            return true;
        }
    }
    return false;
}

void OsdBlockClaim::Release() {
    if (!block_.valid())
        return;
    ReleaseOsdBlock(block_.bytes());
    block_.reset();
    index_ = -1;
}

SharedBlock OpenOsdBlock(int index, int instanceNumber, int* foundIndex) {
    for (int n = 0; n < kOsdBlockCount; ++n) {
        if (index >= 0 && n != index)
            continue;
        SharedBlock block = SharedBlock::Open(OsdBlockName(n), kOsdBlockSize);
        if (!block.valid())
            continue;
        const auto* record = block.as<OverlaySettings>();
        if (index >= 0 ||
            (record->UserCount != 0 &&
             record->InstanceNumber == (static_cast<unsigned>(instanceNumber) & 0xFF))) {
            if (foundIndex)
                *foundIndex = n;
            return block;
        }
    }
    return {};
}

}  // namespace telemetry
