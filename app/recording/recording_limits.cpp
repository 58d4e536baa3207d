#include "app/recording/recording_limits.h"

#include <algorithm>

namespace vistrel {

namespace {

constexpr uint64_t kFileTimeUnitsPerSecond = 10000000;

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
    return (a > UINT64_MAX - b) ? UINT64_MAX : a + b;
}

}  // namespace

void RecordingListing::Add(RecordingFile file) {
    int64_t second = static_cast<int64_t>(file.lastWrite / kFileTimeUnitsPerSecond);
    files_.push_back({std::move(file), second, next_order_++});
}

std::vector<RecordingFile> RecordingListing::TakeOldestFirst() {
    // Whole seconds give a proper ordering; listing order breaks ties.
    std::sort(files_.begin(), files_.end(), [](const Entry& a, const Entry& b) {
        return a.second != b.second ? a.second < b.second : a.order < b.order;
    });
    std::vector<RecordingFile> out;
    out.reserve(files_.size());
    for (Entry& e : files_)
        out.push_back(std::move(e.file));
    files_.clear();
    return out;
}

LimitPlan PlanRecordingLimits(const std::vector<RecordingFile>& files, bool archive, uint32_t age,
                              uint32_t fileLimit, uint32_t gbLimit) {
    LimitPlan plan;
    std::vector<bool> gone(files.size(), false);
    size_t left = files.size();
    if (archive) {
        size_t wanted = 0;
        for (size_t i = files.size(); i-- > 0 && wanted < (age < 60 ? 2u : 1u);) {
            if (files[i].kept)
                continue;
            plan.toArchive.push_back(files[i].name);
            gone[i] = true;
            --left;
            ++wanted;
        }
    }
    uint64_t total = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        if (!gone[i])
            total = SaturatingAdd(total, files[i].size);
    }
    // From the oldest on, passing over what is kept or already chosen.
    auto deleteOldest = [&](const auto& tooMuch) {
        for (size_t i = 0; i < files.size() && tooMuch(); ++i) {
            if (gone[i] || files[i].kept)
                continue;
            plan.toDelete.push_back(files[i].name);
            gone[i] = true;
            --left;
            total -= std::min(total, files[i].size);
        }
    };
    if (gbLimit != 0)
        deleteOldest([&] { return (total >> 30) > gbLimit; });
    if (fileLimit != 0)
        deleteOldest([&] { return left > fileLimit; });
    return plan;
}

FloorPlan PlanFreeSpace(const std::vector<RecordingFile>& files, uint64_t freeBytes,
                        uint64_t floorBytes) {
    FloorPlan plan;
    // The newest recording is the last footage there is: never the floor's.
    size_t candidates = files.empty() ? 0 : files.size() - 1;
    for (size_t i = 0; i < candidates && freeBytes < floorBytes; ++i) {
        if (files[i].kept)
            continue;
        plan.toDelete.push_back(files[i].name);
        freeBytes = SaturatingAdd(freeBytes, files[i].size);
    }
    plan.reached = freeBytes >= floorBytes;
    return plan;
}

}  // namespace vistrel
