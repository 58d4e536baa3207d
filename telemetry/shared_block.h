// Named file mappings backed by the paging file: the thin Windows layer under
// the shared records. A SharedBlock owns its handle and its view.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "common/win_handle.h"

namespace telemetry {

class SharedBlock {
  public:
    enum class Origin { kNone, kCreated, kExisted, kOpened };

    SharedBlock() = default;
    SharedBlock(SharedBlock&&) = default;
    SharedBlock& operator=(SharedBlock&&) = default;

    // Creates (or joins) the named mapping with read/write protection and maps
    // exactly `size` bytes. An existing mapping smaller than `size`, or with
    // pages among them not committed, is refused.
    static SharedBlock Create(const std::string& name, size_t size);
    // Opens an existing mapping and maps all of it; its size is the committed
    // part. A block smaller than `minSize` is refused with a debugger-output
    // line naming it.
    static SharedBlock Open(const std::string& name, size_t minSize);
    // True when a mapping of that name exists now.
    static bool Exists(const std::string& name);

    bool valid() const { return view_.get() != nullptr; }
    Origin origin() const { return origin_; }
    bool existed() const { return origin_ == Origin::kExisted || origin_ == Origin::kOpened; }
    uint8_t* data() const { return static_cast<uint8_t*>(view_.get()); }
    size_t size() const { return size_; }
    std::span<uint8_t> bytes() const { return {data(), size_}; }
    template <typename T>
    T* as() const {
        return size_ >= sizeof(T) ? reinterpret_cast<T*>(data()) : nullptr;
    }
    void reset();

  private:
    vistrel::UniqueHandle mapping_;
    vistrel::UniqueView view_;
    size_t size_ = 0;
    Origin origin_ = Origin::kNone;
};

// The size of the mapping behind a view: exact where the platform tells it,
// otherwise the mapped region (whole pages, all of it readable).
size_t MappedSize(HANDLE mapping, const void* view);

// How many of the `size` bytes from `view` on are committed memory; a block
// any local program created with SEC_RESERVE may have fewer.
size_t CommittedSize(const void* view, size_t size);

// "GPSOSDText<n>".
std::string OsdBlockName(int n);

}  // namespace telemetry
