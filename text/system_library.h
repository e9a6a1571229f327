#pragma once

#include <windows.h>

// A function of a system DLL, loaded from the system folder on first use.
// A DLL a start may not need is loaded only when needed: under Wine, USER32
// costs about a fifth of a launch and ADVAPI32 (with what it pulls in) a
// tenth. The DLL stays loaded to the end of the process, as an import would;
// null when it or the function is missing.
template <typename Function> Function* SystemFunction(const wchar_t* library, const char* name) {
    const HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
