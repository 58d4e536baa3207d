// Small owners for Win32 handles, so every handle has exactly one owner and is
// closed on every path.
#pragma once

#include <windows.h>

#include <utility>

namespace vistrel {

// Owns a kernel handle; both NULL and INVALID_HANDLE_VALUE mean "none".
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : handle_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    bool valid() const { return IsValid(handle_); }
    explicit operator bool() const { return valid(); }
    HANDLE get() const { return handle_; }
    HANDLE release() { return std::exchange(handle_, nullptr); }
    void reset(HANDLE h = nullptr) {
        if (valid())
            CloseHandle(handle_);
        handle_ = h;
    }

  private:
    HANDLE handle_ = nullptr;
};

// Owns a mapped view of a file mapping.
class UniqueView {
  public:
    UniqueView() = default;
    explicit UniqueView(void* p) : view_(p) {}
    UniqueView(const UniqueView&) = delete;
    UniqueView& operator=(const UniqueView&) = delete;
    UniqueView(UniqueView&& other) noexcept : view_(other.release()) {}
    UniqueView& operator=(UniqueView&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~UniqueView() { reset(); }

    void* get() const { return view_; }
    explicit operator bool() const { return view_ != nullptr; }
    void* release() { return std::exchange(view_, nullptr); }
    void reset(void* p = nullptr) {
        if (view_ != nullptr)
            UnmapViewOfFile(view_);
        view_ = p;
    }

  private:
    void* view_ = nullptr;
};

}  // namespace vistrel
