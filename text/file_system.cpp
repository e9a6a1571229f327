#include "text/file_system.h"

#include <windows.h>

#include "text/grown_text.h"

UnicodeString CurrentDirectory() {
    // Read whole, as often as the directory keeps growing in between.
    return GrownText([](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); })
        .value_or(UnicodeString());
}

bool FolderExists(const UnicodeString& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring_view WithoutTrailingBackslash(std::wstring_view path) {
    if (!path.empty() && path.back() == L'\\') {
        path.remove_suffix(1);
    }
    return path;
}
