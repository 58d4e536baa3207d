// Capture and archive paths as the registry or the dialog may hold them, the
// names found in the capture folder, and the choice of what the limits and
// the archive take. The first byte picks the path.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/recording/recording_limits.h"
#include "app/recording/segment_rules.h"

using namespace vistrel;

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// A date the clock can give: four-digit year, two-digit fields.
LocalDateTime Stamp(uint8_t a, uint8_t b) {
    return {1601 + (a * 37 + b) % 8399, 1 + a % 12, 1 + b % 31, b % 24, a % 60, (a ^ b) % 60};
}

// Three texts separated by newlines: a capture path, an archive path, a name.
void Paths(std::string_view text) {
    std::string_view parts[3];
    for (auto& part : parts) {
        size_t end = text.find('\n');
        part = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    }
    const std::string_view capture = parts[0], archive = parts[1], name = parts[2];
    const LocalDateTime t = Stamp(capture.size() & 0xFF, name.size() & 0xFF);

    const std::string folder = RemoveFileSpec(capture);
    Require(StartsWith(capture, folder));
    for (const std::string& prefix : FolderPrefixes(capture))
        Require(prefix.size() < capture.size() && StartsWith(capture, prefix));
    SerialFileName(capture, 7);
    IsOwnSegmentName(name, capture.substr(folder.size()), ".gpx");

    if (CheckCapturePath(capture) == PathCheck::kOk) {
        // Every name a segment may get is a path, and is the recorder's own.
        const std::string_view stem = capture.substr(capture.find_last_of('\\') + 1);
        Require(!stem.empty());
        for (int serial : {1, 2, 999}) {
            const std::string path = SegmentFileName(capture, t, serial);
            Require(path.size() <= kMaxPathChars);
            Require(IsOwnSegmentName(path.substr(capture.size() - stem.size()), stem));
        }
        const auto chosen = ChooseSegmentFileName(
            capture, t, [&](const std::string& n) { return n.size() % 5 == name.size() % 5; });
        Require(chosen.has_value());
        if (CheckArchivePath(archive, stem.size()) == PathCheck::kOk) {
            Require(JoinPath(archive, SegmentFileName(stem, t, 999)).size() <= kMaxPathChars);
        }
    }
}

// Listing entries of 10 bytes: name, last write, size, kept; then the limits.
void Limits(const uint8_t* data, size_t size) {
    if (size < 4)
        return;
    const bool archive = data[0] & 1;
    const uint32_t age = data[0] >> 1;
    const uint32_t fileLimit = data[1] % 40;
    const uint32_t gbLimit = data[2] % 8;
    const uint64_t freeBytes = uint64_t{data[3]} << 28, floorBytes = uint64_t{data[1]} << 30;
    data += 4;
    size -= 4;
    RecordingListing listing;
    for (size_t i = 0; i + 10 <= size && i < 10 * 600; i += 10) {
        RecordingFile f;
        f.name = "Capture." + std::to_string(i / 10) + ".avi";
        uint32_t when, bytes;
        std::memcpy(&when, data + i, 4);
        std::memcpy(&bytes, data + i + 4, 4);
        f.lastWrite = uint64_t{when} * 1000003;
        f.size = uint64_t{bytes} << (data[i + 8] % 12);  // up to 16 TiB
        f.kept = data[i + 9] == 0xFF;
        listing.Add(std::move(f));
    }
    const size_t count = listing.size();
    const std::vector<RecordingFile> files = listing.TakeOldestFirst();
    Require(files.size() == count);
    for (size_t i = 1; i < files.size(); ++i)
        Require(files[i - 1].lastWrite / 10000000 <= files[i].lastWrite / 10000000);

    const LimitPlan plan = PlanRecordingLimits(files, archive, age, fileLimit, gbLimit);
    std::set<std::string> chosen;
    for (const auto* list : {&plan.toArchive, &plan.toDelete}) {
        for (const std::string& n : *list)
            Require(chosen.insert(n).second);  // each file chosen once
    }
    Require(archive ? plan.toArchive.size() <= (age < 60 ? 2u : 1u) : plan.toArchive.empty());
    size_t left = 0;
    uint64_t total = 0;
    bool removableLeft = false;
    for (const RecordingFile& f : files) {
        if (chosen.count(f.name)) {
            Require(!f.kept);  // the segment being written is never taken
            continue;
        }
        ++left;
        total += f.size;
        removableLeft = removableLeft || !f.kept;
    }
    Require(chosen.size() + left == files.size());
    // Either the limits hold, or only what may not be deleted is left.
    if (removableLeft) {
        Require(fileLimit == 0 || left <= fileLimit);
        Require(gbLimit == 0 || (total >> 30) <= gbLimit);
    }

    // The free-space floor: the newest recording and kept ones stay; said
    // reached only when what it deletes makes the room.
    const FloorPlan floor = PlanFreeSpace(files, freeBytes, floorBytes);
    uint64_t freed = freeBytes;
    size_t at = 0;
    for (const std::string& n : floor.toDelete) {
        while (at < files.size() && files[at].name != n)
            ++at;
        Require(at + 1 < files.size() && !files[at].kept);  // oldest first, never the newest
        freed += files[at++].size;
    }
    Require(floor.reached == (freed >= floorBytes));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    if (data[0] % 2 == 0)
        Paths({reinterpret_cast<const char*>(data + 1), size - 1});
    else
        Limits(data + 1, size - 1);
    return 0;
}
