#pragma once

#include <windows.h>

// The loader call a load tries first; a test gives another to play a system
// that does not know the system-folder search flag.
using LoadLibraryExFunction = HMODULE(WINAPI*)(LPCWSTR, HANDLE, DWORD);

// A system DLL (or API set), loaded from the system folder, never from
// beside the program; null when it is missing. It stays loaded to the end of
// the process, as an import would.
HMODULE LoadSystemLibrary(const wchar_t* library,
                          LoadLibraryExFunction firstAttempt = LoadLibraryExW);

// Makes the system folder the only place the loader looks for a DLL named
// without a path, also for the DLLs that system DLLs load later (USER32
// while a box is shown). Not inherited by a child. A system without the call
// (Windows 7 without its loader update) goes on as it was.
void RestrictDllSearchToSystemFolder();

// An exported function of a loaded module, or null.
template <typename Function> Function* ModuleFunction(HMODULE module, const char* name) {
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The function of that name, typed as the documented declaration says.
#define MODULE_FUNCTION(module, function) ModuleFunction<decltype(::function)>(module, #function)

// A function of a system DLL, looked up on its first call and kept for the
// process: what a start may not need is loaded only when needed. Null when
// the DLL or the function is missing.
#define SYSTEM_FUNCTION(library, function)                                                         \
    ([] {                                                                                          \
        static decltype(&::function) const resolved =                                              \
            MODULE_FUNCTION(LoadSystemLibrary(library), function);                                 \
        return resolved;                                                                           \
    }())
