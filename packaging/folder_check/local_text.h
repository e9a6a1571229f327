#pragma once

#include <windows.h>

#include <sddl.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "text/grown_text.h"
#include "text/unique_handle.h"

// Memory that Windows allocated for the caller with LocalAlloc.
template <typename T> using LocalPointer = Owned<T, LocalFree>;

// A SID as text (S-1-5-18), or empty when it cannot be written.
inline std::wstring SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) {
        return {};
    }
    const LocalPointer<wchar_t> owned(text);
    return text;
}

// An open registry key.
using UniqueKey = Owned<std::remove_pointer_t<HKEY>, RegCloseKey>;

// A search of a folder's entries.
using UniqueSearch = Owned<void, FindClose>;

// A descriptor from its text (owner and access list); null when it cannot
// be read.
inline LocalPointer<void> DescriptorFromText(const std::wstring& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        return nullptr;
    }
    return LocalPointer<void>(descriptor);
}

// Text a call writes (GrownText) where it must be had: a failure is thrown.
template <typename Call> std::wstring RequiredText(const char* what, Call call) {
    std::optional<std::wstring> text = GrownText(call);
    if (!text) {
        throw std::runtime_error(std::string(what) + " failed, error " +
                                 std::to_string(GetLastError()));
    }
    return *text;
}
