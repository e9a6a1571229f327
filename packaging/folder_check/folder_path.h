#pragma once

#include <string>

// Paths as this package's folders are written: full, C:\... or
// \\server\share\..., without a final backslash but at a root.

// Whether a path is a network one, \\server\share\....
bool IsNetworkPath(const std::wstring& path);

// The root of a full path: C:\ or \\server\share\.
std::wstring PathRoot(const std::wstring& path);

// The folder that holds path, or empty at its root.
std::wstring ParentFolder(const std::wstring& path);

// The folder that holds a folder (given with or without its final
// backslash), or empty at a root.
std::wstring FolderAbove(const std::wstring& folder);

// The folder with its final backslash, as Windows Installer writes folders.
std::wstring WithFinalBackslash(const std::wstring& folder);
