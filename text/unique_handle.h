#pragma once

#include <windows.h>

#include <memory>

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};

// A kernel handle closed when it goes out of scope.
using UniqueHandle = std::unique_ptr<void, HandleCloser>;
