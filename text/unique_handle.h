#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>
#include <utility>

// What Release frees, freed when its owner goes out of scope; null is no
// resource, so that nothing that failed to open is ever freed.
template <auto Release> struct Releaser {
    template <typename T> void operator()(T* resource) const { Release(resource); }
};
template <typename T, auto Release> using Owned = std::unique_ptr<T, Releaser<Release>>;

// A kernel handle.
using UniqueHandle = Owned<void, CloseHandle>;

// A handle whose invalid value is INVALID_HANDLE_VALUE, not null (what
// CreateFile and FindFirstFile give), owned: closed by Release unless it is
// that value, so that no call site translates a failure and nothing that
// failed to open is closed.
template <auto Release> class UniqueInvalidHandle {
public:
    UniqueInvalidHandle() = default;
    explicit UniqueInvalidHandle(HANDLE handle) : handle_(handle) {}
    UniqueInvalidHandle(UniqueInvalidHandle&& other) noexcept : handle_(other.release()) {}
    // What this held is closed with other.
    UniqueInvalidHandle& operator=(UniqueInvalidHandle&& other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }
    ~UniqueInvalidHandle() {
        if (*this) {
            Release(handle_);
        }
    }
    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE release() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// A file or folder CreateFile opened.
using UniqueFile = UniqueInvalidHandle<CloseHandle>;

// A search of a folder's entries.
using UniqueSearch = UniqueInvalidHandle<FindClose>;

// Memory that Windows allocated for the caller with LocalAlloc.
template <typename T> using LocalPointer = Owned<T, LocalFree>;

// An open registry key.
using UniqueKey = Owned<std::remove_pointer_t<HKEY>, RegCloseKey>;
