#include "text/file_system.h"

#include <windows.h>

namespace {

// Room for MAX_PATH characters and the NUL: enough for every directory a
// process that is not long-path aware can have.
constexpr DWORD DirectoryBufferUnits = MAX_PATH + 1;

} // namespace

UnicodeString CurrentDirectory() {
    UnicodeString directory(DirectoryBufferUnits, L'\0');
    DWORD units = GetCurrentDirectoryW(DirectoryBufferUnits, directory.data());
    // A directory that does not fit is reported by its needed size (NUL
    // included) and the buffer is left unfilled: read again with that size,
    // as often as the directory keeps growing in between.
    while (units >= directory.size()) {
        directory.assign(units, L'\0');
        units = GetCurrentDirectoryW(units, directory.data());
    }
    directory.resize(units);
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
