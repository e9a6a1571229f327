#include "text/system_library.h"

#include <string>

HMODULE LoadSystemLibrary(const wchar_t* library) {
    if (const HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return module;
    }
    // A system that does not know the search flag (Windows 7 without its
    // loader update) is given the full path in the system folder instead.
    if (GetLastError() != ERROR_INVALID_PARAMETER) {
        return nullptr;
    }
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetSystemDirectoryW(path.data(), MAX_PATH));
    if (path.empty() || path.size() >= MAX_PATH) {
        return nullptr;
    }
    return LoadLibraryW((path + L'\\' + library).c_str());
}
