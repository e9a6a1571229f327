#pragma once

#include <windows.h>

// USER32 costs about a fifth of a launch to load, and a usual start needs
// nothing from it: these two calls load it from the system folder only when
// an argument is upper-cased or a box is shown.
DWORD CallCharUpperBuffW(LPWSTR text, DWORD length);
int CallMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
