#pragma once

#include <windows.h>

// The USER32 calls, loaded only when an argument is upper-cased or a box is
// shown: a usual start needs nothing from USER32.
DWORD CallCharUpperBuffW(LPWSTR text, DWORD length);
int CallMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
int CallMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style);
