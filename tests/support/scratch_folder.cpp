#include "tests/support/scratch_folder.h"

#include <windows.h>

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(const std::wstring& leaf) {
    static unsigned serial = 0;
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    path_ =
        fs::path(temp) /
        (L"tarnix-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(serial++)) /
        leaf;
    fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_.parent_path(), ignored);
}

CurrentDirectoryScope::CurrentDirectoryScope(const std::wstring& directory)
    : previous_(fs::current_path().wstring()) {
    SetCurrentDirectoryW(directory.c_str());
}

CurrentDirectoryScope::~CurrentDirectoryScope() {
    SetCurrentDirectoryW(previous_.c_str());
}

void PlaceFile(const fs::path& source, const fs::path& target) {
    fs::create_directories(target.parent_path());
    // Removed first: this library's overwrite fails here with "File exists".
    fs::remove(target);
    fs::copy_file(source, target);
}

fs::path ProgramFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    return fs::path(path).parent_path();
}
