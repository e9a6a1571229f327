#pragma once

#include <windows.h>

// The registry calls, loaded when the registry is first read: the private
// runtime's start reads none.
LSTATUS CallRegOpenKeyExW(HKEY base, LPCWSTR path, DWORD options, REGSAM access, PHKEY opened);
LSTATUS CallRegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD size);
LSTATUS CallRegCloseKey(HKEY key);
