#include "text/file_system.h"

#include <windows.h>

#include "text/grown_text.h"

std::optional<UnicodeString> CurrentDirectory(DirectoryCall read) {
    // Read whole, as often as the directory keeps growing in between.
    std::optional<UnicodeString> directory =
        GrownText([read](wchar_t* buffer, DWORD size) { return read(size, buffer); });
    if (!directory && GetLastError() == ERROR_SUCCESS) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER); // it kept growing
    }
    return directory;
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
