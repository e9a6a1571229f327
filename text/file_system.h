#pragma once

#include <windows.h>

#include <optional>
#include <string_view>

#include "text/text_types.h"

// How the current directory is read: the seam through which a test makes
// the reading fail.
using DirectoryCall = DWORD(WINAPI*)(DWORD, LPWSTR);

// The process's current directory. It has no trailing backslash except at a
// root (C:\ or \\server\share\). A directory longer than MAX_PATH is read
// whole rather than cut. Nothing where it cannot be read, GetLastError
// saying why: an empty text would name the drive's root.
std::optional<UnicodeString> CurrentDirectory(DirectoryCall read = GetCurrentDirectoryW);

// True only for an existing directory; any failure to look counts as absent.
bool FolderExists(const UnicodeString& path);

// The path without one trailing backslash, so that a root can be quoted
// without its backslash escaping the closing quote.
std::wstring_view WithoutTrailingBackslash(std::wstring_view path);
