#pragma once

#include <windows.h>

#include <string>

// How the program's own path is read: the seam through which a test gives
// a path of any length.
using ModuleNameCall = DWORD(WINAPI*)(HMODULE, LPWSTR, DWORD);

// The program's own path, whole however long it is: read in UTF-16, so that
// no code page cuts or splits a character.
std::wstring ProgramPath(ModuleNameCall read = GetModuleFileNameW);

// The box that names the program and says it ended abnormally; returns when
// it is dismissed.
void ShowAbnormalTerminationBox();

// Ends the run after an error nothing handled: that box, then exit status 3
// without the normal exit-time clean-up.
[[noreturn]] void EndAbnormally();
