#pragma once

#include <windows.h>

// The ADVAPI32 registry calls, loaded only when the registry is read: the
// private runtime's start needs nothing from ADVAPI32.
LSTATUS CallRegOpenKeyExW(HKEY base, LPCWSTR path, DWORD options, REGSAM access, PHKEY opened);
LSTATUS CallRegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD size);
LSTATUS CallRegCloseKey(HKEY key);
