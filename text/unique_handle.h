#pragma once

#include <windows.h>

#include <memory>

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};

// A kernel handle closed when it goes out of scope.
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// A handle CreateFile gave, owned: empty where the call failed
// (INVALID_HANDLE_VALUE), so that no handle that failed to open is closed.
inline UniqueHandle OwnedFile(HANDLE file) {
    return UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}
