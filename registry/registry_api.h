#pragma once

#include <windows.h>

// The registry calls, loaded when the registry is first read (the private
// runtime's start reads none) and kept for the process.
LSTATUS CallRegOpenKeyExW(HKEY base, LPCWSTR path, DWORD options, REGSAM access, PHKEY opened);
LSTATUS CallRegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD size);
LSTATUS CallRegCloseKey(HKEY key);

// The three functions from the registry API set, or from ADVAPI32 on a
// system without that API set; null where neither has them.
struct RegistryFunctions {
    decltype(&::RegOpenKeyExW) Open = nullptr;
    decltype(&::RegQueryValueExW) Query = nullptr;
    decltype(&::RegCloseKey) Close = nullptr;
};
RegistryFunctions LoadRegistryFunctions(const wchar_t* apiSet);

// The API set the launcher reads the registry through.
constexpr wchar_t RegistryApiSet[] = L"api-ms-win-core-registry-l1-1-0.dll";
