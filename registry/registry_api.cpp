#include "registry/registry_api.h"

#include "text/system_library.h"

namespace {

const RegistryFunctions& Registry() {
    static const RegistryFunctions functions = LoadRegistryFunctions(RegistryApiSet);
    return functions;
}

} // namespace

// The API set is mapped by the loader to the system's own registry code
// without loading a DLL; ADVAPI32's entries are the same functions, but it
// is a DLL of its own that a start would have to load.
RegistryFunctions LoadRegistryFunctions(const wchar_t* apiSet) {
    HMODULE module = LoadSystemLibrary(apiSet);
    if (module == nullptr) {
        module = LoadSystemLibrary(L"advapi32.dll");
    }
    return {MODULE_FUNCTION(module, RegOpenKeyExW), MODULE_FUNCTION(module, RegQueryValueExW),
            MODULE_FUNCTION(module, RegCloseKey)};
}

LSTATUS CallRegOpenKeyExW(HKEY base, LPCWSTR path, DWORD options, REGSAM access, PHKEY opened) {
    auto* open = Registry().Open;
    return open != nullptr ? open(base, path, options, access, opened) : ERROR_PROC_NOT_FOUND;
}

LSTATUS CallRegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD size) {
    auto* query = Registry().Query;
    return query != nullptr ? query(key, name, reserved, type, data, size) : ERROR_PROC_NOT_FOUND;
}

LSTATUS CallRegCloseKey(HKEY key) {
    auto* close = Registry().Close;
    return close != nullptr ? close(key) : ERROR_PROC_NOT_FOUND;
}
