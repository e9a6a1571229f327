#include "packaging/folder_check/folder_path.h"

#include "text/file_system.h"

bool IsNetworkPath(const std::wstring& path) {
    return path.rfind(L"\\\\", 0) == 0;
}

std::wstring PathRoot(const std::wstring& path) {
    if (!IsNetworkPath(path)) {
        return path.substr(0, 3);
    }
    const size_t server = path.find(L'\\', 2);
    const size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
    return share == std::wstring::npos ? path + L"\\" : path.substr(0, share + 1);
}

std::wstring ParentFolder(const std::wstring& path) {
    const std::wstring root = PathRoot(path);
    if (path.size() <= root.size()) {
        return {};
    }
    const size_t cut = path.rfind(L'\\');
    return cut < root.size() ? root : path.substr(0, cut);
}

std::wstring FolderAbove(const std::wstring& folder) {
    return ParentFolder(std::wstring(WithoutTrailingBackslash(folder)));
}

std::wstring WithFinalBackslash(const std::wstring& folder) {
    return folder.empty() || folder.back() == L'\\' ? folder : folder + L"\\";
}
