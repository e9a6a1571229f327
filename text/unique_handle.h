#pragma once

#include <windows.h>

#include <memory>

// What Release frees, freed when its owner goes out of scope; null is no
// resource, so that nothing that failed to open is ever freed.
template <auto Release> struct Releaser {
    template <typename T> void operator()(T* resource) const { Release(resource); }
};
template <typename T, auto Release> using Owned = std::unique_ptr<T, Releaser<Release>>;

// A kernel handle.
using UniqueHandle = Owned<void, CloseHandle>;

// A handle CreateFile gave, owned: empty where the call failed
// (INVALID_HANDLE_VALUE), so that no handle that failed to open is closed.
inline UniqueHandle OwnedFile(HANDLE file) {
    return UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}
