#pragma once

#include <windows.h>

#include <sddl.h>

#include <memory>
#include <string>

struct LocalFreeDeleter {
    void operator()(void* memory) const { LocalFree(memory); }
};

// Memory that Windows allocated for the caller with LocalAlloc.
template <typename T> using LocalPointer = std::unique_ptr<T, LocalFreeDeleter>;

// A SID as text (S-1-5-18), or empty when it cannot be written.
inline std::wstring SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) {
        return {};
    }
    const LocalPointer<wchar_t> owned(text);
    return text;
}
