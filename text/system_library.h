#pragma once

#include <windows.h>

// A system DLL (or API set), loaded from the system folder, never from
// beside the program; null when it is missing. It stays loaded to the end of
// the process, as an import would.
HMODULE LoadSystemLibrary(const wchar_t* library);

// A function of a system DLL, loaded when first called: what a start may not
// need is loaded only when needed (under Wine, USER32 alone costs about a
// fifth of a launch). Null when the DLL or the function is missing.
template <typename Function> Function* SystemFunction(const wchar_t* library, const char* name) {
    const HMODULE module = LoadSystemLibrary(library);
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
