#include "registry/registry_api.h"

#include "text/system_library.h"

namespace {

// The functions come from the registry API set, which the loader maps to the
// system's own registry code without loading a DLL: ADVAPI32, whose entries
// are the same functions, costs under Wine a twelfth of a launch to load. A
// system without the API set is served by ADVAPI32.
template <typename Function> Function* RegistryFunction(const char* name) {
    if (auto* function = SystemFunction<Function>(L"api-ms-win-core-registry-l1-1-0.dll", name)) {
        return function;
    }
    return SystemFunction<Function>(L"advapi32.dll", name);
}

} // namespace

LSTATUS CallRegOpenKeyExW(HKEY base, LPCWSTR path, DWORD options, REGSAM access, PHKEY opened) {
    auto* open = RegistryFunction<decltype(RegOpenKeyExW)>("RegOpenKeyExW");
    return open != nullptr ? open(base, path, options, access, opened) : ERROR_PROC_NOT_FOUND;
}

LSTATUS CallRegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD size) {
    auto* query = RegistryFunction<decltype(RegQueryValueExW)>("RegQueryValueExW");
    return query != nullptr ? query(key, name, reserved, type, data, size) : ERROR_PROC_NOT_FOUND;
}

LSTATUS CallRegCloseKey(HKEY key) {
    auto* close = RegistryFunction<decltype(RegCloseKey)>("RegCloseKey");
    return close != nullptr ? close(key) : ERROR_PROC_NOT_FOUND;
}
