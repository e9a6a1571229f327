#pragma once

#include <windows.h>

// A function of a system DLL (or API set), loaded from the system folder,
// never from beside the program, when first called. What a start may not
// need is loaded only when needed: under Wine, USER32 alone costs about a
// fifth of a launch. The DLL stays loaded to the end of the process, as an
// import would. Null when the DLL or the function is missing.
template <typename Function> Function* SystemFunction(const wchar_t* library, const char* name) {
    const HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
