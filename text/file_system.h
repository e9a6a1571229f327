#pragma once

#include <string_view>

#include "text/text_types.h"

// The process's current directory. It has no trailing backslash except at a
// root (C:\ or \\server\share\). A directory longer than MAX_PATH is read
// whole rather than cut.
UnicodeString CurrentDirectory();

// True only for an existing directory; any failure to look counts as absent.
bool FolderExists(const UnicodeString& path);

// The path without one trailing backslash, so that a root can be quoted
// without its backslash escaping the closing quote.
std::wstring_view WithoutTrailingBackslash(std::wstring_view path);
