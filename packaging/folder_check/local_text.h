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

// A descriptor's owner and access list as text; nothing when it cannot be
// written.
inline std::optional<std::wstring> DescriptorText(PSECURITY_DESCRIPTOR descriptor) {
    wchar_t* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
            descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
            &text, nullptr)) {
        return std::nullopt;
    }
    const LocalPointer<wchar_t> owned(text);
    return std::wstring(text);
}

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

// The parts of a text between separators, empty ones kept.
inline std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::wstring::npos; start = end + 1) {
        parts.push_back(text.substr(start, end - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}
