#include "registry/advapi32.h"

#include "text/system_library.h"

namespace {

template <typename Function> Function* Advapi32Function(const char* name) {
    return SystemFunction<Function>(L"advapi32.dll", name);
}

} // namespace

LSTATUS CallRegOpenKeyExW(HKEY base, LPCWSTR path, DWORD options, REGSAM access, PHKEY opened) {
    auto* open = Advapi32Function<decltype(RegOpenKeyExW)>("RegOpenKeyExW");
    return open != nullptr ? open(base, path, options, access, opened) : ERROR_PROC_NOT_FOUND;
}

LSTATUS CallRegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD size) {
    auto* query = Advapi32Function<decltype(RegQueryValueExW)>("RegQueryValueExW");
    return query != nullptr ? query(key, name, reserved, type, data, size) : ERROR_PROC_NOT_FOUND;
}

LSTATUS CallRegCloseKey(HKEY key) {
    auto* close = Advapi32Function<decltype(RegCloseKey)>("RegCloseKey");
    return close != nullptr ? close(key) : ERROR_PROC_NOT_FOUND;
}
