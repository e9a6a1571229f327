#include "text/system_library.h"

#include <string>

HMODULE LoadSystemLibrary(const wchar_t* library, LoadLibraryExFunction firstAttempt) {
    if (const HMODULE module = firstAttempt(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return module;
    }
    // A system that does not know the search flag (Windows 7 without its
    // loader update) is given the full path in the system folder instead;
    // the DLL's own imports are then looked for beside it, in that folder,
    // not beside the program.
    if (GetLastError() != ERROR_INVALID_PARAMETER) {
        return nullptr;
    }
    std::wstring path(MAX_PATH, L'\0');
    const UINT length = GetSystemDirectoryW(path.data(), MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    path.resize(length);
    return LoadLibraryExW((path + L'\\' + library).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void RestrictDllSearchToSystemFolder() {
    if (auto* setDefaults =
            MODULE_FUNCTION(GetModuleHandleW(L"kernel32.dll"), SetDefaultDllDirectories)) {
        setDefaults(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}
